// How the window reports at start-up what stands in for its settings file and its NetWare
// description, and a workstation without any NetWare client.
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <tuple>

#include <QStatusBar>

#include "testing/odd_files.h"
#include "ui/window_fixture_test.h"

namespace ferrit {
namespace {

using testing::OddFile;

// Ferrit.Ini or ferrit-netware.ini, each replaced by something that is not a regular file of
// reasonable size: the window still opens, names the file in one start-up message, and works
// as a plain copy tool with the default settings.
class OddStartupFile : public WindowTest,
                       public ::testing::WithParamInterface<std::tuple<const char*, OddFile>> {};

TEST_P(OddStartupFile, IsReportedAndTheWindowOpensWithoutIt) {
    const std::string name = std::get<0>(GetParam());
    const OddFile kind = std::get<1>(GetParam());
    const std::string path = config_->Path(name);
    ASSERT_TRUE(testing::MakeOddFile(path, kind));
    struct stat before;
    ASSERT_EQ(0, lstat(path.c_str(), &before));

    Open();
    const std::string problem = path + ": " + testing::OddFileProblem(kind);
    const bool settings = name == "Ferrit.Ini";
    const std::string message = settings ? problem + "; the default settings are used" : problem;
    const std::vector<std::string> texts = StartupTexts();
    EXPECT_EQ(1, std::count(texts.begin(), texts.end(), message))
        << ::testing::PrintToString(texts);
    for (const AskedDialog& d : startupDialogs_) {
        EXPECT_EQ(DialogKind::Error, d.kind) << d.text;
    }
    EXPECT_EQ(QStringLiteral("*.*"), Combo("ComboPattern")->currentText());
    for (int i = KeepOwner; i <= KeepSpaceLimitations; ++i) {
        EXPECT_FALSE(Enabled(i)) << OptionCaptions[i];
    }

    // Closing does not replace a settings file that could not be read.
    Destroy();
    EXPECT_EQ(settings ? std::vector<std::string>{"Unable to write to " + path}
                       : std::vector<std::string>{},
              dialogs_.Texts());
    struct stat after;
    ASSERT_EQ(0, lstat(path.c_str(), &after));
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_size, after.st_size);
}

INSTANTIATE_TEST_SUITE_P(
    Odd, OddStartupFile,
    ::testing::Combine(::testing::Values("Ferrit.Ini", "ferrit-netware.ini"),
                       ::testing::ValuesIn(testing::AllOddFiles())),
    [](const ::testing::TestParamInfo<std::tuple<const char*, OddFile>>& info) {
        return std::string(std::get<0>(info.param)[0] == 'F' ? "Settings" : "NetWare") +
               testing::OddFileName(std::get<1>(info.param));
    });

}  // namespace
}  // namespace ferrit
