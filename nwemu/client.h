// A NetWare client that serves the servers of a Config over local directories, as a
// NetWare server would answer for everything the program relies on. Each server has one
// connection for the life of the client (handles 1, 2, ... in the order of the description).
// Tests that need a call log or failures wrap it in testing::FaultyNetWareClient.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "netware/netware_client.h"
#include "netware/server_rules.h"
#include "nwemu/config.h"
#include "nwemu/network.h"

namespace ferrit {
namespace nwemu {

// The completion codes the emulated servers answer; the error-text library names each.
namespace Code {
constexpr uint16_t NoPrimaryConnection = 0x880F;
constexpr uint16_t InvalidConnection = 0x8801;
constexpr uint16_t InvalidParameter = 0x8836;
constexpr uint16_t NotSameServer = 0x8866;
constexpr uint16_t InsufficientSpace = 0x8901;
constexpr uint16_t IoError = 0x8983;
constexpr uint16_t NoModifyPrivileges = NWErr::NoModifyPrivileges;
constexpr uint16_t InvalidFileHandle = 0x8988;
constexpr uint16_t BadDirectoryHandle = NWErr::BadDirectoryHandle;
constexpr uint16_t InvalidPath = NWErr::InvalidPath;  // also: no more trustees
constexpr uint16_t NoMoreDirHandles = 0x899D;
constexpr uint16_t MetadataNotStored = 0x89A1;
constexpr uint16_t InvalidNameSpace = 0x89BF;
constexpr uint16_t NoSuchObject = NWErr::NoSuchObject;
constexpr uint16_t Failure = NWErr::Failure;    // also: no more entries, no limit to remove
constexpr uint32_t DSBadContext = 0xFFFFFED1;   // -303
constexpr uint32_t DSBadKey = 0xFFFFFEB3;       // -333
constexpr uint32_t DSNoSuchEntry = 0xFFFFFDA7;  // -601
constexpr uint32_t DSWrongTree = 0xFFFFFD93;    // -621: the server is not in the context's tree
}  // namespace Code

// Text of an emulated code; empty for a code the emulator never answers.
std::string CodeText(uint32_t code);

class Client : public NetWareClient {
  public:
    // The metadata of the entries is kept as `keeping` says (metadata.h).
    explicit Client(Config config, MetadataKeeping keeping = SystemMetadataKeeping());

    // Directory-services contexts created and not yet freed.
    size_t OpenContexts() const { return contexts_.size(); }
    // Temporary directory handles held on a connection.
    size_t HeldDirHandles(NWCONN_HANDLE conn) const;
    Network& Servers() { return network_; }
    // The connection handle of a server (0 for an unknown name).
    NWCONN_HANDLE ConnectionOf(const std::string& serverName) const;

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
    struct Context {
        std::string tree;
        std::string nameContext;
    };

    // Server index of a connection, or -1.
    int ServerOf(NWCONN_HANDLE conn) const;
    // The entry a directory handle and a path name on a connection; 0 or a code.
    uint16_t Resolve(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                     Location& loc) const;
    // Resolve, for an entry that must exist.
    uint16_t ResolveExisting(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                             Location& loc) const;
    // The directory a temporary handle holds on a connection; 0 or a code.
    uint16_t HeldDirectory(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const Location*& dir) const;
    // A context and the server of a connection, which must belong to the context's tree; 0 or
    // a code.
    uint32_t DsServer(NWDSContextHandle context, NWCONN_HANDLE conn, const Context*& ctx,
                      const Server*& server) const;
    // The entry must exist and the login must hold Access Control or Supervisor on it.
    uint16_t MayChange(const Location& loc) const;
    uint16_t StoreResult(int error) const;
    const Location* DirHandle(NWCONN_HANDLE conn, NWDIR_HANDLE handle) const;
    uint16_t LocateFileHandle(FileHandle handle, int& server) const;

    Network network_;
    std::vector<std::map<NWDIR_HANDLE, Location>> dirHandles_;  // per server
    std::map<NWDSContextHandle, Context> contexts_;
    NWDSContextHandle nextContext_ = 0x2001;
};

}  // namespace nwemu
}  // namespace ferrit
