#include "support/dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/scripted_dialogs.h"

namespace ferrit {
namespace {
using testing::ScriptedDialogs;

TEST(DialogTexts, CaptionsOfKinds) {
    EXPECT_STREQ(DialogCaption(DialogKind::Warning), "Warning");
    EXPECT_STREQ(DialogCaption(DialogKind::Error), "Error");
    EXPECT_STREQ(DialogCaption(DialogKind::Information), "Information");
    EXPECT_STREQ(DialogCaption(DialogKind::Confirmation), "Confirm");
}

TEST(DialogTexts, ButtonsInBitOrderWithCaptionAndAnswer) {
    struct Case {
        DialogButtons bit;
        const char* caption;
        DialogAnswer answer;
    };
    const std::vector<Case> cases = {
        {0x0001, "&Yes", 6},         {0x0002, "&No", 7},    {0x0004, "OK", 1},
        {0x0008, "Cancel", 2},       {0x0010, "&Abort", 3}, {0x0020, "&Retry", 4},
        {0x0040, "&Ignore", 5},      {0x0080, "&All", 8},   {0x0100, "N&o to All", 9},
        {0x0200, "Yes to &All", 10}, {0x0400, "&Help", 0},  {0x0800, "Ignore A&ll", 11},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(ButtonCaption(c.bit), c.caption) << "bit " << c.bit;
        EXPECT_EQ(ButtonAnswer(c.bit), c.answer) << "bit " << c.bit;
    }
    // Not a single known button: no caption, no answer.
    for (DialogButtons notOne : {DialogButtons{0}, Btn::AbortIgnore, DialogButtons{0x1000}}) {
        EXPECT_STREQ(ButtonCaption(notOne), "") << notOne;
        EXPECT_EQ(ButtonAnswer(notOne), Answer::None) << notOne;
    }
}

TEST(ErrorCodeText, UpperHexOfTheThirtyTwoBitValue) {
    struct Case {
        int32_t code;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0x8702, "Error 8702: X does not exist"}, {5, "Error 0005: X does not exist"},
        {0xabc, "Error 0ABC: X does not exist"},  {0x12345, "Error 12345: X does not exist"},
        {-1, "Error FFFFFFFF: X does not exist"}, {INT32_MIN, "Error 80000000: X does not exist"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorCodeText(c.code, "X does not exist"), c.expected);
    }
}

TEST(ShowErrorCode, AsksWithTheTextAndReturnsTheAnswer) {
    ScriptedDialogs dialogs;
    dialogs.Script({Answer::Abort, Answer::Ignore});
    EXPECT_EQ(
        ShowErrorCode(dialogs, DialogKind::Error, 0x8702, "C:\\src does not exist", Btn::Abort),
        Answer::Abort);
    EXPECT_EQ(ShowErrorCode(dialogs, DialogKind::Error, 32, "Could not copy x", Btn::AbortIgnore),
              Answer::Ignore);
    ASSERT_EQ(dialogs.Asked().size(), 2u);
    EXPECT_EQ(dialogs.Asked()[0].kind, DialogKind::Error);
    EXPECT_EQ(dialogs.Asked()[0].text, "Error 8702: C:\\src does not exist");
    EXPECT_EQ(dialogs.Asked()[0].buttons, Btn::Abort);
    EXPECT_EQ(dialogs.Asked()[1].text, "Error 0020: Could not copy x");
    EXPECT_EQ(dialogs.Asked()[1].buttons, Btn::AbortIgnore);
    EXPECT_EQ(dialogs.UnofferedAnswers(), 0);
}

TEST(ShowErrorCode, CodeZeroShowsNothing) {
    ScriptedDialogs dialogs;
    dialogs.Script(Answer::Abort);
    EXPECT_EQ(ShowErrorCode(dialogs, DialogKind::Error, 0, "anything", Btn::AbortIgnore),
              Answer::NotShown);
    EXPECT_TRUE(dialogs.Asked().empty());
    EXPECT_EQ(dialogs.ScriptLeft(), 1u);  // the scripted answer was not consumed
}

TEST(ShowMessageBox, OffersOkAlone) {
    ScriptedDialogs dialogs;
    ShowMessageBox(dialogs, DialogKind::Error, "NWGetEffectiveRights returned error 0x89FF");
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    EXPECT_EQ(dialogs.Asked()[0].buttons, Btn::OK);
    EXPECT_EQ(dialogs.Asked()[0].kind, DialogKind::Error);
    EXPECT_EQ(dialogs.Asked()[0].text, "NWGetEffectiveRights returned error 0x89FF");
    EXPECT_EQ(dialogs.Asked()[0].answer, Answer::OK);
}

// The double's defaults drive most engine tests, so pin them down.
TEST(ScriptedDialogs, DefaultsAfterTheScript) {
    ScriptedDialogs dialogs;
    EXPECT_EQ(dialogs.Show(DialogKind::Error, "a", Btn::AbortIgnore), Answer::Ignore);
    EXPECT_EQ(dialogs.Show(DialogKind::Error, "b", Btn::Abort), Answer::Abort);
    EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "c", Btn::YesNo), Answer::Yes);
    EXPECT_EQ(dialogs.Show(DialogKind::Error, "d", Btn::Help | Btn::OK), Answer::OK);

    dialogs.SetDefault(Btn::YesNo, Answer::No);
    dialogs.Script(Answer::Yes);
    EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "e", Btn::YesNo), Answer::Yes);
    EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "f", Btn::YesNo), Answer::No);
    EXPECT_EQ(dialogs.Show(DialogKind::Error, "g", Btn::AbortIgnore), Answer::Ignore);

    dialogs.SetDefaultForAll(Answer::Abort);
    EXPECT_EQ(dialogs.Show(DialogKind::Error, "h", Btn::AbortIgnore), Answer::Abort);
    EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "i", Btn::YesNo), Answer::No);

    const std::vector<std::string> expected = {"a", "b", "c", "d", "e", "f", "g", "h", "i"};
    EXPECT_EQ(dialogs.Texts(), expected);
    EXPECT_EQ(dialogs.UnofferedAnswers(), 0);

    dialogs.Script(Answer::Retry);
    dialogs.Show(DialogKind::Error, "j", Btn::AbortIgnore);
    EXPECT_EQ(dialogs.UnofferedAnswers(), 1);
}

TEST(ScriptedDialogs, CountsBusyCursorCalls) {
    ScriptedDialogs dialogs;
    Dialogs& seam = dialogs;
    seam.HourglassOn();
    seam.HourglassOff();
    seam.HourglassOff();
    EXPECT_EQ(dialogs.HourglassOnCount(), 1);
    EXPECT_EQ(dialogs.HourglassOffCount(), 2);
    dialogs.ClearRecord();
    EXPECT_EQ(dialogs.HourglassOnCount(), 0);
}

}  // namespace
}  // namespace ferrit
