// What the system under the tests offers, for the tests that need what one system lacks, and the
// one spelling of paths in what the test doubles record.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace ferrit {
namespace testing {

#ifdef _WIN32
constexpr bool kOnWindows = true;
#else
constexpr bool kOnWindows = false;
#endif

// Whether the tests run under Wine, which differs from Windows in places (it keeps the archive
// bit set, replaces read-only files, and deletes what a Unix link leads to, not the link).
bool UnderWine();

// Whether permission bits stop this process: not on Windows (it has none), not for root.
bool PermissionBitsBind();

// The text with every '\' turned into '/' on Windows (unchanged on Linux). The temporary trees
// of the tests are spelt with '/' on every system (temp_dir.h), and the test doubles record
// texts so when asked to (SlashSeparators), so one expectation (src + "/a") serves both
// systems whatever separator the program adds. The program's own separator on Windows is
// checked by the tests of platform/win/, which spell their paths natively.
std::string WithSlashes(std::string text);

}  // namespace testing
}  // namespace ferrit

// Skips a test that needs what Windows lacks (FIFOs, permission bits, symbolic links that a
// test may make without a privilege, ...), naming it.
#define SKIP_ON_WINDOWS(what)                                   \
    if (::ferrit::testing::kOnWindows) {                        \
        GTEST_SKIP() << "not on Windows: the test needs " what; \
    }

// Skips a test whose proof Wine cannot give, saying how Wine differs from Windows.
#define SKIP_UNDER_WINE(why)                               \
    if (::ferrit::testing::UnderWine()) {                  \
        GTEST_SKIP() << "Wine differs from Windows: " why; \
    }
