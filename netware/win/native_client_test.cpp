// The binding to the NetWare client libraries against the recording stand-ins (stand_ins/ beside
// this program): every operation with its ordinal, its arguments in order and at their widths,
// its completion code at its width, its records at their offsets, and its texts in the OEM code
// page; then what loading does when a library or an operation is missing.
#include "netware/win/native_client.h"

#include <cstdio>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/win/win_api.h"
#include "testing/stand_in_client.h"

namespace ferrit {
namespace {

std::string Hex(uint32_t value, int digits = 8) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string Code(NWCCODE code) {
    return Hex(code, 4);
}

class NativeClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NativeClientLoad load = LoadNativeClient(testing::StandInDirectory("recording"));
        ASSERT_TRUE(load.client) << load.problem;
        client_ = std::move(load.client);
        const HMODULE calls = GetModuleHandleA("calwin32.dll");
        ASSERT_NE(calls, nullptr);
        setCode_ = reinterpret_cast<SetCode>(
            reinterpret_cast<void (*)()>(GetProcAddress(calls, "StandInSetCode")));
        takeLog_ = reinterpret_cast<TakeLog>(
            reinterpret_cast<void (*)()>(GetProcAddress(calls, "StandInTakeLog")));
        ASSERT_TRUE(setCode_ && takeLog_);
        Take();
    }

    // The calls the stand-ins recorded since the last look.
    std::string Take() {
        char text[8192] = {};
        takeLog_(text, sizeof text);
        return text;
    }

    using SetCode = void (*)(uint32_t);
    using TakeLog = uint32_t (*)(char*, uint32_t);
    std::unique_ptr<NetWareClient> client_;
    SetCode setCode_ = nullptr;
    TakeLog takeLog_ = nullptr;
};

struct Row {
    const char* what;
    uint32_t code;  // what the stand-in answers (16-bit ones with garbage above)
    // Calls the binding and says what it gave: the code, then the outputs.
    std::function<std::string(NetWareClient&)> call;
    const char* recorded;  // the stand-in's lines, each ended by a line end
    const char* gave;
};

TEST_F(NativeClientTest, EveryOperationReachesItsOrdinalWithItsArgumentsAndRecords) {
    // The texts beyond ASCII are written for the western OEM code pages (ü 81, Ä 8E, Ü 9A).
    if (GetOEMCP() != 437 && GetOEMCP() != 850) {
        GTEST_SKIP() << "OEM code page " << GetOEMCP() << " is not 437 or 850";
    }
    const Row rows[] = {
        {"start client", 0, [](NetWareClient& c) { return Code(c.CallsInit()); },
         "calwin32 377 00000000 00000000\n", "0000"},
        {"start connection layer", 0,
         [](NetWareClient& c) {
             uint32_t ref = 0;
             const NWCCODE code = c.ConnLayerInit(ref);
             return Code(code) + " ref=" + Hex(ref);
         },
         "clxwin32 113 *in=00000000\n", "0000 ref=00C0FFEE"},
        {"primary connection", 0,
         [](NetWareClient& c) {
             uint32_t ref = 0;
             const NWCCODE code = c.GetPrimaryConnRef(ref);
             return Code(code) + " ref=" + Hex(ref);
         },
         "clxwin32 111\n", "0000 ref=0000BEAD"},
        {"open by reference", 0,
         [](NetWareClient& c) {
             NWCONN_HANDLE conn = 0;
             const NWCCODE code = c.OpenConnByReference(0xBEAD, 1, 0, conn);
             return Code(code) + " conn=" + Hex(conn);
         },
         "clxwin32 102 ref=0000BEAD mode=00000001 flags=00000000\n", "0000 conn=89ABCDEF"},
        {"tree name", 0,
         [](NetWareClient& c) {
             std::string text;
             const NWCCODE code = c.GetConnInfoText(0x89ABCDEF, 4, 255, text);
             return Code(code) + " " + text;
         },
         "clxwin32 114 conn=89ABCDEF kind=00000004 length=000000FF\n",
         "0000 ACME_TREE_______________________"},
        {"server name in OEM text", 0,
         [](NetWareClient& c) {
             std::string text;
             const NWCCODE code = c.GetConnInfoText(2, 7, 255, text);
             return Code(code) + " " + text;
         },
         "clxwin32 114 conn=00000002 kind=00000007 length=000000FF\n", "0000 FS\xC3\x84"},
        {"a text without its terminator ends with the buffer", 0,
         [](NetWareClient& c) {
             std::string text;
             const NWCCODE code = c.GetConnInfoText(2, 99, 255, text);
             return Code(code) + " " + (text == std::string(255, 'X') ? "255 X" : text);
         },
         "clxwin32 114 conn=00000002 kind=00000063 length=000000FF\n", "0000 255 X"},
        {"directory services capable", 0,
         [](NetWareClient& c) {
             uint32_t value = 0;
             const NWCCODE code = c.GetConnInfoValue(2, 8, value);
             return Code(code) + " " + Hex(value);
         },
         "clxwin32 114 conn=00000002 kind=00000008 length=00000004\n", "0000 10000008"},
        {"create context", 0,
         [](NetWareClient& c) {
             NWDSContextHandle context = 0;
             const NWDSCCODE code = c.DSCreateContext(context);
             return Hex(code) + " " + Hex(context);
         },
         "netwin32 1160\n", "00000000 0000C0DE"},
        {"a directory-services code keeps all 32 bits", 0xFFFFFED1,
         [](NetWareClient& c) {
             NWDSContextHandle context = 0;
             const NWDSCCODE code = c.DSCreateContext(context);
             return Hex(code) + " " + Hex(context);
         },
         "netwin32 1160\n", "FFFFFED1 00000000"},
        {"free context", 0xFFFFFDA7, [](NetWareClient& c) { return Hex(c.DSFreeContext(0xC0DE)); },
         "netwin32 1002 ctx=0000C0DE\n", "FFFFFDA7"},
        {"read context key", 0,
         [](NetWareClient& c) {
             std::string value;
             const NWDSCCODE code = c.DSGetContextText(0xC0DE, 11, value);
             return Hex(code) + " " + value;
         },
         "netwin32 1003 ctx=0000C0DE key=0000000B\n", "00000000 CN=ACME_TREE"},
        {"set context key", 0,
         [](NetWareClient& c) { return Hex(c.DSSetContextText(0xC0DE, 3, "[Root]")); },
         "netwin32 1004 ctx=0000C0DE key=00000003 value=[Root]\n", "00000000"},
        {"object ID to name", 0,
         [](NetWareClient& c) {
             std::string name;
             const NWDSCCODE code = c.DSMapIDToName(0xC0DE, 2, 0x01000012, name);
             return Hex(code) + " " + name;
         },
         "netwin32 1048 ctx=0000C0DE conn=00000002 id=01000012\n",
         "00000000 CN=M\xC3\x9CLLER.O=ACME"},
        {"name to object ID", 0,
         [](NetWareClient& c) {
             NWObjectID id = 0;
             const NWDSCCODE code = c.DSMapNameToID(0xC0DE, 2, "CN=M\xC3\x9CLLER.O=ACME", id);
             return Hex(code) + " " + Hex(id);
         },
         "netwin32 1050 ctx=0000C0DE conn=00000002 name=CN=M\\x9ALLER.O=ACME\n",
         "00000000 01000011"},
        {"a name the OEM code page cannot hold is not asked for", 0,
         [](NetWareClient& c) {
             NWObjectID id = 0;
             const NWDSCCODE code = c.DSMapNameToID(0xC0DE, 2, "CN=J\xE2\x82\xACNS", id);
             return Hex(code) + " " + Hex(id);
         },
         "", "FFFFFDA7 00000000"},
        {"bindery ID to name", 0,
         [](NetWareClient& c) {
             std::string name;
             uint16_t type = 0;
             const NWCCODE code = c.GetObjectName(2, 0x01000012, name, type);
             return Code(code) + " " + name + " " + Hex(type, 4);
         },
         "calwin32 26 conn=00000002 id=01000012\n", "0000 MBROWN 0100"},
        {"bindery name to ID", 0,
         [](NetWareClient& c) {
             NWObjectID id = 0;
             const NWCCODE code = c.GetObjectID(2, "JSMITH", 0x0200, id);
             return Code(code) + " " + Hex(id);
         },
         "calwin32 25 conn=00000002 name=JSMITH type=0200\n", "0000 02000021"},
        {"parse path", 0,
         [](NetWareClient& c) {
             NWCONN_HANDLE conn = 0;
             NWDIR_HANDLE dh = 0;
             std::string volumePath;
             const NWCCODE code = c.ParsePath("Z:\\nw\\M\xC3\xBCller", conn, dh, volumePath);
             return Code(code) + " " + Hex(conn) + " " + Hex(dh, 2) + " " + volumePath;
         },
         "calwin32 103 path=Z:\\nw\\M\\x81ller\n", "0000 00000002 07 DATA:PROJECTS\\\xC3\x84"},
        {"a failed parse leaves connection and path alone", 0x8801,
         [](NetWareClient& c) {
             NWCONN_HANDLE conn = 0;
             NWDIR_HANDLE dh = 0;
             std::string volumePath;
             const NWCCODE code = c.ParsePath("C:\\local", conn, dh, volumePath);
             return Code(code) + " " + Hex(conn) + " " + Hex(dh, 2) + " [" + volumePath + "]";
         },
         "calwin32 103 path=C:\\local\n", "8801 00000000 00 []"},
        {"a path the OEM code page cannot hold is not parsed", 0,
         [](NetWareClient& c) {
             NWCONN_HANDLE conn = 0;
             NWDIR_HANDLE dh = 0;
             std::string volumePath;
             const NWCCODE code = c.ParsePath("Z:\\nw\\\xE2\x82\xAC", conn, dh, volumePath);
             return Code(code) + " " + Hex(conn);
         },
         "", "899C 00000000"},
        {"effective rights", 0,
         [](NetWareClient& c) {
             uint16_t rights = 0;
             const NWCCODE code = c.GetEffectiveRights(2, 7, "DATA:PROJECTS", rights);
             return Code(code) + " " + Hex(rights, 4);
         },
         "calwin32 270 conn=00000002 dh=07 path=DATA:PROJECTS\n", "0000 01FB"},
        {"allocate a temporary directory handle", 0,
         [](NetWareClient& c) {
             NWDIR_HANDLE dh = 0;
             uint8_t rights = 0;
             const NWCCODE code =
                 c.AllocTemporaryDirectoryHandle(2, 0x0A, "DATA:PROJECTS\\ALPHA", dh, rights);
             return Code(code) + " " + Hex(dh, 2) + " " + Hex(rights, 2);
         },
         "calwin32 83 conn=00000002 dh=0A path=DATA:PROJECTS\\ALPHA\n", "0000 C8 FF"},
        {"release it", 0x899B,
         [](NetWareClient& c) { return Code(c.DeallocateDirectoryHandle(2, 0xC8)); },
         "calwin32 84 conn=00000002 dh=C8\n", "899B"},
        {"scan trustees", 0,
         [](NetWareClient& c) {
             uint32_t iter = 0;
             TrusteeBatch batch;
             const NWCCODE code = c.ScanTrustees(2, 0x0B, "DATA:X", iter, batch);
             std::string out = Code(code) + " " + Hex(iter);
             for (int i = 0; i < 4; ++i) {
                 out += " " + Hex(batch[i].objectId) + ":" + Hex(batch[i].rights, 4);
             }
             return out;
         },
         "calwin32 169 conn=00000002 dh=0B path=DATA:X iter=00000000\n",
         "0000 00010001 01000011:0100 01000012:0101 01000013:0102 00000000:0103"},
        {"the next batch starts where the client left the scan", 0,
         [](NetWareClient& c) {
             uint32_t iter = 0x00010001;
             TrusteeBatch batch;
             const NWCCODE code = c.ScanTrustees(2, 0, "DATA:X", iter, batch);
             return Code(code) + " " + Hex(iter);
         },
         "calwin32 169 conn=00000002 dh=00 path=DATA:X iter=00010001\n", "0000 00020002"},
        {"add trustee", 0,
         [](NetWareClient& c) {
             return Code(c.AddTrustee(0x89ABCDEF, 0x0C, "DATA:Y", 0x01000011, 0x01FB));
         },
         "calwin32 249 conn=89ABCDEF dh=0C path=DATA:Y id=01000011 rights=01FB\n", "0000"},
        {"owning name space", 0,
         [](NetWareClient& c) {
             uint8_t ns = 0;
             const NWCCODE code = c.GetOwningNameSpace(2, 0x0D, "DATA:X\\a.txt", ns);
             return Code(code) + " " + Hex(ns, 2);
         },
         "calwin32 277 conn=00000002 dh=0D path=DATA:X\\a.txt\n", "0000 04"},
        {"entry information", 0,
         [](NetWareClient& c) {
             EntryInfo info;
             const NWCCODE code =
                 c.ObtainEntryInfo(2, 0x0E, "DATA:X\\a.txt", 4, 0, 0x16, 0x0FFF, info);
             return Code(code) + " " + Hex(info.ownerId);
         },
         "calwin32 273 conn=00000002 dh=0E path=DATA:X\\a.txt ns=04>00 attr=0016 mask=00000FFF\n",
         "0000 01000012"},
        {"set DOS information", 0,
         [](NetWareClient& c) {
             DosInfo info;
             info.ownerId = 0x0B000105;
             return Code(c.ModifyDosInfo(2, 0x0F, "DATA:Y\\a.txt", 0, 0x16, 0x10, info));
         },
         "calwin32 395 conn=00000002 dh=0F path=DATA:Y\\a.txt ns=00 attr=0016 mask=00000010 "
         "owner@8=0501000B rest=00\n",
         "0000"},
        {"space-limit list", 0,
         [](NetWareClient& c) {
             std::vector<SpaceLimitEntry> list;
             const NWCCODE code = c.GetDirSpaceLimitList(2, 0xC8, list);
             std::string out = Code(code);
             for (const SpaceLimitEntry& e : list) {
                 out += " " + std::to_string(e.level) + ":" + Hex(e.maximum) + "/" + Hex(e.current);
             }
             return out;
         },
         "calwin32 330 conn=00000002 dh=C8\n",
         "0000 2:00000200/00000010 1:7FFFFFFF/00000020 0:00000600/00000030"},
        {"a count past the buffer reads what the buffer holds", 0,
         [](NetWareClient& c) {
             std::vector<SpaceLimitEntry> list;
             const NWCCODE code = c.GetDirSpaceLimitList(0x66, 0xC8, list);
             const SpaceLimitEntry& last = list.back();
             return Code(code) + " " + std::to_string(list.size()) + " " +
                    std::to_string(last.level) + ":" + Hex(last.maximum) + "/" + Hex(last.current);
         },
         "calwin32 330 conn=00000066 dh=C8\n", "0000 102 0:0000CC00/00000660"},
        {"set space limit", 0x89FF,
         [](NetWareClient& c) { return Code(c.SetDirSpaceLimit(0x89ABCDEF, 0xC9, 0x800)); },
         "calwin32 292 conn=89ABCDEF dh=C9 limit=00000800\n", "89FF"},
        {"scan directory entry", 0,
         [](NetWareClient& c) {
             uint32_t iter = 0xFFFFFFFF;
             DirEntryRecord record;
             const NWCCODE code = c.ScanDirEntryInfo(2, 0xC8, 0x16, iter, record);
             return Code(code) + " " + Hex(iter) + " " + Hex(record.inheritedRightsMask, 4);
         },
         "calwin32 380 conn=00000002 dh=C8 attr=0016 iter=FFFFFFFF pattern=(null) "
         "last=00000000\n",
         "0000 12345678 00FB"},
        {"set directory entry writes the scanned record with the new mask", 0,
         [](NetWareClient& c) {
             uint32_t iter = 0xFFFFFFFF;
             DirEntryRecord record;
             c.ScanDirEntryInfo(2, 0xC8, 0x16, iter, record);
             record.inheritedRightsMask = 0x0041;
             return Code(c.ModifyDirEntry(2, 0xC8, 0x16, iter, 0x1000, record));
         },
         "calwin32 380 conn=00000002 dh=C8 attr=0016 iter=FFFFFFFF pattern=(null) "
         "last=00000000\n"
         "calwin32 291 conn=00000002 dh=C8 attr=0016 iter=12345678 mask=00001000 irm@100=4100 "
         "rest=DD\n",
         "0000"},
        {"set directory entry of an entry not scanned", 0,
         [](NetWareClient& c) {
             DirEntryRecord record;
             record.inheritedRightsMask = 0x01FB;
             return Code(c.ModifyDirEntry(3, 0xC9, 0x16, 7, 0x1000, record));
         },
         "calwin32 291 conn=00000003 dh=C9 attr=0016 iter=00000007 mask=00001000 irm@100=FB01 "
         "rest=00\n",
         "0000"},
        {"server-side copy", 0,
         [](NetWareClient& c) {
             uint32_t copied = 0;
             const NWCCODE code =
                 c.FileServerFileCopy(static_cast<FileHandle>(0x124),
                                      static_cast<FileHandle>(0x128), 0, 0, 0x7FFFFFFF, copied);
             return Code(code) + " " + Hex(copied);
         },
         "calwin32 107 from=00000124 to=00000128 offsets=00000000,00000000 count=7FFFFFFF\n",
         "0000 00001234"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        setCode_(row.code);
        EXPECT_EQ(row.call(*client_), row.gave);
        EXPECT_EQ(Take(), row.recorded);
    }
}

TEST_F(NativeClientTest, ErrorTextLibraryIsLoadedForEachTextAndReleased) {
    {
        std::unique_ptr<NWErrorLibrary> library = client_->LoadErrorLibrary();
        ASSERT_TRUE(library);
        EXPECT_TRUE(library->HasNWstrerror());
        EXPECT_EQ(library->NWstrerror(0x89FC), "Stand-in text \xC3\xBC 000089FC");
        EXPECT_NE(GetModuleHandleA("nwerr32.dll"), nullptr);
    }
    EXPECT_EQ(GetModuleHandleA("nwerr32.dll"), nullptr);
    EXPECT_EQ(Take(), "nwerr32 NWstrerror 000089FC\n");
}

TEST(NativeClientLoadTest, MissingLibraryOrOperationLoadsNothing) {
    struct Case {
        const char* what;
        std::string directory;
        std::string workingDirectory;  // empty: unchanged
        bool installed;                // a client is there, if a faulty one
        const char* problem;           // how the problem begins
    };
    const Case cases[] = {
        {"no libraries", testing::StandInDirectory("none"), "", false,
         "calwin32.dll could not be loaded (error 126"},
        {"the calls library alone", testing::StandInDirectory("calls_only"), "", true,
         "clxwin32.dll could not be loaded (error 126"},
        {"an operation missing", testing::StandInDirectory("incomplete"), "", true,
         "netwin32.dll has no operation with ordinal 1160 (error 127"},
        // Not beside the program nor in the system directories; a set in the working directory
        // is not taken.
        {"only in the working directory", "", testing::StandInDirectory("recording"), false,
         "calwin32.dll could not be loaded (error 126"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        wchar_t saved[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, saved);
        std::wstring working;
        if (!c.workingDirectory.empty()) {
            ASSERT_TRUE(win::Widen(c.workingDirectory, working));
            ASSERT_TRUE(SetCurrentDirectoryW(working.c_str()));
        }
        const NativeClientLoad load = LoadNativeClient(c.directory);
        SetCurrentDirectoryW(saved);
        EXPECT_EQ(load.client, nullptr);
        EXPECT_EQ(load.installed, c.installed);
        EXPECT_EQ(load.problem.rfind(c.problem, 0), 0u) << load.problem;
        EXPECT_EQ(load.location, "");
        EXPECT_EQ(GetModuleHandleA("calwin32.dll"), nullptr);
        EXPECT_EQ(GetModuleHandleA("clxwin32.dll"), nullptr);
    }
}

TEST(NativeClientLoadTest, LoadedClientNamesWhereItWasFound) {
    const NativeClientLoad load = LoadNativeClient(testing::StandInDirectory("recording"));
    ASSERT_TRUE(load.client) << load.problem;
    EXPECT_TRUE(load.installed);
    EXPECT_EQ(load.problem, "");
    EXPECT_EQ(load.location, testing::StandInDirectory("recording") + "\\calwin32.dll");
}

}  // namespace
}  // namespace ferrit
