#include "platform/posix/posix_file_services.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

#include "platform/error_codes.h"
#include "platform/set_aside.h"
#include "support/strings.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::GetModTime;
using testing::ListDir;
using testing::ReadFile;
using testing::SetModTime;
using testing::TempDir;

// Runs a test under a fixed time zone and puts the previous one back afterwards.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* tz) {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    bool had_ = false;
    std::string old_;
};

int32_t Dos(int year, int month, int day, int hour, int minute, int second) {
    return static_cast<int32_t>(static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day) << 16 |
                                static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2));
}

int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
    struct tm tm = {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<int64_t>(timegm(&tm));
}

std::vector<std::string> Names(const std::vector<ListEntry>& entries) {
    std::vector<std::string> names;
    for (const ListEntry& e : entries) names.push_back(e.name);
    return names;
}

const ListEntry* Find(const std::vector<ListEntry>& entries, const std::string& name) {
    for (const ListEntry& e : entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Pattern matching

TEST(MatchPattern, Table) {
    struct Case {
        const char* pattern;
        const char* name;
        bool expected;
    };
    const Case cases[] = {
        {"*.*", "readme.txt", true},
        {"*.*", "Makefile", true},  // no dot, still matched
        {"*.*", ".profile", true},
        {"*.*", "a.b.c", true},
        {"*", "anything.at.all", true},
        {"*", "", true},
        {"*.TXT", "notes.txt", true},
        {"*.TXT", "NOTES.Txt", true},
        {"*.TXT", "notes.txt.bak", false},
        {"*.TXT", "notestxt", false},
        {"*.txt", ".txt", true},
        {"?", "a", true},
        {"?", "", false},
        {"?", "ab", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"???.*", "abc.d", true},
        {"???.*", "ab.d", false},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXbYY", false},
        {"*b", "abab", true},
        {"*ab", "aab", true},
        {"Data*", "DATABASE", true},
        {"data", "DATA", true},
        {"data", "dat", false},
        {"", "", true},
        {"", "a", false},
        {"*.*x", "a", false},  // only the exact pattern "*.*" matches names without a dot
        // A final dot asks for an empty extension, as the Windows listing has it.
        {"*.", "abc.", true},
        {"*.", "abc", true},
        {"*.", "a.b", false},
        {"*.", ".profile", false},
        {"a?.", "aB", true},
        {"a?.", "a", false},
        {"a?.", "ab.c", false},
        {"A*.", "Makefile", false},
        {"M*..", "Makefile", true},
        // Only ASCII letters fold; other bytes must match exactly.
        {"\xc3\x84*", "\xc3\x84rger", true},
        {"\xc3\xa4*", "\xc3\x84rger", false},
        {"[ab]", "a", false},  // brackets are plain characters
        {"[ab]", "[ab]", true},
        {"\\*", "\\x", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchPattern(c.pattern, c.name), c.expected)
            << "pattern '" << c.pattern << "' name '" << c.name << "'";
    }
}

TEST(MatchPattern, HostilePatternsStayFast) {
    // Patterns that make a naive recursive matcher explode; these must finish at once.
    std::string name(255, 'a');
    std::string stars;
    for (int i = 0; i < 120; ++i) stars += "*a";
    EXPECT_FALSE(MatchPattern(stars + "b", name));
    EXPECT_TRUE(MatchPattern(stars, name));
    std::string many(4000, '*');
    EXPECT_TRUE(MatchPattern(many, name));
    EXPECT_FALSE(MatchPattern(many + "b", name));
    std::string questions(255, '?');
    EXPECT_TRUE(MatchPattern(questions, name));
    EXPECT_FALSE(MatchPattern(questions + "?", name));
}

// ---------------------------------------------------------------------------------------------
// DOS date-times

TEST(DosDateTime, PacksLocalTimeWithClamping) {
    ScopedTimeZone tz("Europe/Berlin");
    struct Case {
        int64_t seconds;
        int32_t expected;
    };
    const int32_t first = Dos(1980, 1, 1, 0, 0, 0);
    const int32_t last = static_cast<int32_t>(0xFF9FBF7Du);
    const Case cases[] = {
        // Summer time: two hours ahead of UTC; an odd second drops to the even one below.
        {Utc(2000, 6, 15, 10, 34, 57), Dos(2000, 6, 15, 12, 34, 56)},
        {Utc(2000, 6, 15, 10, 34, 56), Dos(2000, 6, 15, 12, 34, 56)},
        // Winter time: one hour ahead.
        {Utc(2021, 1, 10, 8, 0, 1), Dos(2021, 1, 10, 9, 0, 0)},
        // New year in local time while UTC is still in the old year.
        {Utc(1999, 12, 31, 23, 30, 0), Dos(2000, 1, 1, 0, 30, 0)},
        // The first DOS second, in local time, and everything before it.
        {Utc(1979, 12, 31, 23, 0, 0), first},
        {Utc(1979, 12, 31, 22, 59, 59), first},
        {0, first},
        {-1000000000, first},
        {INT64_MIN, first},
        // The last DOS second and beyond.
        {Utc(2107, 12, 31, 22, 59, 58), last},
        {Utc(2107, 12, 31, 22, 59, 59), last},
        {Utc(2108, 1, 1, 12, 0, 0), last},
        {Utc(2500, 1, 1, 0, 0, 0), last},
        {INT64_MAX, last},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DosDateTimeFromUnix(c.seconds), c.expected) << "seconds " << c.seconds;
    }
    EXPECT_EQ(last, Dos(2107, 12, 31, 23, 59, 58));
}

TEST(DosDateTime, FollowsTheProcessTimeZone) {
    int64_t t = Utc(2010, 3, 4, 5, 6, 8);
    {
        ScopedTimeZone tz("UTC");
        EXPECT_EQ(DosDateTimeFromUnix(t), Dos(2010, 3, 4, 5, 6, 8));
    }
    {
        ScopedTimeZone tz("America/New_York");
        EXPECT_EQ(DosDateTimeFromUnix(t), Dos(2010, 3, 4, 0, 6, 8));
    }
}

// ---------------------------------------------------------------------------------------------
// Listings

class FileServicesTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(tmp.path().empty()); }
    TempDir tmp;
    PosixFileServices fs;
};

TEST_F(FileServicesTest, ListingsAreSortedByteOrderAndSplitByKind) {
    for (const char* name : {"b", "B", "a", "_x", "10", "9", "\xc3\x84", "z.txt"}) {
        tmp.File(std::string("files/") + name, name);
    }
    tmp.Dir("files/sub2");
    tmp.Dir("files/Sub1");
    tmp.Dir("files/.cache");
    ASSERT_EQ(symlink("sub2", tmp.Path("files/linkdir").c_str()), 0);

    std::vector<ListEntry> files;
    ASSERT_EQ(fs.ListFiles(tmp.Path("files"), "*.*", files), 0);
    EXPECT_EQ(Names(files), (std::vector<std::string>{"10", "9", "B", "_x", "a", "b", "linkdir",
                                                      "z.txt", "\xc3\x84"}));
    const ListEntry* b = Find(files, "b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->size, 1);
    EXPECT_EQ(b->attr, Attr::Archive);
    const ListEntry* link = Find(files, "linkdir");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->attr & Attr::Directory, 0u);

    std::vector<ListEntry> dirs;
    ASSERT_EQ(fs.ListSubdirs(tmp.Path("files/"), dirs), 0);
    EXPECT_EQ(Names(dirs), (std::vector<std::string>{".cache", "Sub1", "sub2"}));
    for (const ListEntry& d : dirs) EXPECT_EQ(d.attr & Attr::Directory, Attr::Directory);
}

TEST_F(FileServicesTest, PatternSelectsFilesOnly) {
    for (const char* name : {"a.txt", "B.TxT", "c.txt.bak", "noext", "d.doc"}) {
        tmp.File(std::string("p/") + name);
    }
    tmp.Dir("p/dir.txt");
    std::vector<ListEntry> out;
    ASSERT_EQ(fs.ListFiles(tmp.Path("p"), "*.TXT", out), 0);
    EXPECT_EQ(Names(out), (std::vector<std::string>{"B.TxT", "a.txt"}));
    ASSERT_EQ(fs.ListFiles(tmp.Path("p"), "*", out), 0);
    EXPECT_EQ(out.size(), 5u);
    ASSERT_EQ(fs.ListFiles(tmp.Path("p"), "?.*", out), 0);
    EXPECT_EQ(Names(out), (std::vector<std::string>{"B.TxT", "a.txt", "c.txt.bak", "d.doc"}));
}

TEST_F(FileServicesTest, SpecialFilesAreListedByKindAndNeverOpened) {
    std::string dir = tmp.Dir("special");
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0644), 0);
    const bool haveSocket = testing::MakeSocketNode(dir + "/sock");
    tmp.File("special/plain", "x");
    // A listing that opened the FIFO would block here forever. The special entries are named,
    // with their kind, so that a run can say it does not copy them.
    std::vector<ListEntry> out;
    ASSERT_EQ(fs.ListFiles(dir, "*.*", out), 0);
    std::vector<std::string> want = {"fifo", "plain"};
    if (haveSocket) {
        want.push_back("sock");
    }
    EXPECT_EQ(Names(out), want);
    EXPECT_EQ(Find(out, "fifo")->kind, EntryKind::Fifo);
    EXPECT_EQ(Find(out, "plain")->kind, EntryKind::File);
    if (haveSocket) {
        EXPECT_EQ(Find(out, "sock")->kind, EntryKind::Socket);
    }
    ASSERT_EQ(fs.ListFiles(dir, "p*", out), 0);
    EXPECT_EQ(Names(out), std::vector<std::string>{"plain"});
    ASSERT_EQ(fs.ListSubdirs(dir, out), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(fs.FileAge(dir + "/fifo") != -1, true);  // a FIFO is a path, not a directory
    // Copying a FIFO must fail rather than block, and leave nothing behind.
    EXPECT_NE(fs.CopyFile(dir + "/fifo", dir + "/copy"), 0);
    if (haveSocket) {
        EXPECT_NE(fs.CopyFile(dir + "/sock", dir + "/copy"), 0);
    }
    EXPECT_EQ(ListDir(dir).size(), haveSocket ? 3u : 2u);
}

TEST_F(FileServicesTest, LinksOfEveryKindAreListedAsFiles) {
    std::string dir = tmp.Dir("links");
    tmp.File("links/target.txt", "12345");
    tmp.Dir("links/realdir");
    ASSERT_EQ(symlink("target.txt", (dir + "/to-file").c_str()), 0);
    ASSERT_EQ(symlink("realdir", (dir + "/to-dir").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (dir + "/dangling").c_str()), 0);
    ASSERT_EQ(symlink("loop-b", (dir + "/loop-a").c_str()), 0);
    ASSERT_EQ(symlink("loop-a", (dir + "/loop-b").c_str()), 0);
    std::vector<ListEntry> out;
    ASSERT_EQ(fs.ListFiles(dir, "*.*", out), 0);
    EXPECT_EQ(Names(out), (std::vector<std::string>{"dangling", "loop-a", "loop-b", "target.txt",
                                                    "to-dir", "to-file"}));
    // A link's own size (the length of its text), never its target's.
    EXPECT_EQ(Find(out, "to-file")->size, static_cast<int64_t>(std::strlen("target.txt")));
    for (const ListEntry& e : out) EXPECT_EQ(e.attr & (Attr::Directory | Attr::ReadOnly), 0u);
    ASSERT_EQ(fs.ListSubdirs(dir, out), 0);
    EXPECT_EQ(Names(out), std::vector<std::string>{"realdir"});
}

// Whatever shape a directory has, and however it changed since it was last listed, the
// subdirectory listing holds exactly its real subdirectories, and the file listing still every
// other entry: a file, a FIFO, a link to a directory.
TEST_F(FileServicesTest, SubdirectoriesAreListedWhateverTheDirectoryHolds) {
    const struct {
        const char* shape;
        std::function<void(const std::string&)> change;  // after a first pair of listings
        std::vector<std::string> subdirs;
    } rows[] = {
        {"files only", [](const std::string&) {}, {}},
        {"a subdirectory added",
         [](const std::string& d) { mkdir((d + "/new").c_str(), 0755); },
         {"new"}},
        {"two added, one below the other",
         [](const std::string& d) {
             mkdir((d + "/a").c_str(), 0755);
             mkdir((d + "/a/b").c_str(), 0755);
             mkdir((d + "/c").c_str(), 0755);
         },
         {"a", "c"}},
        {"its subdirectory removed", [](const std::string& d) { rmdir((d + "/old").c_str()); }, {}},
    };
    int i = 0;
    for (const auto& row : rows) {
        const std::string dir = tmp.Dir("shapes/" + std::to_string(i++));
        tmp.File("shapes/" + std::to_string(i - 1) + "/file", "x");
        ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0644), 0);
        tmp.Dir("shapes/elsewhere");
        ASSERT_EQ(symlink("../elsewhere", (dir + "/to-dir").c_str()), 0);
        if (std::string(row.shape) == "its subdirectory removed") {
            ASSERT_EQ(mkdir((dir + "/old").c_str(), 0755), 0);
        }
        std::vector<ListEntry> subdirs, files;
        ASSERT_EQ(fs.ListSubdirs(dir, subdirs), 0);
        ASSERT_EQ(fs.ListFiles(dir, "*.*", files), 0);
        row.change(dir);
        ASSERT_EQ(fs.ListSubdirs(dir, subdirs), 0) << row.shape;
        EXPECT_EQ(Names(subdirs), row.subdirs) << row.shape;
        ASSERT_EQ(fs.ListFiles(dir, "*.*", files), 0) << row.shape;
        EXPECT_EQ(Names(files), (std::vector<std::string>{"fifo", "file", "to-dir"})) << row.shape;
        EXPECT_EQ(Find(files, "to-dir")->kind, EntryKind::Link) << row.shape;
        EXPECT_EQ(Find(files, "fifo")->kind, EntryKind::Fifo) << row.shape;
    }
}

TEST_F(FileServicesTest, TemporaryFilesAreNeverListed) {
    tmp.File("t/.ferrit-tmp.123.4", "partial");
    tmp.File("t/.ferrit-tmp", "not quite the prefix");
    tmp.File("t/keep");
    tmp.Dir("t/.ferrit-tmp.dir");
    std::vector<ListEntry> out;
    ASSERT_EQ(fs.ListFiles(tmp.Path("t"), "*.*", out), 0);
    EXPECT_EQ(Names(out), (std::vector<std::string>{".ferrit-tmp", "keep"}));
    ASSERT_EQ(fs.ListFiles(tmp.Path("t"), ".ferrit-tmp.*", out), 0);
    EXPECT_TRUE(out.empty());
    ASSERT_EQ(fs.ListSubdirs(tmp.Path("t"), out), 0);
    EXPECT_TRUE(out.empty());
}

// What a killed move left set aside is the user's file: listed under its own name to be put
// back (never replacing what took the name meanwhile, where it is listed as it is), and not
// listed while the program that set it aside may still be checking it. A listing changes
// nothing.
TEST_F(FileServicesTest, WhatAKilledMoveSetAsideIsListedToBePutBackNeverSwept) {
    const std::string left = testing::DeadProcessAsideName("f.txt");
    const std::string held = AsideName("f.txt");
    struct {
        std::string aside;
        bool nameTaken;
        std::vector<std::string> listed;
        int putBack;  // PutBack's result
    } const rows[] = {
        {left, false, {"f.txt"}, 0},
        {left, true, {left, "f.txt"}, WinErr::AlreadyExists},
        {held, false, {}, 0},
        {".ferrit-aside.notes", false, {".ferrit-aside.notes"}, 0},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.aside + (row.nameTaken ? " taken" : ""));
        const std::string dir = tmp.Dir("d" + std::to_string(++n));
        tmp.File("d" + std::to_string(n) + "/" + row.aside, "mine");
        if (row.nameTaken) {
            tmp.File("d" + std::to_string(n) + "/f.txt", "new");
        }
        const std::vector<std::string> before = ListDir(dir);
        std::vector<ListEntry> out;
        ASSERT_EQ(fs.ListFiles(dir, "*.*", out), 0);
        EXPECT_EQ(Names(out), row.listed);
        EXPECT_EQ(ListDir(dir), before);
        const ListEntry* f = Find(out, "f.txt");
        if (f == nullptr || row.aside[14] == 'n') {
            continue;
        }
        EXPECT_EQ(f->setAside, row.nameTaken ? "" : row.aside);
        EXPECT_EQ(f->size, row.nameTaken ? 3 : 4);
        EXPECT_EQ(fs.PutBack(dir + "/" + row.aside, dir + "/f.txt"), row.putBack);
        EXPECT_EQ(ReadFile(dir + "/f.txt"), row.nameTaken ? "new" : "mine");
    }
}

TEST_F(FileServicesTest, AwkwardNamesAreListedExactly) {
    const std::string longName(255, 'n');
    const std::string names[] = {longName,   "with blank", "new\nline", std::string("bad\xff\xfe"),
                                 " leading", "trailing ",  "tab\there"};
    std::string dir = tmp.Dir("awkward");
    for (const std::string& n : names) {
        ASSERT_TRUE(testing::WriteFile(dir + "/" + n, n)) << n;
    }
    std::vector<ListEntry> out;
    ASSERT_EQ(fs.ListFiles(dir, "*.*", out), 0);
    std::vector<std::string> expected(std::begin(names), std::end(names));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(out), expected);
    for (const ListEntry& e : out) {
        EXPECT_EQ(e.size, static_cast<int64_t>(e.name.size()));
        // Every listed name can be handed back to the other services as it is.
        EXPECT_NE(fs.FileAge(dir + "/" + e.name), -1) << e.name;
        EXPECT_EQ(fs.CopyFile(dir + "/" + e.name, tmp.Dir("awkward-copy") + "/" + e.name), 0);
    }
    EXPECT_EQ(ListDir(tmp.Path("awkward-copy")), expected);
}

TEST_F(FileServicesTest, LargeSizesAreSixtyFourBits) {
    std::string path = tmp.File("big/huge");
    ASSERT_EQ(truncate(path.c_str(), (int64_t(5) << 30) + 7), 0);
    std::vector<ListEntry> out;
    ASSERT_EQ(fs.ListFiles(tmp.Path("big"), "*.*", out), 0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].size, (int64_t(5) << 30) + 7);
}

TEST_F(FileServicesTest, UnlistableDirectoriesGiveACodeAndNothing) {
    std::vector<ListEntry> out{ListEntry{"stale", 0, 0}};
    EXPECT_EQ(fs.ListFiles(tmp.Path("missing"), "*.*", out), WinErr::PathNotFound);
    EXPECT_TRUE(out.empty());
    out.push_back(ListEntry{"stale", 0, 0});
    EXPECT_EQ(fs.ListSubdirs(tmp.Path("missing/deeper"), out), WinErr::PathNotFound);
    EXPECT_TRUE(out.empty());
    std::string file = tmp.File("plainfile");
    EXPECT_NE(fs.ListFiles(file, "*.*", out), 0);
    EXPECT_TRUE(out.empty());
}

// ---------------------------------------------------------------------------------------------
// Ages, directories and other services

TEST_F(FileServicesTest, FileAgeUsesThePathsOwnTime) {
    ScopedTimeZone tz("Europe/Berlin");
    std::string file = tmp.File("age/file", "x");
    ASSERT_TRUE(SetModTime(file, Utc(2015, 7, 1, 10, 0, 3), 999999999));
    EXPECT_EQ(fs.FileAge(file), Dos(2015, 7, 1, 12, 0, 2));
    std::string link = tmp.Path("age/link");
    ASSERT_EQ(symlink("file", link.c_str()), 0);
    ASSERT_TRUE(SetModTime(link, Utc(2001, 2, 3, 4, 5, 6)));
    EXPECT_EQ(fs.FileAge(link), Dos(2001, 2, 3, 5, 5, 6));
    std::string dangling = tmp.Path("age/dangling");
    ASSERT_EQ(symlink("nothing", dangling.c_str()), 0);
    ASSERT_TRUE(SetModTime(dangling, Utc(1970, 1, 2, 0, 0, 0)));
    EXPECT_EQ(fs.FileAge(dangling), Dos(1980, 1, 1, 0, 0, 0));
    EXPECT_EQ(fs.FileAge(tmp.Dir("age/dir")), -1);
    EXPECT_EQ(fs.FileAge(tmp.Path("age/missing")), -1);
    EXPECT_EQ(fs.FileAge(""), -1);
    // A link to a directory is a file for the walk, so it has an age.
    std::string dirLink = tmp.Path("age/dirlink");
    ASSERT_EQ(symlink("dir", dirLink.c_str()), 0);
    EXPECT_NE(fs.FileAge(dirLink), -1);
}

TEST_F(FileServicesTest, DirectoryExistsAndIdentity) {
    std::string a = tmp.Dir("id/a");
    std::string b = tmp.Dir("id/b");
    std::string file = tmp.File("id/file");
    ASSERT_EQ(symlink("a", tmp.Path("id/link-a").c_str()), 0);
    EXPECT_TRUE(fs.DirectoryExists(a));
    EXPECT_TRUE(fs.DirectoryExists(a + "/"));
    EXPECT_TRUE(fs.DirectoryExists(tmp.Path("id/link-a")));
    EXPECT_FALSE(fs.DirectoryExists(file));
    EXPECT_FALSE(fs.DirectoryExists(tmp.Path("id/missing")));
    EXPECT_FALSE(fs.DirectoryExists(""));

    DirIdentity ida, idb, other;
    ASSERT_TRUE(fs.DirectoryId(a, ida));
    ASSERT_TRUE(fs.DirectoryId(b, idb));
    EXPECT_NE(ida, idb);
    for (const std::string& same :
         {a + "/", b + "/../a", tmp.Path("id/link-a"), tmp.Path("id/./a/.")}) {
        ASSERT_TRUE(fs.DirectoryId(same, other)) << same;
        EXPECT_EQ(other, ida) << same;
    }
    // A name differing only in case is another directory on Linux.
    std::string upper = tmp.Dir("id/A");
    ASSERT_TRUE(fs.DirectoryId(upper, other));
    EXPECT_NE(other, ida);
    EXPECT_FALSE(fs.DirectoryId(file, other));
    EXPECT_FALSE(fs.DirectoryId(tmp.Path("id/missing"), other));
}

TEST_F(FileServicesTest, CreateRemoveAndDelete) {
    std::string deep = tmp.Path("mk/a/b/c");
    EXPECT_EQ(fs.CreateDirectories(deep), 0);
    EXPECT_TRUE(fs.DirectoryExists(deep));
    EXPECT_EQ(fs.CreateDirectories(deep), 0);
    EXPECT_EQ(fs.CreateDirectories(tmp.Path("mk/x/y/")), 0);
    EXPECT_TRUE(fs.DirectoryExists(tmp.Path("mk/x/y")));
    ASSERT_EQ(symlink("a", tmp.Path("mk/link").c_str()), 0);
    EXPECT_EQ(fs.CreateDirectories(tmp.Path("mk/link/new")), 0);  // like mkdir -p
    EXPECT_TRUE(fs.DirectoryExists(tmp.Path("mk/a/new")));
    std::string file = tmp.File("mk/file");
    EXPECT_NE(fs.CreateDirectories(file), 0);
    EXPECT_NE(fs.CreateDirectories(file + "/sub"), 0);
    EXPECT_EQ(fs.CreateDirectories(""), WinErr::PathNotFound);

    tmp.File("mk/a/b/c/inside");
    EXPECT_EQ(fs.RemoveDirectory(tmp.Path("mk/a/b/c")), WinErr::DirNotEmpty);
    EXPECT_EQ(fs.DeleteFile(tmp.Path("mk/a/b/c/inside")), 0);
    EXPECT_EQ(fs.RemoveDirectory(tmp.Path("mk/a/b/c")), 0);
    EXPECT_FALSE(fs.DirectoryExists(tmp.Path("mk/a/b/c")));
    EXPECT_EQ(fs.RemoveDirectory(tmp.Path("mk/a/b/c")), WinErr::FileNotFound);
    EXPECT_EQ(fs.RemoveDirectory(tmp.Path("mk/gone/c")), WinErr::PathNotFound);

    // Deleting a link removes the link, never its target.
    std::string target = tmp.File("del/target", "keep me");
    ASSERT_EQ(symlink("target", tmp.Path("del/link").c_str()), 0);
    EXPECT_EQ(fs.DeleteFile(tmp.Path("del/link")), 0);
    EXPECT_EQ(ReadFile(target), "keep me");
    EXPECT_EQ(ListDir(tmp.Path("del")), std::vector<std::string>{"target"});
    EXPECT_EQ(fs.DeleteFile(tmp.Path("del/link")), WinErr::FileNotFound);
    EXPECT_EQ(fs.DeleteFile(tmp.Path("del/none/x")), WinErr::PathNotFound);
    EXPECT_EQ(fs.DeleteFile(tmp.Dir("del/dir")), WinErr::AccessDenied);
    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    EXPECT_EQ(fs.DeleteFile(target), 0);  // read-only files are the caller's concern
}

TEST_F(FileServicesTest, FreeSpaceOnlyForAbsoluteExistingDirectories) {
    int64_t bytes = -1;
    ASSERT_TRUE(fs.FreeSpace(tmp.path(), bytes));
    struct statvfs vfs;
    ASSERT_EQ(statvfs(tmp.path().c_str(), &vfs), 0);
    EXPECT_GT(bytes, 0);
    EXPECT_LE(bytes, static_cast<int64_t>(vfs.f_blocks) * static_cast<int64_t>(vfs.f_frsize));
    EXPECT_FALSE(fs.FreeSpace("relative/dir", bytes));
    EXPECT_FALSE(fs.FreeSpace(".", bytes));
    EXPECT_FALSE(fs.FreeSpace(tmp.File("fs-file"), bytes));
    EXPECT_FALSE(fs.FreeSpace(tmp.Path("fs-missing"), bytes));
    EXPECT_FALSE(fs.FreeSpace("", bytes));
}

// ---------------------------------------------------------------------------------------------
// File handles

TEST_F(FileServicesTest, HandleAgesRoundTripInLocalTime) {
    ScopedTimeZone tz("Europe/Berlin");
    std::string src = tmp.File("h/src", "data");
    ASSERT_TRUE(SetModTime(src, Utc(2019, 8, 20, 6, 30, 11)));
    FileHandle in = fs.OpenRead(src);
    ASSERT_NE(in, kInvalidFileHandle);
    EXPECT_EQ(fs.GetHandleAge(in), Dos(2019, 8, 20, 8, 30, 10));
    std::string dstPath;
    FileHandle out = fs.CreateTemporary(tmp.Path("h/dst"), dstPath);
    ASSERT_NE(out, kInvalidFileHandle);
    // Summer and winter dates, and the clamped end of the range.
    for (int32_t age : {Dos(2019, 8, 20, 8, 30, 10), Dos(2020, 1, 5, 23, 59, 58),
                        Dos(1980, 1, 1, 0, 0, 0), Dos(2037, 12, 31, 12, 0, 0)}) {
        EXPECT_EQ(fs.SetHandleAge(out, age), 0);
        EXPECT_EQ(fs.GetHandleAge(out), age);
        EXPECT_EQ(fs.FileAge(dstPath), age);
    }
    // Impossible values are refused and leave the time alone.
    for (int32_t bad :
         {-1, Dos(2000, 13, 1, 0, 0, 0), Dos(2000, 0, 1, 0, 0, 0), Dos(2000, 1, 0, 0, 0, 0),
          Dos(2000, 1, 1, 24, 0, 0), Dos(2000, 1, 1, 0, 60, 0)}) {
        EXPECT_NE(fs.SetHandleAge(out, bad), 0) << bad;
        EXPECT_EQ(fs.GetHandleAge(out), Dos(2037, 12, 31, 12, 0, 0));
    }
    fs.CloseFile(out);
    fs.CloseFile(in);
    EXPECT_EQ(fs.GetHandleAge(kInvalidFileHandle), -1);
    EXPECT_NE(fs.SetHandleAge(kInvalidFileHandle, Dos(2000, 1, 1, 0, 0, 0)), 0);
    EXPECT_EQ(fs.OpenRead(tmp.Path("h/missing")), kInvalidFileHandle);
}

// The server copy's own steps: a regular source only, a new entry beside the target, and a
// rename that replaces whatever stands there without writing through it.
TEST_F(FileServicesTest, OpenFilesForTheServerCopyNeverReachThroughLinks) {
    std::string victim = tmp.File("ct/victim", "precious");
    ASSERT_EQ(symlink("victim", tmp.Path("ct/link").c_str()), 0);
    ASSERT_EQ(mkfifo(tmp.Path("ct/fifo").c_str(), 0644), 0);
    EXPECT_EQ(fs.OpenRead(tmp.Path("ct/link")), kInvalidFileHandle);
    EXPECT_EQ(fs.OpenRead(tmp.Path("ct/fifo")), kInvalidFileHandle);  // refused, never waited on
    EXPECT_EQ(fs.OpenRead(tmp.Path("ct")), kInvalidFileHandle);

    std::string temp;
    FileHandle h = fs.CreateTemporary(tmp.Path("ct/link"), temp);
    ASSERT_NE(h, kInvalidFileHandle);
    EXPECT_EQ(DirOf(temp), tmp.Path("ct"));
    EXPECT_EQ(::write(static_cast<int>(h), "new", 3), 3);
    EntryStat st;
    ASSERT_TRUE(fs.HandleStat(h, st));
    EXPECT_EQ(st.kind, EntryKind::File);
    EXPECT_EQ(st.size, 3);
    EXPECT_EQ(fs.CloseFile(h), 0);
    std::vector<ListEntry> listed;
    ASSERT_EQ(fs.ListFiles(tmp.Path("ct"), "*.*", listed), 0);
    EXPECT_EQ(listed.size(), 3u);  // FIFO, link and victim; the temporary file is never listed

    EXPECT_EQ(fs.RenameOver(temp, tmp.Path("ct/link")), 0);
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_EQ(ReadFile(tmp.Path("ct/link")), "new");
    ASSERT_EQ(fs.StatEntry(tmp.Path("ct/link"), st), 0);
    EXPECT_EQ(st.kind, EntryKind::File);
}

// ---------------------------------------------------------------------------------------------
// The test helpers the other tests rely on

TEST(TempDirHelper, RemovesReadOnlyTreesAndSetsLinkTimes) {
    std::string kept;
    {
        TempDir t;
        kept = t.path();
        ASSERT_FALSE(kept.empty());
        t.File("ro/inner/file", "x");
        ASSERT_EQ(symlink("inner/file", t.Path("ro/link").c_str()), 0);
        ASSERT_TRUE(SetModTime(t.Path("ro/link"), 1000, 5));
        int64_t s;
        long ns;
        ASSERT_TRUE(GetModTime(t.Path("ro/link"), s, ns));
        EXPECT_EQ(s, 1000);
        EXPECT_EQ(ns, 5);
        ASSERT_TRUE(GetModTime(t.Path("ro/inner/file"), s, ns));
        EXPECT_NE(s, 1000);  // the link's target is untouched
        EXPECT_EQ(ListDir(t.Path("ro")), (std::vector<std::string>{"inner", "link"}));
        ASSERT_EQ(chmod(t.Path("ro/inner/file").c_str(), 0400), 0);
        ASSERT_EQ(chmod(t.Path("ro/inner").c_str(), 0500), 0);
        ASSERT_EQ(chmod(t.Path("ro").c_str(), 0), 0);
    }
    struct stat st;
    EXPECT_NE(lstat(kept.c_str(), &st), 0);
}

}  // namespace
}  // namespace ferrit
