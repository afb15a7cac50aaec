#include "platform/run_log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/fs_util.h"

namespace ferrit {

namespace {

constexpr const char* kLogPrefix = "run-";
constexpr const char* kLogSuffix = ".log";

bool AllDigits(const std::string& s, size_t from, size_t count) {
    if (from + count > s.size()) {
        return false;
    }
    for (size_t i = from; i < from + count; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
    }
    return true;
}

// Whether the name is one NewRunLogPath gives: "run-YYYYMMDD-HHMMSS.log", or with "-N" before
// ".log". Only such files are ever removed to make room.
bool IsRunLogName(const std::string& name) {
    const size_t prefix = std::strlen(kLogPrefix);
    const size_t suffix = std::strlen(kLogSuffix);
    if (name.size() < prefix + 15 + suffix || name.compare(0, prefix, kLogPrefix) != 0 ||
        name.compare(name.size() - suffix, suffix, kLogSuffix) != 0) {
        return false;
    }
    if (!AllDigits(name, prefix, 8) || name[prefix + 8] != '-' || !AllDigits(name, prefix + 9, 6)) {
        return false;
    }
    const size_t rest = prefix + 15;
    const size_t end = name.size() - suffix;
    if (rest == end) {
        return true;
    }
    return name[rest] == '-' && end > rest + 1 && AllDigits(name, rest + 1, end - rest - 1);
}

std::string TimeText(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    LocalTimeOf(now, local);
    char text[64];
    const size_t n = std::strftime(text, sizeof text, format, &local);
    return std::string(text, n);
}

}  // namespace

RunLogFile::~RunLogFile() {
    std::string ignored;
    Close(ignored);
}

bool RunLogFile::Open(const std::string& path, std::string& problem) {
    std::string closing;
    Close(closing);
    path_ = path;
    error_ = 0;
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        MakeDirectoriesPlain(path.substr(0, slash), 0700);  // the open below tells
    }
    file_ = OpenForAppending(path);
    if (file_ == nullptr) {
        problem = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void RunLogFile::Line(const std::string& text) {
    if (file_ == nullptr) {
        return;
    }
    if ((std::fwrite(text.data(), 1, text.size(), file_) != text.size() ||
         std::fputc('\n', file_) == EOF) &&
        error_ == 0) {
        error_ = errno != 0 ? errno : EIO;
    }
}

bool RunLogFile::Close(std::string& problem) {
    if (file_ == nullptr) {
        return true;
    }
    if (std::fflush(file_) != 0 && error_ == 0) {
        error_ = errno;
    }
    if (std::fclose(file_) != 0 && error_ == 0) {
        error_ = errno;
    }
    file_ = nullptr;
    if (error_ != 0) {
        problem = path_ + ": " + std::strerror(error_);
        return false;
    }
    return true;
}

std::string RunLogDirectory() {
    return StateDirectory() + "/ferrit";
}

std::string NewRunLogPath(const std::string& directory, int keep) {
    const std::string stamp = kLogPrefix + TimeText("%Y%m%d-%H%M%S");
    // The directory is read and changed through the standard library, on the UTF-8 paths the
    // program keeps (wide ones on Windows).
    namespace fs = std::filesystem;
    const fs::path dir = fs::u8path(directory);
    std::vector<std::string> logs;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().u8string();
        if (IsRunLogName(name) && !it->is_directory(error)) {
            logs.push_back(name);
        }
        error.clear();
    }
    // The stamp sorts by time; within one second, by the counter after it.
    std::sort(logs.begin(), logs.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() && a.compare(0, 19, b, 0, 19) == 0 ? a.size() < b.size()
                                                                       : a < b;
    });
    const size_t room = keep > 1 ? static_cast<size_t>(keep - 1) : 0;
    for (size_t i = 0; i + room < logs.size(); ++i) {
        fs::remove(dir / fs::u8path(logs[i]), error);
    }
    std::string name = stamp + kLogSuffix;
    for (int n = 2; fs::exists(fs::symlink_status(dir / fs::u8path(name), error)); ++n) {
        name = stamp + "-" + std::to_string(n) + kLogSuffix;
    }
    return directory + "/" + name;
}

std::string LocalTimeText() {
    return TimeText("%Y-%m-%d %H:%M:%S");
}

}  // namespace ferrit
