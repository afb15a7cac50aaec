#include "platform/config_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/odd_files.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::OddFile;

// Nothing but a regular file is read, and none larger than 1 MiB; the refusal names the file.
class ConfigFileRefusal : public ::testing::TestWithParam<OddFile> {};

TEST_P(ConfigFileRefusal, NamesTheFileAndWhy) {
    testing::TempDir dir;
    const std::string path = dir.Path("Ferrit.Ini");
    ASSERT_TRUE(testing::MakeOddFile(path, GetParam()));
    const ConfigFileText file = ReadConfigFile(path);
    EXPECT_EQ(
        GetParam() == OddFile::TooLarge ? ConfigFileStatus::TooLarge : ConfigFileStatus::NotRegular,
        file.status);
    EXPECT_EQ(path + ": " + testing::OddFileProblem(GetParam()), file.problem);
    EXPECT_TRUE(file.text.empty());
}

INSTANTIATE_TEST_SUITE_P(Odd, ConfigFileRefusal, ::testing::ValuesIn(testing::AllOddFiles()),
                         [](const ::testing::TestParamInfo<OddFile>& info) {
                             return std::string(testing::OddFileName(info.param));
                         });

TEST(ConfigFileTest, RegularFilesUpToTheLimitAreReadWhole) {
    testing::TempDir dir;
    const std::string exact(kMaxConfigFileBytes, 'x');
    const std::string small = dir.File("small.ini", "[A]\nk=v\n");
    const std::string limit = dir.File("limit.ini", exact);
    const std::string empty = dir.File("empty.ini", "");
    ASSERT_EQ(0, ::symlink(small.c_str(), dir.Path("link.ini").c_str()));
    struct Case {
        std::string path;
        std::string text;
    } cases[] = {
        {small, "[A]\nk=v\n"}, {limit, exact}, {empty, ""}, {dir.Path("link.ini"), "[A]\nk=v\n"}};
    for (const Case& c : cases) {
        const ConfigFileText file = ReadConfigFile(c.path);
        EXPECT_EQ(ConfigFileStatus::Read, file.status) << c.path;
        EXPECT_TRUE(file.text == c.text) << c.path;
        EXPECT_EQ("", file.problem) << c.path;
    }
}

TEST(ConfigFileTest, MissingAndUnreadableFilesAreToldApart) {
    testing::TempDir dir;
    ConfigFileText file = ReadConfigFile(dir.Path("none.ini"));
    EXPECT_EQ(ConfigFileStatus::Missing, file.status);
    EXPECT_EQ(dir.Path("none.ini") + ": cannot be read (No such file or directory)", file.problem);
    ASSERT_EQ(0, ::symlink(dir.Path("gone").c_str(), dir.Path("dangling.ini").c_str()));
    EXPECT_EQ(ConfigFileStatus::Missing, ReadConfigFile(dir.Path("dangling.ini")).status);
    EXPECT_EQ(ConfigFileStatus::Missing, ReadConfigFile(dir.File("f", "x") + "/sub.ini").status);
    if (::geteuid() != 0) {  // root reads every file
        const std::string locked = dir.File("locked.ini", "[A]\n");
        ASSERT_EQ(0, ::chmod(locked.c_str(), 0));
        file = ReadConfigFile(locked);
        EXPECT_EQ(ConfigFileStatus::Unreadable, file.status);
        EXPECT_EQ(locked + ": cannot be read (Permission denied)", file.problem);
    }
}

}  // namespace
}  // namespace ferrit
