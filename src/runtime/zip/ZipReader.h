// A ZIP archive reader over zlib: the end-of-central-directory record (after a comment of
// any length), ZIP64 records and extra fields, entries in central-directory order, stored
// and deflated data, data descriptors. Names are UTF-8: as stored when general-purpose
// bit 11 says so, else read as code page 437 and converted.
//
// Entry data is read through fixed buffers, never held whole in memory. The central
// directory is the authority: each entry's local header must agree with it (name,
// method, and checksum and sizes unless a data descriptor follows), and an entry's data
// must end before the next entry's local header begins (in file order) and before the
// central directory. So several central records cannot share one stretch of local data,
// and the bytes inflated for all entries together are bounded by the declared sizes,
// which in turn cannot exceed what the compressed bytes in the file can give.
//
// Errors are ZipError. Opening fails for a file that is not a readable archive; one
// entry's failure (encrypted, unknown method, bad local header, overlap, checksum, size)
// fails only the stream of that entry.
//
// Threads: after construction the reader is read-only; several threads may read
// different entries at once, each through a stream of its own (each stream has its own
// file handle, unless streams opened one after the other share an ArchiveHandle). A
// stream is used by one thread at a time.
#pragma once

#include "runtime/Exception.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace runtime::zip {

class ZipError : public runtime::Exception {
public:
    using runtime::Exception::Exception;
};

struct Entry {
    std::string name;         // UTF-8, "/" as stored; folders end with "/"
    std::uint16_t flags = 0;  // general-purpose bits
    std::uint16_t method = 0; // 0 stored, 8 deflated; others cannot be read
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t localHeaderOffset = 0;
    // Where the next local header or the central directory begins: this entry's local
    // header, data and descriptor must end there.
    std::uint64_t dataLimit = 0;

    bool isDirectory() const { return !name.empty() && name.back() == '/'; }
    bool isEncrypted() const { return (flags & 0x0001) != 0; }
};

// The uncompressed bytes of one entry. read() fills up to `size` bytes and returns how
// many, 0 at the end. At the end the size and (unless left to the caller) the checksum
// have been checked; a failure
// (checksum, truncated data, more data than declared, a corrupt deflate stream) throws
// ZipError, from read() at the point it is found.
class EntryStream {
public:
    virtual ~EntryStream() = default;
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

namespace detail {
class ArchiveFile;
}

// One open handle on the archive, shared by the streams opened with it one after the
// other (one thread, one stream at a time), so that the archive is not opened again for
// every entry. Empty until the first open.
class ArchiveHandle {
public:
    ArchiveHandle();
    ~ArchiveHandle();

private:
    friend class ZipReader;
    std::shared_ptr<detail::ArchiveFile> file_;
};

class ZipReader {
public:
    // Opens the archive at `path` (UTF-8) and reads its central directory. Throws
    // ZipError when the file cannot be read or is not a ZIP archive.
    explicit ZipReader(const std::string& path);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // In central-directory order.
    const std::vector<Entry>& entries() const noexcept { return entries_; }

    // Who checks the data against the entry's CRC-32: the stream, or the caller (who
    // computes it anyway, or wants it computed on another thread). Sizes are always
    // checked by the stream.
    enum class Checksum { ByStream, ByCaller };

    // A stream of the entry's uncompressed data. Throws ZipError for an encrypted entry,
    // an unknown method, a local header that is missing or contradicts the central record,
    // or data that does not fit before the next entry.
    std::unique_ptr<EntryStream> open(std::size_t index,
                                      Checksum checksum = Checksum::ByStream) const;
    // The same through `handle`: a stream opened earlier with it must be finished with
    // (destroyed) before this one is read.
    std::unique_ptr<EntryStream> open(std::size_t index, Checksum checksum,
                                      ArchiveHandle& handle) const;

    // Lets go of the archive; streams already open keep working. Entries stay readable.
    void close() noexcept;

private:
    std::string path_;
    std::uint64_t size_ = 0;
    std::vector<Entry> entries_;
    std::vector<std::string> storedNames_; // the names' bytes as in the archive
};

// CRC-32 (as in ZIP) of `size` bytes, continuing from `crc` (0 to begin).
std::uint32_t crc32(std::uint32_t crc, const void* data, std::size_t size);

// Code page 437 bytes as UTF-8 (the bytes below 0x80 are ASCII).
std::string cp437ToUtf8(const std::string& text);

} // namespace runtime::zip
