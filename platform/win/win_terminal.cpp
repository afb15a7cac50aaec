// The Windows side of terminal.h: a stream is a terminal when its handle is a console.
#include "platform/terminal.h"
#include "platform/win/win_api.h"

namespace ferrit {

namespace {

HANDLE HandleOf(StdStream stream) {
    switch (stream) {
        case StdStream::Input:
            return GetStdHandle(STD_INPUT_HANDLE);
        case StdStream::Output:
            return GetStdHandle(STD_OUTPUT_HANDLE);
        case StdStream::Error:
            break;
    }
    return GetStdHandle(STD_ERROR_HANDLE);
}

}  // namespace

bool IsTerminal(StdStream stream) {
    DWORD mode = 0;
    return GetConsoleMode(HandleOf(stream), &mode) != 0;
}

int TerminalColumns(StdStream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (stream == StdStream::Input || !GetConsoleScreenBufferInfo(HandleOf(stream), &info)) {
        return 0;
    }
    return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace ferrit
