#include "platform/error_codes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace ferrit {
namespace {

TEST(ErrorCodes, ErrnoTable) {
    struct Case {
        int err;
        bool pathMissing;
        int expected;
    };
    const Case cases[] = {
        {0, false, 0},
        {ENOENT, false, 2},
        {ENOENT, true, 3},
        {ENOTDIR, false, 3},
        {EACCES, false, 5},
        {EPERM, false, 5},
        {EISDIR, false, 5},
        {EMFILE, false, 4},
        {EXDEV, false, 17},
        {EROFS, false, 19},
        {EBUSY, false, 32},
        {ETXTBSY, false, 32},
        {EEXIST, false, 183},
        {ENOSPC, false, 112},
        {ENOTEMPTY, false, 145},
        {ENAMETOOLONG, false, 206},
        {EIO, false, 1117},
        {EDQUOT, false, 1295},
        {ELOOP, false, 1921},
        // Anything unlisted is a general failure, whatever the flag says.
        {EAGAIN, false, 31},
        {EINVAL, true, 31},
        {ECONNRESET, false, 31},
        {-1, false, 31},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WinErrorFromErrno(c.err, c.pathMissing), c.expected)
            << "errno " << c.err << " pathMissing " << c.pathMissing;
    }
}

TEST(ErrorCodes, TextsForEveryMappedNumber) {
    EXPECT_EQ(WinErrorText(2), "The system cannot find the file specified");
    EXPECT_EQ(WinErrorText(3), "The system cannot find the path specified");
    EXPECT_EQ(WinErrorText(5), "Access is denied");
    EXPECT_EQ(WinErrorText(112), "There is not enough space on the disk");
    EXPECT_EQ(WinErrorText(145), "The directory is not empty");
    // Every number the table can produce has a text, without a full stop or line end.
    for (int err = 0; err < 200; ++err) {
        for (bool missing : {false, true}) {
            std::string text = WinErrorText(WinErrorFromErrno(err, missing));
            ASSERT_FALSE(text.empty()) << "errno " << err;
            EXPECT_NE(text.back(), '.');
            EXPECT_EQ(text.find('\n'), std::string::npos);
        }
    }
    EXPECT_EQ(WinErrorText(1), "");
    EXPECT_EQ(WinErrorText(-1), "");
    EXPECT_EQ(WinErrorText(0x8701), "");
}

TEST(ErrorCodes, DescriptionsInTheSystemsWords) {
    struct Case {
        int code;
        const char* description;
    };
    const Case cases[] = {
        {5, "Permission denied"},
        {112, "No space left on device"},
        // No one failure stands behind these, or they are not the system's numbers.
        {0, ""},
        {18, ""},
        {31, ""},
        {-1, ""},
        {0x8701, ""},
        {0x899C, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorDescription(c.code), c.description) << c.code;
    }
}

// The description of a number is the C library's own text for the errno that usually gives it.
TEST(ErrorCodes, DescriptionIsTheUsualErrnosText) {
    for (int err : {ENOENT, EMFILE, EACCES, EXDEV, EROFS, EBUSY, EEXIST, ENOSPC, ENOTEMPTY,
                    ENAMETOOLONG, EIO, EDQUOT, ELOOP}) {
        EXPECT_EQ(ErrorDescription(WinErrorFromErrno(err)), std::strerror(err)) << "errno " << err;
    }
}

TEST(ShownCode, FailureNeverReadsAsSuccess) {
    struct {
        int32_t result;
        uint16_t code;
    } const rows[] = {{0, 0},
                      {1, 1},
                      {5, 5},
                      {0xFFFE, 0xFFFE},
                      {0xFFFF, 0xFFFF},
                      {0x10000, 0xFFFF},
                      {0x20005, 0xFFFF},
                      {INT32_MAX, 0xFFFF},
                      {-1, 0xFFFF},
                      {-65536, 0xFFFF},
                      {INT32_MIN, 0xFFFF}};
    for (const auto& row : rows) {
        EXPECT_EQ(ShownCode(row.result), row.code) << row.result;
    }
}

}  // namespace
}  // namespace ferrit
