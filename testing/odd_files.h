// What may stand where the program expects one of its small text files (the settings file, the
// NetWare description) without being a regular file of reasonable size.
#pragma once

#include <string>
#include <vector>

namespace ferrit {
namespace testing {

enum class OddFile {
    Fifo,       // a named pipe: opening or reading it may wait forever
    DevZero,    // a symbolic link to /dev/zero: reading it never ends
    Directory,  // a directory of that name
    TooLarge,   // a regular file of 1 MiB and one byte
};

// Every kind this system has, for tables of cases (Windows has neither FIFOs nor /dev/zero).
std::vector<OddFile> AllOddFiles();
// Its name in a test's output.
const char* OddFileName(OddFile kind);
// What the refusal of such a file says after "FILE: ".
std::string OddFileProblem(OddFile kind);
// Puts one at the path (its parents must exist); false when that fails.
bool MakeOddFile(const std::string& path, OddFile kind);

}  // namespace testing
}  // namespace ferrit
