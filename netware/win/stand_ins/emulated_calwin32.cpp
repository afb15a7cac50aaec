// The stand-in client served by the emulated servers, a test fixture only (never installed or
// shipped): the operations of the three client libraries by their ordinals (the same .def files
// as the recording set), their arguments and packed records taken as the libraries take them, and
// every answer given by the project's emulated client over the servers of a description file.
// A program bound to these libraries runs end to end through its binding code against the
// emulated servers.
//
// The description file (the format of ferrit-netware.ini) is named by the environment variable
// FERRIT_STAND_IN_NETWARE and read at the first call (again when the variable names another
// file); the program's own client choice never looks at that name, so the program takes these
// libraries for an installed client. Without a usable description, start-up answers 0xFFFF ("could
// not initialize") and the reason goes to the error output once.
//
// Like the recording set, it shares none of the binding's records: they are read and written at
// their offsets here, so a fault in the binding's layouts shows as a wrong answer. Codes of the
// calls and connection libraries are 16-bit; garbage is left above them, as a client may.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "nwemu/client.h"
#include "nwemu/config_text.h"
#include "platform/win/win_api.h"

#define NWAPI __stdcall

namespace {

using ferrit::nwemu::Client;

constexpr uint32_t kCannotStart = 0xFFFF;
constexpr uint32_t kNoConnection = 0x8801;
constexpr uint32_t kInvalidParameter = 0x8836;
constexpr uint32_t kDsBadContext = 0xFFFFFED1;
constexpr const wchar_t* kDescriptionVariable = L"FERRIT_STAND_IN_NETWARE";

std::mutex gLock;  // one call at a time, as the program's workers may call the server copy
std::unique_ptr<Client> gClient;
std::wstring gDescription = L"?";  // the file gClient was made from; "?" before any

// The client of the description the variable names, made afresh when the name changes (a test
// program serves one description after another); null without a usable description.
Client* Served() {
    wchar_t value[4096] = {};
    const DWORD n = GetEnvironmentVariableW(kDescriptionVariable, value, 4096);
    const std::wstring description = n < 4096 ? std::wstring(value, n) : std::wstring();
    if (description == gDescription) {
        return gClient.get();
    }
    gDescription = description;
    gClient.reset();
    std::string problem = "FERRIT_STAND_IN_NETWARE names no description file";
    ferrit::nwemu::Config config;
    if (!description.empty() &&
        ferrit::nwemu::LoadConfig(ferrit::win::Narrow(description), config, problem)) {
        gClient = std::make_unique<Client>(std::move(config));
    } else {
        std::fprintf(stderr, "calwin32 stand-in: %s\n", problem.c_str());
        std::fflush(stderr);
    }
    return gClient.get();
}

uint32_t Code16(uint32_t code) {
    return 0x5A5A0000u | (code & 0xFFFFu);
}

// The program's text of a zero-terminated OEM text.
std::string FromOem(const char* text) {
    if (text == nullptr || *text == '\0') {
        return std::string();
    }
    const int n = MultiByteToWideChar(CP_OEMCP, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, text, -1, &wide[0], n);
    wide.resize(wide.size() - 1);
    return ferrit::win::Narrow(wide);
}

// Writes the OEM form of a text into a buffer of `size` bytes, cut to fit its terminator.
void ToOem(const std::string& text, char* buffer, size_t size) {
    if (size == 0) {
        return;
    }
    std::wstring wide;
    ferrit::win::Widen(text, wide);
    std::string oem(wide.size() * 2 + 1, '\0');
    const int n = WideCharToMultiByte(CP_OEMCP, 0, wide.data(), static_cast<int>(wide.size()),
                                      &oem[0], static_cast<int>(oem.size()), nullptr, nullptr);
    oem.resize(n > 0 ? static_cast<size_t>(n) : 0);
    const size_t length = oem.size() < size - 1 ? oem.size() : size - 1;
    std::memcpy(buffer, oem.data(), length);
    buffer[length] = '\0';
}

void Put16(uint8_t* at, uint16_t v) {
    std::memcpy(at, &v, 2);
}
void Put32(uint8_t* at, uint32_t v) {
    std::memcpy(at, &v, 4);
}
uint16_t Get16(const uint8_t* at) {
    uint16_t v = 0;
    std::memcpy(&v, at, 2);
    return v;
}
uint32_t Get32(const uint8_t* at) {
    uint32_t v = 0;
    std::memcpy(&v, at, 4);
    return v;
}

}  // namespace

// Every operation takes the lock and the served client; without one it answers as a
// workstation whose client cannot start.
#define SERVED(failure)                      \
    std::lock_guard<std::mutex> lock(gLock); \
    Client* const client = Served();         \
    if (client == nullptr) {                 \
        return failure;                      \
    }

extern "C" {

// --- calwin32 ---

uint32_t NWAPI Calls377(void*, void*) {
    SERVED(Code16(kCannotStart));
    return Code16(client->CallsInit());
}

uint32_t NWAPI Calls26(uint32_t conn, uint32_t id, char* name, uint16_t* type) {
    SERVED(Code16(kNoConnection));
    std::string text;
    const uint16_t code = client->GetObjectName(conn, id, text, *type);
    ToOem(text, name, 48);
    return Code16(code);
}

uint32_t NWAPI Calls25(uint32_t conn, const char* name, uint16_t type, uint32_t* id) {
    SERVED(Code16(kNoConnection));
    return Code16(client->GetObjectID(conn, FromOem(name), type, *id));
}

uint32_t NWAPI Calls103(const char* path, uint32_t* conn, uint8_t* dirHandle, char* volumePath) {
    SERVED(Code16(kNoConnection));
    std::string text;
    const uint16_t code = client->ParsePath(FromOem(path), *conn, *dirHandle, text);
    ToOem(text, volumePath, 512);
    return Code16(code);
}

uint32_t NWAPI Calls270(uint32_t conn, uint8_t dirHandle, const char* path, uint16_t* rights) {
    SERVED(Code16(kNoConnection));
    return Code16(client->GetEffectiveRights(conn, dirHandle, FromOem(path), *rights));
}

uint32_t NWAPI Calls83(uint32_t conn, uint8_t dirHandle, const char* path, uint8_t* newHandle,
                       uint8_t* rights) {
    SERVED(Code16(kNoConnection));
    return Code16(
        client->AllocTemporaryDirectoryHandle(conn, dirHandle, FromOem(path), *newHandle, *rights));
}

uint32_t NWAPI Calls84(uint32_t conn, uint8_t dirHandle) {
    SERVED(Code16(kNoConnection));
    return Code16(client->DeallocateDirectoryHandle(conn, dirHandle));
}

uint32_t NWAPI Calls169(uint32_t conn, uint8_t dirHandle, const char* path, uint32_t* iterHandle,
                        char* name, uint32_t*, uint32_t*, uint8_t* entries) {
    SERVED(Code16(kNoConnection));
    ferrit::TrusteeBatch batch;
    const uint16_t code = client->ScanTrustees(conn, dirHandle, FromOem(path), *iterHandle, batch);
    name[0] = '\0';
    std::memset(entries, 0, 20 * 8);
    for (size_t k = 0; k < batch.size() && k < 20; ++k) {
        Put32(entries + 8 * k, batch[k].objectId);
        Put16(entries + 8 * k + 4, batch[k].rights);
    }
    return Code16(code);
}

uint32_t NWAPI Calls249(uint32_t conn, uint8_t dirHandle, const char* path, uint32_t id,
                        uint16_t rights) {
    SERVED(Code16(kNoConnection));
    return Code16(client->AddTrustee(conn, dirHandle, FromOem(path), id, rights));
}

uint32_t NWAPI Calls277(uint32_t conn, uint8_t dirHandle, const char* path, uint8_t* nameSpace) {
    SERVED(Code16(kNoConnection));
    return Code16(client->GetOwningNameSpace(conn, dirHandle, FromOem(path), *nameSpace));
}

// The entry-information record: 333 bytes, the owner at byte 24.
uint32_t NWAPI Calls273(uint32_t conn, uint8_t dirHandle, const char* path, uint8_t sourceNs,
                        uint8_t targetNs, uint16_t attributes, uint32_t mask, uint8_t* record) {
    SERVED(Code16(kNoConnection));
    ferrit::EntryInfo info;
    const uint16_t code = client->ObtainEntryInfo(conn, dirHandle, FromOem(path), sourceNs,
                                                  targetNs, attributes, mask, info);
    std::memset(record, 0, 333);
    Put32(record + 24, info.ownerId);
    return Code16(code);
}

// The DOS-information record: 38 bytes, the owner at byte 8.
uint32_t NWAPI Calls395(uint32_t conn, uint8_t dirHandle, const char* path, uint8_t nameSpace,
                        uint16_t attributes, uint32_t mask, const uint8_t* record) {
    SERVED(Code16(kNoConnection));
    ferrit::DosInfo info;
    info.ownerId = Get32(record + 8);
    return Code16(
        client->ModifyDosInfo(conn, dirHandle, FromOem(path), nameSpace, attributes, mask, info));
}

// The space-limit list: a count byte, then up to 102 entries of 9 bytes (level, maximum,
// current), 919 bytes in all.
uint32_t NWAPI Calls330(uint32_t conn, uint8_t dirHandle, uint8_t* list) {
    SERVED(Code16(kNoConnection));
    std::vector<ferrit::SpaceLimitEntry> entries;
    const uint16_t code = client->GetDirSpaceLimitList(conn, dirHandle, entries);
    std::memset(list, 0, 919);
    const size_t count = entries.size() < 102 ? entries.size() : 102;
    list[0] = static_cast<uint8_t>(count);
    for (size_t k = 0; k < count; ++k) {
        uint8_t* entry = list + 1 + 9 * k;
        entry[0] = entries[k].level;
        Put32(entry + 1, entries[k].maximum);
        Put32(entry + 5, entries[k].current);
    }
    return Code16(code);
}

uint32_t NWAPI Calls292(uint32_t conn, uint8_t dirHandle, uint32_t limit) {
    SERVED(Code16(kNoConnection));
    return Code16(client->SetDirSpaceLimit(conn, dirHandle, limit));
}

// The directory entry record: 132 bytes, the inherited rights mask at byte 100.
uint32_t NWAPI Calls380(uint32_t conn, uint8_t dirHandle, uint16_t attributes, uint32_t* iterHandle,
                        const char* pattern, uint8_t* record, uint32_t) {
    SERVED(Code16(kNoConnection));
    if (pattern != nullptr) {
        return Code16(kInvalidParameter);  // the emulated servers scan without a pattern only
    }
    ferrit::DirEntryRecord entry;
    const uint16_t code = client->ScanDirEntryInfo(conn, dirHandle, attributes, *iterHandle, entry);
    std::memset(record, 0, 132);
    Put16(record + 100, entry.inheritedRightsMask);
    return Code16(code);
}

uint32_t NWAPI Calls291(uint32_t conn, uint8_t dirHandle, uint16_t attributes, uint32_t iterHandle,
                        uint32_t mask, const uint8_t* record) {
    SERVED(Code16(kNoConnection));
    ferrit::DirEntryRecord entry;
    entry.inheritedRightsMask = Get16(record + 100);
    return Code16(client->ModifyDirEntry(conn, dirHandle, attributes, iterHandle, mask, entry));
}

uint32_t NWAPI Calls107(void* source, void* target, uint32_t sourceOffset, uint32_t targetOffset,
                        uint32_t count, uint32_t* copied) {
    SERVED(Code16(kNoConnection));
    return Code16(client->FileServerFileCopy(ferrit::win::FileHandleOf(source),
                                             ferrit::win::FileHandleOf(target), sourceOffset,
                                             targetOffset, count, *copied));
}

// --- clxwin32 ---

uint32_t NWAPI Connections113(const uint32_t*, uint32_t* out) {
    SERVED(Code16(kCannotStart));
    return Code16(client->ConnLayerInit(*out));
}

uint32_t NWAPI Connections111(uint32_t* reference) {
    SERVED(Code16(kNoConnection));
    return Code16(client->GetPrimaryConnRef(*reference));
}

uint32_t NWAPI Connections102(uint32_t reference, uint32_t mode, uint32_t flags, uint32_t* conn) {
    SERVED(Code16(kNoConnection));
    return Code16(client->OpenConnByReference(reference, mode, flags, *conn));
}

// The tree and server names are texts, written into `length` bytes; every other kind is a
// 32-bit value.
uint32_t NWAPI Connections114(uint32_t conn, uint32_t kind, uint32_t length, void* buffer) {
    SERVED(Code16(kNoConnection));
    if (kind == ferrit::ConnInfo::TreeName || kind == ferrit::ConnInfo::ServerName) {
        std::string text;
        const uint16_t code = client->GetConnInfoText(conn, kind, length, text);
        if (code == 0) {
            ToOem(text, static_cast<char*>(buffer), length);
        }
        return Code16(code);
    }
    if (length < 4) {
        return Code16(kInvalidParameter);
    }
    uint32_t value = 0;
    const uint16_t code = client->GetConnInfoValue(conn, kind, value);
    Put32(static_cast<uint8_t*>(buffer), value);
    return Code16(code);
}

// --- netwin32: 32-bit codes ---

uint32_t NWAPI Directory1160(uint32_t* context) {
    SERVED(kDsBadContext);
    return client->DSCreateContext(*context);
}

uint32_t NWAPI Directory1002(uint32_t context) {
    SERVED(kDsBadContext);
    return client->DSFreeContext(context);
}

uint32_t NWAPI Directory1003(uint32_t context, uint32_t key, char* buffer) {
    SERVED(kDsBadContext);
    std::string text;
    const uint32_t code = client->DSGetContextText(context, key, text);
    ToOem(text, buffer, 256);
    return code;
}

uint32_t NWAPI Directory1004(uint32_t context, uint32_t key, const void* value) {
    SERVED(kDsBadContext);
    return client->DSSetContextText(context, key, FromOem(static_cast<const char*>(value)));
}

uint32_t NWAPI Directory1048(uint32_t context, uint32_t conn, uint32_t id, char* name) {
    SERVED(kDsBadContext);
    std::string text;
    const uint32_t code = client->DSMapIDToName(context, conn, id, text);
    ToOem(text, name, 256);
    return code;
}

uint32_t NWAPI Directory1050(uint32_t context, uint32_t conn, const char* name, uint32_t* id) {
    SERVED(kDsBadContext);
    return client->DSMapNameToID(context, conn, FromOem(name), *id);
}

// --- nwerr32 ---

// The emulated servers' text of a code, "Unknown error" for one they never answer.
const char* NWAPI ErrorText(uint32_t code) {
    static char text[256];
    std::lock_guard<std::mutex> lock(gLock);
    const std::string words = ferrit::nwemu::CodeText(code);
    ToOem(words.empty() ? "Unknown error" : words, text, sizeof text);
    return text;
}

// --- What the tests ask of the served client ---

// Directory-services contexts made and not yet freed.
__declspec(dllexport) uint32_t StandInOpenContexts() {
    SERVED(0);
    return static_cast<uint32_t>(client->OpenContexts());
}

// Temporary directory handles held on a connection.
__declspec(dllexport) uint32_t StandInHeldDirHandles(uint32_t conn) {
    SERVED(0);
    return static_cast<uint32_t>(client->HeldDirHandles(conn));
}

}  // extern "C"
