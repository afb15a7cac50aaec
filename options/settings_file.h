// The settings file "Ferrit.Ini": an INI text of sections and key=value lines, kept in the
// user's configuration directory. Reads come from a copy held in memory; writes change that copy
// and Flush saves them, applied key by key to the file as it is on disk at that moment, whole,
// through a temporary file renamed into place, so that a crash at any moment leaves either the
// old or the new file.
#pragma once

#include <string>
#include <vector>

#include "platform/config_file.h"
#include "support/ini_text.h"

namespace ferrit {

class SettingsFile {
  public:
    // The longest value a read returns; longer values are cut.
    static constexpr size_t kMaxValue = 2047;

    // A bare name (no '/', on Windows neither '\' nor ':') lives in the configuration directory;
    // any other name is used as given.
    // The file is read at once; a missing file reads as empty, and so does one that is refused
    // (not a regular file, larger than 1 MiB, unreadable: see LoadProblem).
    explicit SettingsFile(const std::string& name);

    // The full path of the file, as "Unable to write to %s" shows it.
    const std::string& FileName() const { return path_; }

    // How the last read of the file went.
    ConfigFileStatus Status() const { return status_; }
    // Why the file was refused, naming it ("FILE: not a regular file (a FIFO)"); empty when it
    // was read or does not exist. A refused file is never replaced by a save.
    const std::string& LoadProblem() const { return problem_; }
    // Whether the file holds the section: a whole "[name]" line, matched without regard to case.
    bool HasSection(const std::string& section) const;

    // Section and key match without regard to (ASCII) case. A missing key gives the default.
    // Leading and trailing blanks (spaces and tabs) of a value are dropped.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // A value taken as an integer: decimal, hexadecimal after "$", or after "0x"/"0X" when the
    // value is longer than two characters; non-zero is true. Missing, empty or non-numeric
    // values give the default.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

    // Replaces the value in place, or appends the key to its section (the section to the file)
    // when it is new. Takes effect on disk at the next Flush.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Saves when anything was written since the last save (the directory is created if
    // missing): the file is read again and the writes are applied to it in their order, so keys
    // that another copy of the program saved meanwhile survive unless written here. False when
    // the save failed, or when the file on disk is refused as unreadable (it is never replaced
    // by what could not be read); the file on disk is then unchanged.
    bool Flush();

    // The text the file would be saved as.
    std::string Text() const;

  private:
    // Index of the key line in the section, or -1; sectionEnd receives the index after the
    // section's last line that is not blank (-1 when the section does not exist).
    int FindKey(const std::string& section, const std::string& key, int* sectionEnd) const;
    void Load();
    void ApplyWrite(const std::string& section, const std::string& key, const std::string& value);

    struct PendingWrite {
        std::string section, key, value;
    };

    std::string path_;
    ConfigFileStatus status_ = ConfigFileStatus::Missing;
    std::string problem_;
    std::vector<IniLine> lines_;         // as read, with the writes applied
    std::vector<PendingWrite> pending_;  // writes not saved yet, in order
};

// Parses a Boolean value by the rules of ReadBool; false when the text is not a number.
bool ParseIniInteger(const std::string& text, long long& value);

}  // namespace ferrit
