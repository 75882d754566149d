#include "vx/install/CoreApplicationInstaller.h"

#include "BuildConfig.h"
#include "vx/Exception.h"

namespace vx::install {

CoreApplicationInstaller::CoreApplicationInstaller()
    : CoreApplicationInstaller(
          std::make_shared<net::TempHttpDownloader>(std::make_shared<net::http::HttpDownloader>()),
          builtInArchiveList()) {}

CoreApplicationInstaller::CoreApplicationInstaller(
    std::shared_ptr<net::TempHttpDownloader> downloader, std::string archiveList)
    : downloader_(std::move(downloader)), archiveList_(std::move(archiveList)) {}

std::string CoreApplicationInstaller::builtInArchiveList() {
    const std::string server = build::kContentServer;
    return server + "/apps/core/4.2/common/dependencies.zip\r\n" + server +
           "/apps/core/4.2/common/installer.zip\r\n";
}

std::string CoreApplicationInstaller::getInstaller() {
    throw VXFileException("not available yet");
}

} // namespace vx::install
