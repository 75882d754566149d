// The product's five settings files below one data folder, each parsed on first use
// and kept (later changes to a file by others are not seen):
//   <folder>/config/desktopdata.cfg, <folder>/config/desktopconfig.cfg,
//   <folder>/<app>/config/appdata.cfg, appconfig.cfg and appuserconfig.cfg.
//
// Threads: any thread may call anything here. A tree handed out is never changed
// afterwards, so it may be read by any number of threads without a lock of theirs;
// a change makes a new tree (changeDesktopConfig) and later calls hand out that one.
// Two threads that ask for the same file at once may both parse it; both get the tree
// stored first.
//
// Failures: a parse that fails stores nothing and its error (VXFileException for a
// missing or unreadable file) reaches the caller; the next call reads the file again.
#pragma once

#include "vx/config/Config.h"
#include "vx/config/ConfigParser.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace vx::config {

class ConfigFiles {
public:
    // `dataFolder` in the product's path form; `parser` must outlive this object.
    ConfigFiles(std::string dataFolder, ConfigParser& parser);
    ConfigFiles(const ConfigFiles&) = delete;
    ConfigFiles& operator=(const ConfigFiles&) = delete;

    const std::string& dataFolder() const noexcept { return dataFolder_; }

    std::shared_ptr<Config> desktopData();
    std::shared_ptr<Config> desktopConfig();
    std::shared_ptr<Config> appData(const std::string& app);
    std::shared_ptr<Config> appConfig(const std::string& app);
    std::shared_ptr<Config> appUserConfig(const std::string& app);

    // Changes the desktop configuration: `change` runs on a copy of the current tree,
    // the copy is saved to desktopconfig.cfg and then takes the old tree's place.
    // Readers holding the old tree keep reading it unchanged. Changes run one at a
    // time. When reading, `change` or saving fails, the error reaches the caller and
    // neither the file nor the tree handed out has changed.
    void changeDesktopConfig(const std::function<void(Config& tree)>& change);

private:
    using Slot = std::shared_ptr<Config>;

    std::shared_ptr<Config> cached(Slot& slot, const std::string& path);
    std::shared_ptr<Config> cachedForApp(std::map<std::string, Slot>& cache, const std::string& app,
                                         const char* name);
    std::string desktopFile(const char* name) const;

    std::string dataFolder_;
    ConfigParser& parser_;
    std::mutex cacheMutex_;  // guards the slots and maps below
    std::mutex changeMutex_; // one change at a time, from reading the tree to storing it
    Slot desktopData_;
    Slot desktopConfig_;
    std::map<std::string, Slot> appData_;
    std::map<std::string, Slot> appConfig_;
    std::map<std::string, Slot> appUserConfig_;
};

} // namespace vx::config
