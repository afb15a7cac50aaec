// The Windows file services on real files, under Windows or Wine. Where Wine does not behave as
// Windows (links, replacing a read-only file, clearing the archive bit) a test that would prove
// nothing there skips itself and says why. Under Wine no test makes a link: Wine deletes a
// Unix link's target where Windows deletes the link.
#include "platform/win/win_file_services.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "engine/run_data.h"
#include "engine/transfer_engine.h"
#include "netware/absent_client.h"
#include "netware/directory_pair.h"
#include "netware/netware_services.h"
#include "options/copy_options.h"
#include "platform/error_codes.h"
#include "platform/fs_util.h"
#include "platform/win/win_api.h"
#include "platform/win/win_entry_ops.h"
#include "platform/win/win_test_tree.h"
#include "testing/recording_sink.h"
#include "testing/scripted_dialogs.h"

// After <windows.h>, which it needs.
#include <winioctl.h>

namespace ferrit {
namespace {
using testing::RecordingSink;
using testing::ScriptedDialogs;

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::Tree;
using testing::UnderWine;
using testing::W;

constexpr int64_t kHour = 36000000000LL;  // in 100 ns
constexpr int64_t kT0 = testing::kTreeTime;
constexpr int64_t k1970 = 116444736000000000LL;       // before the DOS range
constexpr int64_t kFiveGiBPlusOne = (5LL << 30) + 1;  // beyond 32 bits

std::vector<std::string> Names(const std::vector<ListEntry>& entries) {
    std::vector<std::string> names;
    for (const ListEntry& e : entries) {
        names.push_back(e.name);
    }
    return names;
}

int32_t DosSeconds(int32_t age) {
    return (age & 0x1F) * 2;
}

TEST(WinFileServices, ListingsMatchPatternsSortAndCarryFacts) {
    Tree t;
    t.File("a.txt", "a");
    t.File("B.TXT", "bb", FILE_ATTRIBUTE_HIDDEN);
    t.File("b.html", "h");
    t.File("noext", "", FILE_ATTRIBUTE_READONLY);
    t.File(u8"\u00fcn\u00efc\u00f6d\u00e9.txt", "u");
    t.File(".ferrit-tmp.1.2.other-host", "left by another run");
    t.Dir("sub");
    t.Dir(".dot");
    {
        win::UniqueHandle big(CreateFileW(W(t.Path("big.bin")).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, 0, nullptr));
        DWORD n = 0;  // sparse where the file system can: no 5 GiB of disk needed
        DeviceIoControl(big.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &n, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = kFiveGiBPlusOne;
        ASSERT_TRUE(SetFilePointerEx(big.Get(), end, nullptr, FILE_BEGIN) &&
                    SetEndOfFile(big.Get()));
    }
    WinFileServices files;
    struct Case {
        const char* pattern;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"*.*",
         {"B.TXT", "a.txt", "b.html", "big.bin", "noext", u8"\u00fcn\u00efc\u00f6d\u00e9.txt"}},
        {"*",
         {"B.TXT", "a.txt", "b.html", "big.bin", "noext", u8"\u00fcn\u00efc\u00f6d\u00e9.txt"}},
        {"*.txt", {"B.TXT", "a.txt", u8"\u00fcn\u00efc\u00f6d\u00e9.txt"}},
        {"*.htm", {}},  // no match through a short 8.3 name
        {"?oext", {"noext"}},
        {u8"\u00fc?\u00efc*", {u8"\u00fcn\u00efc\u00f6d\u00e9.txt"}},
    };
    for (const Case& c : cases) {
        std::vector<ListEntry> out;
        EXPECT_EQ(files.ListFiles(t.root(), c.pattern, out), 0);
        EXPECT_THAT(Names(out), ElementsAreArray(c.names)) << c.pattern;
    }

    std::vector<ListEntry> all;
    ASSERT_EQ(files.ListFiles(t.root() + "\\", "*.*", all), 0);
    EXPECT_EQ(all[0].attr & (Attr::Hidden | Attr::ReadOnly), Attr::Hidden);
    EXPECT_EQ(all[0].size, 2);
    EXPECT_EQ(all[3].size, kFiveGiBPlusOne);
    EXPECT_EQ(all[4].attr & Attr::ReadOnly, Attr::ReadOnly);
    EXPECT_EQ(all[4].kind, EntryKind::File);
    EXPECT_NE(all[1].inode, all[2].inode);

    std::vector<ListEntry> dirs;
    ASSERT_EQ(files.ListSubdirs(t.root(), dirs), 0);
    EXPECT_THAT(Names(dirs), ElementsAre(".dot", "sub"));
    EXPECT_EQ(dirs[1].attr & Attr::Directory, Attr::Directory);
    DirIdentity sub;
    ASSERT_TRUE(files.DirectoryId(t.Path("sub"), sub));
    EXPECT_EQ(DirIdentity({dirs[1].device, dirs[1].inode}), sub);

    // Every name, the temporary file's too; none is taken for a stale copy of this program.
    std::vector<std::string> names, stale{"x"};
    ASSERT_EQ(files.ListNames(t.root(), names, &stale), 0);
    EXPECT_EQ(names.size(), 9u);
    EXPECT_TRUE(stale.empty());
    EXPECT_EQ(files.RemoveStaleTemporary(t.Path(".ferrit-tmp.1.2.other-host")), 5);
    EXPECT_EQ(files.RemoveStaleTemporary(t.Path("none")), 2);
    EXPECT_EQ(files.ListFiles(t.Path("missing"), "*.*", all), WinErr::PathNotFound);
    EXPECT_TRUE(all.empty());

    EntryStat st;
    ASSERT_EQ(files.StatEntry(t.Path("big.bin"), st), 0);
    EXPECT_EQ(st.size, kFiveGiBPlusOne);
}

// What a copy does, confined below the tree as in a run and not.
TEST(WinFileServices, CopyPublishesWholeCopiesOnly) {
    enum Target { Missing, OldFile, ReadOnlyFile, Directory, TheSourceItself, HardLinkToSource };
    struct Case {
        const char* name;
        DWORD sourceAttributes;
        Target target;
        bool targetAbsent;
        int rc;
        bool windowsOnly;  // Wine replaces a read-only file by rename whatever the program does
    };
    const std::vector<Case> cases = {
        {"new", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN, Missing, true, 0, false},
        {"over an older file", FILE_ATTRIBUTE_READONLY, OldFile, false, 0, false},
        {"nothing seen, yet something there", FILE_ATTRIBUTE_ARCHIVE, OldFile, true, 0, false},
        {"over a read-only file", FILE_ATTRIBUTE_ARCHIVE, ReadOnlyFile, false, 0, true},
        {"over a directory", FILE_ATTRIBUTE_ARCHIVE, Directory, false, 5, false},
        {"onto itself", FILE_ATTRIBUTE_ARCHIVE, TheSourceItself, false, 32, false},
        {"onto itself, nothing seen", FILE_ATTRIBUTE_ARCHIVE, TheSourceItself, true, 32, false},
        {"onto a second name of itself", FILE_ATTRIBUTE_ARCHIVE, HardLinkToSource, false, 32,
         false},
    };
    for (bool confined : {false, true}) {
        for (const Case& c : cases) {
            if (c.windowsOnly && UnderWine()) {
                std::cout << "[ SKIPPED  ] case \"" << c.name
                          << "\": Wine replaces a read-only file by rename anyway\n";
                continue;
            }
            SCOPED_TRACE(std::string(c.name) + (confined ? ", confined" : ""));
            Tree t;
            WinFileServices shared;
            const std::unique_ptr<FileServices> run =
                confined ? shared.ConfinedTo({t.root()}) : nullptr;
            FileServices& files = run ? *run : shared;
            t.Dir("from");
            t.Dir("to");
            const std::string source =
                t.File(u8"from/f\u00e4hre.txt", "new data", c.sourceAttributes, kT0 + 3);
            std::string target = t.Path(u8"to/f\u00e4hre.txt");
            if (c.target == OldFile || c.target == ReadOnlyFile) {
                t.File(u8"to/f\u00e4hre.txt", "old",
                       c.target == ReadOnlyFile ? FILE_ATTRIBUTE_READONLY : 0, kT0 - kHour);
            } else if (c.target == Directory) {
                t.Dir(u8"to/f\u00e4hre.txt");
            } else if (c.target == TheSourceItself) {
                target = source;
            } else if (c.target == HardLinkToSource) {
                ASSERT_TRUE(CreateHardLinkW(W(target).c_str(), W(source).c_str(), nullptr));
            }

            EXPECT_EQ(files.CopyFile(source, target, c.targetAbsent), c.rc);
            EXPECT_EQ(t.Read(u8"from/f\u00e4hre.txt"), "new data");
            EXPECT_THAT(t.RawNames("from"), ElementsAre(u8"f\u00e4hre.txt"));
            if (c.rc != 0) {
                continue;
            }
            EXPECT_THAT(t.RawNames("to"), ElementsAre(u8"f\u00e4hre.txt"));  // no temporary left
            EXPECT_EQ(t.Read(u8"to/f\u00e4hre.txt"), "new data");
            EXPECT_EQ(t.LastWrite(u8"to/f\u00e4hre.txt"), kT0 + 3);
            EXPECT_EQ(t.Attributes(u8"to/f\u00e4hre.txt") & win::kDosSettable,
                      t.Attributes(u8"from/f\u00e4hre.txt") & win::kDosSettable);
            EXPECT_EQ(t.Attributes(u8"to/f\u00e4hre.txt") & c.sourceAttributes, c.sourceAttributes);
            EXPECT_EQ(files.FileAge(target), files.FileAge(source));
        }
    }
}

TEST(WinFileServices, CopyOfASourceWrittenByAnotherProgramIsRefused) {
    Tree t;
    const std::string source = t.File("busy.txt", "being written");
    win::UniqueHandle writer(CreateFileW(W(source).c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    ASSERT_TRUE(writer.Valid());
    WinFileServices files;
    EXPECT_EQ(files.CopyFile(source, t.Path("copy.txt")), WinErr::SharingViolation);
    EXPECT_THAT(t.RawNames(""), ElementsAre("busy.txt"));
    EXPECT_EQ(files.CopyFile(t.Path("gone.txt"), t.Path("copy.txt")), WinErr::FileNotFound);
    EXPECT_EQ(files.CopyFile(source, t.Path("no/copy.txt")), WinErr::PathNotFound);
}

// A copy killed before it is put in place leaves nothing beside its target. This program runs
// itself for the test alone with the case's number and the tree's directory in kKilledCopyCase;
// that run makes the copy up to its publication and ends at once as a killed process does, its
// handles closed by the system.
constexpr wchar_t kKilledCopyCase[] = L"FERRIT_TEST_KILLED_COPY_CASE";
constexpr UINT kKilledExitCode = 7;

TEST(WinFileServices, AKilledCopyLeavesNothing) {
    struct Case {
        const char* what;
        bool (*copyUpToPublication)(WinFileServices&, const std::string& dir);
    };
    const std::vector<Case> cases = {
        {"a prepared copy",
         [](WinFileServices& files, const std::string& dir) {
             std::unique_ptr<PreparedCopy> copy;
             return files.PrepareCopy(dir + "\\f.txt", dir + "\\to\\f.txt", true, copy) == 0;
         }},
        // As the server copy does: written, its age and attributes set, its handle closed.
        {"a server copy's temporary",
         [](WinFileServices& files, const std::string& dir) {
             std::string temp;
             const FileHandle out = files.CreateTemporary(dir + "\\to\\f.txt", temp);
             return out != kInvalidFileHandle && WriteAt(out, "data", 4, 0) == 4 &&
                    files.SetHandleAge(out, files.FileAge(dir + "\\f.txt")) == 0 &&
                    files.CloseFile(out) == 0 && files.SetAttributes(temp, Attr::ReadOnly) == 0;
         }},
    };
    wchar_t given[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(kKilledCopyCase, given, MAX_PATH);
    if (n > 2 && n < MAX_PATH) {
        const size_t which = static_cast<size_t>(given[0] - L'0');
        ASSERT_LT(which, cases.size());
        WinFileServices files;
        ASSERT_TRUE(cases[which].copyUpToPublication(files, win::Narrow(given + 2)));
        TerminateProcess(GetCurrentProcess(), kKilledExitCode);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        Tree t;
        t.Dir("to");
        t.File("f.txt", "data");
        const std::wstring given = std::to_wstring(i) + L"|" + W(t.root());
        ASSERT_TRUE(SetEnvironmentVariableW(kKilledCopyCase, given.c_str()));
        const win::UniqueHandle child =
            testing::RunThisProgram("WinFileServices.AKilledCopyLeavesNothing");
        SetEnvironmentVariableW(kKilledCopyCase, nullptr);
        DWORD code = 0;
        ASSERT_TRUE(child.Valid() && GetExitCodeProcess(child.Get(), &code));
        ASSERT_EQ(code, kKilledExitCode);  // the copy was made when the process ended
        EXPECT_THAT(t.RawNames("to"), ElementsAre());
    }
}

TEST(WinFileServices, DirectoriesAndDeletionsGiveTheSystemsCodes) {
    struct Case {
        const char* what;
        int (*step)(FileServices&, const Tree&);
        int rc;
        const char* gone;   // what must be gone afterwards ("" for nothing)
        const char* stays;  // what must still be there ("" for nothing)
    };
    const std::vector<Case> cases = {
        {"make nested",
         [](FileServices& f, const Tree& t) { return f.CreateDirectories(t.Path("n/e/w")); }, 0, "",
         "n/e/w"},
        {"make existing",
         [](FileServices& f, const Tree& t) { return f.CreateDirectories(t.Path("full")); }, 0, "",
         "full"},
        {"make over a file",
         [](FileServices& f, const Tree& t) { return f.CreateDirectories(t.Path("file.txt")); },
         183, "", "file.txt"},
        {"make below a file",
         [](FileServices& f, const Tree& t) { return f.CreateDirectories(t.Path("file.txt/x")); },
         3, "", "file.txt"},
        {"remove empty",
         [](FileServices& f, const Tree& t) { return f.RemoveDirectory(t.Path("empty")); }, 0,
         "empty", ""},
        {"remove not empty",
         [](FileServices& f, const Tree& t) { return f.RemoveDirectory(t.Path("full")); }, 145, "",
         "full/in.txt"},
        {"remove missing",
         [](FileServices& f, const Tree& t) { return f.RemoveDirectory(t.Path("none")); }, 2, "",
         ""},
        {"delete file",
         [](FileServices& f, const Tree& t) { return f.DeleteFile(t.Path("file.txt")); }, 0,
         "file.txt", ""},
        {"delete read-only",
         [](FileServices& f, const Tree& t) { return f.DeleteFile(t.Path("ro.txt")); }, 0, "ro.txt",
         ""},
        {"delete a directory",
         [](FileServices& f, const Tree& t) { return f.DeleteFile(t.Path("empty")); }, 5, "",
         "empty"},
        {"delete missing",
         [](FileServices& f, const Tree& t) { return f.DeleteFile(t.Path("none")); }, 2, "", ""},
        {"delete in a missing directory",
         [](FileServices& f, const Tree& t) { return f.DeleteFile(t.Path("none/x")); }, 3, "", ""},
        // A file set aside goes back under its name, never over what took the name meanwhile.
        {"set aside and put back",
         [](FileServices& f, const Tree& t) {
             std::string aside;
             const int rc = f.SetAside(t.Path("file.txt"), aside);
             return rc != 0 ? rc : f.PutBack(aside, t.Path("file.txt"));
         },
         0, "", "file.txt"},
        {"put back onto a taken name",
         [](FileServices& f, const Tree& t) {
             std::string aside;
             const int rc = f.SetAside(t.Path("file.txt"), aside);
             if (rc != 0 || f.CopyFile(t.Path("full/in.txt"), t.Path("file.txt")) != 0) {
                 return -1;
             }
             return f.PutBack(aside, t.Path("file.txt"));
         },
         183, "", "file.txt"},
        {"set aside a missing file",
         [](FileServices& f, const Tree& t) {
             std::string aside;
             return f.SetAside(t.Path("none"), aside);
         },
         2, "", ""},
    };
    for (bool confined : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (confined ? ", confined" : ""));
            Tree t;
            t.Dir("empty");
            t.Dir("full");
            t.File("full/in.txt", "x");
            t.File("file.txt", "x");
            t.File("ro.txt", "x", FILE_ATTRIBUTE_READONLY);
            WinFileServices shared;
            const std::unique_ptr<FileServices> run =
                confined ? shared.ConfinedTo({t.root()}) : nullptr;
            FileServices& files = run ? *run : shared;
            // The directory is looked at first, as the walk does, so that a handle on it is kept.
            files.DirectoryExists(t.Path("empty"));
            EXPECT_EQ(c.step(files, t), c.rc);
            if (*c.gone) {
                EXPECT_EQ(t.Attributes(c.gone), INVALID_FILE_ATTRIBUTES);
            }
            if (*c.stays) {
                EXPECT_NE(t.Attributes(c.stays), INVALID_FILE_ATTRIBUTES);
            }
        }
    }
}

// What stands in the directory and one level below: "name/" for an empty directory,
// "name/file=contents", the staged directory called "<staged>".
std::vector<std::string> Standing(const Tree& t, const std::string& dir,
                                  const std::string& staged) {
    std::vector<std::string> found;
    for (const std::string& name : t.RawNames(dir)) {
        const std::vector<std::string> inside = t.RawNames(dir + "/" + name);
        const std::string shown = name == staged ? "<staged>/" : name + "/";
        if (inside.empty()) {
            found.push_back(shown);
        }
        for (const std::string& file : inside) {
            found.push_back(shown + file + "=" + t.Read(dir + "/" + name + "/" + file));
        }
    }
    return found;
}

// A staged directory is put in place whole, with its copies as any copy makes them; nothing
// that stands is ever replaced, neither in it nor where it is put.
TEST(WinFileServices, AStagedDirectoryReplacesNothing) {
    using Step = int (*)(FileServices&, const Tree&, const std::string& staged);
    static const Step putInPlace = [](FileServices& f, const Tree& t, const std::string& s) {
        const int rc = f.CopyFile(t.Path("from/a.txt"), s + "\\a.txt");
        return rc != 0 ? rc : f.PublishDirectory(s, t.Path("to/new"));
    };
    struct Case {
        const char* what;
        Step step;
        int rc;
        std::vector<std::string> standing;  // in "to" afterwards
    };
    const std::vector<Case> cases = {
        {"filled and put in place", putInPlace, 0, {"new/a.txt=a"}},
        {"a read-only copy dropped unpublished",
         [](FileServices& f, const Tree& t, const std::string& s) {
             std::unique_ptr<PreparedCopy> copy;
             return f.PrepareCopy(t.Path("from/a.txt"), s + "\\a.txt", true, copy);
         },
         0,
         {"<staged>/"}},
        {"a name that stands in it",
         [](FileServices& f, const Tree& t, const std::string& s) {
             t.File(s.substr(t.root().size() + 1) + "\\a.txt", "theirs");
             return putInPlace(f, t, s);
         },
         183,
         {"<staged>/a.txt=theirs"}},
        {"put where an empty directory appeared",
         [](FileServices& f, const Tree& t, const std::string& s) {
             t.Dir("to/new");
             return putInPlace(f, t, s);
         },
         183,
         {"<staged>/a.txt=a", "new/"}},
    };
    for (bool confined : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (confined ? ", confined" : ""));
            Tree t;
            t.Dir("from");
            t.Dir("to");
            t.File("from/a.txt", "a", FILE_ATTRIBUTE_READONLY, kT0 + 3);
            WinFileServices shared;
            const std::unique_ptr<FileServices> run =
                confined ? shared.ConfinedTo({t.root()}) : nullptr;
            FileServices& files = run ? *run : shared;
            std::string staged;
            ASSERT_EQ(files.StageDirectory(t.Path("to"), staged), 0);
            EXPECT_EQ(c.step(files, t, staged), c.rc);
            const std::string name = staged.substr(staged.find_last_of('\\') + 1);
            EXPECT_THAT(Standing(t, "to", name), ElementsAreArray(c.standing));
            if (c.standing[0].rfind("new/a.txt", 0) == 0) {  // with its source's time and bits
                EXPECT_EQ(t.LastWrite("to/new/a.txt"), kT0 + 3);
                EXPECT_EQ(t.Attributes("to/new/a.txt") & win::kDosSettable,
                          t.Attributes("from/a.txt") & win::kDosSettable);
            }
        }
    }
}

// Copies go side by side on a share, where every call is a round trip; a local disk leaves
// the count to the caller.
TEST(WinFileServices, CopiesSideBySideOnSharesOnly) {
    Tree t;
    WinFileServices files;
    EXPECT_EQ(files.CopiesSideBySide(t.root()), 0);
    EXPECT_EQ(files.CopiesSideBySide("\\\\server\\share\\dir"), 16);
    EXPECT_EQ(files.CopiesSideBySide("//server/share"), 16);
    EXPECT_EQ(files.CopiesSideBySide(""), 0);
}

TEST(WinFileServices, AttributesAndAges) {
    Tree t;
    WinFileServices files;
    const std::string f = t.File("f.txt", "x", FILE_ATTRIBUTE_ARCHIVE);
    for (uint32_t bits : {Attr::ReadOnly | Attr::Archive,
                          Attr::Hidden | Attr::System | Attr::Archive, Attr::Archive}) {
        EXPECT_EQ(files.SetAttributes(f, bits), 0);
        EXPECT_EQ(static_cast<uint32_t>(files.GetAttributes(f)), bits);
    }
    EXPECT_EQ(files.GetAttributes(t.Path("none")), -1);
    EXPECT_EQ(static_cast<uint32_t>(files.GetAttributes(t.root())) & Attr::Directory,
              Attr::Directory);

    // Two-second ages: an odd second counts as the even one below; outside the DOS range the
    // first or the last DOS second.
    const int32_t even = files.FileAge(t.File("even", "", 0, kT0));
    EXPECT_EQ(files.FileAge(t.File("odd", "", 0, kT0 + 10000000)), even);
    EXPECT_EQ(DosSeconds(files.FileAge(t.File("next", "", 0, kT0 + 20000000))),
              DosSeconds(even) + 2);
    EXPECT_EQ(files.FileAge(t.File("old", "", 0, k1970)), (1 << 5 | 1) << 16);
    EXPECT_EQ(files.FileAge(t.root()), -1);
    EXPECT_EQ(files.FileAge(t.Path("none")), -1);

    // An age set through a handle reads back the same.
    const FileHandle h = files.OpenRead(t.Path("odd"));
    ASSERT_NE(h, kInvalidFileHandle);
    EXPECT_EQ(files.GetHandleAge(h), even);
    EXPECT_EQ(files.CloseFile(h), 0);
    std::string temp;
    const FileHandle out = files.CreateTemporary(t.Path("made"), temp);
    ASSERT_NE(out, kInvalidFileHandle);
    EXPECT_EQ(files.SetHandleAge(out, even), 0);
    EXPECT_EQ(files.SetHandleAge(out, -1), WinErr::GenFailure);
    EXPECT_EQ(files.CloseFile(out), 0);
    EXPECT_EQ(files.SetAttributes(temp, Attr::Hidden), 0);
    EXPECT_EQ(files.RenameOver(temp, t.Path("odd")), 0);
    EXPECT_EQ(files.FileAge(t.Path("odd")), even);
    EXPECT_EQ(files.GetAttributes(t.Path("odd")) & (Attr::Hidden | Attr::ReadOnly), Attr::Hidden);
    EXPECT_EQ(t.Read("odd"), "");
    EXPECT_EQ(files.OpenRead(t.root()), kInvalidFileHandle);
}

TEST(WinFileServices, ClearingTheArchiveBit) {
    SKIP_UNDER_WINE("the archive bit cannot be cleared");
    Tree t;
    WinFileServices files;
    const std::string f = t.File("f.txt", "x", FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(files.SetAttributes(f, 0), 0);
    EXPECT_EQ(files.GetAttributes(f), 0);
}

TEST(WinFileServices, IdentityNamesAndSpace) {
    Tree t;
    WinFileServices files;
    const std::string sub = t.Dir("Sub");
    DirIdentity a, b, c;
    ASSERT_TRUE(files.DirectoryId(sub, a));
    std::string other = t.root() + "/sub/";  // another spelling of the same directory
    ASSERT_TRUE(files.DirectoryId(other, b));
    EXPECT_EQ(a, b);
    ASSERT_TRUE(files.DirectoryId(t.root(), c));
    EXPECT_NE(a, c);
    EXPECT_FALSE(files.DirectoryId(t.Path("none"), c));
    EXPECT_FALSE(files.DirectoryExists(t.File("f.txt", "x")));
    EXPECT_TRUE(files.DirectoryExists(other));

    EXPECT_EQ(UniversalName(""), "");
    EXPECT_EQ(UniversalName(t.root() + "/Sub/not yet"), t.Path("Sub\\not yet"));

    int64_t bytes = 0;
    EXPECT_TRUE(files.FreeSpace(t.root(), bytes));
    EXPECT_GT(bytes, 0);
    EXPECT_FALSE(files.FreeSpace(t.Path("none"), bytes));
    EXPECT_FALSE(files.FreeSpace("Sub", bytes));
}

// A junction (a directory link) below a confined root is never passed: nothing is read, made or
// deleted through it.
TEST(WinFileServices, ConfinedPathsRefuseLinks) {
    SKIP_UNDER_WINE("it has no reparse points, and it deletes what a Unix link leads to");
    Tree t;
    t.Dir("root");
    t.Dir("outside");
    t.File("outside/keep.txt", "keep");
    const std::wstring link = W(t.Path("root/link"));
    ASSERT_TRUE(CreateDirectoryW(link.c_str(), nullptr));
    {
        // The mount-point reparse data of a junction to "outside".
        const std::wstring target = L"\\??\\" + W(t.Path("outside"));
        std::vector<uint8_t> data(8 + 8 + (target.size() + 1) * 2 * 2);
        auto put16 = [&](size_t at, size_t v) {
            data[at] = static_cast<uint8_t>(v);
            data[at + 1] = static_cast<uint8_t>(v >> 8);
        };
        const size_t nameBytes = target.size() * 2;
        *reinterpret_cast<DWORD*>(&data[0]) = IO_REPARSE_TAG_MOUNT_POINT;
        put16(4, data.size() - 8);
        put16(8, 0);               // substitute name offset
        put16(10, nameBytes);      // substitute name length
        put16(12, nameBytes + 2);  // print name offset
        put16(14, 0);              // print name length
        std::memcpy(&data[16], target.c_str(), nameBytes);
        win::UniqueHandle h(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
        DWORD n = 0;
        ASSERT_TRUE(DeviceIoControl(h.Get(), FSCTL_SET_REPARSE_POINT, data.data(),
                                    static_cast<DWORD>(data.size()), nullptr, 0, &n, nullptr));
    }
    WinFileServices shared;
    const std::unique_ptr<FileServices> run = shared.ConfinedTo({t.Path("root")});
    FileServices& files = *run;
    EntryStat st;
    std::vector<ListEntry> out;
    EXPECT_EQ(files.StatEntry(t.Path("root/link/keep.txt"), st), WinErr::CantResolveFilename);
    EXPECT_EQ(files.DeleteFile(t.Path("root/link/keep.txt")), WinErr::CantResolveFilename);
    EXPECT_EQ(files.ListFiles(t.Path("root/link"), "*.*", out), WinErr::CantResolveFilename);
    EXPECT_EQ(files.CreateDirectories(t.Path("root/link/new")), WinErr::CantResolveFilename);
    EXPECT_EQ(files.RemoveDirectory(t.Path("root/link")), WinErr::CantResolveFilename);
    EXPECT_EQ(t.Read("outside/keep.txt"), "keep");
    EXPECT_THAT(t.RawNames("outside"), ElementsAre("keep.txt"));

    // The junction is listed as a link among the files, and copied as a link.
    ASSERT_EQ(files.ListFiles(t.Path("root"), "*.*", out), 0);
    ASSERT_THAT(Names(out), ElementsAre("link"));
    EXPECT_EQ(out[0].kind, EntryKind::Link);
    EXPECT_EQ(files.CopyFile(t.Path("root/link"), t.Path("root/copy")), 0);
    EXPECT_NE(t.Attributes("root/copy") & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(files.DeleteFile(t.Path("root/copy")), 0);
    EXPECT_THAT(t.RawNames("outside"), ElementsAre("keep.txt"));
}

// A whole run through the engine on these file services: nested directories, a read-only file,
// names beyond ASCII; then the second run skips what is level, and a move empties the source.
TEST(WinFileServices, RunsOfTheEngine) {
    Tree t;
    const std::string src = t.Dir("src");
    const std::string tgt = t.Dir("tgt");
    t.File("src/top.txt", "top");
    t.Dir(u8"src/\u00e4\u00f6\u00fc");
    t.File(u8"src/\u00e4\u00f6\u00fc/ro.txt", "ro", FILE_ATTRIBUTE_READONLY);
    t.Dir(u8"src/\u00e4\u00f6\u00fc/deep");
    t.File(u8"src/\u00e4\u00f6\u00fc/deep/\u05d0.txt", "aleph");

    WinFileServices files;
    ScriptedDialogs dialogs;
    RecordingSink sink;
    OptionSet options;
    DirectoryPair locations;
    AbsentClient client;
    NetWareServices netware{client, files, dialogs};
    RunData run;
    TransferEngine engine{run, options, netware, files, dialogs, sink};
    const std::string dir = src + u8"\\\u00e4\u00f6\u00fc";
    struct Case {
        std::vector<CopyOption> ticked;
        std::vector<std::string> list;
    };
    const std::vector<Case> cases = {
        {{CopySubdirectories, CreateDirectoriesOnTarget},
         {"   top.txt copied", dir, "   ro.txt copied", dir + "\\deep", u8"   \u05d0.txt copied"}},
        {{CopySubdirectories, OverwriteOlderFiles},
         {"   top.txt skipped", dir, "   ro.txt skipped", dir + "\\deep",
          u8"   \u05d0.txt skipped"}},
        {{CopySubdirectories, MoveFiles, OverwriteReadOnly},
         {"   top.txt skipped", dir, "   ro.txt skipped", dir + "\\deep",
          u8"   \u05d0.txt skipped"}},
    };
    for (const Case& c : cases) {
        for (uint8_t i = 0; i < kOptionCount; ++i) {
            options.SetTicked(i, false);
            options.SetEnabled(i, true);
        }
        for (CopyOption o : c.ticked) {
            options.SetTicked(o, true);
        }
        locations = netware.GetNetWarePaths(src, tgt);
        EXPECT_TRUE(engine.ButtonStartClick(RunRequest{src, tgt, "*.*"}));
        EXPECT_THAT(sink.List(), ElementsAreArray(c.list));
        EXPECT_THAT(dialogs.Texts(), ElementsAre());
        EXPECT_EQ(t.Read(u8"tgt/\u00e4\u00f6\u00fc/deep/\u05d0.txt"), "aleph");
        EXPECT_EQ(t.Attributes(u8"tgt/\u00e4\u00f6\u00fc/ro.txt") & FILE_ATTRIBUTE_READONLY,
                  static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    // The move deleted every source file it found level on the target, and the emptied
    // directories below the source root.
    EXPECT_THAT(t.RawNames("src"), ElementsAre());
    EXPECT_THAT(t.RawNames("tgt"), ElementsAre("top.txt", u8"\u00e4\u00f6\u00fc"));
}

}  // namespace
}  // namespace ferrit
