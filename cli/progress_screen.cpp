#include "cli/progress_screen.h"

#include <algorithm>
#include <vector>

#include "support/strings.h"

namespace ferrit {

namespace {

// Status lines held back for the terminal are written out at the latest at this size.
constexpr size_t kHoldLimit = 16 * 1024;
// The width taken where the terminal's is not known.
constexpr int kDefaultColumns = 80;
// A name is shortened to no fewer columns than this; below, the figures are cut instead.
constexpr int kMinNameColumns = 12;
const char kEllipsis[] = "...";

// Bytes below 0x20 and DEL shown as '?'.
std::string Printable(const std::string& text) {
    std::string s = text;
    for (char& c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            c = '?';
        }
    }
    return s;
}

// One character of a text: where it ends and how many columns it is given.
struct Char {
    size_t end;
    int columns;
};

// The characters of a UTF-8 text. Every character beyond ASCII, a stray byte included, is given
// two columns: no terminal shows one wider.
std::vector<Char> Chars(const std::string& s) {
    std::vector<Char> chars;
    for (size_t i = 0; i < s.size();) {
        const bool ascii = static_cast<unsigned char>(s[i]) < 0x80;
        i += Utf8SequenceLength(s, i);
        chars.push_back({i, ascii ? 1 : 2});
    }
    return chars;
}

int Columns(const std::string& s) {
    int n = 0;
    for (const Char& c : Chars(s)) {
        n += c.columns;
    }
    return n;
}

// The longest start of `s` (whole characters) that takes at most `columns` columns.
std::string Head(const std::string& s, int columns) {
    size_t end = 0;
    for (const Char& c : Chars(s)) {
        columns -= c.columns;
        if (columns < 0) {
            break;
        }
        end = c.end;
    }
    return s.substr(0, end);
}

// The longest end of `s` (whole characters) that takes at most `columns` columns.
std::string Tail(const std::string& s, int columns) {
    const std::vector<Char> chars = Chars(s);
    size_t begin = s.size();
    for (size_t k = chars.size(); k > 0; --k) {
        columns -= chars[k - 1].columns;
        if (columns < 0) {
            break;
        }
        begin = k > 1 ? chars[k - 2].end : 0;
    }
    return s.substr(begin);
}

}  // namespace

std::string FitProgressLine(const std::string& figures, const std::string& name, int columns) {
    const std::string f = Printable(figures);
    const std::string n = Printable(name);
    const std::string line = n.empty() ? f : f + "  " + n;
    if (Columns(line) <= columns) {
        return line;
    }
    const int room = columns - Columns(f) - 2;
    if (room < kMinNameColumns) {
        return Head(line, std::max(0, columns));
    }
    const int kept = room - static_cast<int>(sizeof kEllipsis - 1);
    return f + "  " + Head(n, kept / 2) + kEllipsis + Tail(n, kept - kept / 2);
}

// The two streams of the screen: the status lines, held until the live line is drawn again
// (`held`), or other text, written at once once the line is out of the way.
class ProgressScreen::TextBuf : public std::streambuf {
  public:
    TextBuf(ProgressScreen& screen, bool held) : screen_(screen), held_(held) {}

  protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char ch = traits_type::to_char_type(c);
            xsputn(&ch, 1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        held_ ? screen_.Hold(s, n) : screen_.WriteText(s, n);
        return n;
    }
    int sync() override {
        held_ ? screen_.WriteHeld() : static_cast<void>(screen_.err_.flush());
        return 0;
    }

  private:
    ProgressScreen& screen_;
    bool held_;
};

ProgressScreen::ProgressScreen(std::ostream& out, bool outOnTerminal, std::ostream& err,
                               std::function<int()> columns)
    : out_(out),
      outOnTerminal_(outOnTerminal),
      err_(err),
      columns_(std::move(columns)),
      heldBuf_(std::make_unique<TextBuf>(*this, true)),
      guardBuf_(std::make_unique<TextBuf>(*this, false)),
      heldOut_(heldBuf_.get()),
      guardedErr_(guardBuf_.get()) {}

ProgressScreen::~ProgressScreen() {
    Close();
}

void ProgressScreen::Wrote(const char* data, std::streamsize n) {
    if (n > 0) {
        atLineStart_ = data[n - 1] == '\n';
    }
}

void ProgressScreen::WriteHeld() {
    if (held_.empty()) {
        return;
    }
    Erase();
    out_.write(held_.data(), static_cast<std::streamsize>(held_.size()));
    out_.flush();
    Wrote(held_.data(), static_cast<std::streamsize>(held_.size()));
    held_.clear();
}

void ProgressScreen::Erase() {
    if (!shown_) {
        return;
    }
    // Blanks rather than a terminal's erase command: a console without those commands shows
    // the same.
    err_ << '\r' << std::string(static_cast<size_t>(shownColumns_), ' ') << '\r' << std::flush;
    shown_ = false;
}

void ProgressScreen::Hold(const char* data, std::streamsize n) {
    held_.append(data, static_cast<size_t>(n));
    if (held_.size() >= kHoldLimit) {
        WriteHeld();
    }
}

void ProgressScreen::WriteText(const char* data, std::streamsize n) {
    WriteHeld();
    Erase();
    err_.write(data, n);
    Wrote(data, n);
}

void ProgressScreen::Draw(const std::string& figures, const std::string& name) {
    WriteHeld();
    const int columns = columns_ ? columns_() : 0;
    // One column stays free: a line that reaches the last column wraps on some terminals.
    const std::string text =
        FitProgressLine(figures, name, (columns > 0 ? columns : kDefaultColumns) - 1);
    const int width = Columns(text);
    if (!atLineStart_) {
        err_ << '\n';
        atLineStart_ = true;
    }
    err_ << '\r' << text;
    if (shown_ && shownColumns_ > width) {
        err_ << std::string(static_cast<size_t>(shownColumns_ - width), ' ');
    }
    err_.flush();
    shownColumns_ = width;  // what stood beyond it is blank now
    shown_ = true;
}

void ProgressScreen::Close() {
    WriteHeld();
    Erase();
    err_.flush();
}

}  // namespace ferrit
