#include "vx/install/DotNetInstaller.h"

#include "BuildConfig.h"
#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/win32/Handle.h"
#include "runtime/win32/Registry.h"
#include "vx/net/MonitoredHttpDownloader.h"
#include "vx/net/TempHttpDownloader.h"

#include <windows.h>

#include <memory>

namespace vx::install {
namespace {

struct Detection {
    const char* version;
    const wchar_t* key;
    const wchar_t* value;
};

// Where each version's setup records itself under HKEY_LOCAL_MACHINE. 1.0 keeps a
// text ("3321-3705"); the later ones a 4-byte 1.
const Detection kDetection[] = {
    {"1.0", L"SOFTWARE\\Microsoft\\.NETFramework\\policy\\v1.0", L"3705"},
    {"1.1", L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v1.1.4322", L"Install"},
    {"2.0", L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727", L"Install"},
    {"3.0", L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v3.0\\Setup", L"InstallSuccess"},
    {"3.5", L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v3.5", L"Install"},
};

const char kPackagePath[] = "/download/5/6/7/567758A3-759E-473E-BF8F-52154438565A/dotnetfx.exe";

// A missing value, one of another type or one whose data is not 4 bytes reads as 0.
DWORD readDword(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data) {
        return 0;
    }
    return data;
}

} // namespace

bool DotNetInstaller::IsDotNetInstalled(const std::string& version) {
    const Detection* row = nullptr;
    for (const Detection& d : kDetection) {
        if (version == d.version) {
            row = &d;
        }
    }
    if (!row) {
        throw ArgumentError("Invalid build number: " + version);
    }
    HKEY raw = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, row->key, 0, KEY_READ, &raw);
    if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_PATH_NOT_FOUND) {
        return false;
    }
    if (opened != ERROR_SUCCESS) {
        throw runtime::Exception(
            runtime::format("Cannot open the registry key of .NET Framework {} (system error {})",
                            version, opened));
    }
    const runtime::win32::UniqueKey key(raw);
    if (version == "1.0") {
        return runtime::win32::readStringValue(key.get(), row->value).value_or(L"") == L"3321-3705";
    }
    return readDword(key.get(), row->value) == 1;
}

std::optional<std::string> DotNetInstaller::downloadProgressText(std::int32_t bytesRead,
                                                                 std::int32_t contentLength) {
    if (contentLength <= 0) {
        return std::nullopt;
    }
    const double percent = static_cast<double>(bytesRead) / contentLength * 100.0;
    return runtime::format("Downloading .NET Framework: {}% complete",
                           static_cast<std::int32_t>(percent));
}

std::string DotNetInstaller::packageUrl() {
    return std::string(build::kDotNetDownloadServer) + kPackagePath;
}

void DotNetInstaller::installDotNet(const std::string& version, const Progress& onProgress) {
    if (version != "2.0") {
        throw ArgumentError("No .NET Framework package for the version " + version);
    }
    auto downloader = std::make_shared<net::MonitoredHttpDownloader>(
        [&onProgress](std::int32_t bytesRead, std::int32_t contentLength) {
            if (const auto text = downloadProgressText(bytesRead, contentLength)) {
                onProgress(*text);
            }
        });
    net::TempHttpDownloader runner(
        downloader, [&onProgress] { onProgress("Executing .NET Installer. Please wait..."); });
    const net::TempHttpDownloader::RunResult result =
        runner.downloadAndRun(packageUrl(), {"/q:a", "/c:install /l /q"});
    if (result.outcome != net::TempHttpDownloader::ran) {
        throw VXProcessException("Unable to successfully install .NET 2.0.");
    }
}

} // namespace vx::install
