// The terminal the command line writes to.
#pragma once

namespace vhost {

// Makes the program's console show what it writes as the host means it: UTF-8 text and, when
// `colors` is set, ANSI colour sequences. Linux terminals do both already; a Windows console is
// switched to code page UTF-8 and to virtual terminal processing. Harmless when the output is a
// file or a pipe.
void PrepareConsoleOutput(bool colors);

// Whether the standard output is a terminal (or a Windows console).
bool StandardOutputIsTerminal();

}  // namespace vhost
