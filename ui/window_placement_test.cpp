#include "ui/window_placement.h"

#include <gtest/gtest.h>

#include "ui/window_fixture_test.h"

namespace ferrit {
namespace {

struct PlacementRow {
    const char* name;
    QRect wanted;
    std::vector<QRect> areas;  // the screens' available areas, device-independent pixels
    QRect placed;
};

void PrintTo(const PlacementRow& row, std::ostream* os) {
    *os << row.name;
}

class Placement : public ::testing::TestWithParam<PlacementRow> {};

TEST_P(Placement, PutsTheWholeFrameOnAScreen) {
    const PlacementRow& row = GetParam();
    EXPECT_EQ(row.placed, PlaceOnScreen(row.wanted, row.areas, QSize(400, 330)));
}

const QRect kDescribed(380, 253, 540, 518);

INSTANTIATE_TEST_SUITE_P(
    Screens, Placement,
    ::testing::Values(
        PlacementRow{"FitsAsDescribed", kDescribed, {QRect(0, 0, 1280, 1024)}, kDescribed},
        // 1366 x 768 with a panel of 32 at the bottom: the status bar comes up onto it.
        PlacementRow{
            "LaptopWithPanel", kDescribed, {QRect(0, 0, 1366, 736)}, QRect(380, 218, 540, 518)},
        // 1280 x 1024 at a scale factor of 2: 640 x 512 device-independent pixels.
        PlacementRow{"ScaledTwice", kDescribed, {QRect(0, 0, 640, 512)}, QRect(100, 0, 540, 512)},
        // Smaller than the window's smallest: its top-left stays on the screen.
        PlacementRow{"TinyScreen", kDescribed, {QRect(0, 0, 320, 240)}, QRect(0, 0, 400, 330)},
        PlacementRow{"SecondScreenHoldsMost",
                     QRect(1900, 100, 540, 518),
                     {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1024, 768)},
                     QRect(1920, 100, 540, 518)},
        PlacementRow{"OnNoScreenGoesToTheFirst",
                     QRect(5000, -900, 540, 518),
                     {QRect(0, 24, 1024, 744), QRect(1024, 0, 800, 600)},
                     QRect(484, 24, 540, 518)},
        PlacementRow{"ScreenLeftOfTheOrigin",
                     QRect(-2000, 300, 540, 518),
                     {QRect(-1600, 0, 1600, 900), QRect(0, 0, 1280, 1024)},
                     QRect(-1600, 300, 540, 518)}),
    [](const ::testing::TestParamInfo<PlacementRow>& info) {
        return std::string(info.param.name);
    });

// The window applies it: a window moved off every screen comes back whole.
TEST_F(WindowTest, WindowComesBackOntoTheScreen) {
    TFormFerrit& w = Open();
    const QRect screen = w.screen()->availableGeometry();
    w.move(screen.right() - 100, screen.bottom() - 50);
    w.FitOnScreen();
    EXPECT_TRUE(screen.contains(w.frameGeometry()))
        << w.frameGeometry().x() << "," << w.frameGeometry().y();
    EXPECT_EQ(QSize(540, 518), w.frameGeometry().size());
}

}  // namespace
}  // namespace ferrit
