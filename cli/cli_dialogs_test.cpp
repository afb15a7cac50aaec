#include "cli/cli_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "platform/error_codes.h"
#include "testing/system.h"

namespace ferrit {
namespace {

TEST(CliDialogs, AnswersByButtonSetAndPolicy) {
    struct Case {
        ErrorPolicy errors;
        DialogButtons buttons;
        DialogAnswer want;
    };
    const Case cases[] = {
        {ErrorPolicy::Ignore, Btn::AbortIgnore, Answer::Ignore},
        {ErrorPolicy::Abort, Btn::AbortIgnore, Answer::Abort},
        {ErrorPolicy::Ignore, Btn::Abort, Answer::Abort},
        {ErrorPolicy::Abort, Btn::Abort, Answer::Abort},
        {ErrorPolicy::Ignore, Btn::OK, Answer::OK},
        {ErrorPolicy::Abort, Btn::OK, Answer::OK},
        {ErrorPolicy::Abort, Btn::Ignore, Answer::Ignore},  // Ignore without Abort
    };
    for (const Case& c : cases) {
        std::ostringstream err;
        std::istringstream in;
        CliDialogs dialogs(err, in, c.errors, OverwritePolicy::No, nullptr);
        EXPECT_EQ(dialogs.Show(DialogKind::Error, "Error 0005: Could not copy /t/a", c.buttons),
                  c.want)
            << "buttons " << c.buttons;
        EXPECT_EQ(err.str(), "Error 0005: Could not copy /t/a\n");
    }
}

TEST(CliDialogs, ErrorCodeMessagesEndInTheSystemsDescription) {
    struct Case {
        int32_t code;
        std::string line;  // with Linux's wording; Windows words its own descriptions
    };
    const Case cases[] = {
        {112, "Error 0070: Could not copy /t/x (No space left on device)\n"},
        {5, "Error 0005: Could not copy /t/x (Permission denied)\n"},
        {145, "Error 0091: Could not copy /t/x (Directory not empty)\n"},
        // Codes without a description: the program's own, the general failure, NetWare's.
        {0x8702, "Error 8702: Could not copy /t/x\n"},
        {31, "Error 001F: Could not copy /t/x\n"},
        {0x899C, "Error 899C: Could not copy /t/x\n"},
        {0, ""},
    };
    for (const Case& c : cases) {
        std::ostringstream err;
        std::istringstream in;
        CliDialogs dialogs(err, in, ErrorPolicy::Abort, OverwritePolicy::No, nullptr);
        EXPECT_EQ(ShowErrorCode(dialogs, DialogKind::Error, c.code, "Could not copy /t/x",
                                Btn::AbortIgnore),
                  c.code == 0 ? Answer::NotShown : Answer::Abort);
        std::string line = c.line;
        const size_t described = line.find(" (");
        if (testing::kOnWindows && c.code != 0) {
            const std::string wording = ErrorDescription(c.code);
            line = line.substr(0, std::min(described, line.size() - 1)) +
                   (wording.empty() ? "" : " (" + wording + ")") + "\n";
        }
        EXPECT_EQ(err.str(), line);
        EXPECT_EQ(dialogs.ErrorCount(), c.code == 0 ? 0 : 1);
    }
}

TEST(CliDialogs, CountsErrorKindDialogsWhateverTheAnswer) {
    std::ostringstream err;
    std::istringstream in;
    CliDialogs dialogs(err, in, ErrorPolicy::Ignore, OverwritePolicy::Yes, nullptr);
    dialogs.Show(DialogKind::Error, "a", Btn::AbortIgnore);
    dialogs.Show(DialogKind::Warning, "b", Btn::OK);
    dialogs.Show(DialogKind::Confirmation, "Overwrite /t/x?", Btn::YesNo);
    dialogs.Show(DialogKind::Error, "c", Btn::OK);
    EXPECT_EQ(dialogs.ErrorCount(), 2);
    EXPECT_EQ(err.str(), "a\nb\nOverwrite /t/x?\nc\n");
}

TEST(CliDialogs, OverwriteQuestionByPolicy) {
    for (auto [policy, want] : {std::make_pair(OverwritePolicy::Yes, Answer::Yes),
                                std::make_pair(OverwritePolicy::No, Answer::No)}) {
        std::ostringstream err;
        std::istringstream in("y\n");
        CliDialogs dialogs(err, in, ErrorPolicy::Ignore, policy, nullptr);
        EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "Overwrite /t/x?", Btn::YesNo), want);
        // A fixed answer never reads the input.
        EXPECT_EQ(in.tellg(), 0);
    }
}

TEST(CliDialogs, AskPromptsAfterFlushingAndReadsReplies) {
    std::ostringstream err;
    std::istringstream in("maybe\n  Y \nno\n");
    int flushes = 0;
    std::string waits;
    CliDialogs dialogs(
        err, in, ErrorPolicy::Ignore, OverwritePolicy::Ask, [&] { ++flushes; },
        [&](bool waiting) { waits += waiting ? "+" : "-"; });
    EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "Overwrite /t/x?", Btn::YesNo), Answer::Yes);
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(waits, "+-");
    EXPECT_EQ(err.str(), "Overwrite /t/x? [y/n] Please answer y or n: ");
    EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "Overwrite /t/y?", Btn::YesNo), Answer::No);
    EXPECT_EQ(flushes, 2);
}

TEST(CliDialogs, AskAtEndOfInputAnswersNoFromThenOn) {
    std::ostringstream err;
    std::istringstream in("");
    CliDialogs dialogs(err, in, ErrorPolicy::Ignore, OverwritePolicy::Ask, nullptr);
    EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "Overwrite /t/x?", Btn::YesNo), Answer::No);
    EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "Overwrite /t/y?", Btn::YesNo), Answer::No);
    EXPECT_EQ(err.str(), "Overwrite /t/x? [y/n] n\nOverwrite /t/y?\n");
}

// Replies are read with a bound: input without line ends (or without an end) neither grows the
// program nor holds the run, and whatever cannot be an answer counts as No.
TEST(CliDialogs, AskReadsRepliesWithABoundAndTakesUnusableOnesAsNo) {
    struct Row {
        const char* name;
        std::string input;
        DialogAnswer first, second;
        size_t readAtMost;  // bytes of input the two questions may take
    };
    const std::string zeros(1 << 20, '\0');
    const Row rows[] = {
        {"last line without its end", "y", Answer::Yes, Answer::No, 1},
        {"an over-long line, then a good one", std::string(300, 'y') + "\ny\n", Answer::No,
         Answer::Yes, 303},
        {"a megabyte of zeros", zeros, Answer::No, Answer::No, 80 * 1024},
        {"three unusable replies", "maybe\nperhaps\nwhat\nyes\n", Answer::No, Answer::Yes, 24},
        {"a zero inside the reply", std::string("y\0\nn\nn\n", 7), Answer::No, Answer::No, 7},
    };
    for (const Row& row : rows) {
        std::ostringstream err;
        std::istringstream in(row.input);
        CliDialogs dialogs(err, in, ErrorPolicy::Ignore, OverwritePolicy::Ask, nullptr);
        EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "Overwrite /t/x?", Btn::YesNo), row.first)
            << row.name;
        EXPECT_EQ(dialogs.Show(DialogKind::Confirmation, "Overwrite /t/y?", Btn::YesNo), row.second)
            << row.name;
        in.clear();
        const auto taken = static_cast<size_t>(in.tellg());
        EXPECT_LE(taken, row.readAtMost) << row.name;
        EXPECT_LT(err.str().size(), 200u) << row.name;
    }
}

}  // namespace
}  // namespace ferrit
