// Private window messages of the player window. A program that subclasses the
// window must pass these on to the previous window procedure unchanged (as it
// passes every message it does not handle).
#pragma once

#include <windows.h>

namespace player {

// WPARAM 0, LPARAM = the id of a piece of work queued by another thread of the
// player (a movie call for the listener, a mouse or close action of the movie, a
// host call into the movie). The message is sent, never posted; the window
// procedure runs the work on the window's thread. A message for work that is
// already done or withdrawn is ignored, so a sender may send the same id again
// after a time-out.
inline constexpr UINT kRunWorkMessage = WM_APP + 0x3F01;

} // namespace player
