// How the window reports at start-up what stands in for its settings file and its NetWare
// description, and a workstation without any NetWare client.
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <tuple>

#include <QStatusBar>

#include "netware/absent_client.h"
#include "testing/odd_files.h"
#include "ui/window_fixture_test.h"

namespace ferrit {
namespace {
using testing::AskedDialog;

using testing::OddFile;

const char kInitFailure[] =
    "Could not initialize NetWare Client. InitNetWare returned error 0xFFFF";
const char kNoClient[] = "NetWare: no client configured; the NetWare options are unavailable";

QString StatusBarText(TFormFerrit& window) {
    return window.findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->currentMessage();
}

// Without any NetWare description the status bar says so and no message box appears; a
// description that exists is a configured client, whose failures the boxes report as always.
struct ClientStart {
    const char* name;
    const char* description;         // ferrit-netware.ini ("VOL": a volume directory); or none
    std::vector<std::string> boxes;  // the start-up messages; "FILE" stands for the description
    bool noClientLine;               // the status bar's "no client configured"
};

class ClientStartTest : public WindowTest, public ::testing::WithParamInterface<ClientStart> {};

TEST_P(ClientStartTest, ReportsWhereItBelongs) {
    const ClientStart& c = GetParam();
    const std::string file = config_->Path("ferrit-netware.ini");
    if (c.description != nullptr) {
        std::string text = c.description;
        const size_t vol = text.find("VOL");
        if (vol != std::string::npos) {
            text.replace(vol, 3, tree_.Dir("vol"));
        }
        config_->File("ferrit-netware.ini", text);
    }
    Open();
    std::vector<std::string> boxes = c.boxes;
    for (std::string& b : boxes) {
        if (b.rfind("FILE", 0) == 0) {
            b.replace(0, 4, file);
        }
    }
    EXPECT_EQ(boxes, StartupTexts());
    EXPECT_EQ(c.noClientLine ? QString::fromUtf8(kNoClient) : QString(), StatusBarText(*window_));
    for (int i = KeepOwner; i <= KeepSpaceLimitations; ++i) {
        EXPECT_FALSE(Enabled(i)) << OptionCaptions[i];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, ClientStartTest,
    ::testing::Values(
        ClientStart{"None", nullptr, {}, true},
        ClientStart{"Malformed",
                    "[server FS1\n",
                    {"FILE:1: a section heading must end with ']'", kInitFailure},
                    false},
        ClientStart{"Empty", "", {"FILE: no server is described", kInitFailure}, false},
        ClientStart{
            "Sound", "[server FS1]\nvolume DATA = VOL\nlogin = U\nuser U = 1\n", {}, false}),
    [](const ::testing::TestParamInfo<ClientStart>& info) { return std::string(info.param.name); });

// A client handed to the window counts as configured: its start-up failure gets the box.
TEST_F(WindowTest, AHandedInClientThatFailsToStartIsReportedByTheBox) {
    AbsentClient client;
    WindowServices services;
    services.dialogs = &dialogs_;
    services.client = &client;
    TFormFerrit window(services);
    EXPECT_EQ(std::vector<std::string>(1, kInitFailure), dialogs_.Texts());
    ASSERT_EQ(1u, dialogs_.Asked().size());
    EXPECT_EQ(DialogKind::Error, dialogs_.Asked()[0].kind);
    EXPECT_EQ(Btn::OK, dialogs_.Asked()[0].buttons);
    EXPECT_EQ(QString(), StatusBarText(window));
}

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
    // The settings file's refusal alone (no NetWare client is configured), or the
    // description's followed by the client's start-up failure, as for a malformed description.
    const std::vector<std::string> expected =
        settings ? std::vector<std::string>{problem + "; the default settings are used"}
                 : std::vector<std::string>{problem, kInitFailure};
    EXPECT_EQ(expected, StartupTexts());
    for (const AskedDialog& d : startupDialogs_) {
        EXPECT_EQ(DialogKind::Error, d.kind) << d.text;
    }
    EXPECT_EQ(QStringLiteral("*.*"), Combo("ComboPattern")->currentText());
    for (int i = KeepOwner; i <= KeepSpaceLimitations; ++i) {
        EXPECT_FALSE(Enabled(i)) << OptionCaptions[i];
    }

    // Closing does not replace a settings file that could not be read.
    Destroy();
    const std::vector<std::string> atClose =
        settings ? std::vector<std::string>{"Unable to write to " + path}
                 : std::vector<std::string>{};
    EXPECT_EQ(atClose, dialogs_.Texts());
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
