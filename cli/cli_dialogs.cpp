#include "cli/cli_dialogs.h"

#include "platform/error_codes.h"
#include "support/strings.h"

namespace ferrit {

namespace {

std::string TrimmedLower(const std::string& s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && (s[begin] == ' ' || s[begin] == '\t' || s[begin] == '\r')) {
        ++begin;
    }
    while (end > begin && (s[end - 1] == ' ' || s[end - 1] == '\t' || s[end - 1] == '\r')) {
        --end;
    }
    return LowerAscii(s.substr(begin, end - begin));
}

// A reply longer than this is no answer; what follows it up to the line end (read no further
// than kMaxSkipped bytes) is passed over.
constexpr size_t kMaxReply = 256;
constexpr size_t kMaxSkipped = 64 * 1024;
// Replies that are neither yes nor no, after which the question counts as answered No.
constexpr int kMaxTries = 3;

}  // namespace

CliDialogs::ReplyRead CliDialogs::ReadReply(std::string& reply) {
    reply.clear();
    char c = 0;
    while (in_.get(c)) {
        if (c == '\n') {
            return ReplyRead::Line;
        }
        if (reply.size() == kMaxReply) {
            // Far too long for a yes or a no: the rest of the line goes unread, and input that
            // has no line end in sight is not read at all any more.
            for (size_t skipped = 1; c != '\n'; ++skipped) {
                if (skipped > kMaxSkipped || !in_.get(c)) {
                    return ReplyRead::Spent;
                }
            }
            return ReplyRead::TooLong;
        }
        reply += c;
    }
    // The end of the input: a last line without its line end still counts.
    return reply.empty() ? ReplyRead::Spent : ReplyRead::Line;
}

CliDialogs::CliDialogs(std::ostream& err, std::istream& in, ErrorPolicy errors,
                       OverwritePolicy overwrite, std::function<void()> flush,
                       std::function<void(bool)> waiting)
    : err_(err),
      in_(in),
      errors_(errors),
      overwrite_(overwrite),
      flush_(std::move(flush)),
      waiting_(std::move(waiting)) {}

DialogAnswer CliDialogs::Show(DialogKind kind, const std::string& text, DialogButtons buttons) {
    if (kind == DialogKind::Error) {
        ++errorCount_;
    }
    if ((buttons & Btn::Yes) != 0 && (buttons & Btn::No) != 0) {
        switch (overwrite_) {
            case OverwritePolicy::Yes:
                err_ << text << '\n';
                return Answer::Yes;
            case OverwritePolicy::Ask:
                return AskYesNo(text);
            case OverwritePolicy::Default:
            case OverwritePolicy::No:
                err_ << text << '\n';
                return Answer::No;
        }
    }
    err_ << text << '\n';
    if ((buttons & Btn::Ignore) != 0) {
        if (errors_ == ErrorPolicy::Abort && (buttons & Btn::Abort) != 0) {
            return Answer::Abort;
        }
        return Answer::Ignore;
    }
    if ((buttons & Btn::Abort) != 0) {
        return Answer::Abort;
    }
    if ((buttons & Btn::OK) != 0 || buttons == 0) {
        return Answer::OK;
    }
    // Any other set: the first button that closes the dialog.
    for (DialogButtons bit = 1; bit != 0 && bit <= Btn::YesToAll;
         bit = static_cast<DialogButtons>(bit << 1)) {
        if ((buttons & bit) != 0) {
            return ButtonAnswer(bit);
        }
    }
    return Answer::OK;
}

DialogAnswer CliDialogs::ShowError(DialogKind kind, int32_t code, const std::string& text,
                                   DialogButtons buttons) {
    const std::string description = ErrorDescription(code);
    return Show(kind,
                ErrorCodeText(code, text) + (description.empty() ? "" : " (" + description + ")"),
                buttons);
}

DialogAnswer CliDialogs::AskYesNo(const std::string& text) {
    if (flush_) {
        flush_();
    }
    err_ << text << " [y/n] " << std::flush;
    if (waiting_) {
        waiting_(true);
    }
    // Replies are read with a bound, so input that never ends a line (or never ends) cannot
    // grow the program or hold the run; an unusable reply counts as No.
    DialogAnswer answer = 0;
    ReplyRead read = ReplyRead::Line;
    std::string reply;
    for (int tries = 0; answer == 0 && tries < kMaxTries; ++tries) {
        read = ReadReply(reply);
        if (read != ReplyRead::Line) {
            break;
        }
        const std::string word = TrimmedLower(reply);
        if (word == "y" || word == "yes") {
            answer = Answer::Yes;
        } else if (word == "n" || word == "no") {
            answer = Answer::No;
        } else if (tries + 1 < kMaxTries) {
            err_ << "Please answer y or n: " << std::flush;
        }
    }
    if (waiting_) {
        waiting_(false);
    }
    if (answer != 0) {
        return answer;
    }
    err_ << "n\n";
    if (read == ReplyRead::Spent) {
        // No more usable input: every further question is answered No without waiting.
        overwrite_ = OverwritePolicy::No;
    }
    return Answer::No;
}

}  // namespace ferrit
