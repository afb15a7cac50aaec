// The NetWare services: start-up and names, locations and rights, and the replication of
// trustees, owner, inherited rights mask and space limits. One object per program, owning
// nothing but references; it keeps no locations: every step is given the directory pair it
// works on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "netware/directory_pair.h"
#include "netware/netware_client.h"
#include "options/copy_options.h"
#include "platform/file_services.h"
#include "support/dialogs.h"

namespace ferrit {

// A status line about NetWare metadata that a step could not carry.
struct NetWareNote {
    std::string line;
    // Whether the step failed; false for what the translation rule leaves behind by design (an
    // object the other server does not know).
    bool failure = true;
};

// A server copy's outcome: 0, or the code of the step that failed, which is read only against
// its own table.
struct ServerCopyResult {
    uint16_t code = 0;
    // The code is the NetWare client's completion code (0xFFFF: the copy did not start); else
    // it is a Windows number from the file services.
    bool clientCode = false;
};

class NetWareServices {
  public:
    NetWareServices(NetWareClient& client, FileServices& files, Dialogs& dialogs);

    NetWareClient& Client() { return client_; }

    // --- Locations, available space and rights ---

    // The pair of a source and a target directory: both entries, BothNetWare, SameConnection,
    // FreeSpace and the available-space text. A directory that does not exist yet is placed by
    // its nearest existing parent; a text longer than the client takes is marked too long and
    // not parsed.
    [[nodiscard]] DirectoryPair GetNetWarePaths(const std::string& source,
                                                const std::string& target);
    // The rights warning lines for a pair (each with its two leading blanks), in their fixed
    // order; the caller appends them to the status list.
    std::vector<std::string> CheckRights(const DirectoryPair& pair, const OptionSet& options) const;

    // --- Error texts ---
    std::string NetWareErrorText(uint32_t code);
    // The words alone for a code (what NetWareErrorText puts in parentheses); empty when there
    // are none.
    std::string NetWareErrorDetail(uint32_t code);
    void ReportNetWareError(uint32_t code, const std::string& operation);

    // --- Start-up and names ---
    uint16_t InitNetWare();
    NWCCODE ConnInfoText(NWCONN_HANDLE conn, uint32_t kind, std::string& text);
    NWCCODE GetTreeName(NWCONN_HANDLE conn, std::string& text);
    NWCCODE GetServerName(NWCONN_HANDLE conn, std::string& text);
    bool IsDirectoryServicesConn(NWCONN_HANDLE conn);
    NWDSCCODE PrepareContext(NWDSContextHandle context, NWCONN_HANDLE conn);
    NWDSCCODE IdToName(NWCONN_HANDLE conn, NWObjectID id, std::string& name);
    NWDSCCODE NameToId(NWCONN_HANDLE conn, const std::string& name, NWObjectID& id);

    // --- Trustees and owner ---
    // Carries every trustee of the source to the target (volume paths on the pair's two
    // connections), batch by batch; one that cannot be carried is skipped. Answers 0, or the
    // code of the last trustee that could not be carried.
    uint32_t CopyTrustees(const DirectoryPair& pair, const std::string& source,
                          const std::string& target);
    void CopyOwner(const DirectoryPair& pair, const std::string& source, const std::string& target);
    NWCCODE ReadEntryInfo(NWCONN_HANDLE conn, const std::string& path, EntryInfo& info);

    // What the replication steps could not carry since the last call, in order: one line per
    // trustee, owner, mask or limit (naming it, the target entry and the server's reason), and
    // one per object without a counterpart. The caller shows them as status lines.
    std::vector<NetWareNote> TakeNotes();

    // --- Inherited rights mask and space limits; runState receives dialog answers ---
    // The mask and limit steps keep the temporary directory handles they open in the pair, where
    // the next step reuses them; FreeTempDirHandle of both entries releases them.
    NWCCODE AllocTempDirHandle(DirectoryPair& pair, int i, const std::string& path);
    NWCCODE FreeTempDirHandle(DirectoryPair& pair, int i);
    void CopyInheritedRightsMask(DirectoryPair& pair, const std::string& source,
                                 const std::string& target, int16_t& runState);
    void CopySpaceLimits(DirectoryPair& pair, const std::string& source, const std::string& target,
                         int16_t& runState);

    // --- The server copy ---
    // Copies on the server: 0, 0xFFFF when the copy did not start, or the failing code. A copy
    // that falls short of the source's size never counts as done; the size is the caller's
    // (from its listing) or, when not given, read from the source's directory listing.
    uint16_t NetWareCopyFile(const std::string& source, const std::string& target,
                             int64_t sourceSize = -1) {
        return NetWareCopyFile(files_, source, target, sourceSize, nullptr).code;
    }
    // The same through the given file services (a run's, confined to its roots), with the table
    // the code belongs to; `facts`, when given, receives what a copy that was made rests on: the
    // source as read, the copy as put in place.
    ServerCopyResult NetWareCopyFile(FileServices& files, const std::string& source,
                                     const std::string& target, int64_t sourceSize,
                                     CopyFacts* facts);
    // The words for a failed server copy's code, from the code's own table: the client's
    // error-text library for its codes; for a Windows number the system's message text where
    // the front end has no description of its own (else empty: the front end describes it).
    std::string ServerCopyErrorDetail(const ServerCopyResult& result);

  private:
    // The bytes the directory's space limits (its own and its ancestors') still allow; false
    // where none limits it or they cannot be read.
    bool SpaceLimitLeft(const TPathInfo& entry, int64_t& bytes);
    // The words for a code; false when the error-text library cannot be loaded.
    bool ErrorDetail(uint32_t code, std::string& detail);
    // One location from a path text.
    TPathInfo ResolveLocation(const std::string& path);
    // Fills an entry for a directory that does not exist yet from its nearest existing parent.
    void ResolveNewDirectory(const std::string& path, TPathInfo& info);
    // Notes what could not be carried to the target entry (a volume path on the pair's target
    // server), with the reason.
    void NoteNotCarried(const DirectoryPair& pair, const std::string& what,
                        const std::string& target, uint32_t code);
    // Notes an object that has no counterpart on the named server.
    void NoteNoObject(const std::string& name, const std::string& server);
    // An object's name on a connection, or its identifier in hexadecimal.
    std::string ObjectName(NWCONN_HANDLE conn, NWObjectID id);
    // The target's identifier for a source object (the same on one connection, else through the
    // object's name, which `name` receives); false, noted, when it has no counterpart.
    bool TranslateId(const DirectoryPair& pair, NWObjectID id, NWObjectID& targetId,
                     std::string& name);
    bool OpenSourceDirectory(DirectoryPair& pair, const std::string& source, int16_t& runState);

    NetWareClient& client_;
    FileServices& files_;
    Dialogs& dialogs_;
    static constexpr uint32_t kNoStartupConn = 0xFFFF;
    uint32_t startupConn_ = kNoStartupConn;
    std::vector<NetWareNote> notes_;
};

// Number of backslashes in a volume path, however many there are (a space-limit entry's level
// counts them; one beyond 255 matches no entry).
size_t PathDepth(const std::string& path);

// The bindery form of a directory-services name: the part after the first "=" (up to 255
// characters) in capitals, without leading and trailing dots, cut at its first remaining dot.
// A name without "=" or "." is returned as it is.
std::string BinderyLeaf(const std::string& name);

}  // namespace ferrit
