#include "vx/io/compress/ZipExtractor.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/Paths.h"
#include "runtime/ScopeGuard.h"
#include "runtime/Utf.h"
#include "runtime/zip/ZipReader.h"
#include "vx/Exception.h"
#include "vx/logger.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>

namespace vx::io::compress {

namespace fs = std::filesystem;

namespace {

// A segment Windows would not store under the name the archive gives it: the shell and
// the file system strip trailing dots and blanks, read device names as devices whatever
// the extension, and refuse or reinterpret the characters below (":" opens an alternate
// stream or names a drive).
std::string refusedSegment(const std::string& segment) {
    if (segment == "..") {
        return "it leads outside the destination";
    }
    if (segment.back() == '.' || segment.back() == ' ') {
        return "a part of it ends in a dot or a blank";
    }
    for (const char c : segment) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return "it holds a control character";
        }
        if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
            return runtime::format("it holds the character {}", std::string(1, c));
        }
    }
    std::string base = segment.substr(0, segment.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    for (char& c : base) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    bool device = std::find(std::begin(devices), std::end(devices), base) != std::end(devices);
    if (base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
        base[3] >= '0' && base[3] <= '9') {
        device = true;
    }
    // COM and LPT with a superscript one, two or three are devices too.
    if (base.size() == 5 && (base.starts_with("COM") || base.starts_with("LPT")) &&
        (base.substr(3) == "\xC2\xB9" || base.substr(3) == "\xC2\xB2" ||
         base.substr(3) == "\xC2\xB3")) {
        device = true;
    }
    if (device) {
        return "it is a reserved device name";
    }
    return {};
}

// The entry's name as "/"-separated segments below the destination, or why it is refused.
struct SafeName {
    std::vector<std::string> segments;
    bool folder = false;
    std::string refusal;
};

SafeName checkName(const std::string& name) {
    SafeName result;
    if (name.empty()) {
        result.refusal = "its name is empty";
        return result;
    }
    if (!runtime::isValidUtf8(name)) {
        result.refusal = "its name is not valid text";
        return result;
    }
    if (name.front() == '/' || name.front() == '\\') {
        result.refusal = "its name is absolute";
        return result;
    }
    result.folder = name.back() == '/' || name.back() == '\\';
    std::string segment;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '/' && name[i] != '\\') {
            segment += name[i];
            continue;
        }
        if (!segment.empty()) {
            result.refusal = refusedSegment(segment);
            if (!result.refusal.empty()) {
                return result;
            }
            result.segments.push_back(segment);
        }
        segment.clear();
    }
    if (result.segments.empty()) {
        result.refusal = "its name is empty";
    }
    return result;
}

std::atomic<unsigned> partCounter{0};

// What the extraction does with one entry, decided from its name before any data is read.
struct Plan {
    enum class Kind { Refused, Folder, File } kind = Kind::Refused;
    std::string refusal;
    fs::path target;
};

// One step of reading: a stretch of an entry's data (a full buffer), its last stretch
// (all of it read, its size checked; the whole of a small file), or its failure.
struct Piece {
    enum class Kind { Data, End, Failed, Done } kind = Kind::Done;
    std::size_t entry = 0;
    std::size_t buffer = 0; // Data and End: which buffer holds the bytes
    std::size_t size = 0;
    std::exception_ptr error; // Failed
};

// Buffers for the data between reading and writing: a fixed number of a fixed size, so
// memory stays the same whatever the archive holds. Each side, once it has had to wait,
// waits for a batch (pieces ready, buffers free) rather than for one: waking the other
// thread for every piece of an archive of small files costs more than writing them.
constexpr std::size_t kBufferSize = 128 * 1024;
constexpr std::size_t kBuffersInFlight = 16;
constexpr std::size_t kBatch = 6;

// Reads the file entries' data in archive order, one piece per call to next().
class Feeder {
public:
    Feeder(const runtime::zip::ZipReader& reader, const std::vector<Plan>& plans)
        : reader_(reader), plans_(plans) {}

    // The next piece, its data in `buffer` (kBufferSize bytes) when there is some.
    Piece next(char* buffer) {
        Piece piece;
        if (!stream_) {
            while (cursor_ < plans_.size() && plans_[cursor_].kind != Plan::Kind::File) {
                ++cursor_;
            }
            if (cursor_ == plans_.size()) {
                return piece; // Done
            }
            piece.entry = cursor_;
            try {
                // The writer checks the data: it has the bytes in hand, and its thread
                // has time to spare while this one inflates.
                stream_ = reader_.open(cursor_, runtime::zip::ZipReader::Checksum::ByCaller,
                                       handle_);
            } catch (...) {
                piece.kind = Piece::Kind::Failed;
                piece.error = std::current_exception();
                ++cursor_;
                return piece;
            }
        }
        piece.entry = cursor_;
        try {
            // Full buffers, then the rest with the end.
            piece.kind = Piece::Kind::Data;
            while (piece.size < kBufferSize) {
                const std::size_t got =
                    stream_->read(buffer + piece.size, kBufferSize - piece.size);
                if (got == 0) {
                    piece.kind = Piece::Kind::End;
                    break;
                }
                piece.size += got;
            }
        } catch (...) {
            piece.kind = Piece::Kind::Failed;
            piece.error = std::current_exception();
        }
        if (piece.kind != Piece::Kind::Data) {
            stream_.reset();
            ++cursor_;
        }
        return piece;
    }

private:
    const runtime::zip::ZipReader& reader_;
    const std::vector<Plan>& plans_;
    std::size_t cursor_ = 0;
    runtime::zip::ArchiveHandle handle_; // one open archive for all entries
    std::unique_ptr<runtime::zip::EntryStream> stream_;
};

// Hands the writer the pieces of the Feeder: with a reading thread of its own (inflating
// while the caller checks, creates and writes files, which for archives of many small
// files is most of the work), or, with `threaded` false, on the caller's thread. Pieces
// arrive in archive order either way.
class Pipeline {
public:
    Pipeline(const runtime::zip::ZipReader& reader, const std::vector<Plan>& plans,
             bool threaded)
        : feeder_(reader, plans),
          buffers_(threaded ? kBuffersInFlight : 1, std::vector<char>(kBufferSize)) {
        for (std::size_t i = 0; i < buffers_.size(); ++i) {
            free_.push_back(i);
        }
        if (threaded) {
            reading_ = std::thread([this] { readAll(); });
        }
    }
    ~Pipeline() {
        if (reading_.joinable()) {
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                stopped_ = true;
            }
            freed_.notify_one();
            reading_.join();
        }
    }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    Piece next() {
        if (!reading_.joinable()) {
            return feeder_.next(buffers_[0].data());
        }
        std::unique_lock<std::mutex> lock(mutex_);
        if (ready_.empty()) {
            writerWaits_ = true;
            readied_.wait(lock, [this] { return batchReady(); });
            writerWaits_ = false;
        }
        Piece piece = std::move(ready_.front());
        ready_.pop_front();
        return piece;
    }

    const char* data(const Piece& piece) const { return buffers_[piece.buffer].data(); }

    // Gives a piece's buffer back once its bytes are written.
    void release(const Piece& piece) {
        if (!reading_.joinable() ||
            (piece.kind != Piece::Kind::Data && piece.kind != Piece::Kind::End)) {
            return;
        }
        bool wake = false;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            free_.push_back(piece.buffer);
            wake = readerWaits_ && free_.size() >= kBatch;
        }
        if (wake) {
            freed_.notify_one();
        }
    }

private:
    // With every buffer in ready_ while the writer waits, there are kBuffersInFlight
    // pieces (at least kBatch), so the two waits never wait for each other.
    bool batchReady() const {
        return ready_.size() >= kBatch ||
               (!ready_.empty() && ready_.back().kind == Piece::Kind::Done);
    }

    void readAll() {
        for (;;) {
            std::size_t buffer = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (free_.empty() && !stopped_) {
                    readerWaits_ = true;
                    freed_.wait(lock, [this] { return stopped_ || free_.size() >= kBatch; });
                    readerWaits_ = false;
                }
                if (stopped_) {
                    return;
                }
                buffer = free_.back();
                free_.pop_back();
            }
            Piece piece = feeder_.next(buffers_[buffer].data());
            piece.buffer = buffer;
            const bool done = piece.kind == Piece::Kind::Done;
            bool wake = false;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                if (piece.kind != Piece::Kind::Data && piece.kind != Piece::Kind::End) {
                    free_.push_back(buffer);
                }
                ready_.push_back(std::move(piece));
                wake = writerWaits_ && batchReady();
            }
            if (wake) {
                readied_.notify_one();
            }
            if (done) {
                return;
            }
        }
    }

    Feeder feeder_;
    std::vector<std::vector<char>> buffers_;
    std::mutex mutex_;
    std::condition_variable readied_; // the writer waits for pieces
    std::condition_variable freed_;   // the reader waits for buffers
    std::vector<std::size_t> free_;
    std::deque<Piece> ready_;
    bool writerWaits_ = false;
    bool readerWaits_ = false;
    bool stopped_ = false;
    std::thread reading_;
};

// Writes one file entry from its pieces, kept only once the data has been read whole and
// matches its checksum: under its own name when nothing has that name yet (removed on a
// failure), else under a temporary name beside it, renamed over the target at the end.
// Throws on a failure of the data or of the writing; the entry's remaining pieces are
// consumed either way.
class FileWriter {
public:
    explicit FileWriter(Pipeline& pipeline) : pipeline_(pipeline) {}

    void write(std::size_t index, const fs::path& target, std::uint32_t expectedCrc) {
        std::uint32_t crc = 0;
        bool finished = false;
        // Whatever fails, the temporary file goes and the reader moves past this entry.
        fs::path part;
        const runtime::ScopeGuard cleanUp([&] {
            if (out_.is_open()) {
                out_.close();
            }
            if (!part.empty()) {
                std::error_code ignored;
                fs::remove(part, ignored);
            }
            while (!finished) {
                const Piece piece = pipeline_.next();
                pipeline_.release(piece);
                finished = piece.entry == index && piece.kind != Piece::Kind::Data;
                finished = finished || piece.kind == Piece::Kind::Done;
            }
        });
        makeParent(target.parent_path());
        for (;;) {
            const Piece piece = pipeline_.next();
            if (piece.kind == Piece::Kind::Failed) {
                finished = true;
                std::rethrow_exception(piece.error);
            }
            if (piece.kind == Piece::Kind::Done) {
                finished = true;
                throw runtime::Exception("The archive ended early"); // cannot happen
            }
            if (part.empty()) {
                // A name that is free is written as it is, and removed again if the data
                // fails; anything already there (a file, a folder, a link) is replaced
                // only by the rename of a complete temporary file, or not at all.
                std::error_code ignored;
                part = target;
                if (fs::symlink_status(target, ignored).type() != fs::file_type::not_found) {
                    part += runtime::pathFromUtf8(runtime::format(".{}.part", ++partCounter));
                }
                out_.open(part, std::ios::binary | std::ios::trunc);
                if (!out_) {
                    pipeline_.release(piece);
                    finished = piece.kind == Piece::Kind::End;
                    throw runtime::Exception("Cannot create " + runtime::utf8FromPath(part));
                }
            }
            if (piece.size > 0) {
                crc = runtime::zip::crc32(crc, pipeline_.data(piece), piece.size);
                out_.write(pipeline_.data(piece), static_cast<std::streamsize>(piece.size));
            }
            pipeline_.release(piece);
            if (piece.kind == Piece::Kind::End) {
                finished = true;
                break;
            }
        }
        out_.close();
        if (crc != expectedCrc) {
            throw runtime::zip::ZipError("The data does not match its checksum");
        }
        if (!out_) {
            throw runtime::Exception("Cannot write " + runtime::utf8FromPath(part));
        }
        if (part != target) {
            fs::rename(part, target);
        }
        part.clear();
    }

    // Folders are made once each: most entries share their folder with others.
    void makeParent(const fs::path& folder) {
        if (made_.count(folder.native()) != 0) {
            return;
        }
        fs::create_directories(folder);
        made_.insert(folder.native());
    }

private:
    Pipeline& pipeline_;
    std::ofstream out_;
    std::unordered_set<fs::path::string_type> made_;
};

} // namespace

ZipExtractor::ZipExtractor(std::string archive) : archive_(std::move(archive)) {}

void ZipExtractor::extract(const std::string& destination, bool stopOnError) {
    extractReporting(destination, stopOnError);
}

std::vector<ZipExtractor::SkippedEntry>
ZipExtractor::extractReporting(const std::string& destination, bool stopOnError,
                               unsigned threads) {
    std::unique_ptr<runtime::zip::ZipReader> reader;
    try {
        reader = std::make_unique<runtime::zip::ZipReader>(archive_);
    } catch (...) {
        throw VXFileException("Cannot open the archive " + archive_, std::current_exception());
    }
    const fs::path root = runtime::pathFromUtf8(destination);
    const auto& entries = reader->entries();
    std::vector<Plan> plans(entries.size());
    bool anyFile = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SafeName safe = checkName(entries[i].name);
        Plan& plan = plans[i];
        if (!safe.refusal.empty()) {
            plan.refusal = safe.refusal;
            continue;
        }
        plan.target = root;
        for (const std::string& segment : safe.segments) {
            plan.target /= runtime::pathFromUtf8(segment);
        }
        plan.kind = safe.folder ? Plan::Kind::Folder : Plan::Kind::File;
        anyFile = anyFile || !safe.folder;
    }
    if (threads == 0) {
        threads = std::thread::hardware_concurrency() >= 2 ? 2 : 1;
    }

    std::vector<SkippedEntry> skipped;
    {
        Pipeline pipeline(*reader, plans, anyFile && threads >= 2);
        FileWriter writer(pipeline);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::string& name = entries[i].name;
            std::string reason;
            try {
                switch (plans[i].kind) {
                case Plan::Kind::Refused:
                    throw runtime::Exception("Refused: " + plans[i].refusal);
                case Plan::Kind::Folder:
                    fs::create_directories(plans[i].target);
                    break;
                case Plan::Kind::File:
                    writer.write(i, plans[i].target, entries[i].crc32);
                    break;
                }
                continue;
            } catch (const std::exception& error) {
                reason = error.what();
                if (stopOnError) {
                    reader->close();
                    throw VXFileException(
                        runtime::format("Cannot extract the archive entry \"{}\": {}", name,
                                        reason),
                        std::current_exception());
                }
            }
            vx::logger::info("Skipped archive entry \"{}\": {}", name, reason);
            skipped.push_back({name, reason});
        }
    }
    reader->close();
    return skipped;
}

} // namespace vx::io::compress
