#include "installer/HostLaunch.h"

#include <windows.h>

namespace installer {

// PLACEHOLDER until the Flash host window lands. The finished step creates the
// host window for the movie (icon resource "IDI_ICON1"), the application object
// "VXInstaller", and registers the window under "IApplicationWindow"; the movie
// later ends the program with its quit command. Until then the program ends here,
// exactly as that quit would: WM_QUIT with exit code 0.
void launchInstallerUi(const MovieWindowSettings& /*settings*/) { PostQuitMessage(0); }

} // namespace installer
