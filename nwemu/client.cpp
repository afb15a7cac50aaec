#include "nwemu/client.h"

#include <algorithm>

#include "platform/error_codes.h"
#include "platform/file_handles.h"
#include "platform/fs_util.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

namespace {

constexpr uint16_t kLongNameSpace = 4;  // entries are made by workstations with long names
constexpr uint16_t kSearchDirectories = 0x10;
constexpr NWCONN_HANDLE kFirstReference = 0x100;

size_t CountParts(const std::string& name) {
    return static_cast<size_t>(std::count(name.begin(), name.end(), '.')) + 1;
}

bool IsRootContext(const std::string& nameContext) {
    return nameContext.empty() || UpperAscii(nameContext) == "[ROOT]";
}

// A full name relative to a name context: whole under [Root]; the context's trailing parts
// dropped when the name lies below it; otherwise marked as starting at the root.
std::string RelativeName(const std::string& full, const std::string& nameContext) {
    if (IsRootContext(nameContext)) {
        return full;
    }
    const std::string k = DsKey(full);
    const std::string c = DsKey(nameContext);
    if (k.size() > c.size() + 1 && k.compare(k.size() - c.size(), c.size(), c) == 0 &&
        k[k.size() - c.size() - 1] == '.') {
        std::string rel = full;
        for (size_t i = 0; i < CountParts(nameContext); ++i) {
            rel = rel.substr(0, rel.rfind('.'));
        }
        return rel;
    }
    return "." + full;
}

std::string AbsoluteName(const std::string& name, const std::string& nameContext) {
    if (!name.empty() && name[0] == '.') {
        return name.substr(1);
    }
    if (IsRootContext(nameContext)) {
        return name;
    }
    return name + "." + nameContext;
}

// Entries are made in the long name space; the DOS name space (0) names them as well.
bool KnownNameSpace(uint8_t nameSpace) {
    return nameSpace == 0 || nameSpace == kLongNameSpace;
}

// Access Control or Supervisor: what it takes to see every trustee and to change an entry.
bool HoldsControl(uint16_t rights) {
    return (rights & (Rights::AccessControl | Rights::Supervisor)) != 0;
}

// The iteration handle that names a directory entry: its file index (inode number), kept off
// the value that means "before a scan".
uint32_t EntrySequence(const PathFacts& facts) {
    const uint32_t index = static_cast<uint32_t>(facts.index);
    return index == 0xFFFFFFFF ? 0xFFFFFFFE : index;
}

// The error-text library of the emulated servers: it names every code they answer.
class EmuErrorLibrary : public NWErrorLibrary {
  public:
    bool HasNWstrerror() const override { return true; }
    std::string NWstrerror(uint32_t code) override {
        const std::string text = CodeText(code);
        return text.empty() ? "Unknown error" : text;
    }
};

}  // namespace

std::string CodeText(uint32_t code) {
    switch (code) {
        case Code::NoPrimaryConnection:
            return "No primary connection";
        case Code::InvalidConnection:
            return "Invalid connection handle";
        case Code::InvalidParameter:
            return "Invalid parameter";
        case Code::NotSameServer:
            return "Files are not on the same server";
        case Code::InsufficientSpace:
            return "Insufficient space on the volume";
        case Code::IoError:
            return "I/O error";
        case Code::NoModifyPrivileges:
            return "No modify privileges";
        case Code::InvalidFileHandle:
            return "Invalid file handle";
        case Code::BadDirectoryHandle:
            return "Bad directory handle";
        case Code::InvalidPath:
            return "Invalid path or no more trustees";
        case Code::NoMoreDirHandles:
            return "No more directory handles";
        case Code::MetadataNotStored:
            return "Directory information could not be stored";
        case Code::InvalidNameSpace:
            return "Invalid name space";
        case Code::NoSuchObject:
            return "No such object";
        case Code::Failure:
            return "Failure, no more entries";
        case Code::DSBadContext:
            return "Invalid context handle";
        case Code::DSBadKey:
            return "Invalid context key";
        case Code::DSNoSuchEntry:
            return "No such entry";
        case Code::DSWrongTree:
            return "Server is not in the context's tree";
        default:
            return std::string();
    }
}

Client::Client(Config config, MetadataKeeping keeping)
    : network_(std::move(config), keeping),
      dirHandles_(static_cast<size_t>(network_.ServerCount())) {}

size_t Client::HeldDirHandles(NWCONN_HANDLE conn) const {
    const int s = ServerOf(conn);
    return s < 0 ? 0 : dirHandles_[static_cast<size_t>(s)].size();
}

NWCONN_HANDLE Client::ConnectionOf(const std::string& serverName) const {
    for (int s = 0; s < network_.ServerCount(); ++s) {
        if (network_.ServerAt(s).name == UpperAscii(serverName)) {
            return static_cast<NWCONN_HANDLE>(s + 1);
        }
    }
    return 0;
}

int Client::ServerOf(NWCONN_HANDLE conn) const {
    if (conn == 0 || conn > static_cast<NWCONN_HANDLE>(network_.ServerCount())) {
        return -1;
    }
    return static_cast<int>(conn) - 1;
}

const Location* Client::DirHandle(NWCONN_HANDLE conn, NWDIR_HANDLE handle) const {
    const int s = ServerOf(conn);
    if (s < 0 || handle == 0) {
        return nullptr;
    }
    const auto& handles = dirHandles_[static_cast<size_t>(s)];
    const auto it = handles.find(handle);
    return it == handles.end() ? nullptr : &it->second;
}

uint16_t Client::Resolve(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                         Location& loc) const {
    const int s = ServerOf(conn);
    if (s < 0) {
        return Code::InvalidConnection;
    }
    if (dirHandle == 0) {
        return network_.LocateVolumePath(s, path, loc) ? 0 : Code::InvalidPath;
    }
    const Location* base = nullptr;
    if (const uint16_t code = HeldDirectory(conn, dirHandle, base)) {
        return code;
    }
    return network_.LocateRelative(*base, path, loc) ? 0 : Code::InvalidPath;
}

uint16_t Client::ResolveExisting(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                 const std::string& path, Location& loc) const {
    if (const uint16_t code = Resolve(conn, dirHandle, path, loc)) {
        return code;
    }
    return loc.Exists() ? 0 : Code::InvalidPath;
}

uint16_t Client::HeldDirectory(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                               const Location*& dir) const {
    if (ServerOf(conn) < 0) {
        return Code::InvalidConnection;
    }
    dir = DirHandle(conn, dirHandle);
    return dir != nullptr ? 0 : Code::BadDirectoryHandle;
}

uint32_t Client::DsServer(NWDSContextHandle context, NWCONN_HANDLE conn, const Context*& ctx,
                          const Server*& server) const {
    const auto it = contexts_.find(context);
    if (it == contexts_.end()) {
        return Code::DSBadContext;
    }
    const int s = ServerOf(conn);
    if (s < 0) {
        return Code::InvalidConnection;
    }
    ctx = &it->second;
    server = &network_.ServerAt(s);
    return server->tree.empty() || server->tree != UpperAscii(ctx->tree) ? Code::DSWrongTree : 0;
}

uint16_t Client::MayChange(const Location& loc) const {
    if (!loc.Exists()) {
        return Code::InvalidPath;
    }
    return MayChangeEntry(network_.LoginRights(loc));
}

uint16_t Client::StoreResult(int error) const {
    return error == 0 ? 0 : Code::MetadataNotStored;
}

// --- Start-up and connections ---

NWCCODE Client::CallsInit() {
    return 0;
}

NWCCODE Client::ConnLayerInit(uint32_t& reference) {
    reference = network_.ServerCount() > 0 ? kFirstReference : 0;
    return 0;
}

NWCCODE Client::GetPrimaryConnRef(uint32_t& reference) {
    if (network_.ServerCount() == 0) {
        return Code::NoPrimaryConnection;
    }
    reference = kFirstReference;
    return 0;
}

NWCCODE Client::OpenConnByReference(uint32_t reference, uint32_t /*accessMode*/, uint32_t /*flags*/,
                                    NWCONN_HANDLE& conn) {
    if (reference < kFirstReference ||
        reference >= kFirstReference + static_cast<uint32_t>(network_.ServerCount())) {
        return Code::InvalidConnection;
    }
    conn = reference - kFirstReference + 1;
    return 0;
}

NWCCODE Client::GetConnInfoText(NWCONN_HANDLE conn, uint32_t kind, uint32_t bufferLength,
                                std::string& text) {
    text.clear();
    const int s = ServerOf(conn);
    if (s < 0) {
        return Code::InvalidConnection;
    }
    std::string answer;
    if (kind == ConnInfo::TreeName) {
        // Servers answer the tree name padded with underscores to 32 characters; a
        // bindery-only server has underscores alone.
        answer = network_.ServerAt(s).tree;
        answer.resize(32, '_');
    } else if (kind == ConnInfo::ServerName) {
        answer = network_.ServerAt(s).name;
    } else {
        return Code::InvalidParameter;
    }
    if (bufferLength == 0) {
        return Code::InvalidParameter;
    }
    text = answer.substr(0, bufferLength - 1);
    return 0;
}

NWCCODE Client::GetConnInfoValue(NWCONN_HANDLE conn, uint32_t kind, uint32_t& value) {
    const int s = ServerOf(conn);
    if (s < 0) {
        return Code::InvalidConnection;
    }
    if (kind == ConnInfo::UserId) {
        value = network_.LoginId(s);
        return 0;
    }
    if (kind != ConnInfo::DirectoryServices) {
        return Code::InvalidParameter;
    }
    value = network_.ServerAt(s).tree.empty() ? 0 : 1;
    return 0;
}

// --- Directory-services contexts and names ---

NWDSCCODE Client::DSCreateContext(NWDSContextHandle& context) {
    // A new context points at the workstation's preferred tree: the first one described.
    Context c;
    for (int s = 0; s < network_.ServerCount() && c.tree.empty(); ++s) {
        c.tree = network_.ServerAt(s).tree;
    }
    c.nameContext = "[Root]";
    context = nextContext_++;
    contexts_[context] = c;
    return 0;
}

NWDSCCODE Client::DSFreeContext(NWDSContextHandle context) {
    return contexts_.erase(context) == 1 ? 0 : Code::DSBadContext;
}

NWDSCCODE Client::DSGetContextText(NWDSContextHandle context, uint32_t key, std::string& value) {
    value.clear();
    const auto it = contexts_.find(context);
    if (it == contexts_.end()) {
        return Code::DSBadContext;
    }
    if (key == ContextKey::TreeName) {
        value = it->second.tree;
    } else if (key == ContextKey::NameContext) {
        value = it->second.nameContext;
    } else {
        return Code::DSBadKey;
    }
    return 0;
}

NWDSCCODE Client::DSSetContextText(NWDSContextHandle context, uint32_t key,
                                   const std::string& value) {
    const auto it = contexts_.find(context);
    if (it == contexts_.end()) {
        return Code::DSBadContext;
    }
    if (key == ContextKey::TreeName) {
        it->second.tree = UpperAscii(value);
    } else if (key == ContextKey::NameContext) {
        it->second.nameContext = value;
    } else {
        return Code::DSBadKey;
    }
    return 0;
}

NWDSCCODE Client::DSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, NWObjectID id,
                                std::string& name) {
    name.clear();
    const Context* ctx = nullptr;
    const Server* server = nullptr;
    if (const uint32_t code = DsServer(context, conn, ctx, server)) {
        return code;
    }
    const Object* o = server->FindObject(id);
    if (o == nullptr || o->dsName.empty()) {
        return Code::DSNoSuchEntry;
    }
    name = RelativeName(o->dsName, ctx->nameContext);
    return 0;
}

NWDSCCODE Client::DSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn,
                                const std::string& name, NWObjectID& id) {
    const Context* ctx = nullptr;
    const Server* server = nullptr;
    if (const uint32_t code = DsServer(context, conn, ctx, server)) {
        return code;
    }
    const Object* o = server->FindDsObject(AbsoluteName(name, ctx->nameContext));
    if (o == nullptr) {
        return Code::DSNoSuchEntry;
    }
    id = o->id;
    return 0;
}

// --- Bindery ---

NWCCODE Client::GetObjectName(NWCONN_HANDLE conn, NWObjectID id, std::string& name,
                              uint16_t& type) {
    name.clear();
    const int s = ServerOf(conn);
    if (s < 0) {
        return Code::InvalidConnection;
    }
    // A server of a tree answers bindery calls for the objects of its bindery contexts only.
    const Server& server = network_.ServerAt(s);
    const Object* o = server.FindObject(id);
    if (o == nullptr || !server.InBindery(*o)) {
        return Code::NoSuchObject;
    }
    name = o->name;
    type = o->type;
    return 0;
}

NWCCODE Client::GetObjectID(NWCONN_HANDLE conn, const std::string& name, uint16_t type,
                            NWObjectID& id) {
    const int s = ServerOf(conn);
    if (s < 0) {
        return Code::InvalidConnection;
    }
    // The bindery keeps its names in capitals.
    const Server& server = network_.ServerAt(s);
    const Object* o = server.FindObject(name);
    if (o == nullptr || !server.InBindery(*o) || (type != 0xFFFF && o->type != type)) {
        return Code::NoSuchObject;
    }
    id = o->id;
    return 0;
}

// --- Paths and rights ---

NWCCODE Client::ParsePath(const std::string& path, NWCONN_HANDLE& conn, NWDIR_HANDLE& dirHandle,
                          std::string& volumePath) {
    conn = 0;
    dirHandle = 0;
    volumePath.clear();
    Location loc;
    if (!network_.LocateLocal(path, loc)) {
        return Code::InvalidPath;
    }
    conn = static_cast<NWCONN_HANDLE>(loc.server + 1);
    volumePath = loc.volumePath;
    return 0;
}

NWCCODE Client::GetEffectiveRights(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                   const std::string& path, uint16_t& rights) {
    rights = 0;
    Location loc;
    if (const uint16_t code = ResolveExisting(conn, dirHandle, path, loc)) {
        return code;
    }
    rights = network_.LoginRights(loc);
    return 0;
}

// --- Temporary directory handles ---

NWCCODE Client::AllocTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                              const std::string& path, NWDIR_HANDLE& newHandle,
                                              uint8_t& rightsMask) {
    newHandle = 0;
    rightsMask = 0;
    Location loc;
    if (const uint16_t code = Resolve(conn, dirHandle, path, loc)) {
        return code;
    }
    if (!loc.IsDirectory()) {
        return Code::InvalidPath;
    }
    const int s = ServerOf(conn);
    auto& handles = dirHandles_[static_cast<size_t>(s)];
    const int limit = network_.ServerAt(s).handleLimit;
    // The lowest free number, as servers hand them out.
    for (int h = 1; h <= limit; ++h) {
        const NWDIR_HANDLE handle = static_cast<NWDIR_HANDLE>(h);
        if (handles.count(handle) == 0) {
            handles[handle] = loc;
            newHandle = handle;
            rightsMask = static_cast<uint8_t>(network_.LoginRights(loc) & 0xFF);
            return 0;
        }
    }
    return Code::NoMoreDirHandles;
}

NWCCODE Client::DeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) {
    const int s = ServerOf(conn);
    if (s < 0) {
        return Code::InvalidConnection;
    }
    return dirHandles_[static_cast<size_t>(s)].erase(dirHandle) == 1 ? 0 : Code::BadDirectoryHandle;
}

// --- Trustees ---

NWCCODE Client::ScanTrustees(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                             uint32_t& iterHandle, TrusteeBatch& batch) {
    batch = TrusteeBatch();
    Location loc;
    if (const uint16_t code = ResolveExisting(conn, dirHandle, path, loc)) {
        return code;
    }
    std::vector<Trustee> all;
    network_.Metadata(loc).ReadTrustees(all);
    // Without Access Control a workstation sees only its own assignments (its login's and
    // its groups').
    std::vector<Trustee> visible;
    const uint16_t rights = network_.LoginRights(loc);
    const std::vector<uint32_t> mine =
        network_.SecurityIds(loc.server, network_.LoginId(loc.server));
    for (const Trustee& t : all) {
        if (HoldsControl(rights) || std::find(mine.begin(), mine.end(), t.id) != mine.end()) {
            visible.push_back(t);
        }
    }
    if (iterHandle >= visible.size()) {
        return Code::InvalidPath;  // no more trustees
    }
    size_t n = 0;
    while (n < batch.size() && iterHandle < visible.size()) {
        batch[n].objectId = visible[iterHandle].id;
        batch[n].rights = visible[iterHandle].rights;
        ++n;
        ++iterHandle;
    }
    return 0;
}

NWCCODE Client::AddTrustee(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                           NWObjectID id, uint16_t rights) {
    Location loc;
    if (const uint16_t code = Resolve(conn, dirHandle, path, loc)) {
        return code;
    }
    if (const uint16_t code = MayChange(loc)) {
        return code;
    }
    if (network_.ServerAt(loc.server).FindObject(id) == nullptr) {
        return Code::NoSuchObject;
    }
    const EntryMetadata metadata = network_.Metadata(loc);
    std::vector<Trustee> trustees;
    int error = 0;
    if (!metadata.ReadTrustees(trustees, &error) && error != 0) {
        return Code::MetadataNotStored;
    }
    uint16_t held = 0;
    for (const Trustee& t : trustees) {
        held = t.id == id ? t.rights : held;
    }
    if (const uint16_t code = MayAssignTrustee(network_.LoginRights(loc), rights, held)) {
        return code;
    }
    AssignTrustee(trustees, id, rights);
    return StoreResult(metadata.WriteTrustees(trustees));
}

// --- Entry information and the owner ---

NWCCODE Client::GetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                   const std::string& path, uint8_t& nameSpace) {
    nameSpace = 0;
    Location loc;
    if (const uint16_t code = ResolveExisting(conn, dirHandle, path, loc)) {
        return code;
    }
    nameSpace = kLongNameSpace;
    return 0;
}

NWCCODE Client::ObtainEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                                uint8_t sourceNameSpace, uint8_t targetNameSpace,
                                uint16_t searchAttributes, uint32_t /*infoMask*/, EntryInfo& info) {
    if (!KnownNameSpace(sourceNameSpace) || !KnownNameSpace(targetNameSpace)) {
        return Code::InvalidNameSpace;
    }
    Location loc;
    if (const uint16_t code = Resolve(conn, dirHandle, path, loc)) {
        return code;
    }
    PathFacts facts;
    if (StatPath(loc.local, facts) != 0) {
        return Code::InvalidPath;
    }
    const bool directory = facts.kind == EntryKind::Directory;
    if (directory && (searchAttributes & kSearchDirectories) == 0) {
        return Code::Failure;  // directories are found only when asked for
    }
    info.ownerId = network_.OwnerOf(loc);
    info.attributes = (directory ? 0x10u : 0u) | (facts.readOnly ? 0x01u : 0u);
    return 0;
}

NWCCODE Client::ModifyDosInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                              uint8_t nameSpace, uint16_t searchAttributes, uint32_t modifyMask,
                              const DosInfo& info) {
    if (!KnownNameSpace(nameSpace)) {
        return Code::InvalidNameSpace;
    }
    Location loc;
    if (const uint16_t code = Resolve(conn, dirHandle, path, loc)) {
        return code;
    }
    if (loc.IsDirectory() && (searchAttributes & kSearchDirectories) == 0) {
        return Code::Failure;
    }
    if (const uint16_t code = MayChange(loc)) {
        return code;
    }
    if ((modifyMask & kModifyOwner) == 0) {
        return 0;  // only the owner is kept by these servers
    }
    if (const uint16_t code = MayChangeOwner(network_.LoginRights(loc))) {
        return code;
    }
    if (network_.ServerAt(loc.server).FindObject(info.ownerId) == nullptr) {
        return Code::NoSuchObject;
    }
    return StoreResult(network_.Metadata(loc).WriteOwner(info.ownerId));
}

// --- Space limits ---

NWCCODE Client::GetDirSpaceLimitList(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                     std::vector<SpaceLimitEntry>& list) {
    list.clear();
    const Location* dir = nullptr;
    if (const uint16_t code = HeldDirectory(conn, dirHandle, dir)) {
        return code;
    }
    if (!dir->IsDirectory()) {
        return Code::InvalidPath;
    }
    // The directory itself (its maximum 0x7FFFFFFF when it has no limit), then each
    // ancestor below the volume root that has one; the level of an entry is the number of
    // backslashes in its volume path. A volume root carries no directory limit.
    Location at = *dir;
    bool self = true;
    while (!at.IsRoot()) {
        uint32_t blocks = 0;
        const bool limited = network_.Metadata(at).ReadLimit(blocks);
        if (self || limited) {
            SpaceLimitEntry e;
            e.level = static_cast<uint8_t>(at.components.size() - 1);
            e.maximum = limited ? blocks : kNoSpaceLimit;
            e.current = limited ? network_.BlocksUsed(at.local) : 0;
            list.push_back(e);
        }
        self = false;
        at.components.pop_back();
        at.local = at.local.substr(0, at.local.rfind(kPathSeparator));
    }
    if (self) {
        list.push_back(SpaceLimitEntry{0, kNoSpaceLimit, 0});
    }
    return 0;
}

NWCCODE Client::SetDirSpaceLimit(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint32_t limit) {
    const Location* dir = nullptr;
    if (const uint16_t code = HeldDirectory(conn, dirHandle, dir)) {
        return code;
    }
    if (const uint16_t code = MayChange(*dir)) {
        return code;
    }
    const bool removing = limit == 0 || limit >= kNoSpaceLimit;
    const EntryMetadata metadata = network_.Metadata(*dir);
    uint32_t old = 0;
    const bool had = !dir->IsRoot() && metadata.ReadLimit(old);
    if (removing) {
        // Removing a limit that is not there is answered 0x89FF, which callers take as done.
        return had ? StoreResult(metadata.WriteLimit(0)) : Code::Failure;
    }
    if (dir->IsRoot()) {
        return Code::InvalidPath;
    }
    return StoreResult(metadata.WriteLimit(limit));
}

// --- Directory entries ---

NWCCODE Client::ScanDirEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                 uint16_t searchAttributes, uint32_t& iterHandle,
                                 DirEntryRecord& record) {
    const Location* dir = nullptr;
    if (const uint16_t code = HeldDirectory(conn, dirHandle, dir)) {
        return code;
    }
    PathFacts facts;
    // Without a pattern the scan finds the directory itself, once.
    if (iterHandle != 0xFFFFFFFF || (searchAttributes & kSearchDirectories) == 0 ||
        StatPath(dir->local, facts) != 0) {
        return Code::Failure;
    }
    uint16_t mask = kAllRights;
    network_.Metadata(*dir).ReadMask(mask);
    record.inheritedRightsMask = mask;
    iterHandle = EntrySequence(facts);
    return 0;
}

NWCCODE Client::ModifyDirEntry(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                               uint16_t searchAttributes, uint32_t iterHandle, uint32_t changeMask,
                               const DirEntryRecord& record) {
    const Location* dir = nullptr;
    if (const uint16_t code = HeldDirectory(conn, dirHandle, dir)) {
        return code;
    }
    PathFacts facts;
    if ((searchAttributes & kSearchDirectories) == 0 || StatPath(dir->local, facts) != 0) {
        return Code::Failure;
    }
    // The iteration handle names the entry the scan found.
    if (iterHandle != EntrySequence(facts)) {
        return Code::Failure;
    }
    if (const uint16_t code = MayChange(*dir)) {
        return code;
    }
    if ((changeMask & kModifyInheritedRightsMask) == 0) {
        return 0;
    }
    return StoreResult(network_.Metadata(*dir).WriteMask(record.inheritedRightsMask));
}

// --- The server copy ---

uint16_t Client::LocateFileHandle(FileHandle handle, int& server) const {
    server = -1;
    std::string path;
    Location loc;
    if (!PathOfHandle(handle, path) || !network_.LocateLocal(path, loc)) {
        return Code::InvalidFileHandle;  // not a file on an emulated volume
    }
    server = loc.server;
    return 0;
}

NWCCODE Client::FileServerFileCopy(FileHandle source, FileHandle target, uint32_t sourceOffset,
                                   uint32_t targetOffset, uint32_t count, uint32_t& bytesCopied) {
    bytesCopied = 0;
    int from = -1;
    int to = -1;
    if (const uint16_t code = LocateFileHandle(source, from)) {
        return code;
    }
    if (const uint16_t code = LocateFileHandle(target, to)) {
        return code;
    }
    if (from != to) {
        return Code::NotSameServer;
    }
    // The data stays in the system (and on file systems that can, on the storage side) where it
    // can; a request past the end of the source copies what there is.
    uint64_t copied = 0;
    const int error = CopyBetweenHandles(source, sourceOffset, target, targetOffset, count, copied);
    bytesCopied = static_cast<uint32_t>(copied);
    if (error == WinErr::DiskFull || error == WinErr::DiskQuotaExceeded) {
        return Code::InsufficientSpace;
    }
    return error == 0 ? 0u : static_cast<uint32_t>(Code::IoError);
}

std::unique_ptr<NWErrorLibrary> Client::LoadErrorLibrary() {
    return std::make_unique<EmuErrorLibrary>();
}

}  // namespace nwemu
}  // namespace ferrit
