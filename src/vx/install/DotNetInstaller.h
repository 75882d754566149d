// The .NET Framework that the product installer needs: whether a version is present,
// read from the registry values its setup writes, and the silent install of 2.0 from
// the .NET Framework download server.
//
// Both run on the calling thread (an install worker), which the install blocks for the
// whole download and the whole run of the package. No state is kept between calls.
#pragma once

#include "vx/Exception.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vx::install {

// An argument outside what an operation accepts.
class ArgumentError : public VXException {
public:
    using VXException::VXException;
};

class DotNetInstaller {
public:
    using Progress = std::function<void(const std::string&)>;

    // Whether `version` ("1.0", "1.1", "2.0", "3.0" or "3.5", exact text) is installed,
    // by the fixed table of HKEY_LOCAL_MACHINE keys and values. Another version throws
    // ArgumentError "Invalid build number: " + version. An absent key or value means
    // not installed; a key that exists but cannot be opened (access denied) throws
    // runtime::Exception with the system's error code.
    static bool IsDotNetInstalled(const std::string& version);

    // Downloads the package of `version` (only "2.0" has one) into a temporary file and
    // runs it with "/q:a" and "/c:install /l /q", waiting for its end. `onProgress`
    // gets "Downloading .NET Framework: N% complete" after each chunk and "Executing
    // .NET Installer. Please wait..." once before the package starts. Any exit code
    // counts as done; a package that could not be waited for throws
    // VXProcessException "Unable to successfully install .NET 2.0.". Download and start
    // failures pass through as the temporary-file downloader raises them; another
    // version throws ArgumentError.
    static void installDotNet(const std::string& version, const Progress& onProgress);

    // The download progress text for (bytes read, expected length); none when the
    // response gave no length (the percentage would mean nothing).
    static std::optional<std::string> downloadProgressText(std::int32_t bytesRead,
                                                           std::int32_t contentLength);

    // The package address of version 2.0 on the download server this build names.
    static std::string packageUrl();
};

} // namespace vx::install
