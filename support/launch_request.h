// The command launcher's request: how a command line is split into the program (or document, or
// address) to open, its parameters and its working directory. Pure, so it can be checked without
// starting anything; platform/launch.h carries the request out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ferrit {

// The built-in commands of the command interpreter, compared without regard to case.
extern const std::vector<std::string> InternalCommands;

bool IsInternalCommand(const std::string& word);

// What the platform's "open" operation is handed.
struct LaunchRequest {
    std::string operation = "open";
    std::string file;        // the program, document or address
    std::string parameters;  // the parameters as one text, exactly as written; may be empty
    std::string directory;   // working directory; empty means the current one
    int32_t showState = 1;   // show normally
    // The parameters as separate arguments, for a program started directly.
    std::vector<std::string> arguments;
};

using FileExistsFn = std::function<bool(const std::string& path)>;     // directories do not count
using GetEnvFn = std::function<std::string(const std::string& name)>;  // "" when not set

// Builds the request for a command line:
// - the shortest word-by-word prefix (words joined by one blank) that names an existing file is
//   the program; its directory part is the working directory, and the text after the blank that
//   ends the prefix is the parameters;
// - else, when the first word is a built-in command, the interpreter named by "comspec" runs
//   "/C <line>"; without "comspec", /bin/sh runs "-c <line>";
// - else the first word is the file and the text after the first blank the parameters (a line
//   without a blank, such as an address, is the file alone).
LaunchRequest BuildLaunchRequest(const std::string& commandLine, int32_t showState,
                                 const FileExistsFn& fileExists, const GetEnvFn& getEnv);

// Splits a parameter text into arguments at blanks; double quotes group blanks into one argument.
std::vector<std::string> SplitArguments(const std::string& parameters);

}  // namespace ferrit
