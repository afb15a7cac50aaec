// The Linux side of terminal.h.
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/terminal.h"

namespace ferrit {

namespace {

int FdOf(StdStream stream) {
    switch (stream) {
        case StdStream::Input:
            return STDIN_FILENO;
        case StdStream::Output:
            return STDOUT_FILENO;
        case StdStream::Error:
            break;
    }
    return STDERR_FILENO;
}

}  // namespace

bool IsTerminal(StdStream stream) {
    return isatty(FdOf(stream)) != 0;
}

int TerminalColumns(StdStream stream) {
    struct winsize size {};
    if (ioctl(FdOf(stream), TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}

}  // namespace ferrit
