// The transcript: one event a line, appended to the file named by the environment
// variable BRIVOLA_PLAYER_TRANSCRIPT (UTF-8) when it is set. Lines are written whole
// with one write each, so they survive a crash of the process. Any thread.
#pragma once

#include <string_view>

namespace player::transcript {

// Writes "event detail" (or "event" when detail is empty). Carriage returns, line
// feeds and tabs inside are written as \r, \n and \t so that an event stays on one line.
void write(std::string_view event, std::string_view detail = {});

// Closes the file; the next write opens it again.
void close();

} // namespace player::transcript
