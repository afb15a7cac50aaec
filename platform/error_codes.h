// Windows system error numbers used by the program on every platform.
#pragma once

#include <cstdint>
#include <string>

namespace ferrit {

namespace WinErr {
constexpr int Success = 0;
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int TooManyOpenFiles = 4;
constexpr int AccessDenied = 5;
constexpr int NotSameDevice = 17;
constexpr int InvalidData = 13;
constexpr int NoMoreFiles = 18;
constexpr int WriteProtect = 19;
constexpr int GenFailure = 31;
constexpr int SharingViolation = 32;
constexpr int NotSupported = 50;
constexpr int DiskFull = 112;
constexpr int DirNotEmpty = 145;
constexpr int AlreadyExists = 183;
constexpr int FilenameTooLong = 206;
constexpr int FileTooLarge = 223;
constexpr int IoDevice = 1117;
constexpr int NotFound = 1168;
constexpr int DiskQuotaExceeded = 1295;
constexpr int CantResolveFilename = 1921;
}  // namespace WinErr

// A Windows number as the 16-bit code the operator is shown and a run keeps: never 0 for a
// failure (a number outside 16 bits, whose low word may well be 0, shows as FFFF).
uint16_t ShownCode(int32_t code);

// Maps a POSIX errno value to its Windows system error number (31 for anything unlisted).
// ENOENT gives 3 when a directory of the path is missing (pathMissing), else 2.
int WinErrorFromErrno(int err, bool pathMissing = false);

// The system's message text for a Windows error number of the table above, without a trailing
// full stop or line end; empty when the number is not in the table.
std::string WinErrorText(int code);

// This platform's own short description of the failure behind a Windows error number, as the
// system words it ("Permission denied", "No space left on device"); empty where none is known.
std::string ErrorDescription(int code);

}  // namespace ferrit
