// A NetWareClient double that forwards every call to another client (the emulated one, a
// scripted one, the absent one), records each call with its arguments in short and its
// completion code, and fails chosen operations with chosen codes: on every call, or on the Nth
// call from the moment the rule is set. A failed call never reaches the inner client, so it has
// no effect there; the caller's outputs are left as they were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "netware/netware_client.h"

namespace ferrit {
namespace testing {

// The client operations, one per method of NetWareClient.
enum class NwOp {
    CallsInit,
    ConnLayerInit,
    GetPrimaryConnRef,
    OpenConnByReference,
    GetConnInfoText,
    GetConnInfoValue,
    DSCreateContext,
    DSFreeContext,
    DSGetContextText,
    DSSetContextText,
    DSMapIDToName,
    DSMapNameToID,
    GetObjectName,
    GetObjectID,
    ParsePath,
    GetEffectiveRights,
    AllocTemporaryDirectoryHandle,
    DeallocateDirectoryHandle,
    ScanTrustees,
    AddTrustee,
    GetOwningNameSpace,
    ObtainEntryInfo,
    ModifyDosInfo,
    GetDirSpaceLimitList,
    SetDirSpaceLimit,
    ScanDirEntryInfo,
    ModifyDirEntry,
    FileServerFileCopy,
    LoadErrorLibrary,
};
const char* NwOpName(NwOp op);

// One recorded call: the operation, its arguments in short ("conn=1 dh=0 path=DATA:x") and its
// completion code (for LoadErrorLibrary: 0 when a library was given, else 1).
struct NwCall {
    NwOp op;
    std::string args;
    uint32_t code = 0;
};

class FaultyNetWareClient : public NetWareClient {
  public:
    explicit FaultyNetWareClient(NetWareClient& inner) : inner_(inner) {}

    // Fails the operation with the code on every call (nth 0) or on its nth call from now
    // (1 = the next one). A later rule for the same operation replaces the earlier one. For
    // LoadErrorLibrary any code means "the library cannot be loaded".
    void FailOperation(NwOp op, uint32_t code, int nth = 0);
    void ClearFailures() { faults_.clear(); }

    const std::vector<NwCall>& Calls() const { return calls_; }
    size_t CallCount(NwOp op) const;
    void ClearCalls() { calls_.clear(); }

    // How the error-text library answers: as the inner client gives it (the default), given but
    // without "NWstrerror", or not loadable at all.
    enum class ErrorLibrary { Present, WithoutFunction, Missing };
    void SetErrorLibrary(ErrorLibrary mode) { errorLibrary_ = mode; }

    // --- NetWareClient ---
    NWCCODE CallsInit() override;
    NWCCODE ConnLayerInit(uint32_t& reference) override;
    NWCCODE GetPrimaryConnRef(uint32_t& reference) override;
    NWCCODE OpenConnByReference(uint32_t reference, uint32_t accessMode, uint32_t flags,
                                NWCONN_HANDLE& conn) override;
    NWCCODE GetConnInfoText(NWCONN_HANDLE conn, uint32_t kind, uint32_t bufferLength,
                            std::string& text) override;
    NWCCODE GetConnInfoValue(NWCONN_HANDLE conn, uint32_t kind, uint32_t& value) override;
    NWDSCCODE DSCreateContext(NWDSContextHandle& context) override;
    NWDSCCODE DSFreeContext(NWDSContextHandle context) override;
    NWDSCCODE DSGetContextText(NWDSContextHandle context, uint32_t key,
                               std::string& value) override;
    NWDSCCODE DSSetContextText(NWDSContextHandle context, uint32_t key,
                               const std::string& value) override;
    NWDSCCODE DSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, NWObjectID id,
                            std::string& name) override;
    NWDSCCODE DSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn, const std::string& name,
                            NWObjectID& id) override;
    NWCCODE GetObjectName(NWCONN_HANDLE conn, NWObjectID id, std::string& name,
                          uint16_t& type) override;
    NWCCODE GetObjectID(NWCONN_HANDLE conn, const std::string& name, uint16_t type,
                        NWObjectID& id) override;
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
    NWCCODE AddTrustee(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                       NWObjectID id, uint16_t rights) override;
    NWCCODE GetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                               uint8_t& nameSpace) override;
    NWCCODE ObtainEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                            uint8_t sourceNameSpace, uint8_t targetNameSpace,
                            uint16_t searchAttributes, uint32_t infoMask, EntryInfo& info) override;
    NWCCODE ModifyDosInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                          uint8_t nameSpace, uint16_t searchAttributes, uint32_t modifyMask,
                          const DosInfo& info) override;
    NWCCODE GetDirSpaceLimitList(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                 std::vector<SpaceLimitEntry>& list) override;
    NWCCODE SetDirSpaceLimit(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint32_t limit) override;
    NWCCODE ScanDirEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint16_t searchAttributes,
                             uint32_t& iterHandle, DirEntryRecord& record) override;
    NWCCODE ModifyDirEntry(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint16_t searchAttributes,
                           uint32_t iterHandle, uint32_t changeMask,
                           const DirEntryRecord& record) override;
    NWCCODE FileServerFileCopy(FileHandle source, FileHandle target, uint32_t sourceOffset,
                               uint32_t targetOffset, uint32_t count,
                               uint32_t& bytesCopied) override;
    std::unique_ptr<NWErrorLibrary> LoadErrorLibrary() override;

  private:
    struct Fault {
        uint32_t code = 0;
        int nth = 0;   // 0: every call
        int seen = 0;  // calls since the rule was set
    };

    // Records the call, then answers the injected code or forwards it.
    template <typename Code, typename Forward>
    Code Run(NwOp op, std::string args, Forward forward);
    bool Injected(NwOp op, uint32_t& code);

    NetWareClient& inner_;
    std::map<NwOp, Fault> faults_;
    std::vector<NwCall> calls_;
    ErrorLibrary errorLibrary_ = ErrorLibrary::Present;
};

}  // namespace testing
}  // namespace ferrit
