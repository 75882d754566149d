// The program's main function and its built-in start-up text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace installer {

// Exit code after a start-up failure that was shown to the user.
inline constexpr int kStartupFailedExitCode = 1;

struct StartupText {
    std::string movieUrl;
    int width = 0;
    int height = 0;
    std::string title;
};

// The built-in start-up text: movie URL, width, height and title, one per line,
// each ended by "\r\n".
std::string builtInStartupText();

// Splits a start-up text at "\n", dropping a "\r" right before each "\n", and reads
// lines 1 to 4. Throws runtime::Exception when a line is missing or a size is not a
// decimal integer.
StartupText parseStartupText(std::string_view text);

// Shows the progress window, starts the start-up worker and runs the message loop
// until WM_QUIT (or a start-up failure). Returns the process exit code.
int main();

} // namespace installer
