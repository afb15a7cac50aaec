// The NetWare client seam: one method per client operation the program uses. Completion codes
// are 0 for success; 16-bit for the start-up, connection and calls-library operations, 32-bit for
// the directory-services ones. Texts are passed as OEM text.
//
// Implementations: AbsentClient (a workstation without a client: every call fails) and
// nwemu::Client (servers emulated over local directories). An adapter to the real client
// libraries would marshal the records below into the packed layouts documented beside them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_handles.h"
#include "platform/file_services.h"

namespace ferrit {

using NWCCODE = uint16_t;    // calls / connection-layer completion code
using NWDSCCODE = uint32_t;  // directory-services completion code
using NWCONN_HANDLE = uint32_t;
using NWDIR_HANDLE = uint8_t;
using NWDSContextHandle = uint32_t;
using NWObjectID = uint32_t;  // 0 means none

// Connection-information kinds.
namespace ConnInfo {
constexpr uint32_t TreeName = 4;    // text, padded with '_' to 32 characters
constexpr uint32_t UserId = 6;      // 32-bit value: the object the connection is logged in as
constexpr uint32_t ServerName = 7;  // text
constexpr uint32_t DirectoryServices = 8;  // 32-bit value, nonzero when the server speaks NDS
}  // namespace ConnInfo

// Directory-services context keys.
namespace ContextKey {
constexpr uint32_t NameContext = 3;
constexpr uint32_t TreeName = 11;
}  // namespace ContextKey

// Bindery object types.
namespace ObjType {
constexpr uint16_t User = 0x0100;
constexpr uint16_t Group = 0x0200;
}  // namespace ObjType

// One trustee of a batch. Packed client layout: object id u32 @0, rights u16 @4, 2 spare bytes;
// 8 bytes each. A batch holds 20 and ends at the first entry whose object id is 0.
struct TrusteeEntry {
    NWObjectID objectId = 0;
    uint16_t rights = 0;
};
constexpr int kTrusteeBatchSize = 20;
using TrusteeBatch = std::array<TrusteeEntry, kTrusteeBatchSize>;

// Entry information. Packed client layout: 333 bytes; the owner id is u32 @24.
struct EntryInfo {
    NWObjectID ownerId = 0;
    uint32_t attributes = 0;
};

// DOS information for writing. Packed client layout: 38 bytes; the owner id is u32 @8.
struct DosInfo {
    NWObjectID ownerId = 0;
};
constexpr uint32_t kModifyOwner = 0x10;

// One entry of a space-limit list. Packed client layout: a count byte, then 9-byte entries:
// level u8 @0, maximum u32 @1, current u32 @5; the client's buffer holds 102 entries
// (919 bytes). Maximum 0x7FFFFFFF means no limit. Levels count the backslashes of the volume
// path of the directory the entry belongs to.
struct SpaceLimitEntry {
    uint8_t level = 0;
    uint32_t maximum = 0;
    uint32_t current = 0;
};
constexpr uint32_t kNoSpaceLimit = 0x7FFFFFFF;

// Directory entry record. Packed client layout: 132 bytes; the inherited rights mask is u16 @100.
struct DirEntryRecord {
    uint16_t inheritedRightsMask = 0;
};
constexpr uint32_t kModifyInheritedRightsMask = 0x1000;

// The error-text library, loaded by name for one use and released when destroyed.
class NWErrorLibrary {
  public:
    virtual ~NWErrorLibrary() = default;
    // Whether the library exports "NWstrerror".
    virtual bool HasNWstrerror() const = 0;
    // The library's text for a code (its own "Unknown error" for codes it does not know).
    virtual std::string NWstrerror(uint32_t code) = 0;
};

class NetWareClient {
  public:
    virtual ~NetWareClient() = default;

    // Start-up.
    virtual NWCCODE CallsInit() = 0;                             // calwin32 377
    virtual NWCCODE ConnLayerInit(uint32_t& reference) = 0;      // clxwin32 113
    virtual NWCCODE GetPrimaryConnRef(uint32_t& reference) = 0;  // clxwin32 111
    virtual NWCCODE OpenConnByReference(uint32_t reference, uint32_t accessMode, uint32_t flags,
                                        NWCONN_HANDLE& conn) = 0;  // clxwin32 102

    // Connection information: a text kind answered into at most bufferLength bytes (terminator
    // included), and a 32-bit value kind.
    virtual NWCCODE GetConnInfoText(NWCONN_HANDLE conn, uint32_t kind, uint32_t bufferLength,
                                    std::string& text) = 0;  // clxwin32 114
    virtual NWCCODE GetConnInfoValue(NWCONN_HANDLE conn, uint32_t kind,
                                     uint32_t& value) = 0;  // clxwin32 114

    // Directory-services contexts and names.
    virtual NWDSCCODE DSCreateContext(NWDSContextHandle& context) = 0;  // netwin32 1160
    virtual NWDSCCODE DSFreeContext(NWDSContextHandle context) = 0;     // netwin32 1002
    virtual NWDSCCODE DSGetContextText(NWDSContextHandle context, uint32_t key,
                                       std::string& value) = 0;  // netwin32 1003
    virtual NWDSCCODE DSSetContextText(NWDSContextHandle context, uint32_t key,
                                       const std::string& value) = 0;  // netwin32 1004
    virtual NWDSCCODE DSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, NWObjectID id,
                                    std::string& name) = 0;  // netwin32 1048
    virtual NWDSCCODE DSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn,
                                    const std::string& name, NWObjectID& id) = 0;  // netwin32 1050

    // Bindery names.
    virtual NWCCODE GetObjectName(NWCONN_HANDLE conn, NWObjectID id, std::string& name,
                                  uint16_t& type) = 0;  // calwin32 26
    virtual NWCCODE GetObjectID(NWCONN_HANDLE conn, const std::string& name, uint16_t type,
                                NWObjectID& id) = 0;  // calwin32 25

    // Paths and rights. ParsePath takes a workstation path and answers the server's connection,
    // a directory handle (0) and the volume path "VOLUME:dir\sub".
    virtual NWCCODE ParsePath(const std::string& path, NWCONN_HANDLE& conn, NWDIR_HANDLE& dirHandle,
                              std::string& volumePath) = 0;  // calwin32 103
    virtual NWCCODE GetEffectiveRights(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                       const std::string& path,
                                       uint16_t& rights) = 0;  // calwin32 270

    // Temporary directory handles.
    virtual NWCCODE AllocTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                  const std::string& path, NWDIR_HANDLE& newHandle,
                                                  uint8_t& rightsMask) = 0;  // calwin32 83
    virtual NWCCODE DeallocateDirectoryHandle(NWCONN_HANDLE conn,
                                              NWDIR_HANDLE dirHandle) = 0;  // calwin32 84

    // Trustees: one batch per call; iterHandle is 0 before the first call and kept by the
    // client between calls; a nonzero code ends the scan.
    virtual NWCCODE ScanTrustees(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                 const std::string& path, uint32_t& iterHandle,
                                 TrusteeBatch& batch) = 0;  // calwin32 169
    // Adds a trustee, replacing the object's existing assignment.
    virtual NWCCODE AddTrustee(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                               NWObjectID id, uint16_t rights) = 0;  // calwin32 249

    // Entry information and the owner.
    virtual NWCCODE GetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                       const std::string& path,
                                       uint8_t& nameSpace) = 0;  // calwin32 277
    virtual NWCCODE ObtainEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                    const std::string& path, uint8_t sourceNameSpace,
                                    uint8_t targetNameSpace, uint16_t searchAttributes,
                                    uint32_t infoMask, EntryInfo& info) = 0;  // calwin32 273
    virtual NWCCODE ModifyDosInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                  const std::string& path, uint8_t nameSpace,
                                  uint16_t searchAttributes, uint32_t modifyMask,
                                  const DosInfo& info) = 0;  // calwin32 395

    // Space limits: one entry for the directory and each ancestor that has a limit.
    virtual NWCCODE GetDirSpaceLimitList(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                         std::vector<SpaceLimitEntry>& list) = 0;  // calwin32 330
    // Sets the limit (in the client's units); 0 removes it.
    virtual NWCCODE SetDirSpaceLimit(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                     uint32_t limit) = 0;  // calwin32 292

    // Directory entries (the inherited rights mask). iterHandle is 0xFFFFFFFF before a scan.
    virtual NWCCODE ScanDirEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                     uint16_t searchAttributes, uint32_t& iterHandle,
                                     DirEntryRecord& record) = 0;  // calwin32 380
    virtual NWCCODE ModifyDirEntry(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                   uint16_t searchAttributes, uint32_t iterHandle,
                                   uint32_t changeMask,
                                   const DirEntryRecord& record) = 0;  // calwin32 291

    // Server-side copy between two files opened through the file services.
    virtual NWCCODE FileServerFileCopy(FileHandle source, FileHandle target, uint32_t sourceOffset,
                                       uint32_t targetOffset, uint32_t count,
                                       uint32_t& bytesCopied) = 0;  // calwin32 107

    // The error-text library; nullptr when it cannot be loaded.
    virtual std::unique_ptr<NWErrorLibrary> LoadErrorLibrary() = 0;
};

}  // namespace ferrit
