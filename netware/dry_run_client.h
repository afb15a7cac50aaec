// The NetWare client of a preview: questions go to the real client, and no change is ever
// made. Each change (trustees, owner, space limits, rights masks) is answered as the server would
// answer it, by the server's rules on the login's rights; an entry the preview would have made (a
// directory, a copied file) is answered for as the server would after making it: it takes its
// parent's rights, has no trustees, the full mask and the login as its owner. So a preview shows
// the lines and ends with the status of the real run, and leaves the servers as they are.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "netware/netware_client.h"
#include "platform/dry_run_file_services.h"

namespace ferrit {

class DryRunClient : public NetWareClient {
  public:
    // `markOf`: what the same preview's file services did at a workstation path.
    using MarkOf = std::function<PreviewMark(const std::string& path)>;
    DryRunClient(NetWareClient& inner, MarkOf markOf) : inner_(inner), markOf_(std::move(markOf)) {}

    // Start-up, connections and names: asked of the real client.
    NWCCODE CallsInit() override { return inner_.CallsInit(); }
    NWCCODE ConnLayerInit(uint32_t& reference) override { return inner_.ConnLayerInit(reference); }
    NWCCODE GetPrimaryConnRef(uint32_t& reference) override {
        return inner_.GetPrimaryConnRef(reference);
    }
    NWCCODE OpenConnByReference(uint32_t reference, uint32_t accessMode, uint32_t flags,
                                NWCONN_HANDLE& conn) override {
        return inner_.OpenConnByReference(reference, accessMode, flags, conn);
    }
    NWCCODE GetConnInfoText(NWCONN_HANDLE conn, uint32_t kind, uint32_t bufferLength,
                            std::string& text) override {
        return inner_.GetConnInfoText(conn, kind, bufferLength, text);
    }
    NWCCODE GetConnInfoValue(NWCONN_HANDLE conn, uint32_t kind, uint32_t& value) override {
        return inner_.GetConnInfoValue(conn, kind, value);
    }
    NWDSCCODE DSCreateContext(NWDSContextHandle& context) override {
        return inner_.DSCreateContext(context);
    }
    NWDSCCODE DSFreeContext(NWDSContextHandle context) override {
        return inner_.DSFreeContext(context);
    }
    NWDSCCODE DSGetContextText(NWDSContextHandle context, uint32_t key,
                               std::string& value) override {
        return inner_.DSGetContextText(context, key, value);
    }
    NWDSCCODE DSSetContextText(NWDSContextHandle context, uint32_t key,
                               const std::string& value) override {
        return inner_.DSSetContextText(context, key, value);
    }
    NWDSCCODE DSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, NWObjectID id,
                            std::string& name) override {
        return inner_.DSMapIDToName(context, conn, id, name);
    }
    NWDSCCODE DSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn, const std::string& name,
                            NWObjectID& id) override {
        return inner_.DSMapNameToID(context, conn, name, id);
    }
    NWCCODE GetObjectName(NWCONN_HANDLE conn, NWObjectID id, std::string& name,
                          uint16_t& type) override {
        return inner_.GetObjectName(conn, id, name, type);
    }
    NWCCODE GetObjectID(NWCONN_HANDLE conn, const std::string& name, uint16_t type,
                        NWObjectID& id) override {
        return inner_.GetObjectID(conn, name, type, id);
    }
    std::unique_ptr<NWErrorLibrary> LoadErrorLibrary() override {
        return inner_.LoadErrorLibrary();
    }

    // Paths, rights and entries: asked of the real client, except for what the preview would
    // have made or removed.
    NWCCODE ParsePath(const std::string& path, NWCONN_HANDLE& conn, NWDIR_HANDLE& dirHandle,
                      std::string& volumePath) override;
    NWCCODE GetEffectiveRights(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                               uint16_t& rights) override;
    NWCCODE AllocTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                          const std::string& path, NWDIR_HANDLE& newHandle,
                                          uint8_t& rightsMask) override;
    NWCCODE DeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) override;
    NWCCODE ScanTrustees(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                         uint32_t& iterHandle, TrusteeBatch& batch) override;
    NWCCODE GetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                               uint8_t& nameSpace) override;
    NWCCODE ObtainEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                            uint8_t sourceNameSpace, uint8_t targetNameSpace,
                            uint16_t searchAttributes, uint32_t infoMask, EntryInfo& info) override;
    NWCCODE GetDirSpaceLimitList(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                 std::vector<SpaceLimitEntry>& list) override;
    NWCCODE ScanDirEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint16_t searchAttributes,
                             uint32_t& iterHandle, DirEntryRecord& record) override;

    // Changes: answered as the server would, made nowhere. Objects are not looked up again: the
    // program names only objects it has just found on the same server.
    NWCCODE AddTrustee(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                       NWObjectID id, uint16_t rights) override;
    NWCCODE ModifyDosInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                          uint8_t nameSpace, uint16_t searchAttributes, uint32_t modifyMask,
                          const DosInfo& info) override;
    NWCCODE SetDirSpaceLimit(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint32_t limit) override;
    NWCCODE ModifyDirEntry(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint16_t searchAttributes,
                           uint32_t iterHandle, uint32_t changeMask,
                           const DirEntryRecord& record) override;
    // The server would copy the whole request; the preview's file services remember the copy.
    NWCCODE FileServerFileCopy(FileHandle, FileHandle, uint32_t, uint32_t, uint32_t count,
                               uint32_t& bytesCopied) override {
        bytesCopied = count;
        return 0;
    }

  private:
    // What the real run would find at an entry named by a volume path (directory handle 0).
    enum class Fate { Real, Made, Gone };
    Fate FateOf(NWCONN_HANDLE conn, const std::string& volumePath) const;
    // The login's effective rights at an entry as the real run would find them.
    NWCCODE RightsAt(NWCONN_HANDLE conn, const std::string& volumePath, uint16_t& rights);
    // The rights an object holds by its own assignment at an entry (0: none).
    uint16_t HeldBy(NWCONN_HANDLE conn, const std::string& volumePath, NWObjectID id);

    // A directory handle given out during the preview.
    struct Held {
        std::string volumePath;
        bool made = false;              // the preview's own, for a directory it would have made
        uint32_t scanned = 0xFFFFFFFF;  // the iteration handle its entry scan answered
    };
    Held* HeldAt(NWCONN_HANDLE conn, NWDIR_HANDLE handle);

    using Key = std::pair<NWCONN_HANDLE, std::string>;
    NetWareClient& inner_;
    MarkOf markOf_;
    std::map<Key, std::string>
        localOf_;  // volume path (in capitals) -> the path it was parsed from
    std::map<std::pair<NWCONN_HANDLE, NWDIR_HANDLE>, Held> handles_;
};

}  // namespace ferrit
