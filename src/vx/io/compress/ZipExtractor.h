// Unpacks a ZIP archive below a destination folder, creating folders as needed.
//
// What an archive may write is limited, on every build, to what Windows would write as
// the archive names it. An entry is refused (skipped, or the failure with stopOnError)
// when its name
//   - leads outside the destination: an absolute name ("/x", "\x"), a UNC form
//     ("\\server\share"), a drive letter ("C:x"), a ".." segment;
//   - is one Windows cannot hold as written: a segment ending in a dot or a blank
//     (this covers "." segments), a reserved device name (CON, PRN, AUX, NUL, COM1-9,
//     LPT1-9, CONIN$, CONOUT$, with or without an extension, any case), one of the
//     characters < > : " | ? * (":" also covers alternate streams), a control character,
//     or text that is not UTF-8.
// "\" separates segments like "/", as Windows reads it, so "a\b" is the file b in the
// folder a on every build.
//
// Data that fails (checksum mismatch, truncation, more bytes than the entry declares, an
// encrypted entry, an unknown method, a local header that contradicts the central
// directory, data overlapping another entry) never leaves a partly written file: a file
// is kept only once its data has been read and checked. A name nothing holds yet is
// written directly and removed on a failure; over an existing target the file is written
// to a temporary name in the same folder and renamed over the target only at the end, so
// on a failure the target stays as it was.
//
// Entries are written in archive order on the calling thread. Reading their data (the
// inflating and checking) runs on a second thread of the extractor's own, ahead of the
// writing by at most a few fixed buffers, so memory does not grow with the archive; that
// thread has ended when extract returns or throws.
//
// Threads: one object may be used by one thread at a time.
#pragma once

#include <string>
#include <vector>

namespace vx::io::compress {

class ZipExtractor {
public:
    // An entry that was not written, and why (a short English text).
    struct SkippedEntry {
        std::string name;
        std::string reason;
    };

    // Stores the path (UTF-8) of the archive; nothing is opened yet.
    explicit ZipExtractor(std::string archive);
    virtual ~ZipExtractor() = default;

    const std::string& archive() const noexcept { return archive_; }

    // Writes every entry below `destination` (a folder path, UTF-8; created when missing).
    // An archive that cannot be opened or read throws vx::VXFileException with the
    // reader's error as cause. An entry that fails: with stopOnError false it is skipped,
    // logged ("Skipped archive entry ..."), and the later entries are still written; with
    // stopOnError true extraction stops there and vx::VXFileException is thrown (the
    // entries before it stay written). The archive is closed in every case.
    virtual void extract(const std::string& destination, bool stopOnError);

    // The same, returning the skipped entries in archive order (always empty when
    // stopOnError is true: a failure throws). `threads`: 1 reads and writes on the calling
    // thread alone; 2 or more adds the reading thread; 0 chooses by the processors there
    // are. The result is the same either way.
    std::vector<SkippedEntry> extractReporting(const std::string& destination, bool stopOnError,
                                               unsigned threads = 0);

private:
    std::string archive_;
};

} // namespace vx::io::compress
