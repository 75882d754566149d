// The product's configuration files in its common data directory, parsed on first
// use and kept for the life of the process (later changes to a file are not seen).
//
// Any thread may call these. The caches are guarded; two threads that ask for the
// same file at once may both parse it, and both get the tree stored first. A parse
// that fails stores nothing, and its error (VXFileException for a missing or
// unreadable file) reaches the caller, so the next call reads the file again.
// Trees handed out are never changed: the one change the program makes goes through
// files().changeDesktopConfig, which puts a new tree in place (ConfigFiles.h).
#pragma once

#include "vx/config/Config.h"
#include "vx/config/ConfigFiles.h"
#include "vx/config/ConfigParser.h"

#include <map>
#include <memory>
#include <string>

namespace vx::config::app {

// Creates the one shared parser; called once at program start, before main.
void initialise();
// The shared parser (created on first use when initialise() was not called).
ConfigParser& parser();

// The files of the common data directory (vxpath::GetCommonDataDirectory(), asked
// once); the functions below read through it.
ConfigFiles& files();

// <data>/config/desktopdata.cfg and <data>/config/desktopconfig.cfg.
std::shared_ptr<Config> GetDesktopData();
std::shared_ptr<Config> GetDesktopConfig();
// <data>/<app>/config/appdata.cfg, appconfig.cfg and appuserconfig.cfg.
std::shared_ptr<Config> GetAppData(const std::string& app);
std::shared_ptr<Config> GetAppConfig(const std::string& app);
std::shared_ptr<Config> GetAppUserConfig(const std::string& app);

// The application's named folders: the text entries of desktopconfig.cfg's section
// appregistry/<app>, in order, plus "coredir" (desktopconfig.cfg's top-level
// "coredir", replacing an entry of that name). Throws VXException when the file,
// either section or "coredir" is missing, or an entry is not a text.
std::map<std::string, std::string> GetAppRegistry(const std::string& app);

} // namespace vx::config::app
