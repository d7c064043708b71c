#include "platform/console_output.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vhost {

#if defined(_WIN32)

void PrepareConsoleOutput(bool colors) {
    SetConsoleOutputCP(CP_UTF8);
    if (!colors) return;
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode) != 0) {
        SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

bool StandardOutputIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

#else

void PrepareConsoleOutput(bool /*colors*/) {}

bool StandardOutputIsTerminal() { return isatty(fileno(stdout)) != 0; }

#endif

}  // namespace vhost
