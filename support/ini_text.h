// The lines of an INI text: "[section]" headings, "key = value" settings, blank lines and
// comments. One reader for the program's two kinds of INI file: the settings file, read leniently
// (a line it cannot take is kept as it stands), and the emulated servers' description, read
// strictly (such a line is an error, reported with its number).
#pragma once

#include <string>
#include <vector>

namespace ferrit {

struct IniRules {
    // The characters that start a comment line (after blanks).
    std::string commentStarts = ";";
    // Strict: a heading must end with its ']' and every other line that is neither blank nor a
    // comment must be a setting; else a heading ends at its first ']' (what follows is ignored)
    // and a line that is neither is just text.
    bool strict = false;
};

struct IniLine {
    enum class Kind { Blank, Comment, Section, Setting, Text, Malformed };
    Kind kind = Kind::Text;
    int number = 0;       // the line's number in the text, from 1
    std::string text;     // the line as written, without its line end
    std::string name;     // a heading's section name or a setting's key, blanks around it dropped
    std::string value;    // a setting's value (after the first '='), blanks around it dropped
    std::string problem;  // what is wrong with a malformed line (strict rules only)
};

// One line (without its line end) taken by the rules.
IniLine ReadIniLine(const std::string& text, const IniRules& rules);

// The lines of a text ("\n" or "\r\n" line ends), numbered, in order. A malformed line does not
// stop the reading: the caller reports the first one it meets, in order with its own checks.
std::vector<IniLine> ReadIniText(const std::string& text, const IniRules& rules);

// The text without the blanks, tabs and carriage returns around it.
std::string TrimIniBlanks(const std::string& text);

}  // namespace ferrit
