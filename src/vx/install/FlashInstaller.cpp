#include "vx/install/FlashInstaller.h"

#include "BuildConfig.h"
#include "runtime/Paths.h"
#include "runtime/win32/Handle.h"
#include "runtime/win32/WinText.h"
#include "vx/Exception.h"
#include "vx/logger.h"
#include "vx/net/MonitoredHttpDownloader.h"
#include "vx/net/TempHttpDownloader.h"
#include "vx/vxpath.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace vx::install::FlashInstaller {
namespace {

using runtime::win32::Unique;
using UniqueFile = Unique<runtime::win32::FileHandleTraits>;

// True when `file` holds a line equal to `entry` once normalised. A file that cannot
// be opened or read counts as holding nothing.
bool listed(const std::string& file, const std::string& entry) {
    std::ifstream in(runtime::pathFromUtf8(file), std::ios::binary);
    if (!in.is_open()) {
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (vxpath::normalise(line) == entry) {
            return true;
        }
    }
    return false;
}

// Appends `text` to `file` (created when missing), opened without sharing.
void append(const std::string& file, const std::string& text) {
    UniqueFile handle(CreateFileW(runtime::win32::widen(file).c_str(), FILE_APPEND_DATA, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        throw runtime::Exception("Cannot open " + file + " (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    DWORD written = 0;
    if (!WriteFile(handle.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(handle.get())) {
        throw runtime::Exception("Cannot write " + file + " (error " +
                                 std::to_string(GetLastError()) + ")");
    }
}

} // namespace

void installFrom(const std::string& url) {
    logger::info("Flash install starting");
    net::TempHttpDownloader downloader(std::make_shared<net::MonitoredHttpDownloader>());
    const net::TempHttpDownloader::RunResult result = downloader.downloadAndRun(url, {"/S"});
    if (result.outcome != net::TempHttpDownloader::ran) {
        throw runtime::Exception("Unable to successfully install Flash.");
    }
    logger::info("Flash is installed");
}

void installFlash() {
    installFrom(std::string(build::kFlashDownloadServer) + kInstallerPath);
}

void writeTrustFile(const std::string& folder) {
    logger::info("Flash trust file being written");
    std::string trustFolder;
    std::string trustFile;
    std::string entry;
    try {
        trustFolder = vxpath::GetFlashTrustDirectory();
        std::filesystem::create_directories(runtime::pathFromUtf8(trustFolder));
        trustFile = vxpath::join(trustFolder, kTrustFileName);
        entry = vxpath::normalise(folder);
        if (listed(trustFile, entry)) {
            return;
        }
    } catch (const std::exception&) {
        throw VXFileException("Failed to create " + trustFolder, std::current_exception());
    }
    try {
        append(trustFile, entry + "\r\n");
    } catch (const std::exception&) {
        throw VXFileException("Failed to write to file at " + trustFile, std::current_exception());
    }
    logger::info("Flash trust file is written");
}

} // namespace vx::install::FlashInstaller
