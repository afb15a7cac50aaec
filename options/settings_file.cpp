#include "options/settings_file.h"

#include <cstdint>
#include <cstdlib>

#include "platform/fs_util.h"
#include "support/strings.h"

namespace ferrit {

namespace {

// A value is one line of the file: anything from a line break on would start a new line.
std::string OneLine(const std::string& value) {
    return value.substr(0, value.find_first_of("\r\n"));
}

}  // namespace

SettingsFile::SettingsFile(const std::string& name) {
    // On Windows a name with '\' or a drive ("C:x") names its own place too.
    const char* places = kPathSeparator == '\\' ? "/\\:" : "/";
    path_ = name.find_first_of(places) == std::string::npos
                ? WithTrailingSlash(ConfigDirectory()) + name
                : name;
    Load();
}

void SettingsFile::Load() {
    const ConfigFileText file = ReadConfigFile(path_);
    status_ = file.status;
    const bool usable =
        file.status == ConfigFileStatus::Read || file.status == ConfigFileStatus::Missing;
    problem_ = usable ? std::string() : file.problem;
    lines_ = ReadIniText(file.text, IniRules());
}

int SettingsFile::FindKey(const std::string& section, const std::string& key,
                          int* sectionEnd) const {
    // Only the first section of the name counts, as for the platform's own INI service.
    size_t i = 0;
    while (i < lines_.size() &&
           !(lines_[i].kind == IniLine::Kind::Section && EqualNoCase(lines_[i].name, section))) {
        ++i;
    }
    if (sectionEnd) {
        *sectionEnd = -1;
    }
    if (i == lines_.size()) {
        return -1;
    }
    int found = -1;
    int end = static_cast<int>(i) + 1;  // after the last line of the section that is not blank
    for (++i; i < lines_.size() && lines_[i].kind != IniLine::Kind::Section; ++i) {
        const IniLine& line = lines_[i];
        if (line.kind == IniLine::Kind::Setting && found < 0 && EqualNoCase(line.name, key)) {
            found = static_cast<int>(i);
        }
        if (line.kind != IniLine::Kind::Blank) {
            end = static_cast<int>(i) + 1;
        }
    }
    if (sectionEnd) {
        *sectionEnd = end;
    }
    return found;
}

bool SettingsFile::HasSection(const std::string& section) const {
    int sectionEnd = -1;
    FindKey(section, std::string(), &sectionEnd);
    return sectionEnd >= 0;
}

std::string SettingsFile::ReadString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue) const {
    const int i = FindKey(section, key, nullptr);
    if (i < 0) {
        return defaultValue.substr(0, kMaxValue);
    }
    // Blanks around a value are not part of it ("Target Dir=  /data  " names /data), as the
    // Windows profile functions read it.
    return lines_[i].value.substr(0, kMaxValue);
}

bool ParseIniInteger(const std::string& raw, long long& value) {
    std::string text = TrimIniBlanks(raw);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text = "$" + text.substr(2);
    }
    if (text.empty()) {
        return false;
    }
    if (text[0] == '$') {
        const std::string digits = text.substr(1);
        if (digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return false;
        }
        value = static_cast<long long>(std::strtoull(digits.c_str(), nullptr, 16));
        return true;
    }
    size_t pos = 0;
    if (text[0] == '+' || text[0] == '-') {
        pos = 1;
    }
    if (pos >= text.size() || text.find_first_not_of("0123456789", pos) != std::string::npos ||
        text.size() - pos > 10) {
        return false;
    }
    const long long parsed = std::strtoll(text.c_str(), nullptr, 10);
    if (parsed > INT32_MAX || parsed < INT32_MIN) {
        return false;
    }
    value = parsed;
    return true;
}

bool SettingsFile::ReadBool(const std::string& section, const std::string& key,
                            bool defaultValue) const {
    long long value = 0;
    if (!ParseIniInteger(ReadString(section, key, std::string()), value)) {
        return defaultValue;
    }
    return value != 0;
}

void SettingsFile::WriteString(const std::string& section, const std::string& key,
                               const std::string& value) {
    ApplyWrite(section, key, value);
    pending_.push_back({section, key, value});
}

void SettingsFile::ApplyWrite(const std::string& section, const std::string& key,
                              const std::string& value) {
    const std::string text = key + "=" + OneLine(value);
    int sectionEnd = -1;
    const int i = FindKey(section, key, &sectionEnd);
    if (i >= 0) {
        lines_[i] = ReadIniLine(text, IniRules());
        return;
    }
    if (sectionEnd < 0) {
        if (!lines_.empty() && lines_.back().kind != IniLine::Kind::Blank) {
            lines_.push_back(ReadIniLine(std::string(), IniRules()));
        }
        lines_.push_back(ReadIniLine("[" + section + "]", IniRules()));
        sectionEnd = static_cast<int>(lines_.size());
    }
    lines_.insert(lines_.begin() + sectionEnd, ReadIniLine(text, IniRules()));
}

void SettingsFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

std::string SettingsFile::Text() const {
    std::string text;
    for (const IniLine& line : lines_) {
        text += line.text;
        text += '\n';
    }
    return text;
}

bool SettingsFile::Flush() {
    if (pending_.empty()) {
        return true;
    }
    // The file as it is now, with this program's writes on top: another copy of the program
    // that saved in the meantime keeps every key this one did not write. A file that cannot
    // be read whole is left alone rather than replaced by this program's keys alone.
    Load();
    if (!problem_.empty()) {
        return false;
    }
    for (const PendingWrite& w : pending_) {
        ApplyWrite(w.section, w.key, w.value);
    }
    // The directory stays private; a link at the file's name is the user's and is kept, and so
    // are the file's permission bits.
    WholeFileSave how;
    how.directoryMode = 0700;
    how.throughLink = true;
    how.keepMode = true;
    if (!SaveWholeFile(path_, Text(), how)) {
        return false;
    }
    pending_.clear();
    return true;
}

}  // namespace ferrit
