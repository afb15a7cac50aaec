#include "netware/win/native_client.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "netware/server_rules.h"
#include "platform/error_codes.h"
#include "platform/win/win_api.h"

// The calling convention of the client libraries is decided here, once, for every binding: the
// convention of the Win32 system libraries, in which the called routine removes its arguments
// from the stack. An export of that convention called through a pointer of the C convention
// leaves the caller's stack unbalanced, and the caller crashes.
#define NWAPI __stdcall

namespace ferrit {

namespace {

// --- The client's packed records ---

#pragma pack(push, 1)

// One trustee of a scan batch.
struct RawTrustee {
    uint32_t objectId;  // 0 ends the batch
    uint16_t rights;
    uint16_t spare;
};
static_assert(sizeof(RawTrustee) == 8, "a trustee entry takes 8 bytes");
static_assert(offsetof(RawTrustee, rights) == 4, "the rights follow the object id");

// Entry information: only the owner is read.
struct RawEntryInfo {
    uint8_t before[24];
    uint32_t ownerId;
    uint8_t after[305];
};
static_assert(sizeof(RawEntryInfo) == 333, "the entry-information record takes 333 bytes");
static_assert(offsetof(RawEntryInfo, ownerId) == 24, "the owner id lies at byte 24");

// DOS information for writing: only the owner is filled, the rest stays zero.
struct RawDosInfo {
    uint8_t before[8];
    uint32_t ownerId;
    uint8_t after[26];
};
static_assert(sizeof(RawDosInfo) == 38, "the DOS-information record takes 38 bytes");
static_assert(offsetof(RawDosInfo, ownerId) == 8, "the owner id lies at byte 8");

struct RawSpaceLimit {
    uint8_t level;
    uint32_t maximum;
    uint32_t current;
};
static_assert(sizeof(RawSpaceLimit) == 9, "a space-limit entry takes 9 bytes");
static_assert(offsetof(RawSpaceLimit, maximum) == 1 && offsetof(RawSpaceLimit, current) == 5,
              "level, maximum and current follow each other unaligned");

constexpr size_t kSpaceLimitEntries = 102;
struct RawSpaceLimitList {
    uint8_t count;
    RawSpaceLimit entries[kSpaceLimitEntries];
};
static_assert(sizeof(RawSpaceLimitList) == 919, "the space-limit list takes 919 bytes");

// A directory entry: only the inherited rights mask is read and changed.
struct RawDirEntry {
    uint8_t before[100];
    uint16_t inheritedRightsMask;
    uint8_t after[30];
};
static_assert(sizeof(RawDirEntry) == 132, "the directory entry record takes 132 bytes");
static_assert(offsetof(RawDirEntry, inheritedRightsMask) == 100, "the mask lies at byte 100");

#pragma pack(pop)

// The text buffers the client writes into.
constexpr size_t kConnInfoBytes = 255;  // a caller's text kind beyond this is cut to it
constexpr size_t kDsNameBytes = 256;
constexpr size_t kBinderyNameBytes = 48;
constexpr size_t kVolumePathBytes = 512;
constexpr size_t kTrusteeNameBytes = 255;
constexpr size_t kErrorTextBytes = 1024;

// Completion codes answered without the client, for a text the OEM code page cannot hold: no
// entry or object of the server can bear that name.
constexpr NWCCODE kPathNotHeld = NWErr::InvalidPath;
constexpr NWCCODE kNameNotHeld = NWErr::NoSuchObject;
constexpr NWDSCCODE kDsNameNotHeld = 0xFFFFFDA7;  // -601: no such entry

// --- Text ---

// The OEM form of a UTF-8 text; false for text that is not UTF-8 or holds a character without
// an exact OEM form (a replacement or best-fit character would name another entry).
bool ToOem(const std::string& text, std::string& oem) {
    oem.clear();
    std::wstring wide;
    if (!win::Widen(text, wide)) {
        return false;
    }
    if (wide.empty()) {
        return true;
    }
    const int length = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr,
                                      0, nullptr, &lossy);
    if (n <= 0 || lossy) {
        return false;
    }
    oem.resize(static_cast<size_t>(n));
    return WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide.data(), length, &oem[0], n,
                               nullptr, &lossy) == n &&
           !lossy;
}

// The UTF-8 form of the zero-terminated OEM text in a buffer of `size` bytes; a text the client
// left without its terminator ends with the buffer.
std::string FromOem(const char* buffer, size_t size) {
    const size_t length = strnlen(buffer, size);
    if (length == 0) {
        return std::string();
    }
    const int n = MultiByteToWideChar(CP_OEMCP, 0, buffer, static_cast<int>(length), nullptr, 0);
    if (n <= 0) {
        return std::string();
    }
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, buffer, static_cast<int>(length), &wide[0], n);
    return win::Narrow(wide);
}

// A call's code, with its one output handed on to the caller only when the call succeeded: a
// failing client may have written part of an answer.
template <typename Code, typename Out, typename To>
Code Kept(Code code, const Out& out, To& to) {
    if (code == 0) {
        to = out;
    }
    return code;
}

// --- The libraries ---

// A loaded library, released when destroyed.
class Module {
  public:
    Module() = default;
    explicit Module(HMODULE h) : h_(h) {}
    ~Module() {
        if (h_ != nullptr) {
            FreeLibrary(h_);
        }
    }
    Module(Module&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    Module& operator=(Module&& o) noexcept {
        std::swap(h_, o.h_);
        return *this;
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    HMODULE Get() const { return h_; }

  private:
    HMODULE h_ = nullptr;
};

// Loads a library from a directory, or where the program's own libraries are looked for.
// 0 or the system's error.
int LoadModule(const std::string& directory, const char* name, Module& out) {
    HMODULE h = nullptr;
    if (directory.empty()) {
        h = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    } else {
        std::wstring path;
        if (!win::Widen(directory + "\\" + name, path)) {
            return ERROR_INVALID_NAME;
        }
        h = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (h == nullptr) {
        return static_cast<int>(GetLastError());
    }
    out = Module(h);
    return 0;
}

std::string SystemErrorText(int error) {
    std::string text = "error " + std::to_string(error);
    const std::string words = ErrorDescription(error);
    return words.empty() ? text : text + ": " + words;
}

// Every argument takes one 32-bit stack slot; a wider one would shift all that follow.
template <typename... A>
constexpr bool OneSlotEach() {
    return ((sizeof(A) <= 4) && ... && true);
}

template <typename R, typename... A>
using Api = R(NWAPI*)(A...);

// The width of a completion code belongs to the library: 16 bits for the calls and connection
// libraries, 32 for the directory-services one. A 16-bit code comes back in the low half of the
// result register and the callee may leave anything in the upper half; a pointer declared with a
// 16-bit result reads only the low half.
template <typename... A>
using CallsApi = Api<NWCCODE, A...>;
template <typename... A>
using DsApi = Api<NWDSCCODE, A...>;

using Text = const char*;
using Buffer = char*;
using Handle = void*;  // a file handle of the system

// The operations, one pointer each, named after their role, in the order of their ordinals
// listed above each group.
struct Operations {
    // calwin32: 377 start, 26 and 25 bindery names, 103 parse path, 270 effective rights,
    // 83 and 84 temporary directory handles, 169 and 249 trustees, 277 owning name space,
    // 273 entry information, 395 DOS information, 330 and 292 space limits, 380 and 291
    // directory entries, 107 server-side copy.
    CallsApi<void*, void*> callsInit;
    CallsApi<uint32_t, uint32_t, Buffer, uint16_t*> objectName;
    CallsApi<uint32_t, Text, uint16_t, uint32_t*> objectId;
    CallsApi<Text, uint32_t*, uint8_t*, Buffer> parsePath;
    CallsApi<uint32_t, uint8_t, Text, uint16_t*> effectiveRights;
    CallsApi<uint32_t, uint8_t, Text, uint8_t*, uint8_t*> allocDirHandle;
    CallsApi<uint32_t, uint8_t> releaseDirHandle;
    CallsApi<uint32_t, uint8_t, Text, uint32_t*, Buffer, uint32_t*, uint32_t*, RawTrustee*>
        scanTrustees;
    CallsApi<uint32_t, uint8_t, Text, uint32_t, uint16_t> addTrustee;
    CallsApi<uint32_t, uint8_t, Text, uint8_t*> owningNameSpace;
    CallsApi<uint32_t, uint8_t, Text, uint8_t, uint8_t, uint16_t, uint32_t, RawEntryInfo*>
        entryInfo;
    CallsApi<uint32_t, uint8_t, Text, uint8_t, uint16_t, uint32_t, const RawDosInfo*> setDosInfo;
    CallsApi<uint32_t, uint8_t, RawSpaceLimitList*> spaceLimits;
    CallsApi<uint32_t, uint8_t, uint32_t> setSpaceLimit;
    CallsApi<uint32_t, uint8_t, uint16_t, uint32_t*, Text, RawDirEntry*, uint32_t> scanDirEntry;
    CallsApi<uint32_t, uint8_t, uint16_t, uint32_t, uint32_t, const RawDirEntry*> setDirEntry;
    CallsApi<Handle, Handle, uint32_t, uint32_t, uint32_t, uint32_t*> serverCopy;

    // clxwin32: 113 start, 111 primary connection, 102 open by reference, 114 information.
    CallsApi<const uint32_t*, uint32_t*> connLayerInit;
    CallsApi<uint32_t*> primaryConnRef;
    CallsApi<uint32_t, uint32_t, uint32_t, uint32_t*> openConnByRef;
    CallsApi<uint32_t, uint32_t, uint32_t, void*> connInfo;

    // netwin32: 1160 and 1002 create and free a context, 1003 and 1004 read and set a key,
    // 1048 and 1050 object ID to name and back.
    DsApi<uint32_t*> createContext;
    DsApi<uint32_t> freeContext;
    DsApi<uint32_t, uint32_t, Buffer> getContext;
    DsApi<uint32_t, uint32_t, const void*> setContext;
    DsApi<uint32_t, uint32_t, uint32_t, Buffer> mapIdToName;
    DsApi<uint32_t, uint32_t, Text, uint32_t*> mapNameToId;
};

using ErrorTextApi = Api<const char*, uint32_t>;

enum Library { Calls = 0, Connections = 1, Directory = 2 };

// Finds an export by ordinal and stores it in `slot`; false when the library lacks it.
template <typename R, typename... A>
bool Bind(HMODULE module, int ordinal, Api<R, A...>& slot) {
    static_assert(OneSlotEach<A...>(), "every argument fits one 32-bit stack slot");
    // The detour through void(*)() is the one cast between function types that the compiler
    // accepts as deliberate.
    const FARPROC proc = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    slot = reinterpret_cast<Api<R, A...>>(reinterpret_cast<void (*)()>(proc));
    return proc != nullptr;
}

class NativeErrorLibrary : public NWErrorLibrary {
  public:
    explicit NativeErrorLibrary(Module module) : module_(std::move(module)) {
        const FARPROC proc = GetProcAddress(module_.Get(), "NWstrerror");
        strerror_ = reinterpret_cast<ErrorTextApi>(reinterpret_cast<void (*)()>(proc));
    }
    bool HasNWstrerror() const override { return strerror_ != nullptr; }
    std::string NWstrerror(uint32_t code) override {
        const char* text = strerror_ != nullptr ? strerror_(code) : nullptr;
        return text == nullptr ? std::string() : FromOem(text, kErrorTextBytes);
    }

  private:
    Module module_;
    ErrorTextApi strerror_ = nullptr;
};

class NativeClient : public NetWareClient {
  public:
    NativeClient(std::string directory, Module (&modules)[3], const Operations& ops)
        : directory_(std::move(directory)), ops_(ops) {
        for (int i = 0; i < 3; ++i) {
            modules_[i] = std::move(modules[i]);
        }
    }

    NWCCODE CallsInit() override { return ops_.callsInit(nullptr, nullptr); }

    NWCCODE ConnLayerInit(uint32_t& reference) override {
        const uint32_t zero = 0;
        uint32_t out = 0;
        return Kept(ops_.connLayerInit(&zero, &out), out, reference);
    }

    NWCCODE GetPrimaryConnRef(uint32_t& reference) override {
        uint32_t out = 0;
        return Kept(ops_.primaryConnRef(&out), out, reference);
    }

    NWCCODE OpenConnByReference(uint32_t reference, uint32_t accessMode, uint32_t flags,
                                NWCONN_HANDLE& conn) override {
        uint32_t out = 0;
        return Kept(ops_.openConnByRef(reference, accessMode, flags, &out), out, conn);
    }

    NWCCODE GetConnInfoText(NWCONN_HANDLE conn, uint32_t kind, uint32_t bufferLength,
                            std::string& text) override {
        const uint32_t length = std::min<uint32_t>(bufferLength, kConnInfoBytes);
        std::vector<char> buffer(kConnInfoBytes, '\0');
        const NWCCODE code = ops_.connInfo(conn, kind, length, buffer.data());
        if (code == 0) {
            text = FromOem(buffer.data(), length);
        }
        return code;
    }

    NWCCODE GetConnInfoValue(NWCONN_HANDLE conn, uint32_t kind, uint32_t& value) override {
        uint32_t out = 0;
        return Kept(ops_.connInfo(conn, kind, sizeof out, &out), out, value);
    }

    NWDSCCODE DSCreateContext(NWDSContextHandle& context) override {
        uint32_t out = 0;
        return Kept(ops_.createContext(&out), out, context);
    }

    NWDSCCODE DSFreeContext(NWDSContextHandle context) override {
        return ops_.freeContext(context);
    }

    NWDSCCODE DSGetContextText(NWDSContextHandle context, uint32_t key,
                               std::string& value) override {
        char buffer[kDsNameBytes] = {};
        const NWDSCCODE code = ops_.getContext(context, key, buffer);
        if (code == 0) {
            value = FromOem(buffer, sizeof buffer);
        }
        return code;
    }

    NWDSCCODE DSSetContextText(NWDSContextHandle context, uint32_t key,
                               const std::string& value) override {
        std::string oem;
        if (!ToOem(value, oem)) {
            return kDsNameNotHeld;
        }
        return ops_.setContext(context, key, oem.c_str());
    }

    NWDSCCODE DSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, NWObjectID id,
                            std::string& name) override {
        char buffer[kDsNameBytes] = {};
        const NWDSCCODE code = ops_.mapIdToName(context, conn, id, buffer);
        if (code == 0) {
            name = FromOem(buffer, sizeof buffer);
        }
        return code;
    }

    NWDSCCODE DSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn, const std::string& name,
                            NWObjectID& id) override {
        std::string oem;
        if (!ToOem(name, oem)) {
            return kDsNameNotHeld;
        }
        uint32_t out = 0;
        return Kept(ops_.mapNameToId(context, conn, oem.c_str(), &out), out, id);
    }

    NWCCODE GetObjectName(NWCONN_HANDLE conn, NWObjectID id, std::string& name,
                          uint16_t& type) override {
        char buffer[kBinderyNameBytes] = {};
        uint16_t outType = 0;
        const NWCCODE code = ops_.objectName(conn, id, buffer, &outType);
        if (code == 0) {
            name = FromOem(buffer, sizeof buffer);
            type = outType;
        }
        return code;
    }

    NWCCODE GetObjectID(NWCONN_HANDLE conn, const std::string& name, uint16_t type,
                        NWObjectID& id) override {
        std::string oem;
        if (!ToOem(name, oem)) {
            return kNameNotHeld;
        }
        uint32_t out = 0;
        return Kept(ops_.objectId(conn, oem.c_str(), type, &out), out, id);
    }

    NWCCODE ParsePath(const std::string& path, NWCONN_HANDLE& conn, NWDIR_HANDLE& dirHandle,
                      std::string& volumePath) override {
        std::string oem;
        if (!ToOem(path, oem)) {
            return kPathNotHeld;
        }
        uint32_t outConn = 0;
        uint8_t outHandle = 0;
        char buffer[kVolumePathBytes] = {};
        const NWCCODE code = ops_.parsePath(oem.c_str(), &outConn, &outHandle, buffer);
        // A failed parse leaves the caller's values alone: a client may have written part of
        // its answer, and a stray connection would put a local directory on NetWare.
        if (code == 0) {
            conn = outConn;
            dirHandle = outHandle;
            volumePath = FromOem(buffer, sizeof buffer);
        }
        return code;
    }

    NWCCODE GetEffectiveRights(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                               uint16_t& rights) override {
        std::string oem;
        if (!ToOem(path, oem)) {
            return kPathNotHeld;
        }
        uint16_t out = 0;
        return Kept(ops_.effectiveRights(conn, dirHandle, oem.c_str(), &out), out, rights);
    }

    NWCCODE AllocTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                          const std::string& path, NWDIR_HANDLE& newHandle,
                                          uint8_t& rightsMask) override {
        std::string oem;
        if (!ToOem(path, oem)) {
            return kPathNotHeld;
        }
        uint8_t outHandle = 0;
        uint8_t outRights = 0;
        const NWCCODE code =
            ops_.allocDirHandle(conn, dirHandle, oem.c_str(), &outHandle, &outRights);
        if (code == 0) {
            newHandle = outHandle;
            rightsMask = outRights;
        }
        return code;
    }

    NWCCODE DeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) override {
        return ops_.releaseDirHandle(conn, dirHandle);
    }

    NWCCODE ScanTrustees(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                         uint32_t& iterHandle, TrusteeBatch& batch) override {
        std::string oem;
        if (!ToOem(path, oem)) {
            return kPathNotHeld;
        }
        RawTrustee raw[kTrusteeBatchSize] = {};
        char name[kTrusteeNameBytes] = {};
        uint32_t iter = iterHandle;
        uint32_t unused1 = 0;
        uint32_t unused2 = 0;
        const NWCCODE code =
            ops_.scanTrustees(conn, dirHandle, oem.c_str(), &iter, name, &unused1, &unused2, raw);
        if (code == 0) {
            iterHandle = iter;
            for (int i = 0; i < kTrusteeBatchSize; ++i) {
                batch[i].objectId = raw[i].objectId;
                batch[i].rights = raw[i].rights;
            }
        }
        return code;
    }

    NWCCODE AddTrustee(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                       NWObjectID id, uint16_t rights) override {
        std::string oem;
        if (!ToOem(path, oem)) {
            return kPathNotHeld;
        }
        return ops_.addTrustee(conn, dirHandle, oem.c_str(), id, rights);
    }

    NWCCODE GetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                               uint8_t& nameSpace) override {
        std::string oem;
        if (!ToOem(path, oem)) {
            return kPathNotHeld;
        }
        uint8_t out = 0;
        return Kept(ops_.owningNameSpace(conn, dirHandle, oem.c_str(), &out), out, nameSpace);
    }

    NWCCODE ObtainEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                            uint8_t sourceNameSpace, uint8_t targetNameSpace,
                            uint16_t searchAttributes, uint32_t infoMask,
                            EntryInfo& info) override {
        std::string oem;
        if (!ToOem(path, oem)) {
            return kPathNotHeld;
        }
        RawEntryInfo raw = {};
        const NWCCODE code = ops_.entryInfo(conn, dirHandle, oem.c_str(), sourceNameSpace,
                                            targetNameSpace, searchAttributes, infoMask, &raw);
        if (code == 0) {
            // The owner is the one field of the record the program reads.
            info = EntryInfo();
            info.ownerId = raw.ownerId;
        }
        return code;
    }

    NWCCODE ModifyDosInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const std::string& path,
                          uint8_t nameSpace, uint16_t searchAttributes, uint32_t modifyMask,
                          const DosInfo& info) override {
        std::string oem;
        if (!ToOem(path, oem)) {
            return kPathNotHeld;
        }
        RawDosInfo raw = {};
        raw.ownerId = info.ownerId;
        return ops_.setDosInfo(conn, dirHandle, oem.c_str(), nameSpace, searchAttributes,
                               modifyMask, &raw);
    }

    NWCCODE GetDirSpaceLimitList(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                 std::vector<SpaceLimitEntry>& list) override {
        RawSpaceLimitList raw = {};
        const NWCCODE code = ops_.spaceLimits(conn, dirHandle, &raw);
        if (code == 0) {
            // A count beyond what the buffer holds reads what the buffer holds.
            const size_t count = std::min<size_t>(raw.count, kSpaceLimitEntries);
            list.clear();
            for (size_t i = 0; i < count; ++i) {
                SpaceLimitEntry entry;
                entry.level = raw.entries[i].level;
                entry.maximum = raw.entries[i].maximum;
                entry.current = raw.entries[i].current;
                list.push_back(entry);
            }
        }
        return code;
    }

    NWCCODE SetDirSpaceLimit(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint32_t limit) override {
        return ops_.setSpaceLimit(conn, dirHandle, limit);
    }

    NWCCODE ScanDirEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint16_t searchAttributes,
                             uint32_t& iterHandle, DirEntryRecord& record) override {
        RawDirEntry raw = {};
        uint32_t iter = iterHandle;
        const NWCCODE code =
            ops_.scanDirEntry(conn, dirHandle, searchAttributes, &iter, nullptr, &raw, 0);
        if (code == 0) {
            iterHandle = iter;
            record.inheritedRightsMask = raw.inheritedRightsMask;
            lastEntry_ = {true, conn, dirHandle, iter, raw};
        }
        return code;
    }

    NWCCODE ModifyDirEntry(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint16_t searchAttributes,
                           uint32_t iterHandle, uint32_t changeMask,
                           const DirEntryRecord& record) override {
        // The entry's own record as its scan gave it, with the mask put in; the change mask
        // names the one field the server takes from it.
        RawDirEntry raw = {};
        if (lastEntry_.valid && lastEntry_.conn == conn && lastEntry_.dirHandle == dirHandle &&
            lastEntry_.iterHandle == iterHandle) {
            raw = lastEntry_.raw;
        }
        raw.inheritedRightsMask = record.inheritedRightsMask;
        return ops_.setDirEntry(conn, dirHandle, searchAttributes, iterHandle, changeMask, &raw);
    }

    NWCCODE FileServerFileCopy(FileHandle source, FileHandle target, uint32_t sourceOffset,
                               uint32_t targetOffset, uint32_t count,
                               uint32_t& bytesCopied) override {
        uint32_t out = 0;
        const NWCCODE code = ops_.serverCopy(win::HandleOf(source), win::HandleOf(target),
                                             sourceOffset, targetOffset, count, &out);
        bytesCopied = code == 0 ? out : 0;
        return code;
    }

    std::unique_ptr<NWErrorLibrary> LoadErrorLibrary() override {
        // Loaded for one text and released with it, as the caller expects.
        Module module;
        if (LoadModule(directory_, kNetWareErrorLibrary, module) != 0) {
            return nullptr;
        }
        return std::make_unique<NativeErrorLibrary>(std::move(module));
    }

  private:
    struct ScannedEntry {
        bool valid = false;
        NWCONN_HANDLE conn = 0;
        NWDIR_HANDLE dirHandle = 0;
        uint32_t iterHandle = 0;
        RawDirEntry raw = {};
    };

    std::string directory_;
    Module modules_[3];
    Operations ops_;
    ScannedEntry lastEntry_;
};

}  // namespace

NativeClientLoad LoadNativeClient(const std::string& directory) {
    NativeClientLoad load;
    Module modules[3];
    for (int i = 0; i < 3; ++i) {
        const int error = LoadModule(directory, kNetWareClientLibraries[i], modules[i]);
        if (error != 0) {
            // A calls library that is nowhere to be found means no client; any later failure
            // is one of an installed client.
            load.installed = i > 0 || error != ERROR_MOD_NOT_FOUND;
            load.problem = std::string(kNetWareClientLibraries[i]) + " could not be loaded (" +
                           SystemErrorText(error) + ")";
            return load;
        }
    }
    load.installed = true;
    Operations ops = {};
    struct Missing {
        int library = -1;
        int ordinal = 0;
    } missing;
    // Records the first operation a library lacks.
    auto bind = [&](Library library, int ordinal, auto& slot) {
        if (!Bind(modules[library].Get(), ordinal, slot) && missing.library < 0) {
            missing = {library, ordinal};
        }
    };
    bind(Calls, 377, ops.callsInit);
    bind(Calls, 26, ops.objectName);
    bind(Calls, 25, ops.objectId);
    bind(Calls, 103, ops.parsePath);
    bind(Calls, 270, ops.effectiveRights);
    bind(Calls, 83, ops.allocDirHandle);
    bind(Calls, 84, ops.releaseDirHandle);
    bind(Calls, 169, ops.scanTrustees);
    bind(Calls, 249, ops.addTrustee);
    bind(Calls, 277, ops.owningNameSpace);
    bind(Calls, 273, ops.entryInfo);
    bind(Calls, 395, ops.setDosInfo);
    bind(Calls, 330, ops.spaceLimits);
    bind(Calls, 292, ops.setSpaceLimit);
    bind(Calls, 380, ops.scanDirEntry);
    bind(Calls, 291, ops.setDirEntry);
    bind(Calls, 107, ops.serverCopy);
    bind(Connections, 113, ops.connLayerInit);
    bind(Connections, 111, ops.primaryConnRef);
    bind(Connections, 102, ops.openConnByRef);
    bind(Connections, 114, ops.connInfo);
    bind(Directory, 1160, ops.createContext);
    bind(Directory, 1002, ops.freeContext);
    bind(Directory, 1003, ops.getContext);
    bind(Directory, 1004, ops.setContext);
    bind(Directory, 1048, ops.mapIdToName);
    bind(Directory, 1050, ops.mapNameToId);
    if (missing.library >= 0) {
        load.problem = std::string(kNetWareClientLibraries[missing.library]) +
                       " has no operation with ordinal " + std::to_string(missing.ordinal) + " (" +
                       SystemErrorText(ERROR_PROC_NOT_FOUND) + ")";
        return load;
    }
    std::wstring path(32768, L'\0');  // the longest path the system knows
    path.resize(GetModuleFileNameW(modules[Calls].Get(), &path[0], 32768));
    load.location = win::Narrow(path);
    load.client = std::make_unique<NativeClient>(directory, modules, ops);
    return load;
}

}  // namespace ferrit
