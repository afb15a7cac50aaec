// A small scripted NetWare client for the unit tests of the NetWare services: every answer is
// set by the test, every call is logged by name, so the exact sequence of client calls of one
// routine can be checked. The emulated client serves the tests that need whole volumes.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "netware/absent_client.h"
#include "netware/netware_services.h"
#include "platform/file_handles.h"
#include "testing/native_file_services.h"
#include "testing/scripted_dialogs.h"

namespace ferrit {
namespace testing {

class ScriptedClient : public AbsentClient {
  public:
    std::vector<std::string> log;
    size_t Count(const std::string& call) const {
        size_t n = 0;
        for (const std::string& c : log) n += c == call;
        return n;
    }

    // Start-up.
    NWCCODE callsInit = 0, connLayerInit = 0, primaryRef = 0, openConn = 0;
    uint32_t layerReference = 0x11, primaryReference = 0x22, openedReference = 0;
    NWCONN_HANDLE openedConn = 7;
    NWCCODE CallsInit() override { return Log("CallsInit", callsInit); }
    NWCCODE ConnLayerInit(uint32_t& reference) override {
        reference = layerReference;
        return Log("ConnLayerInit", connLayerInit);
    }
    NWCCODE GetPrimaryConnRef(uint32_t& reference) override {
        if (primaryRef == 0)
            reference = primaryReference;
        return Log("GetPrimaryConnRef", primaryRef);
    }
    NWCCODE OpenConnByReference(uint32_t reference, uint32_t, uint32_t,
                                NWCONN_HANDLE& conn) override {
        openedReference = reference;
        if (openConn == 0)
            conn = openedConn;
        return Log("OpenConnByReference", openConn);
    }

    // Connections: tree name (padded as servers send it), server name, directory services.
    std::map<NWCONN_HANDLE, std::string> trees, servers;
    std::set<NWCONN_HANDLE> dsConns;
    NWCCODE GetConnInfoText(NWCONN_HANDLE conn, uint32_t kind, uint32_t,
                            std::string& text) override {
        const auto& table = kind == ConnInfo::TreeName ? trees : servers;
        auto it = table.find(conn);
        if (it == table.end())
            return Log("GetConnInfoText", 0x880F);
        text = it->second;
        return Log("GetConnInfoText", 0);
    }
    NWCCODE GetConnInfoValue(NWCONN_HANDLE conn, uint32_t, uint32_t& value) override {
        value = dsConns.count(conn) ? 1 : 0;
        return Log("GetConnInfoValue", 0);
    }

    // Directory services: names per (connection, id), contexts counted.
    NWDSCCODE createContext = 0, setTree = 0;
    std::string contextTree;  // what a fresh context reports as its tree
    std::vector<std::pair<uint32_t, std::string>> contextWrites;
    std::map<std::pair<NWCONN_HANDLE, NWObjectID>, std::string> dsNames;
    std::map<std::pair<NWCONN_HANDLE, std::string>, NWObjectID> dsIds;
    int openContexts = 0;
    NWDSCCODE DSCreateContext(NWDSContextHandle& context) override {
        if (createContext == 0) {
            context = 0x100 + static_cast<NWDSContextHandle>(++openContexts);
        }
        return Log("DSCreateContext", createContext);
    }
    NWDSCCODE DSFreeContext(NWDSContextHandle) override {
        --openContexts;
        return Log("DSFreeContext", 0);
    }
    NWDSCCODE DSGetContextText(NWDSContextHandle, uint32_t, std::string& value) override {
        value = contextTree;
        return Log("DSGetContextText", 0);
    }
    NWDSCCODE DSSetContextText(NWDSContextHandle, uint32_t key, const std::string& value) override {
        contextWrites.emplace_back(key, value);
        return Log("DSSetContextText", key == ContextKey::TreeName ? setTree : 0);
    }
    NWDSCCODE DSMapIDToName(NWDSContextHandle, NWCONN_HANDLE conn, NWObjectID id,
                            std::string& name) override {
        auto it = dsNames.find({conn, id});
        if (it == dsNames.end())
            return Log("DSMapIDToName", 0xFFFFFDA7);
        name = it->second;
        return Log("DSMapIDToName", 0);
    }
    NWDSCCODE DSMapNameToID(NWDSContextHandle, NWCONN_HANDLE conn, const std::string& name,
                            NWObjectID& id) override {
        auto it = dsIds.find({conn, name});
        if (it == dsIds.end()) {
            id = 0xDEAD;  // garbage the caller must not keep
            return Log("DSMapNameToID", 0xFFFFFDA7);
        }
        id = it->second;
        return Log("DSMapNameToID", 0);
    }

    // Bindery.
    std::map<std::pair<NWCONN_HANDLE, NWObjectID>, std::string> binderyNames;
    std::map<std::tuple<NWCONN_HANDLE, std::string, uint16_t>, NWObjectID> binderyIds;
    std::vector<std::pair<std::string, uint16_t>> binderyLookups;
    NWCCODE GetObjectName(NWCONN_HANDLE conn, NWObjectID id, std::string& name,
                          uint16_t& type) override {
        auto it = binderyNames.find({conn, id});
        if (it == binderyNames.end())
            return Log("GetObjectName", 0x89FC);
        name = it->second;
        type = ObjType::User;
        return Log("GetObjectName", 0);
    }
    NWCCODE GetObjectID(NWCONN_HANDLE conn, const std::string& name, uint16_t type,
                        NWObjectID& id) override {
        binderyLookups.emplace_back(name, type);
        auto it = binderyIds.find({conn, name, type});
        if (it == binderyIds.end())
            return Log("GetObjectID", 0x89FC);
        id = it->second;
        return Log("GetObjectID", 0);
    }

    // Paths: a path starting with a prefix of parsePrefixes lies on that connection.
    std::map<std::string, NWCONN_HANDLE> volumes;
    NWCCODE ParsePath(const std::string& path, NWCONN_HANDLE& conn, NWDIR_HANDLE& dirHandle,
                      std::string& volumePath) override {
        for (const auto& [prefix, c] : volumes) {
            if (path.compare(0, prefix.size(), prefix) == 0) {
                conn = c;
                dirHandle = 0;
                volumePath = "VOL:" + path.substr(prefix.size());
                return Log("ParsePath", 0);
            }
        }
        return Log("ParsePath", 0x8998);
    }
    std::map<NWCONN_HANDLE, uint16_t> rights;
    NWCCODE rightsCode = 0;
    NWCCODE GetEffectiveRights(NWCONN_HANDLE conn, NWDIR_HANDLE, const std::string&,
                               uint16_t& r) override {
        if (rightsCode == 0)
            r = rights[conn];
        return Log("GetEffectiveRights", rightsCode);
    }

    // Temporary handles: allocation per connection can be made to fail.
    std::map<NWCONN_HANDLE, NWCCODE> allocFails;
    NWDIR_HANDLE nextHandle = 1;
    std::vector<std::pair<NWCONN_HANDLE, std::string>> allocated;
    std::vector<std::pair<NWCONN_HANDLE, NWDIR_HANDLE>> released;
    NWCCODE AllocTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE, const std::string& path,
                                          NWDIR_HANDLE& handle, uint8_t&) override {
        auto it = allocFails.find(conn);
        if (it != allocFails.end()) {
            handle = 0x77;  // garbage the caller must not keep
            return Log("AllocTemporaryDirectoryHandle", it->second);
        }
        allocated.emplace_back(conn, path);
        handle = nextHandle++;
        return Log("AllocTemporaryDirectoryHandle", 0);
    }
    NWCCODE DeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE handle) override {
        released.emplace_back(conn, handle);
        return Log("DeallocateDirectoryHandle", 0);
    }

    // Trustees of the source path, handed out in batches of 20; the code ending the scan.
    std::vector<TrusteeEntry> trustees;
    NWCCODE scanEnd = 0x899C;
    struct Added {
        NWCONN_HANDLE conn;
        std::string path;
        NWObjectID id;
        uint16_t rights;
    };
    std::vector<Added> added;
    std::map<NWObjectID, NWCCODE> addFails;
    NWCCODE ScanTrustees(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&, uint32_t& iter,
                         TrusteeBatch& batch) override {
        if (iter >= trustees.size())
            return Log("ScanTrustees", scanEnd);
        size_t i = 0;
        for (; i < batch.size() && iter < trustees.size(); ++i) batch[i] = trustees[iter++];
        return Log("ScanTrustees", 0);
    }
    NWCCODE AddTrustee(NWCONN_HANDLE conn, NWDIR_HANDLE, const std::string& path, NWObjectID id,
                       uint16_t r) override {
        auto it = addFails.find(id);
        if (it != addFails.end())
            return Log("AddTrustee", it->second);
        added.push_back({conn, path, id, r});
        return Log("AddTrustee", 0);
    }

    // Owners per (connection, path); name-space answers.
    std::map<std::pair<NWCONN_HANDLE, std::string>, NWObjectID> owners;
    NWCCODE nameSpaceCode = 0;
    uint8_t nameSpace = 4;
    std::set<uint8_t> refusedSourceNameSpaces;
    std::vector<std::pair<uint8_t, uint8_t>> entryInfoNameSpaces;
    std::vector<std::pair<std::string, NWObjectID>> ownerWrites;
    NWCCODE GetOwningNameSpace(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&,
                               uint8_t& ns) override {
        if (nameSpaceCode == 0)
            ns = nameSpace;
        return Log("GetOwningNameSpace", nameSpaceCode);
    }
    NWCCODE ObtainEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE, const std::string& path,
                            uint8_t sourceNs, uint8_t targetNs, uint16_t, uint32_t,
                            EntryInfo& info) override {
        entryInfoNameSpaces.emplace_back(sourceNs, targetNs);
        auto it = owners.find({conn, path});
        if (it == owners.end() || refusedSourceNameSpaces.count(sourceNs)) {
            info.ownerId = 0xBAD;  // a failed read may leave anything behind
            return Log("ObtainEntryInfo", 0x899C);
        }
        info.ownerId = it->second;
        return Log("ObtainEntryInfo", 0);
    }
    NWCCODE ModifyDosInfo(NWCONN_HANDLE conn, NWDIR_HANDLE, const std::string& path, uint8_t,
                          uint16_t, uint32_t mask, const DosInfo& info) override {
        if (mask == kModifyOwner)
            owners[{conn, path}] = info.ownerId;
        ownerWrites.emplace_back(path, info.ownerId);
        return Log("ModifyDosInfo", 0);
    }

    // Space limits of the source handle's directory; writes per handle.
    std::vector<SpaceLimitEntry> limitList;
    NWCCODE limitListCode = 0;
    NWCCODE setLimitCode = 0;
    std::vector<uint32_t> limitWrites;
    NWCCODE GetDirSpaceLimitList(NWCONN_HANDLE, NWDIR_HANDLE,
                                 std::vector<SpaceLimitEntry>& list) override {
        if (limitListCode == 0)
            list = limitList;
        return Log("GetDirSpaceLimitList", limitListCode);
    }
    NWCCODE SetDirSpaceLimit(NWCONN_HANDLE, NWDIR_HANDLE, uint32_t limit) override {
        limitWrites.push_back(limit);
        return Log("SetDirSpaceLimit", setLimitCode);
    }

    // Inherited rights masks per connection.
    std::map<NWCONN_HANDLE, uint16_t> masks;
    std::vector<uint16_t> maskWrites;
    NWCCODE ScanDirEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE handle, uint16_t, uint32_t& iter,
                             DirEntryRecord& record) override {
        if (handle == 0 || iter != 0xFFFFFFFF || !masks.count(conn)) {
            return Log("ScanDirEntryInfo", 0x89FF);
        }
        iter = 0x500 + conn;
        record.inheritedRightsMask = masks[conn];
        return Log("ScanDirEntryInfo", 0);
    }
    NWCCODE ModifyDirEntry(NWCONN_HANDLE conn, NWDIR_HANDLE, uint16_t, uint32_t iter, uint32_t mask,
                           const DirEntryRecord& record) override {
        if (iter != 0x500 + conn || mask != kModifyInheritedRightsMask) {
            return Log("ModifyDirEntry", 0x89FF);
        }
        masks[conn] = record.inheritedRightsMask;
        maskWrites.push_back(record.inheritedRightsMask);
        return Log("ModifyDirEntry", 0);
    }

    // Server copy: copies through the two descriptors, at most `copyLimit` bytes per request
    // (to imitate a server that stops short), or fails with copyCode.
    NWCCODE copyCode = 0;
    uint32_t copyLimit = 0xFFFFFFFF;
    std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> copyRequests;
    NWCCODE FileServerFileCopy(FileHandle source, FileHandle target, uint32_t sourceOffset,
                               uint32_t targetOffset, uint32_t count, uint32_t& copied) override {
        copyRequests.emplace_back(sourceOffset, targetOffset, count);
        copied = 0;
        if (copyCode != 0)
            return Log("FileServerFileCopy", copyCode);
        char buffer[65536];
        uint64_t want = std::min<uint64_t>(count, copyLimit);
        while (copied < want) {
            const int64_t n =
                ReadAt(source, buffer,
                       static_cast<size_t>(std::min<uint64_t>(sizeof buffer, want - copied)),
                       static_cast<uint64_t>(sourceOffset) + copied);
            if (n <= 0)
                break;
            if (WriteAt(target, buffer, static_cast<size_t>(n),
                        static_cast<uint64_t>(targetOffset) + copied) != n) {
                return Log("FileServerFileCopy", 0x8977);
            }
            copied += static_cast<uint32_t>(n);
        }
        return Log("FileServerFileCopy", 0);
    }

    // The error-text library: absent, present without the function, or with texts per code.
    enum class Library { Missing, NoFunction, Present } library = Library::Missing;
    std::map<uint32_t, std::string> errorTexts;
    int librariesLoaded = 0, librariesReleased = 0;
    std::unique_ptr<NWErrorLibrary> LoadErrorLibrary() override {
        log.push_back("LoadErrorLibrary");
        if (library == Library::Missing)
            return nullptr;
        ++librariesLoaded;
        return std::make_unique<Lib>(*this);
    }

  private:
    template <typename Code>
    Code Log(const char* call, Code code) {
        log.push_back(call);
        return code;
    }

    struct Lib : NWErrorLibrary {
        explicit Lib(ScriptedClient& c) : client(c) {}
        ~Lib() override { ++client.librariesReleased; }
        bool HasNWstrerror() const override { return client.library == Library::Present; }
        std::string NWstrerror(uint32_t code) override {
            auto it = client.errorTexts.find(code);
            return it == client.errorTexts.end() ? "Unknown error" : it->second;
        }
        ScriptedClient& client;
    };
};

// The NetWare services over a scripted client, the real local files and scripted dialogs: the
// common ground of the services' unit tests.
class ScriptedServicesTest : public ::testing::Test {
  protected:
    ScriptedClient client;
    DirectoryPair state;
    NativeFileServices files;
    ScriptedDialogs dialogs;
    NetWareServices nw{client, files, dialogs};
};

}  // namespace testing
}  // namespace ferrit
