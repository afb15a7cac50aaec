#include "support/strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ferrit {
namespace {

const std::string kSep(1, kPathSeparator);

TEST(WithTrailingSlash, AddsTheNativeSeparatorOnlyWhenMissing) {
    struct Case {
        std::string path, expected;
    };
    const std::vector<Case> cases = {
        {"", kSep},
        {"C:", "C:" + kSep},
        {"/home/user", "/home/user" + kSep},
        {"\\\\server\\vol", "\\\\server\\vol" + kSep},
        {"C:\\", "C:\\"},
        {"\\\\server\\vol\\", "\\\\server\\vol\\"},
        {"dir/", "dir/"},
        {"/", "/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WithTrailingSlash(c.path), c.expected) << "path: " << c.path;
        std::string inPlace = c.path;
        AddTrailingSlash(inPlace);
        EXPECT_EQ(inPlace, c.expected) << "path: " << c.path;
    }
}

// Splitting off the last name, walked up to a root as the free space of a target not made yet
// is looked for. "-" stands for no split; `absolute` for the system's absolute paths.
TEST(SplitLastName, StopsAtTheRootOfThisSystemsPaths) {
    const bool windows = kPathSeparator == '\\';
    struct Case {
        std::string path, onLinux, onWindows;  // the directory part on each system
        bool absoluteOnLinux, absoluteOnWindows;
    };
    const std::vector<Case> cases = {
        {"/a/b//", "/a", "/a", true, false},  // on Windows rooted in the working drive
        {"/a", "/", "/", true, false},
        {"/", "-", "-", true, false},
        {"relative/dir", "relative", "relative", false, false},
        {"C:\\data\\sub\\", "-", "C:\\data", false, true},
        {"C:/data", "C:", "C:/", false, true},
        {"C:\\", "-", "-", false, true},
        {"\\\\srv\\share\\dir", "-", "\\\\srv\\share", false, true},
        {"\\\\srv\\share", "-", "\\\\srv\\", false, true},
    };
    for (const Case& c : cases) {
        const std::string& expected = windows ? c.onWindows : c.onLinux;
        std::string dir = "-", name;
        EXPECT_EQ(SplitLastName(c.path, dir, name), expected != "-") << c.path;
        EXPECT_EQ(dir, expected) << c.path;
        EXPECT_EQ(IsAbsolutePath(c.path), windows ? c.absoluteOnWindows : c.absoluteOnLinux)
            << c.path;
    }
}

TEST(TrimChars, RemovesOnlyMembersOfTheSetFromOneEnd) {
    struct Case {
        std::string s, chars, right, left;
    };
    const std::vector<Case> cases = {
        {"ABC___", "_", "ABC", "ABC___"},
        {"___", "_", "", ""},
        {".a.b.", ".", ".a.b", "a.b."},
        {"a.b.", ".", "a.b", "a.b."},
        {"xyz", "", "xyz", "xyz"},
        {"", "._", "", ""},
        {"._.x._.", "._", "._.x", "x._."},  // set order and repetition do not matter
        {std::string("a\0\0", 3), std::string("\0", 1), "a", std::string("a\0\0", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrimRightChars(c.s, c.chars), c.right) << "s: " << c.s;
        EXPECT_EQ(TrimLeftChars(c.s, c.chars), c.left) << "s: " << c.s;
    }
    EXPECT_EQ(TrimRightChars(TrimLeftChars(".a.b.", "."), "."), "a.b");
}

TEST(PosCase, GivesOneBasedPositionOrZero) {
    struct Case {
        std::string sub, s;
        bool caseSensitive;
        int expected;
    };
    const std::vector<Case> cases = {
        {"CN=", "CN=Admin", true, 1}, {"O=", "CN=Admin.O=Org", true, 10},
        {"cn=", "CN=Admin", true, 0}, {"cn=", "CN=Admin", false, 1},
        {"", "abc", true, 0},         {"abc", "", false, 0},
        {"abcd", "abc", true, 0},     {"b", "abcb", true, 2},
        {"\xE4", "\xC4", false, 0},  // accented letters are not folded
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PosCase(c.sub, c.s, c.caseSensitive), c.expected)
            << "sub: " << c.sub << " s: " << c.s;
    }
}

TEST(ReplaceStr, ReplacesFirstOrAllWithoutRescanningInsertedText) {
    struct Case {
        std::string s, old, with;
        bool caseSensitive, all;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"CN=Admin.O=Org", "CN=", "", true, false, "Admin.O=Org"},
        {"cn=admin", "CN=", "", true, false, "cn=admin"},
        {"cn=admin", "CN=", "", false, false, "admin"},
        {"aaa", "a", "aa", true, true, "aaaaaa"},
        {"aaa", "a", "aa", true, false, "aaaa"},
        {"a.b.c", ".", "", true, true, "abc"},
        {"xAxaX", "a", "-", false, true, "x-x-X"},
        {"xAxaX", "a", "-", true, true, "xAx-X"},
        {"abc", "", "z", true, true, "abc"},
        {"abc", "b", "b", true, true, "abc"},
        {"", "a", "b", true, true, ""},
        {"abab", "ab", "ba", true, true, "baba"},
        // Replacement keeps the original letters around the match when case is ignored.
        {"Hello World", "WORLD", "There", false, false, "Hello There"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReplaceStr(c.s, c.old, c.with, c.caseSensitive, c.all), c.expected)
            << "s: " << c.s << " old: " << c.old;
    }
}

TEST(ReplaceStr, HandlesVeryManyOccurrences) {
    const std::string s(200000, 'a');
    const std::string result = ReplaceStr(s, "a", "bc", true, true);
    EXPECT_EQ(result.size(), 400000u);
    EXPECT_EQ(result.find('a'), std::string::npos);
}

TEST(SplitAtFirst, SplitsAtTheFirstDelimiterOnly) {
    struct Case {
        std::string s, delimiter, left, right;
    };
    const std::vector<Case> cases = {
        {"a b c", " ", "a", "b c"},
        {"abc", " ", "abc", ""},
        {" rest of it", " ", "", "rest of it"},
        {"trailing ", " ", "trailing", ""},
        {"abc", "", "abc", ""},
        {"x::y::z", "::", "x", "y::z"},
        {"aXb", "x", "aXb", ""},  // the search is case-sensitive
    };
    for (const Case& c : cases) {
        std::string left = "stale", right = "stale";
        SplitAtFirst(c.s, c.delimiter, left, right);
        EXPECT_EQ(left, c.left) << "s: " << c.s;
        EXPECT_EQ(right, c.right) << "s: " << c.s;
    }
}

TEST(SplitAtFirst, OutputsMayBeTheInput) {
    std::string s = "cmd /c dir";
    SplitAtFirst(s, " ", s, s);
    // Both outputs alias the input; the last assignment (right) wins, and it came from a copy.
    EXPECT_EQ(s, "/c dir");

    std::string left = "first second";
    std::string right;
    SplitAtFirst(left, " ", left, right);
    EXPECT_EQ(left, "first");
    EXPECT_EQ(right, "second");

    std::string l2, r2 = "one two";
    SplitAtFirst(r2, " ", l2, r2);
    EXPECT_EQ(l2, "one");
    EXPECT_EQ(r2, "two");
}

TEST(JoinNonEmpty, UsesTheSeparatorOnlyBetweenTwoParts) {
    EXPECT_EQ(JoinNonEmpty("", "x", " "), "x");
    EXPECT_EQ(JoinNonEmpty("a", "", " "), "a");
    EXPECT_EQ(JoinNonEmpty("a", "b", " "), "a b");
    EXPECT_EQ(JoinNonEmpty("", "", " "), "");
    EXPECT_EQ(JoinNonEmpty("a", "b", ", "), "a, b");
}

TEST(StrList, FindsEntriesWithOrWithoutCase) {
    const std::vector<std::string> list = {"CD", "DIR", "dir"};
    EXPECT_TRUE(IsInStrList("cd", list, false));
    EXPECT_FALSE(IsInStrList("cd", list, true));
    EXPECT_EQ(IndexOfStr("dir", list, false), 1);  // the first match counts
    EXPECT_EQ(IndexOfStr("dir", list, true), 2);
    EXPECT_EQ(IndexOfStr("copy", list, false), -1);
    EXPECT_EQ(IndexOfStr("", {}, false), -1);
    EXPECT_EQ(IndexOfStr("", {"x", ""}, true), 1);
    EXPECT_FALSE(IsInStrList("CDX", list, false));
}

TEST(CaseFolding, TouchesAsciiLettersOnly) {
    EXPECT_EQ(UpperAscii("az AZ 09 @[`{"), "AZ AZ 09 @[`{");
    EXPECT_EQ(UpperAscii("\xE4\xF6\xFC"), "\xE4\xF6\xFC");
    EXPECT_EQ(LowerAscii("az AZ 09 @[`{"), "az az 09 @[`{");
    EXPECT_EQ(LowerAscii("\xC4\xD6\xDC"), "\xC4\xD6\xDC");  // Latin-1 capitals stay
    EXPECT_EQ(LowerAscii('Q'), 'q');
    EXPECT_EQ(UpperAscii('['), '[');
    EXPECT_TRUE(EqualNoCase("Ferrit.Ini", "FERRIT.INI"));
    EXPECT_FALSE(EqualNoCase("\xE4", "\xC4"));
    EXPECT_FALSE(EqualNoCase("abc", "abcd"));
    EXPECT_FALSE(EqualNoCase("@", "`"));  // 0x40 and 0x60 differ by the case bit but are no letters
    EXPECT_TRUE(EqualNoCase("", ""));
}

TEST(IfThenStr, ChoosesByCondition) {
    EXPECT_EQ(IfThenStr(true, "not ", ""), "not ");
    EXPECT_EQ(IfThenStr(false, "not ", ""), "");
}

}  // namespace
}  // namespace ferrit
