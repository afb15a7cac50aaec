// The plain copy.
#include <string>

#include "testing/engine_fixture.h"

namespace ferrit {
namespace {
using testing::EngineFixture;
using testing::FileOp;

class FileCopyTest : public EngineFixture {};

TEST_F(FileCopyTest, CopyReplacesTheTargetAndCarriesItsAge) {
    const std::string source = Put("src/f.txt", "new contents", kT0 + 3);
    const std::string target = Put("tgt/f.txt", "old", kT0 + 500);
    EXPECT_EQ(engine.ShellCopyFile(source, target), 0);
    EXPECT_EQ(Contents("tgt/f.txt"), "new contents");
    EXPECT_EQ(native.FileAge(target), native.FileAge(source));
    EXPECT_TRUE(dialogs.Asked().empty());
}

TEST_F(FileCopyTest, OnlyTheCopyOperationIsOffered) {
    const std::string source = Put("src/f.txt", "x", kT0);
    for (uint32_t operation : {0u, 1u, 3u, 4u, 0xFFFFFFFFu}) {
        EXPECT_EQ(engine.ShellFileOperation(source, tgt + "/f.txt", operation), -1) << operation;
    }
    EXPECT_EQ(files.Calls(FileOp::CopyFile), 0);
    EXPECT_FALSE(Exists("tgt/f.txt"));
    EXPECT_EQ(engine.ShellFileOperation(source, tgt + "/f.txt", 2), 0);
    EXPECT_TRUE(Exists("tgt/f.txt"));
}

TEST_F(FileCopyTest, FailuresComeBackAsTheirCodes) {
    EXPECT_NE(engine.ShellCopyFile(At("src/missing"), tgt + "/missing"), 0);
    files.Fail(FileOp::CopyFile, 112);
    EXPECT_EQ(engine.ShellCopyFile(Put("src/f.txt", "x", kT0), tgt + "/f.txt"), 112);
    files.ClearFaults();
    files.Throw(FileOp::CopyFile);
    EXPECT_EQ(engine.ShellCopyFile(At("src/f.txt"), tgt + "/f.txt"), -1);
    EXPECT_FALSE(Exists("tgt/f.txt"));
}

}  // namespace
}  // namespace ferrit
