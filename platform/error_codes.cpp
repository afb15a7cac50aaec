#include "platform/error_codes.h"

#include <cerrno>

namespace ferrit {

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
        case EDQUOT:
            return WinErr::DiskQuotaExceeded;
        case ELOOP:
            return WinErr::CantResolveFilename;
        default:
            return WinErr::GenFailure;
    }
}

std::string WinErrorText(int code) {
    switch (code) {
        case WinErr::Success:
            return "The operation completed successfully";
        case WinErr::FileNotFound:
            return "The system cannot find the file specified";
        case WinErr::PathNotFound:
            return "The system cannot find the path specified";
        case WinErr::TooManyOpenFiles:
            return "The system cannot open the file";
        case WinErr::AccessDenied:
            return "Access is denied";
        case WinErr::NotSameDevice:
            return "The system cannot move the file to a different disk drive";
        case WinErr::NoMoreFiles:
            return "There are no more files";
        case WinErr::WriteProtect:
            return "The media is write protected";
        case WinErr::GenFailure:
            return "A device attached to the system is not functioning";
        case WinErr::SharingViolation:
            return "The process cannot access the file because it is being used by another "
                   "process";
        case WinErr::DiskFull:
            return "There is not enough space on the disk";
        case WinErr::DirNotEmpty:
            return "The directory is not empty";
        case WinErr::AlreadyExists:
            return "Cannot create a file when that file already exists";
        case WinErr::FilenameTooLong:
            return "The filename or extension is too long";
        case WinErr::IoDevice:
            return "The request could not be performed because of an I/O device error";
        case WinErr::DiskQuotaExceeded:
            return "The requested file operation failed because the storage quota was exceeded";
        case WinErr::CantResolveFilename:
            return "The name of the file cannot be resolved by the system";
        default:
            return std::string();
    }
}

}  // namespace ferrit
