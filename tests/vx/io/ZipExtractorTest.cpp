// The ZIP reader and the extractor on archives made by the test itself (support/ZipWriter.h):
// the formats it reads, data that must not land, names that must not be written, and the
// extraction rules (folders on demand, rewriting, stopOnError both ways).
#include "vx/io/compress/ZipExtractor.h"

#include "runtime/Paths.h"
#include "runtime/zip/ZipReader.h"
#include "support/DroppedLog.h"
#include "support/ZipWriter.h"
#include "vx/Exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::ZipEntrySpec;
using testing_support::ZipWriter;
using vx::io::compress::ZipExtractor;

class ZipExtractorTest : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        scratch_ = fs::temp_directory_path() /
                   (std::string("zip-test-") + info->test_suite_name() + "-" + info->name());
        fs::remove_all(scratch_);
        fs::create_directories(scratch_ / "out");
    }
    void TearDown() override { fs::remove_all(scratch_); }

    std::string archive(const ZipWriter& writer) {
        const fs::path path = scratch_ / "test.zip";
        writer.write(runtime::utf8FromPath(path));
        return runtime::utf8FromPath(path);
    }
    std::string out() const { return runtime::utf8FromPath(scratch_ / "out"); }

    // Every file below the scratch folder but the archive, relative, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> found;
        for (const auto& item : fs::recursive_directory_iterator(scratch_ / "out")) {
            found.push_back(runtime::utf8FromPath(fs::relative(item.path(), scratch_ / "out")) +
                            (item.is_directory() ? "/" : ""));
        }
        std::sort(found.begin(), found.end());
        for (std::string& f : found) {
            std::replace(f.begin(), f.end(), '\\', '/');
        }
        return found;
    }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    testing_support::DroppedLog log_;
    fs::path scratch_;
};

std::string big(std::size_t size) {
    std::string data;
    data.reserve(size);
    unsigned value = 7;
    while (data.size() < size) {
        value = value * 1103515245 + 12345;
        data += (value >> 20) % 3 == 0 ? static_cast<char>(value >> 8) : 'a' + (value >> 16) % 4;
    }
    return data;
}

struct FormatCase {
    const char* what;
    ZipEntrySpec spec;
    const char* expectedName; // the name as the reader gives it
    const char* error;        // empty: the data is read back whole
};

TEST_F(ZipExtractorTest, ReadsTheFormatsAndRefusesDataThatFails) {
    const std::string data = big(300 * 1024); // larger than the reader's buffers
    const FormatCase cases[] = {
        {"stored", {.name = "s.bin", .data = data, .deflate = false}, "s.bin", ""},
        {"deflated", {.name = "d.bin", .data = data}, "d.bin", ""},
        {"empty file", {.name = "e.txt", .data = ""}, "e.txt", ""},
        {"UTF-8 name",
         {.name = "gr\xC3\xBC\xC3\x9F.txt", .data = "x", .utf8 = true},
         "gr\xC3\xBC\xC3\x9F.txt",
         ""},
        {"code page 437 name",
         {.name = "gr\x81\xE1.txt", .data = "x"},
         "gr\xC3\xBC\xC3\x9F.txt",
         ""},
        {"data descriptor", {.name = "dd.bin", .data = data, .descriptor = true}, "dd.bin", ""},
        {"ZIP64 fields", {.name = "z.bin", .data = data, .zip64 = true}, "z.bin", ""},
        {"checksum mismatch", {.name = "c.bin", .data = data, .crcDelta = 1}, "c.bin", "checksum"},
        {"stored checksum mismatch",
         {.name = "c.bin", .data = data, .deflate = false, .crcDelta = 1},
         "c.bin",
         "checksum"},
        {"inflates past the declared size",
         {.name = "l.bin", .data = data, .declaredSizeDelta = -1},
         "l.bin",
         "longer"},
        {"shorter than declared",
         {.name = "t.bin", .data = data, .declaredSizeDelta = 1},
         "t.bin",
         "shorter"},
        {"unknown method", {.name = "m.bin", .data = data, .method = 14}, "m.bin", "method"},
        {"encrypted", {.name = "x.bin", .data = data, .encrypted = true}, "x.bin", "encrypted"},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(scratch_ / "out");
        ZipWriter writer;
        writer.add(c.spec);
        writer.add({.name = "after.txt", .data = "later entries still land"});
        writer.setComment("an archive comment");
        const std::string path = archive(writer);
        runtime::zip::ZipReader reader(path);
        ASSERT_EQ(reader.entries().size(), 2u);
        EXPECT_EQ(reader.entries()[0].name, c.expectedName);

        const auto skipped = ZipExtractor(path).extractReporting(out(), false);
        const fs::path target = scratch_ / "out" / runtime::pathFromUtf8(c.expectedName);
        if (std::string(c.error).empty()) {
            EXPECT_TRUE(skipped.empty());
            EXPECT_EQ(read(target), c.spec.data);
        } else {
            ASSERT_EQ(skipped.size(), 1u);
            EXPECT_NE(skipped[0].reason.find(c.error), std::string::npos) << skipped[0].reason;
            // Nothing of the failed entry stays, not even under a temporary name.
            EXPECT_EQ(files(), std::vector<std::string>{"after.txt"});
        }
        EXPECT_EQ(read(scratch_ / "out" / "after.txt"), "later entries still land");
    }
}

// A caller that checks the checksum itself gets the bytes of an entry whose checksum is
// wrong; sizes stay the stream's to check, whoever checks the checksum.
TEST_F(ZipExtractorTest, TheChecksumCanBeLeftToTheCallerButNotTheSizes) {
    using Checksum = runtime::zip::ZipReader::Checksum;
    const std::string data = big(300 * 1024);
    struct Case {
        ZipEntrySpec spec;
        bool byStreamFails;
        bool byCallerFails;
    };
    const Case cases[] = {
        {{.name = "crc.bin", .data = data, .crcDelta = 1}, true, false},
        {{.name = "crc.txt", .data = data, .deflate = false, .crcDelta = 1}, true, false},
        {{.name = "long.bin", .data = data, .declaredSizeDelta = -1}, true, true},
        {{.name = "short.bin", .data = data, .declaredSizeDelta = 1}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec.name);
        ZipWriter writer;
        writer.add(c.spec);
        const runtime::zip::ZipReader reader(archive(writer));
        for (const Checksum checksum : {Checksum::ByStream, Checksum::ByCaller}) {
            std::string got;
            bool failed = false;
            try {
                const auto stream = reader.open(0, checksum);
                char buffer[4096];
                while (const std::size_t n = stream->read(buffer, sizeof buffer)) {
                    got.append(buffer, n);
                }
            } catch (const runtime::zip::ZipError&) {
                failed = true;
            }
            EXPECT_EQ(failed, checksum == Checksum::ByStream ? c.byStreamFails : c.byCallerFails);
            if (!failed) {
                EXPECT_TRUE(got == data);
            }
        }
    }
}

TEST_F(ZipExtractorTest, RefusesNamesThatLeaveTheDestinationOrThatWindowsCannotHold) {
    const char* names[] = {"../up.txt",
                           "a/../../up.txt",
                           "..\\up.txt",
                           "a\\..\\..\\up.txt",
                           "/abs.txt",
                           "\\abs.txt",
                           "\\\\server\\share\\x.txt",
                           "//server/share/x.txt",
                           "C:x.txt",
                           "C:\\x.txt",
                           "c:/x.txt",
                           "file.txt:stream",
                           "a/file.txt::$DATA",
                           "dot.",
                           "a./b.txt",
                           "blank ",
                           "blank /b.txt",
                           "./x.txt",
                           "CON",
                           "con.txt",
                           "a/NUL.tar.gz",
                           "Com1",
                           "lpt9.log",
                           "AUX .txt",
                           "CONIN$",
                           "COM\xC2\xB9.txt",
                           "less<",
                           "more>",
                           "quote\"",
                           "pipe|",
                           "ask?",
                           "star*",
                           "tab\tname",
                           "bell\x07",
                           "bad\xFF utf8"};
    ZipWriter writer;
    for (const char* name : names) {
        writer.add({.name = name, .data = "refused", .utf8 = true});
    }
    writer.add({.name = "a\\kept.txt", .data = "kept"});
    const std::string path = archive(writer);

    const auto skipped = ZipExtractor(path).extractReporting(out(), false);
    ASSERT_EQ(skipped.size(), std::size(names));
    for (std::size_t i = 0; i < skipped.size(); ++i) {
        EXPECT_EQ(skipped[i].name, names[i]);
        EXPECT_NE(skipped[i].reason.find("Refused"), std::string::npos) << names[i];
    }
    // "\" separates like "/"; nothing was written anywhere else.
    EXPECT_EQ(files(), (std::vector<std::string>{"a/", "a/kept.txt"}));
    std::vector<std::string> besides;
    for (const auto& item : fs::directory_iterator(scratch_)) {
        besides.push_back(runtime::utf8FromPath(item.path().filename()));
    }
    std::sort(besides.begin(), besides.end());
    EXPECT_EQ(besides, (std::vector<std::string>{"out", "test.zip"}));

    // With stopOnError a refused name is the failure.
    EXPECT_THROW(ZipExtractor(path).extract(out(), true), vx::VXFileException);
}

TEST_F(ZipExtractorTest, RefusesRecordsThatShareLocalData) {
    ZipWriter writer;
    writer.add({.name = "one.bin", .data = big(4096)});
    writer.add({.name = "two.bin", .data = "", .shareDataOf = 0});
    writer.add({.name = "three.bin", .data = "", .shareDataOf = 0});
    const auto skipped = ZipExtractor(archive(writer)).extractReporting(out(), false);
    EXPECT_EQ(skipped.size(), 3u);
    EXPECT_EQ(files(), std::vector<std::string>{});
}

TEST_F(ZipExtractorTest, CreatesFoldersOnDemandAndRewritesFromTheStart) {
    ZipWriter writer;
    writer.add({.name = "a/b/c.txt", .data = "short"});
    writer.add({.name = "d/", .data = "", .deflate = false});
    const std::string path = archive(writer);
    fs::create_directories(scratch_ / "out" / "a" / "b");
    std::ofstream(scratch_ / "out" / "a" / "b" / "c.txt") << "a much longer old content";

    ZipExtractor(path).extract(out(), false);
    ZipExtractor(path).extract(out(), false);
    EXPECT_EQ(files(), (std::vector<std::string>{"a/", "a/b/", "a/b/c.txt", "d/"}));
    EXPECT_EQ(read(scratch_ / "out" / "a" / "b" / "c.txt"), "short");
}

TEST_F(ZipExtractorTest, AnEntryThatCannotBeWrittenIsSkippedOrStops) {
    ZipWriter writer;
    writer.add({.name = "first.txt", .data = "1"});
    writer.add({.name = "busy", .data = "target is a folder"});
    writer.add({.name = "last.txt", .data = "3"});
    const std::string path = archive(writer);
    fs::create_directories(scratch_ / "out" / "busy");

    EXPECT_THROW(ZipExtractor(path).extract(out(), true), vx::VXFileException);
    EXPECT_EQ(files(), (std::vector<std::string>{"busy/", "first.txt"}));

    ZipExtractor(path).extract(out(), false);
    EXPECT_EQ(files(), (std::vector<std::string>{"busy/", "first.txt", "last.txt"}));
}

// A name that is taken is replaced only by a complete, checked file: a failing entry
// leaves the old file as it was, and a free name it would have taken stays free.
TEST_F(ZipExtractorTest, AFailingEntryLeavesAnExistingFileAsItWas) {
    const std::string data = big(300 * 1024);
    const ZipEntrySpec failures[] = {
        {.name = "", .data = "", .crcDelta = 1},
        {.name = "", .data = "", .deflate = false, .crcDelta = 1},
        {.name = "", .data = "", .declaredSizeDelta = -1},
        {.name = "", .data = "", .declaredSizeDelta = 1},
        {.name = "", .data = "", .method = 14},
    };
    for (const ZipEntrySpec& failure : failures) {
        fs::remove_all(scratch_ / "out");
        fs::create_directories(scratch_ / "out");
        std::ofstream(scratch_ / "out" / "taken.bin") << "old";
        ZipWriter writer;
        for (const char* name : {"taken.bin", "free.bin"}) {
            ZipEntrySpec spec = failure;
            spec.name = name;
            spec.data = data;
            writer.add(spec);
        }
        writer.add({.name = "ok.txt", .data = "ok"});
        const auto skipped = ZipExtractor(archive(writer)).extractReporting(out(), false);
        EXPECT_EQ(skipped.size(), 2u);
        EXPECT_EQ(files(), (std::vector<std::string>{"ok.txt", "taken.bin"}));
        EXPECT_EQ(read(scratch_ / "out" / "taken.bin"), "old");
    }
}

// A link where an entry lands is replaced by the entry's file, never written through.
TEST_F(ZipExtractorTest, ALinkInTheWayIsReplacedNotFollowed) {
    std::error_code error;
    fs::create_symlink(scratch_ / "outside.txt", scratch_ / "out" / "link.txt", error);
    if (error) {
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    }
    ZipWriter writer;
    writer.add({.name = "link.txt", .data = "from the archive"});
    ZipExtractor(archive(writer)).extract(out(), true);
    EXPECT_FALSE(fs::exists(scratch_ / "outside.txt"));
    EXPECT_FALSE(fs::is_symlink(scratch_ / "out" / "link.txt"));
    EXPECT_EQ(read(scratch_ / "out" / "link.txt"), "from the archive");
}

// Reading runs ahead of writing on a thread of its own (a few buffers ahead); what lands
// must not depend on it. The archive mixes failures on the reading side (checksum,
// method) and on the writing side (a folder or a file in the way) with files larger than the
// buffers, empty files, a name written twice, and more small entries than there are
// buffers after each failure, so that a reader and writer out of step would show.
TEST_F(ZipExtractorTest, ReadingAheadOnASecondThreadWritesTheSame) {
    ZipWriter writer;
    writer.add({.name = "big/first.bin", .data = big(700 * 1024)});
    writer.add({.name = "bad/crc.bin", .data = big(600 * 1024), .crcDelta = 1});
    for (int i = 0; i < 20; ++i) {
        writer.add({.name = "small/" + std::to_string(i) + ".txt",
                    .data = std::string(static_cast<std::size_t>(i), 'a' + i % 26)});
    }
    writer.add({.name = "busy", .data = big(500 * 1024)}); // a folder is in the way
    writer.add({.name = "twice.txt", .data = "first"});
    // Its folder cannot be made (a file is in the way) before any of its data is read.
    writer.add({.name = "twice.txt/inner.bin", .data = big(600 * 1024)});
    writer.add({.name = "bad/method.bin", .data = "x", .method = 14});
    for (int i = 0; i < 20; ++i) {
        writer.add({.name = "after/" + std::to_string(i) + ".bin",
                    .data = big(static_cast<std::size_t>(i) * 40 * 1024), .deflate = i % 2 == 0});
    }
    writer.add({.name = "../refused.txt", .data = "no"});
    writer.add({.name = "twice.txt", .data = "second and last"});
    writer.add({.name = "big/last.bin", .data = big(900 * 1024), .deflate = false});
    const std::string path = archive(writer);

    struct Outcome {
        std::vector<std::string> skipped;
        std::vector<std::string> files;
        std::string contents;
    };
    const auto run = [&](unsigned threads, bool stopOnError) {
        fs::remove_all(scratch_ / "out");
        fs::create_directories(scratch_ / "out" / "busy");
        Outcome outcome;
        try {
            for (const auto& entry :
                 ZipExtractor(path).extractReporting(out(), stopOnError, threads)) {
                outcome.skipped.push_back(entry.name); // reasons name temporary files
            }
        } catch (const vx::VXFileException& error) {
            const std::string what = error.what();
            outcome.skipped.push_back("stopped at " + what.substr(0, what.find(':')));
        }
        outcome.files = files();
        for (const std::string& file : outcome.files) {
            if (file.back() != '/') {
                outcome.contents += file + "=" + read(scratch_ / "out" / file) + ";";
            }
        }
        return outcome;
    };

    for (const bool stopOnError : {false, true}) {
        SCOPED_TRACE(stopOnError ? "stopping on errors" : "skipping errors");
        const Outcome alone = run(1, stopOnError);
        const Outcome ahead = run(2, stopOnError);
        EXPECT_EQ(ahead.skipped, alone.skipped);
        EXPECT_EQ(ahead.files, alone.files);
        EXPECT_TRUE(ahead.contents == alone.contents);
        if (!stopOnError) {
            EXPECT_EQ(alone.skipped,
                      (std::vector<std::string>{"bad/crc.bin", "busy", "twice.txt/inner.bin",
                                                "bad/method.bin", "../refused.txt"}));
            EXPECT_EQ(read(scratch_ / "out" / "twice.txt"), "second and last");
            EXPECT_EQ(read(scratch_ / "out" / "big" / "last.bin"), big(900 * 1024));
            EXPECT_EQ(read(scratch_ / "out" / "after" / "19.bin"), big(19 * 40 * 1024));
        } else {
            EXPECT_EQ(alone.skipped, std::vector<std::string>{
                                         "stopped at Cannot extract the archive entry \"bad/crc.bin\""});
            EXPECT_EQ(alone.files,
                      (std::vector<std::string>{"bad/", "big/", "big/first.bin", "busy/"}));
        }
    }
}

TEST_F(ZipExtractorTest, AFileThatIsNoArchiveFailsToOpen) {
    const std::string cases[] = {
        "", "PK\x05\x06", "just some text, no end record at all",
        std::string("PK\x05\x06\0\0\0\0\x05\0\x05\0\xFF\xFF\0\0\0\0\0\0\0\0", 22)};
    for (const std::string& bytes : cases) {
        std::ofstream(scratch_ / "bad.zip", std::ios::binary) << bytes;
        EXPECT_THROW(
            ZipExtractor(runtime::utf8FromPath(scratch_ / "bad.zip")).extract(out(), false),
            vx::VXFileException);
    }
    EXPECT_THROW(
        ZipExtractor(runtime::utf8FromPath(scratch_ / "missing.zip")).extract(out(), false),
        vx::VXFileException);
}

} // namespace
