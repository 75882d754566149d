// Writes small ZIP archives for tests, with the knobs the reader's cases need: stored or
// deflated data, the UTF-8 flag, data descriptors, ZIP64 fields, a comment, and ways to
// spoil an entry (wrong checksum, wrong sizes, another method, two records sharing data).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

struct ZipEntrySpec {
    std::string name;
    std::string data;
    bool deflate = true;
    bool utf8 = false;
    bool descriptor = false;    // sizes and checksum after the data, zero in the local header
    bool zip64 = false;         // sizes and offset in ZIP64 extra fields
    bool encrypted = false;     // the flag only
    std::uint16_t method = 0;   // overrides the method when not 0
    std::uint32_t crcDelta = 0; // added to the recorded checksum
    std::int64_t declaredSizeDelta = 0; // added to the recorded uncompressed size
    int shareDataOf = -1;               // central record points at this earlier entry
};

class ZipWriter {
public:
    void add(ZipEntrySpec spec) { specs_.push_back(std::move(spec)); }
    void setComment(std::string comment) { comment_ = std::move(comment); }

    std::string bytes() const {
        std::string out;
        std::string central;
        std::vector<std::uint64_t> offsets;
        for (const ZipEntrySpec& s : specs_) {
            const std::string packed = s.deflate ? rawDeflate(s.data) : s.data;
            const std::uint32_t crc =
                static_cast<std::uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(s.data.data()),
                                                   static_cast<uInt>(s.data.size()))) +
                s.crcDelta;
            const std::uint64_t size = static_cast<std::uint64_t>(
                static_cast<std::int64_t>(s.data.size()) + s.declaredSizeDelta);
            const std::uint16_t method = s.method != 0 ? s.method : (s.deflate ? 8 : 0);
            const std::uint16_t flags = static_cast<std::uint16_t>(
                (s.utf8 ? 0x0800 : 0) | (s.descriptor ? 0x0008 : 0) | (s.encrypted ? 1 : 0));
            std::uint64_t offset = out.size();
            if (s.shareDataOf >= 0) {
                offset = offsets.at(static_cast<std::size_t>(s.shareDataOf));
            } else {
                std::string extra;
                if (s.zip64) {
                    put16(extra, 1);
                    put16(extra, 16);
                    put64(extra, size);
                    put64(extra, packed.size());
                }
                put32(out, 0x04034b50);
                put16(out, 45);
                put16(out, flags);
                put16(out, method);
                put32(out, 0);
                put32(out, s.descriptor ? 0 : crc);
                put32(out, s.descriptor ? 0 : (s.zip64 ? 0xFFFFFFFF : packed.size()));
                put32(out, s.descriptor ? 0 : (s.zip64 ? 0xFFFFFFFF : size));
                put16(out, s.name.size());
                put16(out, extra.size());
                out += s.name + extra + packed;
                if (s.descriptor) {
                    put32(out, 0x08074b50);
                    put32(out, crc);
                    put32(out, packed.size());
                    put32(out, size);
                }
            }
            offsets.push_back(offset);
            std::string extra;
            if (s.zip64) {
                put16(extra, 1);
                put16(extra, 24);
                put64(extra, size);
                put64(extra, packed.size());
                put64(extra, offset);
            }
            put32(central, 0x02014b50);
            put16(central, 45);
            put16(central, 45);
            put16(central, flags);
            put16(central, method);
            put32(central, 0);
            put32(central, crc);
            put32(central, s.zip64 ? 0xFFFFFFFF : packed.size());
            put32(central, s.zip64 ? 0xFFFFFFFF : size);
            put16(central, s.name.size());
            put16(central, extra.size());
            put16(central, 0);
            put16(central, 0);
            put16(central, 0);
            put32(central, 0);
            put32(central, s.zip64 ? 0xFFFFFFFF : offset);
            central += s.name + extra;
        }
        const std::uint64_t centralOffset = out.size();
        out += central;
        put32(out, 0x06054b50);
        put16(out, 0);
        put16(out, 0);
        put16(out, specs_.size());
        put16(out, specs_.size());
        put32(out, central.size());
        put32(out, centralOffset);
        put16(out, comment_.size());
        out += comment_;
        return out;
    }

    void write(const std::string& path) const {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << bytes();
        if (!file) {
            throw std::runtime_error("cannot write " + path);
        }
    }

    static std::string rawDeflate(const std::string& data) {
        z_stream z{};
        deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z.avail_in = static_cast<uInt>(data.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        out.resize(z.total_out);
        deflateEnd(&z);
        return out;
    }

private:
    template <class T> static void put16(std::string& s, T v) { putN(s, v, 2); }
    template <class T> static void put32(std::string& s, T v) { putN(s, v, 4); }
    template <class T> static void put64(std::string& s, T v) { putN(s, v, 8); }
    template <class T> static void putN(std::string& s, T v, int n) {
        auto value = static_cast<std::uint64_t>(v);
        for (int i = 0; i < n; ++i) {
            s += static_cast<char>(value & 0xFF);
            value >>= 8;
        }
    }

    std::vector<ZipEntrySpec> specs_;
    std::string comment_;
};

} // namespace testing_support
