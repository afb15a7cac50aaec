#include "platform/error_codes.h"

#include <cerrno>

namespace ferrit {

uint16_t ShownCode(int32_t code) {
    return code >= 0 && code <= 0xFFFF ? static_cast<uint16_t>(code) : 0xFFFF;
}

int WinErrorFromErrno(int err, bool pathMissing) {
    switch (err) {
        case 0:
            return WinErr::Success;
        case ENOENT:
            return pathMissing ? WinErr::PathNotFound : WinErr::FileNotFound;
        case ENOTDIR:  // a component of the path is not a directory
            return WinErr::PathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:  // a file operation on a directory is refused as on Windows
            return WinErr::AccessDenied;
        case EMFILE:
        case ENFILE:
            return WinErr::TooManyOpenFiles;
        case EXDEV:
            return WinErr::NotSameDevice;
        case EROFS:
            return WinErr::WriteProtect;
        case EBUSY:
        case ETXTBSY:
            return WinErr::SharingViolation;
        case EEXIST:
            return WinErr::AlreadyExists;
        case ENOSPC:
            return WinErr::DiskFull;
        case ENOTEMPTY:
            return WinErr::DirNotEmpty;
        case ENAMETOOLONG:
            return WinErr::FilenameTooLong;
        case EIO:
            return WinErr::IoDevice;
#ifdef EDQUOT  // not every C library has it
        case EDQUOT:
            return WinErr::DiskQuotaExceeded;
#endif
        case ELOOP:
            return WinErr::CantResolveFilename;
        default:
            return WinErr::GenFailure;
    }
}

namespace {

// The texts of one Windows error number: the Windows system's message, and the description
// this platform gives the same failure (the C library's text for the errno that maps to it).
// A number several errno values map to has the description of the usual one; the general
// failure has none, as no one errno stands behind it.
struct ErrorTexts {
    int code;
    const char* windows;
    const char* description;
};

constexpr ErrorTexts kErrorTexts[] = {
    {WinErr::Success, "The operation completed successfully", ""},
    {WinErr::FileNotFound, "The system cannot find the file specified",
     "No such file or directory"},
    {WinErr::PathNotFound, "The system cannot find the path specified",
     "No such file or directory"},
    {WinErr::TooManyOpenFiles, "The system cannot open the file", "Too many open files"},
    {WinErr::AccessDenied, "Access is denied", "Permission denied"},
    {WinErr::NotSameDevice, "The system cannot move the file to a different disk drive",
     "Invalid cross-device link"},
    {WinErr::InvalidData, "The data is invalid", "Invalid data"},
    {WinErr::NoMoreFiles, "There are no more files", ""},
    {WinErr::WriteProtect, "The media is write protected", "Read-only file system"},
    {WinErr::GenFailure, "A device attached to the system is not functioning", ""},
    {WinErr::SharingViolation,
     "The process cannot access the file because it is being used by another process",
     "Device or resource busy"},
    {WinErr::NotSupported, "The request is not supported", "Operation not supported"},
    {WinErr::DiskFull, "There is not enough space on the disk", "No space left on device"},
    {WinErr::DirNotEmpty, "The directory is not empty", "Directory not empty"},
    {WinErr::AlreadyExists, "Cannot create a file when that file already exists", "File exists"},
    {WinErr::FilenameTooLong, "The filename or extension is too long", "File name too long"},
    {WinErr::FileTooLarge, "The file size exceeds the limit allowed and cannot be saved",
     "File too large"},
    {WinErr::IoDevice, "The request could not be performed because of an I/O device error",
     "Input/output error"},
    {WinErr::NotFound, "Element not found", "No data available"},
    {WinErr::DiskQuotaExceeded,
     "The requested file operation failed because the storage quota was exceeded",
     "Disk quota exceeded"},
    {WinErr::CantResolveFilename, "The name of the file cannot be resolved by the system",
     "Too many levels of symbolic links"},
};

const ErrorTexts* FindTexts(int code) {
    for (const ErrorTexts& texts : kErrorTexts) {
        if (texts.code == code) {
            return &texts;
        }
    }
    return nullptr;
}

}  // namespace

std::string WinErrorText(int code) {
    const ErrorTexts* texts = FindTexts(code);
    return texts ? texts->windows : std::string();
}

#ifndef _WIN32  // Windows asks the system for its own wording (platform/win/)
std::string ErrorDescription(int code) {
    const ErrorTexts* texts = FindTexts(code);
    return texts ? texts->description : std::string();
}
#endif

}  // namespace ferrit
