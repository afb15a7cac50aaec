// The log of a run: its lines written to a text file as they come, so that what a run did can
// be read after the window has moved on or the terminal has scrolled away.
#pragma once

#include <cstdio>
#include <string>

namespace ferrit {

class RunLogFile {
  public:
    RunLogFile() = default;
    ~RunLogFile();
    RunLogFile(const RunLogFile&) = delete;
    RunLogFile& operator=(const RunLogFile&) = delete;

    // Opens the file for appending (it is made, with its missing directories, where it does not
    // exist): what a log file held before is never lost. False with the reason in `problem`
    // ("FILE: Permission denied") when it cannot be opened.
    bool Open(const std::string& path, std::string& problem);
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    // Appends one line; a line that cannot be written is remembered for Close.
    void Line(const std::string& text);

    // Closes the file. False with the reason in `problem` when a line could not be written or
    // the data could not be stored; nothing is done for a log that is not open.
    bool Close(std::string& problem);

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
    int error_ = 0;  // the first errno of a failed write
};

// The directory of the window's run logs: "ferrit" in the user's state directory.
std::string RunLogDirectory();

// The path for a new run log in the directory, named by the local time ("run-20240131-142503.log",
// "-2" and so on added when that name is taken). The oldest logs of that form are removed first
// so that, with the new one, at most `keep` remain; no other file is ever touched.
std::string NewRunLogPath(const std::string& directory, int keep);

// The local time as "2024-01-31 14:25:03", for a log's heading.
std::string LocalTimeText();

}  // namespace ferrit
