#include "support/launch_request.h"

#include "support/strings.h"

namespace ferrit {

const std::vector<std::string> InternalCommands = {
    "CD",  "COPY", "DEL", "DIR", "ECHO",     "MD",   "PATH", "PROMPT",
    "REM", "REN",  "RD",  "SET", "TRUENAME", "TYPE", "VER",
};

bool IsInternalCommand(const std::string& word) {
    return IsInStrList(word, InternalCommands, false);
}

std::vector<std::string> SplitArguments(const std::string& parameters) {
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false;
    bool have = false;
    for (char c : parameters) {
        if (c == '"') {
            inQuotes = !inQuotes;
            have = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (have) {
                args.push_back(current);
                current.clear();
                have = false;
            }
        } else {
            current += c;
            have = true;
        }
    }
    if (have) {
        args.push_back(current);
    }
    return args;
}

namespace {

// The directory part of a path, up to and including its last separator.
std::string DirectoryPart(const std::string& path) {
#ifdef _WIN32
    const size_t pos = path.find_last_of("\\:/");
#else
    const size_t pos = path.find_last_of('/');
#endif
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

}  // namespace

LaunchRequest BuildLaunchRequest(const std::string& commandLine, int32_t showState,
                                 const FileExistsFn& fileExists, const GetEnvFn& getEnv) {
    LaunchRequest request;
    request.showState = showState;

    // The shortest prefix that names a file, so a program path with blanks needs no quotes.
    std::string rest = commandLine;
    std::string program;
    std::string word;
    bool found = false;
    do {
        SplitAtFirst(rest, " ", word, rest);
        program = JoinNonEmpty(program, word, " ");
        found = fileExists(program);
    } while (!found && !word.empty());

    if (found) {
        request.file = program;
        request.directory = DirectoryPart(program);
        request.parameters = rest;
        request.arguments = SplitArguments(rest);
        return request;
    }

    std::string first;
    std::string afterFirst;
    SplitAtFirst(commandLine, " ", first, afterFirst);
    if (IsInternalCommand(first)) {
        const std::string comspec = getEnv("comspec");
        if (!comspec.empty()) {
            request.file = comspec;
            request.parameters = "/C " + commandLine;
            request.arguments = {"/C", commandLine};
        } else {
            request.file = "/bin/sh";
            request.parameters = "-c " + commandLine;
            request.arguments = {"-c", commandLine};
        }
        return request;
    }

    request.file = first;
    request.parameters = afterFirst;
    request.arguments = SplitArguments(afterFirst);
    return request;
}

}  // namespace ferrit
