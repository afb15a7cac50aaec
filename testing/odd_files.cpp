#include "testing/odd_files.h"

#include "platform/config_file.h"
#include "testing/system.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace testing {

std::vector<OddFile> AllOddFiles() {
    if (kOnWindows) {
        return {OddFile::Directory, OddFile::TooLarge};
    }
    return {OddFile::Fifo, OddFile::DevZero, OddFile::Directory, OddFile::TooLarge};
}

const char* OddFileName(OddFile kind) {
    switch (kind) {
        case OddFile::Fifo:
            return "Fifo";
        case OddFile::DevZero:
            return "DevZero";
        case OddFile::Directory:
            return "Directory";
        case OddFile::TooLarge:
            return "TooLarge";
    }
    return "?";
}

std::string OddFileProblem(OddFile kind) {
    switch (kind) {
        case OddFile::Fifo:
            return "not a regular file (a FIFO)";
        case OddFile::DevZero:
            return "not a regular file (a device)";
        case OddFile::Directory:
            return "not a regular file (a directory)";
        case OddFile::TooLarge:
            return "larger than 1 MiB";
    }
    return "?";
}

bool MakeOddFile(const std::string& path, OddFile kind) {
    switch (kind) {
        case OddFile::Fifo:
            return MakeFifo(path);
        case OddFile::DevZero:
            return MakeSymlink("/dev/zero", path);
        case OddFile::Directory:
            return KindAt(path) == EntryKind::Missing && MakeDirs(path);
        case OddFile::TooLarge:
            return WriteFile(path,
                             "[Default Options]\n" + std::string(kMaxConfigFileBytes, ';') + "\n");
    }
    return false;
}

}  // namespace testing
}  // namespace ferrit
