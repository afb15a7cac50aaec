#pragma once

#include "netware/netware_client.h"

namespace ferrit {

// What a workstation without a NetWare client has: every operation fails.
class AbsentClient : public NetWareClient {
  public:
    static constexpr NWCCODE kCode = 0xFFFF;  // start-up: "could not initialize"
    static constexpr NWCCODE kNoConnection = 0x880F;

    NWCCODE CallsInit() override { return kCode; }
    NWCCODE ConnLayerInit(uint32_t&) override { return kCode; }
    NWCCODE GetPrimaryConnRef(uint32_t&) override { return kNoConnection; }
    NWCCODE OpenConnByReference(uint32_t, uint32_t, uint32_t, NWCONN_HANDLE&) override {
        return kNoConnection;
    }
    NWCCODE GetConnInfoText(NWCONN_HANDLE, uint32_t, uint32_t, std::string&) override {
        return kNoConnection;
    }
    NWCCODE GetConnInfoValue(NWCONN_HANDLE, uint32_t, uint32_t&) override { return kNoConnection; }
    NWDSCCODE DSCreateContext(NWDSContextHandle&) override { return kDSFail; }
    NWDSCCODE DSFreeContext(NWDSContextHandle) override { return kDSFail; }
    NWDSCCODE DSGetContextText(NWDSContextHandle, uint32_t, std::string&) override {
        return kDSFail;
    }
    NWDSCCODE DSSetContextText(NWDSContextHandle, uint32_t, const std::string&) override {
        return kDSFail;
    }
    NWDSCCODE DSMapIDToName(NWDSContextHandle, NWCONN_HANDLE, NWObjectID, std::string&) override {
        return kDSFail;
    }
    NWDSCCODE DSMapNameToID(NWDSContextHandle, NWCONN_HANDLE, const std::string&,
                            NWObjectID&) override {
        return kDSFail;
    }
    NWCCODE GetObjectName(NWCONN_HANDLE, NWObjectID, std::string&, uint16_t&) override {
        return kNoConnection;
    }
    NWCCODE GetObjectID(NWCONN_HANDLE, const std::string&, uint16_t, NWObjectID&) override {
        return kNoConnection;
    }
    NWCCODE ParsePath(const std::string&, NWCONN_HANDLE&, NWDIR_HANDLE&, std::string&) override {
        return kNoConnection;
    }
    NWCCODE GetEffectiveRights(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&,
                               uint16_t&) override {
        return kNoConnection;
    }
    NWCCODE AllocTemporaryDirectoryHandle(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&,
                                          NWDIR_HANDLE&, uint8_t&) override {
        return kNoConnection;
    }
    NWCCODE DeallocateDirectoryHandle(NWCONN_HANDLE, NWDIR_HANDLE) override {
        return kNoConnection;
    }
    NWCCODE ScanTrustees(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&, uint32_t&,
                         TrusteeBatch&) override {
        return kNoConnection;
    }
    NWCCODE AddTrustee(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&, NWObjectID,
                       uint16_t) override {
        return kNoConnection;
    }
    NWCCODE GetOwningNameSpace(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&, uint8_t&) override {
        return kNoConnection;
    }
    NWCCODE ObtainEntryInfo(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&, uint8_t, uint8_t,
                            uint16_t, uint32_t, EntryInfo&) override {
        return kNoConnection;
    }
    NWCCODE ModifyDosInfo(NWCONN_HANDLE, NWDIR_HANDLE, const std::string&, uint8_t, uint16_t,
                          uint32_t, const DosInfo&) override {
        return kNoConnection;
    }
    NWCCODE GetDirSpaceLimitList(NWCONN_HANDLE, NWDIR_HANDLE,
                                 std::vector<SpaceLimitEntry>&) override {
        return kNoConnection;
    }
    NWCCODE SetDirSpaceLimit(NWCONN_HANDLE, NWDIR_HANDLE, uint32_t) override {
        return kNoConnection;
    }
    NWCCODE ScanDirEntryInfo(NWCONN_HANDLE, NWDIR_HANDLE, uint16_t, uint32_t&,
                             DirEntryRecord&) override {
        return kNoConnection;
    }
    NWCCODE ModifyDirEntry(NWCONN_HANDLE, NWDIR_HANDLE, uint16_t, uint32_t, uint32_t,
                           const DirEntryRecord&) override {
        return kNoConnection;
    }
    NWCCODE FileServerFileCopy(FileHandle, FileHandle, uint32_t, uint32_t, uint32_t,
                               uint32_t&) override {
        return kNoConnection;
    }
    std::unique_ptr<NWErrorLibrary> LoadErrorLibrary() override { return nullptr; }

  private:
    static constexpr NWDSCCODE kDSFail = 0xFFFFFEDA;  // -294: no such client
};

}  // namespace ferrit
