// The two start-up tasks that prepare the Flash Player for the installer movie:
// installing the Flash Player control when it is missing, and entering the movie's
// folder into a Flash Player trust file so that the movie, played from a local file,
// may call the host. No state; called by the start-up worker.
#pragma once

#include <string>

namespace vx::install::FlashInstaller {

// Where the Flash Player installer is fetched from, below the download server.
inline constexpr char kInstallerPath[] =
    "/get/flashplayer/current/licensing/win/install_flash_player_10_active_x.exe";
// The trust file's name in the trust folder.
inline constexpr char kTrustFileName[] = "vxi-trust.cfg";

// Downloads the installer from `url` into a temporary file, runs it with "/S" and
// waits for it. Download and start failures are the download layer's VXException
// kinds; a failed wait is a runtime::Exception "Unable to successfully install
// Flash.". The installer's exit code is not looked at.
void installFrom(const std::string& url);
// installFrom the Flash Player download server the program was built with.
void installFlash();

// Makes sure the trust file (GetFlashTrustDirectory() + "vxi-trust.cfg") lists the
// normalised `folder`: an existing line equal to it once normalised leaves the file
// as it is; otherwise the entry and "\r\n" are appended. Other lines are never
// touched. Throws VXFileException "Failed to create FOLDER" when the trust folder
// cannot be made, "Failed to write to file at FILE" when the append fails.
void writeTrustFile(const std::string& folder);

} // namespace vx::install::FlashInstaller
