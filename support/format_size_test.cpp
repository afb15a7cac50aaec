#include "support/format_size.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>
#include <vector>

namespace ferrit {
namespace {

struct SizeCase {
    int64_t bytes;
    const char* expected;
};

const std::vector<SizeCase> kSizes = {
    {0, "   0"},
    {1, "   1"},
    {999, " 999"},
    {1023, "1023"},
    {1024, "   1 kB"},
    {1535, "   1 kB"},
    {1536, "   2 kB"},  // exact half rounds up
    {2560, "   3 kB"},  // exact half rounds away from zero, not to even
    {3584, "   4 kB"},
    {10240, "  10 kB"},
    {1048575, "1024 kB"},  // wider than the field, never cut
    {1048576, "1.00 MB"},
    {1179648, "1.13 MB"},  // 1.125 exactly
    {1184890, "1.13 MB"},
    {1174405, "1.12 MB"},
    {10485760, "10.00 MB"},
    {1073741823, "1024.00 MB"},
    {1073741824, "1.00 GB"},
    {(int64_t{1} << 40) - 1, "1024.00 GB"},
    {int64_t{1} << 40, "1.00 TB"},
    {(int64_t{1} << 40) * 1024, "1024.00 TB"},
    {INT64_MAX, "8388608.00 TB"},
    {-1, "2.00 GB"},  // a negative count stands for 2,147,483,647
    {INT64_MIN, "2.00 GB"},
};

TEST(FormatSize, TextsInTheCLocale) {
    ASSERT_NE(std::setlocale(LC_NUMERIC, "C"), nullptr);
    for (const SizeCase& c : kSizes) {
        EXPECT_EQ(FormatSize(c.bytes), c.expected) << "bytes: " << c.bytes;
    }
}

TEST(FormatSize, UsesTheGivenDecimalSeparator) {
    for (const SizeCase& c : kSizes) {
        std::string expected = c.expected;
        const auto dot = expected.find('.');
        if (dot != std::string::npos)
            expected.replace(dot, 1, ",");
        EXPECT_EQ(FormatSizeWith(c.bytes, ","), expected) << "bytes: " << c.bytes;
    }
    // No thousands separator, whatever the decimal separator.
    EXPECT_EQ(FormatSizeWith(int64_t{1234} << 40, ","), "1234,00 TB");
}

TEST(FormatSize, FollowsTheCurrentLocale) {
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8",
                                "nl_NL.UTF-8", "de_DE",      "fr_FR"};
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* found = nullptr;
    for (const char* name : candidates) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            found = name;
            break;
        }
    }
    if (found == nullptr) {
        GTEST_SKIP() << "no locale with a comma as decimal separator is installed";
    }
    const std::string point = std::localeconv()->decimal_point;
    const std::string text = FormatSize(1179648);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "1" + point + "13 MB") << "locale: " << found;
}

}  // namespace
}  // namespace ferrit
