// The Linux side of entry_attributes.h: extended attributes of the user namespace.
#include <sys/xattr.h>

#include <cerrno>

#include "platform/entry_attributes.h"
#include "platform/error_codes.h"
#include "platform/fs_util.h"

namespace ferrit {

namespace {

std::string UserName(const std::string& name) {
    return "user." + name;
}

int Failure(int err) {
    switch (err) {
        case ENODATA:
            return WinErr::NotFound;
        case ENOTSUP:
            return WinErr::NotSupported;
        default:
            return WinErrorFromErrno(err);
    }
}

}  // namespace

bool EntryAttributesKept() {
    return true;
}

int ReadEntryAttribute(const std::string& path, const std::string& name, std::string& value) {
    value.clear();
    const std::string full = UserName(name);
    const bool read = ReadWholeXattr(
        [&](char* buf, size_t size) { return ::lgetxattr(path.c_str(), full.c_str(), buf, size); },
        value);
    return read ? 0 : Failure(errno);
}

int WriteEntryAttribute(const std::string& path, const std::string& name,
                        const std::string& value) {
    if (::lsetxattr(path.c_str(), UserName(name).c_str(), value.data(), value.size(), 0) != 0) {
        return Failure(errno);
    }
    return 0;
}

int RemoveEntryAttribute(const std::string& path, const std::string& name) {
    if (::lremovexattr(path.c_str(), UserName(name).c_str()) != 0 && errno != ENODATA) {
        return Failure(errno);
    }
    return 0;
}

}  // namespace ferrit
