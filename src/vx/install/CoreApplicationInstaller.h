// Brings the core application onto the machine: downloads the core archives from the
// content server, unpacks them into the working folder "VXI" beside the downloaded
// temporary files (the user's temporary folder) and answers with the path of the
// product installer in it.
//
// Nothing is cached: each call downloads and unpacks both archives again, overwriting
// what an earlier call wrote (files are replaced whole, never left half-written; see
// ZipExtractor), and copies each archive into the working folder under the last segment
// of its address (dependencies.zip, installer.zip). The downloaded temporary files stay.
//
// Threads: any thread may call, several at once. Calls in one process share the working
// folder, so preparing it is serialised: a call downloads and unpacks only while no other
// call does, and returns only after its own unpacking has finished, so the installer it
// names is whole when the caller runs it.
#pragma once

#include "vx/net/TempHttpDownloader.h"

#include <memory>
#include <string>
#include <vector>

namespace vx::install {

class CoreApplicationInstaller {
public:
    // Downloads through a plain HttpDownloader into temporary files, the built-in list.
    CoreApplicationInstaller();
    // Tests give their own downloader and list (lines ended by "\r\n", as the built-in one).
    CoreApplicationInstaller(std::shared_ptr<net::TempHttpDownloader> downloader,
                             std::string archiveList);
    virtual ~CoreApplicationInstaller() = default;

    // The built-in archive list: the content server's dependencies.zip and installer.zip,
    // one address a line, each line ended by "\r\n".
    static std::string builtInArchiveList();

    // Downloads and unpacks every archive of the list (blank lines skipped) in order and
    // returns the working folder of the last one joined with "Installer.exe" (UTF-8, "/"
    // separators). Entries of an archive that cannot be written are skipped (logged).
    // Errors: a failed download propagates as TempHttpDownloader raises it (a body cut
    // short, a request that cannot be opened); an archive that cannot be opened, a working
    // folder that cannot be made, or a failed copy of the archive throws VXFileException.
    // Nothing after the failing archive is done.
    virtual std::string getInstaller();

private:
    std::shared_ptr<net::TempHttpDownloader> downloader_;
    std::string archiveList_;
};

} // namespace vx::install
