#include <gtest/gtest.h>

#include "netware/netware_services.h"
#include "platform/error_codes.h"
#include "testing/native_file_services.h"
#include "testing/scripted_client.h"
#include "testing/scripted_dialogs.h"
#include "testing/system.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {
using testing::NativeFileServices;
using testing::ScriptedDialogs;

using testing::ScriptedClient;
using testing::TempDir;

// The system's file services, counting the files opened and closed.
class CountingFiles : public NativeFileServices {
  public:
    FileHandle OpenRead(const std::string& path) override {
        ++opened;
        return Keep(NativeFileServices::OpenRead(path));
    }
    FileHandle CreateTemporary(const std::string& target, std::string& tempPath) override {
        ++created;
        return Keep(NativeFileServices::CreateTemporary(target, tempPath));
    }
    int CloseFile(FileHandle handle) override {
        closedInOrder.push_back(handle);
        return NativeFileServices::CloseFile(handle);
    }
    FileHandle Keep(FileHandle handle) {
        if (handle != kInvalidFileHandle)
            handles.push_back(handle);
        return handle;
    }
    int opened = 0, created = 0;
    std::vector<FileHandle> handles, closedInOrder;
};

// A server that only reports how much it would copy, for sources too large to copy here.
class SizeOnlyClient : public ScriptedClient {
  public:
    NWCCODE FileServerFileCopy(FileHandle source, FileHandle, uint32_t sourceOffset,
                               uint32_t targetOffset, uint32_t count, uint32_t& copied) override {
        copyRequests.emplace_back(sourceOffset, targetOffset, count);
        EntryStat st;
        if (!files.HandleStat(source, st)) {
            return 0x8801;
        }
        const uint64_t size = static_cast<uint64_t>(st.size);
        const uint64_t left = size > sourceOffset ? size - sourceOffset : 0;
        copied = static_cast<uint32_t>(std::min<uint64_t>(left, count));
        return 0;
    }
    NativeFileServices files;  // to read the size of the open source
};

class NetWareCopyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        src = tmp.Dir("srv1/vol/data");
        tgt = tmp.Dir("srv1/vol/copy");
        other = tmp.Dir("srv2/vol/copy");
        for (ScriptedClient* c : {&client, static_cast<ScriptedClient*>(&sizeOnly)}) {
            c->volumes[tmp.Path("srv1/")] = 1;
            c->volumes[tmp.Path("srv2/")] = 2;
        }
    }
    // 2021-03-04 05:06:07 local time: an odd second.
    static int64_t OddSecond() {
        struct tm tm = {};
        tm.tm_year = 121;
        tm.tm_mon = 2;
        tm.tm_mday = 4;
        tm.tm_hour = 5;
        tm.tm_min = 6;
        tm.tm_sec = 7;
        tm.tm_isdst = -1;
        return mktime(&tm);
    }
    void ExpectAllClosedTargetFirst() {
        ASSERT_EQ(files.closedInOrder.size(), files.handles.size());
        if (files.handles.size() == 2) {
            EXPECT_EQ(files.closedInOrder[0], files.handles[1]);
            EXPECT_EQ(files.closedInOrder[1], files.handles[0]);
        }
    }

    TempDir tmp;
    std::string src, tgt, other;
    ScriptedClient client;
    SizeOnlyClient sizeOnly;
    CountingFiles files;
    ScriptedDialogs dialogs;
    NetWareServices nw{client, files, dialogs};
};

TEST_F(NetWareCopyTest, SameServerCopiesContentsTimeAndAttributes) {
    const std::string file = tmp.File("srv1/vol/data/a.txt", "hello, server");
    ASSERT_TRUE(testing::SetModTime(file, OddSecond()));
    ASSERT_EQ(files.SetAttributes(file, Attr::ReadOnly | Attr::Archive), 0);
    const int32_t attributes = files.GetAttributes(file);

    EXPECT_EQ(nw.NetWareCopyFile(file, tgt + "/a.txt"), 0);
    EXPECT_EQ(testing::ReadFile(tgt + "/a.txt"), "hello, server");
    int64_t seconds = 0;
    long nanoseconds = 0;
    ASSERT_TRUE(testing::GetModTime(tgt + "/a.txt", seconds, nanoseconds));
    EXPECT_EQ(seconds, OddSecond() - 1);  // the odd second drops to the even one below
    EXPECT_EQ(files.FileAge(tgt + "/a.txt"), files.FileAge(file));
    EXPECT_EQ(files.GetAttributes(tgt + "/a.txt"), attributes);
    EXPECT_TRUE(files.GetAttributes(tgt + "/a.txt") & Attr::ReadOnly);
    // One request for the whole file.
    EXPECT_EQ(client.copyRequests,
              (std::vector<std::tuple<uint32_t, uint32_t, uint32_t>>{{0, 0, 0x7FFFFFFF}}));
    ExpectAllClosedTargetFirst();
}

TEST_F(NetWareCopyTest, ExistingWritableTargetIsReplaced) {
    const std::string file = tmp.File("srv1/vol/data/a.txt", "new");
    tmp.File("srv1/vol/copy/a.txt", "old and longer");
    EXPECT_EQ(nw.NetWareCopyFile(file, tgt + "/a.txt"), 0);
    EXPECT_EQ(testing::ReadFile(tgt + "/a.txt"), "new");
}

TEST_F(NetWareCopyTest, CopyThatCannotStartGives0xFFFF) {
    const std::string file = tmp.File("srv1/vol/data/a.txt", "data");
    // Different servers: nothing is opened or created.
    EXPECT_EQ(nw.NetWareCopyFile(file, other + "/a.txt"), 0xFFFF);
    EXPECT_EQ(files.opened + files.created, 0);
    EXPECT_TRUE(testing::ListDir(other).empty());
    EXPECT_TRUE(client.copyRequests.empty());

    // A missing source: the target is not created.
    EXPECT_EQ(nw.NetWareCopyFile(src + "/missing", tgt + "/missing"), 0xFFFF);
    EXPECT_EQ(files.created, 0);
    EXPECT_TRUE(testing::ListDir(tgt).empty());

    // A read-only target stays as it was; the source is closed again.
    const std::string locked = tmp.File("srv1/vol/copy/a.txt", "keep me");
    ASSERT_EQ(files.SetAttributes(locked, Attr::ReadOnly), 0);
    EXPECT_EQ(nw.NetWareCopyFile(file, locked), 0xFFFF);
    EXPECT_EQ(testing::ReadFile(locked), "keep me");
    EXPECT_TRUE(client.copyRequests.empty());
    ExpectAllClosedTargetFirst();
}

TEST_F(NetWareCopyTest, UnparsablePathGivesTheClientsCode) {
    const std::string file = tmp.File("local/a.txt", "data");
    EXPECT_EQ(nw.NetWareCopyFile(file, tgt + "/a.txt"), 0x8998);
    EXPECT_EQ(nw.NetWareCopyFile(tmp.File("srv1/vol/data/b.txt"), tmp.Path("local/b.txt")), 0x8998);
    EXPECT_EQ(files.opened + files.created, 0);
}

// A failed server copy's code is described from its own table: a client code by the client's
// error-text library, even where a Windows number of the same value has a description; a Windows
// number by the front end, or by the system's message where the front end has none.
TEST_F(NetWareCopyTest, FailureWordsComeFromTheCodesOwnTable) {
    client.library = ScriptedClient::Library::Present;
    client.errorTexts[5] = "Refused by the server";
    EXPECT_TRUE(nw.NetWareCopyFile(files, tmp.File("local/a.txt", "x"), tgt + "/a.txt", -1, nullptr)
                    .clientCode);
    struct {
        ServerCopyResult result;
        std::string words;
    } const rows[] = {
        {{5, true}, "Refused by the server"},
        {{5, false}, ""},
        {{31, false}, "A device attached to the system is not functioning"},
    };
    for (const auto& row : rows) {
        // A system that describes every Windows number itself (Windows) leaves no words to add.
        const bool described = !row.result.clientCode && !ErrorDescription(row.result.code).empty();
        EXPECT_EQ(nw.ServerCopyErrorDetail(row.result), described ? "" : row.words)
            << row.result.code;
    }
}

// A failed server copy leaves the target as it was (absent, or the old file) and nothing else.
TEST_F(NetWareCopyTest, FailedServerCopyLeavesTheOldTargetAndNoTrace) {
    const std::string file = tmp.File("srv1/vol/data/a.txt", "data");
    ASSERT_TRUE(testing::SetModTime(file, OddSecond()));
    client.copyCode = 0x8977;
    EXPECT_EQ(nw.NetWareCopyFile(file, tgt + "/a.txt"), 0x8977);
    EXPECT_TRUE(testing::ListDir(tgt).empty());
    ExpectAllClosedTargetFirst();

    const std::string old = tmp.File("srv1/vol/copy/a.txt", "old contents");
    ASSERT_TRUE(testing::SetModTime(old, 1000000000));
    client.copyLimit = 2;  // the server stops early: a fragment must never take the old one's place
    client.copyCode = 0;
    EXPECT_NE(nw.NetWareCopyFile(file, old), 0);
    EXPECT_EQ(testing::ReadFile(old), "old contents");
    EXPECT_EQ(testing::ListDir(tgt), std::vector<std::string>{"a.txt"});
}

// A hard link at the target is replaced by the copy, never written through to its other name.
TEST_F(NetWareCopyTest, HardLinkAtTheTargetIsReplacedNotWrittenThrough) {
    const std::string file = tmp.File("srv1/vol/data/a.txt", "new");
    const std::string outside = tmp.File("srv1/vol/outside.txt", "outside");
    ASSERT_TRUE(testing::MakeHardLink(outside, tgt + "/a.txt"));
    EXPECT_EQ(nw.NetWareCopyFile(file, tgt + "/a.txt"), 0);
    EXPECT_EQ(testing::ReadFile(tgt + "/a.txt"), "new");
    EXPECT_EQ(testing::ReadFile(outside), "outside");
}

// A link in the source is copied as a link (by the plain copy); a FIFO is never opened.
TEST_F(NetWareCopyTest, LinksGoThroughThePlainCopyAndFifosAreNeverOpened) {
    SKIP_ON_WINDOWS("symbolic links and FIFOs");
    ASSERT_TRUE(testing::MakeSymlink("elsewhere", src + "/link"));
    EXPECT_EQ(nw.NetWareCopyFile(src + "/link", tgt + "/link"), 0);
    EXPECT_EQ(testing::LinkText(tgt + "/link"), "elsewhere");
    EXPECT_TRUE(client.copyRequests.empty());

    ASSERT_TRUE(testing::MakeFifo(src + "/fifo"));
    EXPECT_EQ(nw.NetWareCopyFile(src + "/fifo", tgt + "/fifo"), 0xFFFF);
    EXPECT_EQ(testing::ListDir(tgt), std::vector<std::string>{"link"});
}

TEST_F(NetWareCopyTest, ServerStoppingShortIsNeverSuccess) {
    const std::string file = tmp.File("srv1/vol/data/a.txt", std::string(100, 'x'));
    client.copyLimit = 10;
    EXPECT_NE(nw.NetWareCopyFile(file, tgt + "/a.txt"), 0);
    ExpectAllClosedTargetFirst();

    // The size the caller listed counts: a source that shrank since is not reported as copied.
    client.copyLimit = 0xFFFFFFFF;
    EXPECT_NE(nw.NetWareCopyFile(file, tgt + "/a.txt", 150), 0);
    EXPECT_EQ(nw.NetWareCopyFile(file, tgt + "/a.txt", 100), 0);
    EXPECT_EQ(testing::ReadFile(tgt + "/a.txt"), std::string(100, 'x'));
}

TEST_F(NetWareCopyTest, SourcesOfTwoGibibytesAndMoreAreCopiedWholeOrFail) {
    NetWareServices services(sizeOnly, files, dialogs);
    struct Case {
        uint64_t size;
        uint16_t result;
        std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> requests;
    };
    const Case cases[] = {
        {0x7FFFFFFFull, 0, {{0, 0, 0x7FFFFFFF}}},
        {0x80000000ull + 99, 0, {{0, 0, 0x7FFFFFFF}, {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}}},
        {0xFFFFFFFFull,
         0,
         {{0, 0, 0x7FFFFFFF}, {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}, {0xFFFFFFFE, 0xFFFFFFFE, 1}}},
        // Beyond what 32-bit offsets reach: a failure, never a partial success.
        {0x100000000ull + 5,
         WinErr::GenFailure,
         {{0, 0, 0x7FFFFFFF}, {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}, {0xFFFFFFFE, 0xFFFFFFFE, 1}}},
    };
    for (const Case& c : cases) {
        const std::string file = tmp.Path("srv1/vol/data/big");
        ASSERT_TRUE(testing::WriteFile(file, ""));
        ASSERT_TRUE(testing::SetFileSize(file, c.size));  // sparse
        sizeOnly.copyRequests.clear();
        EXPECT_EQ(services.NetWareCopyFile(file, tgt + "/big"), c.result) << c.size;
        EXPECT_EQ(sizeOnly.copyRequests, c.requests) << c.size;
        ASSERT_TRUE(testing::RemoveTree(file));
    }
}

}  // namespace
}  // namespace ferrit
