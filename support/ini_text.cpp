#include "support/ini_text.h"

#include <sstream>

#include "support/strings.h"

namespace ferrit {

std::string TrimIniBlanks(const std::string& text) {
    return TrimChars(text, " \t\r");
}

IniLine ReadIniLine(const std::string& text, const IniRules& rules) {
    IniLine line;
    line.text = text;
    const std::string trimmed = TrimIniBlanks(text);
    if (trimmed.empty()) {
        line.kind = IniLine::Kind::Blank;
    } else if (trimmed[0] == '[') {
        const size_t close = !rules.strict           ? trimmed.find(']')
                             : trimmed.back() == ']' ? trimmed.size() - 1
                                                     : std::string::npos;
        if (close != std::string::npos) {
            line.kind = IniLine::Kind::Section;
            line.name = TrimIniBlanks(trimmed.substr(1, close - 1));
        } else if (rules.strict) {
            line.kind = IniLine::Kind::Malformed;
            line.problem = "a section heading must end with ']'";
        }
    } else if (rules.commentStarts.find(trimmed[0]) != std::string::npos) {
        line.kind = IniLine::Kind::Comment;
    } else {
        const size_t eq = text.find('=');
        if (eq != std::string::npos) {
            line.kind = IniLine::Kind::Setting;
            line.name = TrimIniBlanks(text.substr(0, eq));
            line.value = TrimIniBlanks(text.substr(eq + 1));
        } else if (rules.strict) {
            line.kind = IniLine::Kind::Malformed;
            line.problem = "expected 'key = value'";
        }
    }
    return line;
}

std::vector<IniLine> ReadIniText(const std::string& text, const IniRules& rules) {
    std::vector<IniLine> lines;
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r') {
            raw.pop_back();
        }
        lines.push_back(ReadIniLine(raw, rules));
        lines.back().number = static_cast<int>(lines.size());
    }
    return lines;
}

}  // namespace ferrit
