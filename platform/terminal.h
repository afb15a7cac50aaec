// What a front end may ask about the terminal its standard streams are connected to.
#pragma once

namespace ferrit {

enum class StdStream { Input, Output, Error };

// Whether the stream is connected to a terminal (a console on Windows), where a person reads
// it as it is written.
bool IsTerminal(StdStream stream);

// The width of that terminal in columns; 0 when the stream is no terminal or the width is not
// known.
int TerminalColumns(StdStream stream);

}  // namespace ferrit
