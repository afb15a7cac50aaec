// The services of the system the program was built for, one implementation per target system
// (the build picks it): the file services made here; the launcher (LaunchCommand, launch.h), the
// configuration directory (ConfigDirectory, fs_util.h) and the operator's Ctrl-C (interrupt.h)
// are functions of the same name on every system.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/file_services.h"

namespace ferrit {

// The file services of this system: PosixFileServices on Linux, WinFileServices on Windows.
std::unique_ptr<FileServices> MakeFileServices();

// The program's arguments after its name, in UTF-8: argv itself on Linux; on Windows those of
// the wide command line, as argv holds only what the ANSI code page can spell.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace ferrit
