#include "runtime/zip/ZipReader.h"

#include "runtime/Format.h"
#include "runtime/Paths.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <limits>

namespace runtime::zip {

namespace detail {

// One open file with reads at an offset.
class ArchiveFile {
public:
    explicit ArchiveFile(const std::string& path) : path_(path) {
        in_.open(pathFromUtf8(path), std::ios::binary);
        if (!in_) {
            throw ZipError("Cannot open the archive " + path);
        }
        in_.seekg(0, std::ios::end);
        const auto end = in_.tellg();
        if (end < 0) {
            throw ZipError("Cannot read the archive " + path);
        }
        size_ = static_cast<std::uint64_t>(end);
    }

    std::uint64_t size() const { return size_; }

    void seek(std::uint64_t offset) {
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        if (!in_) {
            throw ZipError("Cannot read the archive " + path_);
        }
    }

    // Exactly `size` bytes from the current position.
    void read(void* buffer, std::size_t size) {
        in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
        if (static_cast<std::size_t>(in_.gcount()) != size) {
            throw ZipError("The archive " + path_ + " is cut short");
        }
    }

    void readAt(std::uint64_t offset, void* buffer, std::size_t size) {
        if (offset > size_ || size > size_ - offset) {
            throw ZipError("The archive " + path_ + " is cut short");
        }
        seek(offset);
        read(buffer, size);
    }

private:
    std::string path_;
    std::ifstream in_;
    std::uint64_t size_ = 0;
};

} // namespace detail

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kMaxComment = 0xFFFF;
constexpr std::size_t kInputBuffer = 64 * 1024;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kFlagDescriptor = 0x0008;

std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t le64(const unsigned char* p) {
    return static_cast<std::uint64_t>(le32(p)) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}


// The value of the ZIP64 extra field that stands for a field of the fixed record that
// holds all ones. The values come in the fixed order and only for such fields.
class Zip64Fields {
public:
    Zip64Fields(const unsigned char* extra, std::size_t size) {
        std::size_t at = 0;
        while (at + 4 <= size) {
            const std::uint16_t id = le16(extra + at);
            const std::uint16_t length = le16(extra + at + 2);
            if (at + 4 + length > size) {
                break;
            }
            if (id == kZip64ExtraId) {
                data_ = extra + at + 4;
                size_ = length;
                return;
            }
            at += 4 + length;
        }
    }

    // Replaces `value` from the field when it holds the escape `allOnes`.
    template <class T> void take(T allOnes, std::uint64_t& value, const char* what) {
        if (value != allOnes) {
            return;
        }
        if (next_ + 8 > size_) {
            throw ZipError(format("The ZIP64 {} is missing", what));
        }
        value = le64(data_ + next_);
        next_ += 8;
    }

private:
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t next_ = 0;
};

class StoredStream : public EntryStream {
public:
    StoredStream(std::shared_ptr<detail::ArchiveFile> file, const Entry& entry, bool checkCrc)
        : file_(std::move(file)), remaining_(entry.compressedSize), expectedCrc_(entry.crc32),
          checkCrc_(checkCrc) {}

    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, remaining_));
        if (want == 0) {
            finish();
            return 0;
        }
        file_->read(buffer, want);
        remaining_ -= want;
        if (checkCrc_) {
            crc_ = static_cast<std::uint32_t>(
                ::crc32(crc_, reinterpret_cast<Bytef*>(buffer), static_cast<uInt>(want)));
        }
        return want;
    }

private:
    void finish() {
        if (!finished_ && checkCrc_ && crc_ != expectedCrc_) {
            throw ZipError("The data does not match its checksum");
        }
        finished_ = true;
    }

    std::shared_ptr<detail::ArchiveFile> file_;
    std::uint64_t remaining_;
    std::uint32_t expectedCrc_;
    bool checkCrc_;
    std::uint32_t crc_ = 0;
    bool finished_ = false;
};

class InflateStream : public EntryStream {
public:
    InflateStream(std::shared_ptr<detail::ArchiveFile> file, const Entry& entry, bool checkCrc)
        : file_(std::move(file)), input_(kInputBuffer), compressedLeft_(entry.compressedSize),
          declaredLeft_(entry.uncompressedSize), expectedCrc_(entry.crc32), checkCrc_(checkCrc) {
        if (inflateInit2(&z_, -MAX_WBITS) != Z_OK) {
            throw ZipError("Cannot start inflating");
        }
    }
    ~InflateStream() override { inflateEnd(&z_); }

    std::size_t read(char* buffer, std::size_t size) override {
        if (ended_ || size == 0) {
            return 0;
        }
        // Never more than the entry declares: once the declared bytes are out, inflate
        // into a scratch byte only to see whether the stream really ends there.
        unsigned char scratch = 0;
        const bool probing = declaredLeft_ == 0;
        const std::size_t want = probing ? 1
                                         : static_cast<std::size_t>(std::min<std::uint64_t>(
                                               {size, declaredLeft_, 1u << 30}));
        z_.next_out = probing ? &scratch : reinterpret_cast<Bytef*>(buffer);
        z_.avail_out = static_cast<uInt>(want);
        while (z_.avail_out == want) {
            if (z_.avail_in == 0 && compressedLeft_ > 0) {
                const std::size_t chunk = static_cast<std::size_t>(
                    std::min<std::uint64_t>(input_.size(), compressedLeft_));
                file_->read(input_.data(), chunk);
                compressedLeft_ -= chunk;
                z_.next_in = input_.data();
                z_.avail_in = static_cast<uInt>(chunk);
            }
            const int status = inflate(&z_, Z_NO_FLUSH);
            if (status == Z_STREAM_END) {
                ended_ = true;
                break;
            }
            if (status == Z_BUF_ERROR && z_.avail_in == 0 && compressedLeft_ == 0) {
                throw ZipError("The compressed data is cut short");
            }
            if (status != Z_OK && status != Z_BUF_ERROR) {
                throw ZipError("The compressed data is corrupt");
            }
        }
        const std::size_t got = want - z_.avail_out;
        if (probing && got > 0) {
            throw ZipError("The data is longer than the entry declares");
        }
        if (!probing) {
            declaredLeft_ -= got;
            if (checkCrc_) {
                crc_ = static_cast<std::uint32_t>(
                    ::crc32(crc_, reinterpret_cast<Bytef*>(buffer), static_cast<uInt>(got)));
            }
        }
        if (ended_) {
            if (declaredLeft_ != 0) {
                throw ZipError("The data is shorter than the entry declares");
            }
            if (checkCrc_ && crc_ != expectedCrc_) {
                throw ZipError("The data does not match its checksum");
            }
        }
        return probing ? 0 : got;
    }

private:
    std::shared_ptr<detail::ArchiveFile> file_;
    std::vector<unsigned char> input_;
    z_stream z_{};
    std::uint64_t compressedLeft_;
    std::uint64_t declaredLeft_;
    std::uint32_t expectedCrc_;
    bool checkCrc_;
    std::uint32_t crc_ = 0;
    bool ended_ = false;
};

} // namespace

std::uint32_t crc32(std::uint32_t crc, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const Bytef*>(data);
    while (size > 0) {
        const auto chunk = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<std::uint32_t>(::crc32(crc, bytes, chunk));
        bytes += chunk;
        size -= chunk;
    }
    return crc;
}

ZipReader::ZipReader(const std::string& path) : path_(path) {
    detail::ArchiveFile file(path);
    size_ = file.size();
    const std::string notZip = "Not a ZIP archive: " + path;
    if (size_ < kEndSize) {
        throw ZipError(notZip);
    }

    // The end record is the last one whose comment reaches exactly to the end of the file;
    // failing that, the last one whose comment fits (some writers pad archives).
    const std::size_t tailSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(size_, kEndSize + kMaxComment));
    std::vector<unsigned char> tail(tailSize);
    file.readAt(size_ - tailSize, tail.data(), tailSize);
    std::size_t found = std::numeric_limits<std::size_t>::max();
    std::size_t loose = found;
    for (std::size_t at = tailSize - kEndSize + 1; at-- > 0;) {
        if (le32(&tail[at]) != kEndSignature) {
            continue;
        }
        const std::size_t end = at + kEndSize + le16(&tail[at + 20]);
        if (end == tailSize) {
            found = at;
            break;
        }
        if (end < tailSize && loose == std::numeric_limits<std::size_t>::max()) {
            loose = at;
        }
    }
    if (found == std::numeric_limits<std::size_t>::max()) {
        found = loose;
    }
    if (found == std::numeric_limits<std::size_t>::max()) {
        throw ZipError(notZip);
    }
    const unsigned char* end = &tail[found];
    const std::uint64_t endOffset = size_ - tailSize + found;
    std::uint64_t count = le16(end + 10);
    std::uint64_t directorySize = le32(end + 12);
    std::uint64_t directoryOffset = le32(end + 16);
    std::uint64_t directoryLimit = endOffset; // the central directory must end before this

    // ZIP64: the locator right before the end record points at the ZIP64 end record.
    if (endOffset >= kZip64LocatorSize) {
        unsigned char locator[kZip64LocatorSize];
        file.readAt(endOffset - kZip64LocatorSize, locator, sizeof locator);
        if (le32(locator) == kZip64LocatorSignature) {
            const std::uint64_t at = le64(locator + 8);
            if (at > endOffset - kZip64LocatorSize ||
                endOffset - kZip64LocatorSize - at < kZip64EndSize) {
                throw ZipError("The ZIP64 end record lies outside the archive: " + path);
            }
            unsigned char record[kZip64EndSize];
            file.readAt(at, record, sizeof record);
            if (le32(record) != kZip64EndSignature) {
                throw ZipError("The ZIP64 end record is missing: " + path);
            }
            count = le64(record + 32);
            directorySize = le64(record + 40);
            directoryOffset = le64(record + 48);
            directoryLimit = at;
        }
    }
    // A single-disk archive numbers its disk 0 (or 0xFFFF, the ZIP64 escape).
    for (const std::uint16_t disk : {le16(end + 4), le16(end + 6)}) {
        if (disk != 0 && disk != 0xFFFF) {
            throw ZipError("Archives on several disks are not supported: " + path);
        }
    }
    if (directoryOffset > directoryLimit || directorySize > directoryLimit - directoryOffset) {
        throw ZipError("The central directory lies outside the archive: " + path);
    }
    if (count > directorySize / kCentralSize) {
        throw ZipError("The central directory is too short for its entries: " + path);
    }

    std::vector<unsigned char> directory(static_cast<std::size_t>(directorySize));
    file.readAt(directoryOffset, directory.data(), directory.size());
    entries_.reserve(static_cast<std::size_t>(count));
    storedNames_.reserve(static_cast<std::size_t>(count));
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (directory.size() - at < kCentralSize || le32(&directory[at]) != kCentralSignature) {
            throw ZipError(format("Central record {} is damaged: {}", i, path));
        }
        const unsigned char* record = &directory[at];
        const std::size_t nameSize = le16(record + 28);
        const std::size_t extraSize = le16(record + 30);
        const std::size_t commentSize = le16(record + 32);
        if (directory.size() - at - kCentralSize < nameSize + extraSize + commentSize) {
            throw ZipError(format("Central record {} is damaged: {}", i, path));
        }
        Entry entry;
        entry.flags = le16(record + 8);
        entry.method = le16(record + 10);
        entry.crc32 = le32(record + 16);
        entry.compressedSize = le32(record + 20);
        entry.uncompressedSize = le32(record + 24);
        entry.localHeaderOffset = le32(record + 42);
        std::string stored(reinterpret_cast<const char*>(record + kCentralSize), nameSize);
        Zip64Fields zip64(record + kCentralSize + nameSize, extraSize);
        zip64.take(0xFFFFFFFFu, entry.uncompressedSize, "size");
        zip64.take(0xFFFFFFFFu, entry.compressedSize, "compressed size");
        zip64.take(0xFFFFFFFFu, entry.localHeaderOffset, "local header offset");
        entry.name = (entry.flags & kFlagUtf8) != 0 ? stored : cp437ToUtf8(stored);
        entries_.push_back(std::move(entry));
        storedNames_.push_back(std::move(stored));
        at += kCentralSize + nameSize + extraSize + commentSize;
    }

    // Each entry's room ends where the next thing in the file begins: another entry's
    // local header, the central directory, or the end records. Entries that share their
    // start, or start inside the central directory, get no room at all and fail on open.
    std::vector<std::uint64_t> starts;
    starts.reserve(entries_.size() + 2);
    for (const Entry& entry : entries_) {
        starts.push_back(entry.localHeaderOffset);
    }
    starts.push_back(directoryOffset);
    starts.push_back(directoryLimit);
    std::sort(starts.begin(), starts.end());
    for (Entry& entry : entries_) {
        const std::uint64_t offset = entry.localHeaderOffset;
        const auto first = std::lower_bound(starts.begin(), starts.end(), offset);
        const auto next = std::upper_bound(first, starts.end(), offset);
        const bool shared = next - first > 1;
        const bool inDirectory =
            offset >= directoryOffset && offset < directoryOffset + directorySize;
        if (shared || inDirectory || next == starts.end()) {
            entry.dataLimit = offset;
        } else {
            entry.dataLimit = *next;
        }
    }
}

ZipReader::~ZipReader() = default;

void ZipReader::close() noexcept {
    // Every stream opens the file for itself, so there is no handle to let go of here.
}

std::unique_ptr<EntryStream> ZipReader::open(std::size_t index, Checksum checksum) const {
    ArchiveHandle handle;
    return open(index, checksum, handle);
}

ArchiveHandle::ArchiveHandle() = default;
ArchiveHandle::~ArchiveHandle() = default;

std::unique_ptr<EntryStream> ZipReader::open(std::size_t index, Checksum checksum,
                                             ArchiveHandle& handle) const {
    const Entry& entry = entries_.at(index);
    if (entry.isEncrypted()) {
        throw ZipError("The entry is encrypted");
    }
    if (entry.method != 0 && entry.method != 8) {
        throw ZipError(format("Unknown compression method {}", entry.method));
    }
    const std::string& stored = storedNames_[index];
    if (!handle.file_) {
        handle.file_ = std::make_shared<detail::ArchiveFile>(path_);
    }
    std::shared_ptr<detail::ArchiveFile> file = handle.file_;
    const std::uint64_t offset = entry.localHeaderOffset;
    const std::uint64_t room = entry.dataLimit > offset ? entry.dataLimit - offset : 0;
    if (room < kLocalSize) {
        throw ZipError("The entry overlaps another entry or the central directory");
    }
    unsigned char header[kLocalSize];
    file->readAt(offset, header, sizeof header);
    const std::size_t nameSize = le16(header + 26);
    const std::size_t extraSize = le16(header + 28);
    if (le32(header) != kLocalSignature || room - kLocalSize < nameSize + extraSize) {
        throw ZipError("The entry's local header is missing or damaged");
    }
    std::vector<unsigned char> variable(nameSize + extraSize);
    file->read(variable.data(), variable.size());
    const std::uint16_t flags = le16(header + 6);
    bool matches = le16(header + 8) == entry.method && (flags & 1) == (entry.flags & 1) &&
                   nameSize == stored.size() &&
                   std::memcmp(stored.data(), variable.data(), nameSize) == 0;
    if (matches && (flags & kFlagDescriptor) == 0) {
        std::uint64_t compressed = le32(header + 18);
        std::uint64_t uncompressed = le32(header + 22);
        Zip64Fields zip64(variable.data() + nameSize, extraSize);
        zip64.take(0xFFFFFFFFu, uncompressed, "size");
        zip64.take(0xFFFFFFFFu, compressed, "compressed size");
        matches = le32(header + 14) == entry.crc32 && compressed == entry.compressedSize &&
                  uncompressed == entry.uncompressedSize;
    }
    if (!matches) {
        throw ZipError("The entry's local header does not match the central directory");
    }
    const std::uint64_t used = kLocalSize + nameSize + extraSize;
    if (entry.compressedSize > room - used) {
        throw ZipError("The entry overlaps another entry or the central directory");
    }
    if (entry.method == 0) {
        if (entry.compressedSize != entry.uncompressedSize) {
            throw ZipError("A stored entry declares two different sizes");
        }
        return std::make_unique<StoredStream>(std::move(file), entry,
                                              checksum == Checksum::ByStream);
    }
    return std::make_unique<InflateStream>(std::move(file), entry, checksum == Checksum::ByStream);
}

} // namespace runtime::zip
