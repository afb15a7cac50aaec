// The recording stand-in client, a test fixture only: every operation of the three client
// libraries writes one line with its arguments as the callee sees them, at the widths the
// libraries take them, and answers with fixed values written at the libraries' widths and
// record offsets. It shares nothing with the program's own binding (no type, no record, no
// constant), so a test of the binding against it checks argument order, widths and record
// layouts rather than one side against itself.
//
// Answers: the code set by StandInSetCode, with garbage above the low 16 bits for the calls and
// connection libraries (whose codes are 16-bit); outputs are written whatever the code.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#define NWAPI __stdcall

namespace {

std::string gLog;
uint32_t gCode = 0;

void Log(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    gLog += line;
    gLog += '\n';
}

uint32_t Code16() {
    return 0xBEEF0000u | (gCode & 0xFFFFu);
}

// A zero-terminated text as the callee reads it, bytes above 0x7F escaped.
std::string Text(const char* text) {
    if (text == nullptr) {
        return "(null)";
    }
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out;
}

std::string Hex(const uint8_t* bytes, size_t from, size_t to) {
    std::string out;
    for (size_t i = from; i < to; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", bytes[i]);
        out += two;
    }
    return out;
}

void Put16(uint8_t* at, uint16_t v) {
    std::memcpy(at, &v, 2);
}
void Put32(uint8_t* at, uint32_t v) {
    std::memcpy(at, &v, 4);
}

// What the rest of a record holds: one byte value throughout, or "mixed".
std::string Rest(const uint8_t* record, size_t size, size_t skipFrom, size_t skipTo) {
    const uint8_t first = skipFrom == 0 ? record[skipTo] : record[0];
    for (size_t i = 0; i < size; ++i) {
        if ((i < skipFrom || i >= skipTo) && record[i] != first) {
            return "mixed";
        }
    }
    return Hex(&first, 0, 1);
}

void CopyText(char* buffer, const char* text) {
    std::memcpy(buffer, text, std::strlen(text) + 1);
}

}  // namespace

extern "C" {

// --- calwin32 ---

uint32_t NWAPI Calls377(void* a, void* b) {
    Log("calwin32 377 %08X %08X", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(a)),
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(b)));
    return Code16();
}

uint32_t NWAPI Calls26(uint32_t conn, uint32_t id, char* name, uint16_t* type) {
    Log("calwin32 26 conn=%08X id=%08X", conn, id);
    std::memset(name, 'Z', 48);
    CopyText(name, "MBROWN");
    *type = 0x0100;
    return Code16();
}

uint32_t NWAPI Calls25(uint32_t conn, const char* name, uint16_t type, uint32_t* id) {
    Log("calwin32 25 conn=%08X name=%s type=%04X", conn, Text(name).c_str(), type);
    *id = 0x02000021;
    return Code16();
}

uint32_t NWAPI Calls103(const char* path, uint32_t* conn, uint8_t* dirHandle, char* volumePath) {
    Log("calwin32 103 path=%s", Text(path).c_str());
    *conn = 0x00000002;
    *dirHandle = 0x07;
    std::memset(volumePath, 'Z', 512);
    CopyText(volumePath, "DATA:PROJECTS\\\x8E");
    return Code16();
}

uint32_t NWAPI Calls270(uint32_t conn, uint8_t dirHandle, const char* path, uint16_t* rights) {
    Log("calwin32 270 conn=%08X dh=%02X path=%s", conn, dirHandle, Text(path).c_str());
    *rights = 0x01FB;
    return Code16();
}

uint32_t NWAPI Calls83(uint32_t conn, uint8_t dirHandle, const char* path, uint8_t* newHandle,
                       uint8_t* rights) {
    Log("calwin32 83 conn=%08X dh=%02X path=%s", conn, dirHandle, Text(path).c_str());
    *newHandle = 0xC8;
    *rights = 0xFF;
    return Code16();
}

uint32_t NWAPI Calls84(uint32_t conn, uint8_t dirHandle) {
    Log("calwin32 84 conn=%08X dh=%02X", conn, dirHandle);
    return Code16();
}

uint32_t NWAPI Calls169(uint32_t conn, uint8_t dirHandle, const char* path, uint32_t* iterHandle,
                        char* name, uint32_t* out1, uint32_t* out2, uint8_t* entries) {
    Log("calwin32 169 conn=%08X dh=%02X path=%s iter=%08X", conn, dirHandle, Text(path).c_str(),
        *iterHandle);
    std::memset(name, 'Z', 255);
    *out1 = 0xFFFFFFFF;
    *out2 = 0xFFFFFFFF;
    // Three trustees, the end mark, then entries past it that a reader must not take.
    std::memset(entries, 0xEE, 20 * 8);
    for (uint32_t k = 0; k < 20; ++k) {
        uint8_t* entry = entries + 8 * k;
        Put32(entry, k == 3 ? 0 : 0x01000011 + k);
        Put16(entry + 4, static_cast<uint16_t>(0x0100 | k));
    }
    *iterHandle += 0x00010001;  // the next batch: the scan so far, one step on
    return Code16();
}

uint32_t NWAPI Calls249(uint32_t conn, uint8_t dirHandle, const char* path, uint32_t id,
                        uint16_t rights) {
    Log("calwin32 249 conn=%08X dh=%02X path=%s id=%08X rights=%04X", conn, dirHandle,
        Text(path).c_str(), id, rights);
    return Code16();
}

uint32_t NWAPI Calls277(uint32_t conn, uint8_t dirHandle, const char* path, uint8_t* nameSpace) {
    Log("calwin32 277 conn=%08X dh=%02X path=%s", conn, dirHandle, Text(path).c_str());
    *nameSpace = 4;
    return Code16();
}

uint32_t NWAPI Calls273(uint32_t conn, uint8_t dirHandle, const char* path, uint8_t sourceNs,
                        uint8_t targetNs, uint16_t attributes, uint32_t mask, uint8_t* record) {
    Log("calwin32 273 conn=%08X dh=%02X path=%s ns=%02X>%02X attr=%04X mask=%08X", conn, dirHandle,
        Text(path).c_str(), sourceNs, targetNs, attributes, mask);
    std::memset(record, 0xEE, 333);
    Put32(record + 24, 0x01000012);
    return Code16();
}

uint32_t NWAPI Calls395(uint32_t conn, uint8_t dirHandle, const char* path, uint8_t nameSpace,
                        uint16_t attributes, uint32_t mask, const uint8_t* record) {
    Log("calwin32 395 conn=%08X dh=%02X path=%s ns=%02X attr=%04X mask=%08X owner@8=%s rest=%s",
        conn, dirHandle, Text(path).c_str(), nameSpace, attributes, mask,
        Hex(record, 8, 12).c_str(), Rest(record, 38, 8, 12).c_str());
    return Code16();
}

uint32_t NWAPI Calls330(uint32_t conn, uint8_t dirHandle, uint8_t* list) {
    Log("calwin32 330 conn=%08X dh=%02X", conn, dirHandle);
    // Connection 0x66 asks for a count past what the buffer holds, with every entry filled.
    const bool overfull = conn == 0x66;
    const uint8_t count = overfull ? 200 : 3;
    std::memset(list, 0, 919);
    list[0] = count;
    const uint32_t filled = overfull ? 102 : 3;
    for (uint32_t k = 0; k < filled; ++k) {
        uint8_t* entry = list + 1 + 9 * k;
        entry[0] = static_cast<uint8_t>(filled - 1 - k);
        Put32(entry + 1, k == 1 ? 0x7FFFFFFF : 0x200 * (k + 1));
        Put32(entry + 5, 0x10 * (k + 1));
    }
    return Code16();
}

uint32_t NWAPI Calls292(uint32_t conn, uint8_t dirHandle, uint32_t limit) {
    Log("calwin32 292 conn=%08X dh=%02X limit=%08X", conn, dirHandle, limit);
    return Code16();
}

uint32_t NWAPI Calls380(uint32_t conn, uint8_t dirHandle, uint16_t attributes, uint32_t* iterHandle,
                        const char* pattern, uint8_t* record, uint32_t last) {
    Log("calwin32 380 conn=%08X dh=%02X attr=%04X iter=%08X pattern=%s last=%08X", conn, dirHandle,
        attributes, *iterHandle, Text(pattern).c_str(), last);
    std::memset(record, 0xDD, 132);
    Put16(record + 100, 0x00FB);
    *iterHandle = 0x12345678;
    return Code16();
}

uint32_t NWAPI Calls291(uint32_t conn, uint8_t dirHandle, uint16_t attributes, uint32_t iterHandle,
                        uint32_t mask, const uint8_t* record) {
    Log("calwin32 291 conn=%08X dh=%02X attr=%04X iter=%08X mask=%08X irm@100=%s rest=%s", conn,
        dirHandle, attributes, iterHandle, mask, Hex(record, 100, 102).c_str(),
        Rest(record, 132, 100, 102).c_str());
    return Code16();
}

uint32_t NWAPI Calls107(void* source, void* target, uint32_t sourceOffset, uint32_t targetOffset,
                        uint32_t count, uint32_t* copied) {
    Log("calwin32 107 from=%08X to=%08X offsets=%08X,%08X count=%08X",
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(source)),
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target)), sourceOffset, targetOffset,
        count);
    *copied = 0x1234;
    return Code16();
}

// --- clxwin32 ---

uint32_t NWAPI Connections113(const uint32_t* zero, uint32_t* out) {
    Log("clxwin32 113 *in=%08X", *zero);
    *out = 0x00C0FFEE;
    return Code16();
}

uint32_t NWAPI Connections111(uint32_t* reference) {
    Log("clxwin32 111");
    *reference = 0x0000BEAD;
    return Code16();
}

uint32_t NWAPI Connections102(uint32_t reference, uint32_t mode, uint32_t flags, uint32_t* conn) {
    Log("clxwin32 102 ref=%08X mode=%08X flags=%08X", reference, mode, flags);
    *conn = 0x89ABCDEF;
    return Code16();
}

// Kind 4 answers a padded tree name, kind 7 a server name beyond ASCII, kind 99 fills the
// whole buffer without a terminator; any other kind a 32-bit value.
uint32_t NWAPI Connections114(uint32_t conn, uint32_t kind, uint32_t length, void* buffer) {
    Log("clxwin32 114 conn=%08X kind=%08X length=%08X", conn, kind, length);
    char* text = static_cast<char*>(buffer);
    if (kind == 4) {
        CopyText(text, "ACME_TREE_______________________");
    } else if (kind == 7) {
        CopyText(text, "FS\x8E");
    } else if (kind == 99) {
        std::memset(text, 'X', length);
    } else {
        Put32(static_cast<uint8_t*>(buffer), 0x10000000 | kind);
    }
    return Code16();
}

// --- netwin32 ---

uint32_t NWAPI Directory1160(uint32_t* context) {
    Log("netwin32 1160");
    *context = 0x0000C0DE;
    return gCode;
}

uint32_t NWAPI Directory1002(uint32_t context) {
    Log("netwin32 1002 ctx=%08X", context);
    return gCode;
}

uint32_t NWAPI Directory1003(uint32_t context, uint32_t key, char* buffer) {
    Log("netwin32 1003 ctx=%08X key=%08X", context, key);
    std::memset(buffer, 'Z', 256);
    CopyText(buffer, "CN=ACME_TREE");
    return gCode;
}

uint32_t NWAPI Directory1004(uint32_t context, uint32_t key, const void* value) {
    Log("netwin32 1004 ctx=%08X key=%08X value=%s", context, key,
        Text(static_cast<const char*>(value)).c_str());
    return gCode;
}

uint32_t NWAPI Directory1048(uint32_t context, uint32_t conn, uint32_t id, char* name) {
    Log("netwin32 1048 ctx=%08X conn=%08X id=%08X", context, conn, id);
    std::memset(name, 'Z', 256);
    CopyText(name, "CN=M\x9ALLER.O=ACME");
    return gCode;
}

uint32_t NWAPI Directory1050(uint32_t context, uint32_t conn, const char* name, uint32_t* id) {
    Log("netwin32 1050 ctx=%08X conn=%08X name=%s", context, conn, Text(name).c_str());
    *id = 0x01000011;
    return gCode;
}

// --- nwerr32 ---

const char* NWAPI ErrorText(uint32_t code) {
    Log("nwerr32 NWstrerror %08X", code);
    static char text[64];
    std::snprintf(text, sizeof text, "Stand-in text \x81 %08X", code);
    return text;
}

// --- The tests' handles ---

__declspec(dllexport) void StandInSetCode(uint32_t code) {
    gCode = code;
}

// Copies the lines recorded since the last call into `buffer` (cut to its size) and forgets
// them; answers the length of the whole text.
__declspec(dllexport) uint32_t StandInTakeLog(char* buffer, uint32_t size) {
    const uint32_t length = static_cast<uint32_t>(gLog.size());
    if (size > 0) {
        const size_t n = length < size - 1 ? length : size - 1;
        std::memcpy(buffer, gLog.data(), n);
        buffer[n] = '\0';
    }
    gLog.clear();
    return length;
}

}  // extern "C"
