// The NetWare client of a preview: every question goes to the real client, every change is
// answered as done without being made (trustees, owner, space limits, rights masks, the server
// copy), so a preview run sees the servers as they are and leaves them so.
#pragma once

#include "netware/netware_client.h"

namespace ferrit {

class DryRunClient : public NetWareClient {
  public:
    explicit DryRunClient(NetWareClient& inner) : inner_(inner) {}

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
    NWCCODE ParsePath(const std::string& path, NWCONN_HANDLE& conn, NWDIR_HANDLE& dirHandle,
                      std::string& volumePath) override {
        return inner_.ParsePath(path, conn, dirHandle, volumePath);
    }
    NWCCODE GetEffectiveRights(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                               uint16_t& rights) override {
        return inner_.GetEffectiveRights(conn, dirHandle, path, rights);
    }
    NWCCODE AllocTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                          const std::string& path, NWDIR_HANDLE& newHandle,
                                          uint8_t& rightsMask) override {
        return inner_.AllocTemporaryDirectoryHandle(conn, dirHandle, path, newHandle, rightsMask);
    }
    NWCCODE DeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) override {
        return inner_.DeallocateDirectoryHandle(conn, dirHandle);
    }
    NWCCODE ScanTrustees(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                         uint32_t& iterHandle, TrusteeBatch& batch) override {
        return inner_.ScanTrustees(conn, dirHandle, path, iterHandle, batch);
    }
    NWCCODE GetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                               uint8_t& nameSpace) override {
        return inner_.GetOwningNameSpace(conn, dirHandle, path, nameSpace);
    }
    NWCCODE ObtainEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                            uint8_t sourceNameSpace, uint8_t targetNameSpace,
                            uint16_t searchAttributes, uint32_t infoMask,
                            EntryInfo& info) override {
        return inner_.ObtainEntryInfo(conn, dirHandle, path, sourceNameSpace, targetNameSpace,
                                      searchAttributes, infoMask, info);
    }
    NWCCODE GetDirSpaceLimitList(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                 std::vector<SpaceLimitEntry>& list) override {
        return inner_.GetDirSpaceLimitList(conn, dirHandle, list);
    }
    NWCCODE ScanDirEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint16_t searchAttributes,
                             uint32_t& iterHandle, DirEntryRecord& record) override {
        return inner_.ScanDirEntryInfo(conn, dirHandle, searchAttributes, iterHandle, record);
    }
    std::unique_ptr<NWErrorLibrary> LoadErrorLibrary() override {
        return inner_.LoadErrorLibrary();
    }

    // Changes: answered as done, made nowhere.
    NWCCODE AddTrustee(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&, NWObjectID,
                       uint16_t) override {
        return 0;
    }
    NWCCODE ModifyDosInfo(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&, uint8_t, uint16_t,
                          uint32_t, const DosInfo&) override {
        return 0;
    }
    NWCCODE SetDirSpaceLimit(NWCONN_HANDLE, NWDIR_HANDLE, uint32_t) override { return 0; }
    NWCCODE ModifyDirEntry(NWCONN_HANDLE, NWDIR_HANDLE, uint16_t, uint32_t, uint32_t,
                           const DirEntryRecord&) override {
        return 0;
    }
    // The server would copy the whole request; the preview's file services remember the copy.
    NWCCODE FileServerFileCopy(FileHandle, FileHandle, uint32_t, uint32_t, uint32_t count,
                               uint32_t& bytesCopied) override {
        bytesCopied = count;
        return 0;
    }

  private:
    NetWareClient& inner_;
};

}  // namespace ferrit
