#include "platform/copy_progress.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/posix/posix_file_services.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

// A copy adds what it writes to the counter of its own thread's scope, and to no other.
TEST(CopyProgressTest, ACopyCountsItsDataOnItsOwnThreadsCounter) {
    testing::TempDir dir;
    const std::string data(3 * 1024 * 1024 + 17, 'x');
    const std::string source = dir.File("big.bin", data);
    PosixFileServices files;
    std::atomic<int64_t> mine{0};
    std::atomic<int64_t> other{0};
    {
        const CopyProgressScope scope(&mine);
        std::thread elsewhere([&] { const CopyProgressScope otherScope(&other); });
        elsewhere.join();
        ASSERT_EQ(0, files.CopyFile(source, dir.Path("copy.bin")));
    }
    EXPECT_EQ(static_cast<int64_t>(data.size()), mine.load());
    EXPECT_EQ(0, other.load());
    // Outside a scope nothing is counted.
    ASSERT_EQ(0, files.CopyFile(source, dir.Path("again.bin")));
    EXPECT_EQ(static_cast<int64_t>(data.size()), mine.load());
}

}  // namespace
}  // namespace ferrit
