#include "vx/install/CoreApplicationInstaller.h"

#include "BuildConfig.h"
#include "runtime/Format.h"
#include "runtime/Paths.h"
#include "runtime/Uri.h"
#include "vx/Exception.h"
#include "vx/io/compress/ZipExtractor.h"

#include <filesystem>
#include <mutex>
#include <sstream>
#include <system_error>

namespace vx::install {

namespace fs = std::filesystem;

namespace {

// Workers in one process share the working folder: one prepares it at a time, so none
// returns an installer that another is still unpacking.
std::mutex preparing;

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n\f\v");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n\f\v");
    return text.substr(first, last - first + 1);
}

// Joins with one "/" between the parts.
std::string join(const std::string& left, const std::string& right) {
    if (left.empty() || left.back() == '/' || left.back() == '\\') {
        return left + right;
    }
    return left + "/" + right;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string lastSegment(const std::string& address) {
    std::string path = address;
    const auto query = path.find_first_of("?#");
    if (query != std::string::npos) {
        path.resize(query);
    }
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

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
    std::lock_guard lock(preparing);
    std::string workingFolder;
    std::istringstream lines(archiveList_);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string address = trim(line);
        if (address.empty()) {
            continue;
        }
        const std::string archive = downloader_->downloadToTemp(address);
        workingFolder = join(folderOf(archive), "VXI");
        std::error_code error;
        fs::create_directories(runtime::pathFromUtf8(workingFolder), error);
        if (error) {
            throw VXFileException("Cannot create the folder " + workingFolder);
        }
        io::compress::ZipExtractor(archive).extract(workingFolder, false);
        // Copied beside the unpacked files under a temporary name first, so that a
        // failed copy never leaves half an archive under the real name.
        const fs::path copy = runtime::pathFromUtf8(join(workingFolder, lastSegment(address)));
        fs::path part = copy;
        part += ".part";
        try {
            fs::copy_file(runtime::pathFromUtf8(archive), part,
                          fs::copy_options::overwrite_existing);
            fs::rename(part, copy);
        } catch (...) {
            fs::remove(part, error);
            throw VXFileException("Cannot copy the archive to " + runtime::utf8FromPath(copy),
                                  std::current_exception());
        }
    }
    return join(workingFolder, "Installer.exe");
}

} // namespace vx::install
