#include "testing/faulty_netware_client.h"

#include <algorithm>
#include <cstdio>

namespace ferrit {
namespace testing {

namespace {

// "0x" and eight hexadecimal digits.
std::string Hex(uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", value);
    return buf;
}

std::string N(uint32_t value) {
    return std::to_string(value);
}

// The start of a call's arguments: the connection and the directory handle.
std::string DirArgs(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) {
    return "conn=" + N(conn) + " dh=" + N(dirHandle);
}

// The inner client's library, with "NWstrerror" hidden.
class LibraryWithoutFunction : public NWErrorLibrary {
  public:
    explicit LibraryWithoutFunction(std::unique_ptr<NWErrorLibrary> inner)
        : inner_(std::move(inner)) {}
    bool HasNWstrerror() const override { return false; }
    std::string NWstrerror(uint32_t code) override { return inner_->NWstrerror(code); }

  private:
    std::unique_ptr<NWErrorLibrary> inner_;
};

}  // namespace

const char* NwOpName(NwOp op) {
    switch (op) {
        case NwOp::CallsInit:
            return "CallsInit";
        case NwOp::ConnLayerInit:
            return "ConnLayerInit";
        case NwOp::GetPrimaryConnRef:
            return "GetPrimaryConnRef";
        case NwOp::OpenConnByReference:
            return "OpenConnByReference";
        case NwOp::GetConnInfoText:
            return "GetConnInfoText";
        case NwOp::GetConnInfoValue:
            return "GetConnInfoValue";
        case NwOp::DSCreateContext:
            return "DSCreateContext";
        case NwOp::DSFreeContext:
            return "DSFreeContext";
        case NwOp::DSGetContextText:
            return "DSGetContextText";
        case NwOp::DSSetContextText:
            return "DSSetContextText";
        case NwOp::DSMapIDToName:
            return "DSMapIDToName";
        case NwOp::DSMapNameToID:
            return "DSMapNameToID";
        case NwOp::GetObjectName:
            return "GetObjectName";
        case NwOp::GetObjectID:
            return "GetObjectID";
        case NwOp::ParsePath:
            return "ParsePath";
        case NwOp::GetEffectiveRights:
            return "GetEffectiveRights";
        case NwOp::AllocTemporaryDirectoryHandle:
            return "AllocTemporaryDirectoryHandle";
        case NwOp::DeallocateDirectoryHandle:
            return "DeallocateDirectoryHandle";
        case NwOp::ScanTrustees:
            return "ScanTrustees";
        case NwOp::AddTrustee:
            return "AddTrustee";
        case NwOp::GetOwningNameSpace:
            return "GetOwningNameSpace";
        case NwOp::ObtainEntryInfo:
            return "ObtainEntryInfo";
        case NwOp::ModifyDosInfo:
            return "ModifyDosInfo";
        case NwOp::GetDirSpaceLimitList:
            return "GetDirSpaceLimitList";
        case NwOp::SetDirSpaceLimit:
            return "SetDirSpaceLimit";
        case NwOp::ScanDirEntryInfo:
            return "ScanDirEntryInfo";
        case NwOp::ModifyDirEntry:
            return "ModifyDirEntry";
        case NwOp::FileServerFileCopy:
            return "FileServerFileCopy";
        case NwOp::LoadErrorLibrary:
            return "LoadErrorLibrary";
    }
    return "?";
}

void FaultyNetWareClient::FailOperation(NwOp op, uint32_t code, int nth) {
    Fault f;
    f.code = code;
    f.nth = nth;
    faults_[op] = f;
}

size_t FaultyNetWareClient::CallCount(NwOp op) const {
    return static_cast<size_t>(
        std::count_if(calls_.begin(), calls_.end(), [op](const NwCall& c) { return c.op == op; }));
}

bool FaultyNetWareClient::Injected(NwOp op, uint32_t& code) {
    auto it = faults_.find(op);
    if (it == faults_.end()) {
        return false;
    }
    Fault& f = it->second;
    ++f.seen;
    if (f.nth == 0 || f.seen == f.nth) {
        code = f.code;
        return true;
    }
    return false;
}

template <typename Code, typename Forward>
Code FaultyNetWareClient::Run(NwOp op, std::string args, Forward forward) {
    calls_.push_back(NwCall{op, std::move(args), 0});
    const size_t index = calls_.size() - 1;
    uint32_t injected = 0;
    const Code code = Injected(op, injected) ? static_cast<Code>(injected) : forward();
    calls_[index].code = code;
    return code;
}

NWCCODE FaultyNetWareClient::CallsInit() {
    return Run<NWCCODE>(NwOp::CallsInit, "", [&] { return inner_.CallsInit(); });
}

NWCCODE FaultyNetWareClient::ConnLayerInit(uint32_t& reference) {
    return Run<NWCCODE>(NwOp::ConnLayerInit, "", [&] { return inner_.ConnLayerInit(reference); });
}

NWCCODE FaultyNetWareClient::GetPrimaryConnRef(uint32_t& reference) {
    return Run<NWCCODE>(NwOp::GetPrimaryConnRef, "",
                        [&] { return inner_.GetPrimaryConnRef(reference); });
}

NWCCODE FaultyNetWareClient::OpenConnByReference(uint32_t reference, uint32_t accessMode,
                                                 uint32_t flags, NWCONN_HANDLE& conn) {
    return Run<NWCCODE>(
        NwOp::OpenConnByReference,
        "ref=" + Hex(reference) + " mode=" + N(accessMode) + " flags=" + N(flags),
        [&] { return inner_.OpenConnByReference(reference, accessMode, flags, conn); });
}

NWCCODE FaultyNetWareClient::GetConnInfoText(NWCONN_HANDLE conn, uint32_t kind,
                                             uint32_t bufferLength, std::string& text) {
    return Run<NWCCODE>(NwOp::GetConnInfoText,
                        "conn=" + N(conn) + " kind=" + N(kind) + " len=" + N(bufferLength),
                        [&] { return inner_.GetConnInfoText(conn, kind, bufferLength, text); });
}

NWCCODE FaultyNetWareClient::GetConnInfoValue(NWCONN_HANDLE conn, uint32_t kind, uint32_t& value) {
    return Run<NWCCODE>(NwOp::GetConnInfoValue, "conn=" + N(conn) + " kind=" + N(kind),
                        [&] { return inner_.GetConnInfoValue(conn, kind, value); });
}

NWDSCCODE FaultyNetWareClient::DSCreateContext(NWDSContextHandle& context) {
    return Run<NWDSCCODE>(NwOp::DSCreateContext, "",
                          [&] { return inner_.DSCreateContext(context); });
}

NWDSCCODE FaultyNetWareClient::DSFreeContext(NWDSContextHandle context) {
    return Run<NWDSCCODE>(NwOp::DSFreeContext, "ctx=" + Hex(context),
                          [&] { return inner_.DSFreeContext(context); });
}

NWDSCCODE FaultyNetWareClient::DSGetContextText(NWDSContextHandle context, uint32_t key,
                                                std::string& value) {
    return Run<NWDSCCODE>(NwOp::DSGetContextText, "ctx=" + Hex(context) + " key=" + N(key),
                          [&] { return inner_.DSGetContextText(context, key, value); });
}

NWDSCCODE FaultyNetWareClient::DSSetContextText(NWDSContextHandle context, uint32_t key,
                                                const std::string& value) {
    return Run<NWDSCCODE>(NwOp::DSSetContextText,
                          "ctx=" + Hex(context) + " key=" + N(key) + " value=" + value,
                          [&] { return inner_.DSSetContextText(context, key, value); });
}

NWDSCCODE FaultyNetWareClient::DSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn,
                                             NWObjectID id, std::string& name) {
    return Run<NWDSCCODE>(NwOp::DSMapIDToName,
                          "ctx=" + Hex(context) + " conn=" + N(conn) + " id=" + Hex(id),
                          [&] { return inner_.DSMapIDToName(context, conn, id, name); });
}

NWDSCCODE FaultyNetWareClient::DSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn,
                                             const std::string& name, NWObjectID& id) {
    return Run<NWDSCCODE>(NwOp::DSMapNameToID,
                          "ctx=" + Hex(context) + " conn=" + N(conn) + " name=" + name,
                          [&] { return inner_.DSMapNameToID(context, conn, name, id); });
}

NWCCODE FaultyNetWareClient::GetObjectName(NWCONN_HANDLE conn, NWObjectID id, std::string& name,
                                           uint16_t& type) {
    return Run<NWCCODE>(NwOp::GetObjectName, "conn=" + N(conn) + " id=" + Hex(id),
                        [&] { return inner_.GetObjectName(conn, id, name, type); });
}

NWCCODE FaultyNetWareClient::GetObjectID(NWCONN_HANDLE conn, const std::string& name, uint16_t type,
                                         NWObjectID& id) {
    return Run<NWCCODE>(NwOp::GetObjectID,
                        "conn=" + N(conn) + " name=" + name + " type=" + Hex(type).substr(6),
                        [&] { return inner_.GetObjectID(conn, name, type, id); });
}

NWCCODE FaultyNetWareClient::ParsePath(const std::string& path, NWCONN_HANDLE& conn,
                                       NWDIR_HANDLE& dirHandle, std::string& volumePath) {
    return Run<NWCCODE>(NwOp::ParsePath, "path=" + path,
                        [&] { return inner_.ParsePath(path, conn, dirHandle, volumePath); });
}

NWCCODE FaultyNetWareClient::GetEffectiveRights(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                const std::string& path, uint16_t& rights) {
    return Run<NWCCODE>(NwOp::GetEffectiveRights, DirArgs(conn, dirHandle) + " path=" + path,
                        [&] { return inner_.GetEffectiveRights(conn, dirHandle, path, rights); });
}

NWCCODE FaultyNetWareClient::AllocTemporaryDirectoryHandle(NWCONN_HANDLE conn,
                                                           NWDIR_HANDLE dirHandle,
                                                           const std::string& path,
                                                           NWDIR_HANDLE& newHandle,
                                                           uint8_t& rightsMask) {
    return Run<NWCCODE>(NwOp::AllocTemporaryDirectoryHandle,
                        DirArgs(conn, dirHandle) + " path=" + path, [&] {
                            return inner_.AllocTemporaryDirectoryHandle(conn, dirHandle, path,
                                                                        newHandle, rightsMask);
                        });
}

NWCCODE FaultyNetWareClient::DeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) {
    return Run<NWCCODE>(NwOp::DeallocateDirectoryHandle, DirArgs(conn, dirHandle),
                        [&] { return inner_.DeallocateDirectoryHandle(conn, dirHandle); });
}

NWCCODE FaultyNetWareClient::ScanTrustees(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                          const std::string& path, uint32_t& iterHandle,
                                          TrusteeBatch& batch) {
    return Run<NWCCODE>(
        NwOp::ScanTrustees, DirArgs(conn, dirHandle) + " path=" + path + " iter=" + N(iterHandle),
        [&] { return inner_.ScanTrustees(conn, dirHandle, path, iterHandle, batch); });
}

NWCCODE FaultyNetWareClient::AddTrustee(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                        const std::string& path, NWObjectID id, uint16_t rights) {
    return Run<NWCCODE>(
        NwOp::AddTrustee,
        DirArgs(conn, dirHandle) + " path=" + path + " id=" + Hex(id) + " rights=" + Hex(rights),
        [&] { return inner_.AddTrustee(conn, dirHandle, path, id, rights); });
}

NWCCODE FaultyNetWareClient::GetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                const std::string& path, uint8_t& nameSpace) {
    return Run<NWCCODE>(NwOp::GetOwningNameSpace, DirArgs(conn, dirHandle) + " path=" + path, [&] {
        return inner_.GetOwningNameSpace(conn, dirHandle, path, nameSpace);
    });
}

NWCCODE FaultyNetWareClient::ObtainEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                             const std::string& path, uint8_t sourceNameSpace,
                                             uint8_t targetNameSpace, uint16_t searchAttributes,
                                             uint32_t infoMask, EntryInfo& info) {
    return Run<NWCCODE>(
        NwOp::ObtainEntryInfo,
        DirArgs(conn, dirHandle) + " path=" + path + " ns=" + N(sourceNameSpace) + "/" +
            N(targetNameSpace) + " attr=" + Hex(searchAttributes) + " mask=" + Hex(infoMask),
        [&] {
            return inner_.ObtainEntryInfo(conn, dirHandle, path, sourceNameSpace, targetNameSpace,
                                          searchAttributes, infoMask, info);
        });
}

NWCCODE FaultyNetWareClient::ModifyDosInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                           const std::string& path, uint8_t nameSpace,
                                           uint16_t searchAttributes, uint32_t modifyMask,
                                           const DosInfo& info) {
    return Run<NWCCODE>(NwOp::ModifyDosInfo,
                        DirArgs(conn, dirHandle) + " path=" + path + " ns=" + N(nameSpace) +
                            " attr=" + Hex(searchAttributes) + " mask=" + Hex(modifyMask) +
                            " owner=" + Hex(info.ownerId),
                        [&] {
                            return inner_.ModifyDosInfo(conn, dirHandle, path, nameSpace,
                                                        searchAttributes, modifyMask, info);
                        });
}

NWCCODE FaultyNetWareClient::GetDirSpaceLimitList(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                  std::vector<SpaceLimitEntry>& list) {
    return Run<NWCCODE>(NwOp::GetDirSpaceLimitList, DirArgs(conn, dirHandle),
                        [&] { return inner_.GetDirSpaceLimitList(conn, dirHandle, list); });
}

NWCCODE FaultyNetWareClient::SetDirSpaceLimit(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                              uint32_t limit) {
    return Run<NWCCODE>(NwOp::SetDirSpaceLimit, DirArgs(conn, dirHandle) + " limit=" + N(limit),
                        [&] { return inner_.SetDirSpaceLimit(conn, dirHandle, limit); });
}

NWCCODE FaultyNetWareClient::ScanDirEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                              uint16_t searchAttributes, uint32_t& iterHandle,
                                              DirEntryRecord& record) {
    return Run<NWCCODE>(
        NwOp::ScanDirEntryInfo,
        DirArgs(conn, dirHandle) + " attr=" + Hex(searchAttributes) + " iter=" + Hex(iterHandle),
        [&] {
            return inner_.ScanDirEntryInfo(conn, dirHandle, searchAttributes, iterHandle, record);
        });
}

NWCCODE FaultyNetWareClient::ModifyDirEntry(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                            uint16_t searchAttributes, uint32_t iterHandle,
                                            uint32_t changeMask, const DirEntryRecord& record) {
    return Run<NWCCODE>(NwOp::ModifyDirEntry,
                        DirArgs(conn, dirHandle) + " attr=" + Hex(searchAttributes) +
                            " iter=" + Hex(iterHandle) + " change=" + Hex(changeMask) +
                            " irm=" + Hex(record.inheritedRightsMask),
                        [&] {
                            return inner_.ModifyDirEntry(conn, dirHandle, searchAttributes,
                                                         iterHandle, changeMask, record);
                        });
}

NWCCODE FaultyNetWareClient::FileServerFileCopy(FileHandle source, FileHandle target,
                                                uint32_t sourceOffset, uint32_t targetOffset,
                                                uint32_t count, uint32_t& bytesCopied) {
    return Run<NWCCODE>(NwOp::FileServerFileCopy,
                        "src=" + std::to_string(static_cast<intptr_t>(source)) +
                            " dst=" + std::to_string(static_cast<intptr_t>(target)) + " srcoff=" +
                            N(sourceOffset) + " dstoff=" + N(targetOffset) + " count=" + N(count),
                        [&] {
                            return inner_.FileServerFileCopy(source, target, sourceOffset,
                                                             targetOffset, count, bytesCopied);
                        });
}

std::unique_ptr<NWErrorLibrary> FaultyNetWareClient::LoadErrorLibrary() {
    std::unique_ptr<NWErrorLibrary> library;
    Run<uint32_t>(NwOp::LoadErrorLibrary, "", [&]() -> uint32_t {
        if (errorLibrary_ != ErrorLibrary::Missing) {
            library = inner_.LoadErrorLibrary();
        }
        if (library && errorLibrary_ == ErrorLibrary::WithoutFunction) {
            library = std::make_unique<LibraryWithoutFunction>(std::move(library));
        }
        return library ? 0 : 1;
    });
    return library;
}

}  // namespace testing
}  // namespace ferrit
