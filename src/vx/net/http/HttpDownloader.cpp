#include "vx/net/http/HttpDownloader.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/Paths.h"
#include "runtime/ScopeGuard.h"
#include "vx/Exception.h"
#include "vx/logger.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

namespace vx::net::http {

namespace {

using runtime::pathFromUtf8;
using runtime::Uri;
using runtime::utf8FromPath;
using runtime::http::BodyStream;

// Bodies pass through this much memory at a time, whatever their size.
constexpr std::size_t bufferSize = 64 * 1024;

// Hands the body through unchanged; the request keeps owning it.
class BorrowedStream : public BodyStream {
public:
    explicit BorrowedStream(BodyStream& body) : body_(body) {}
    std::size_t read(char* buffer, std::size_t size) override { return body_.read(buffer, size); }
    void close() noexcept override { body_.close(); }

private:
    BodyStream& body_;
};

// Copies `stream` to its end into `sink` (called with each piece).
template <class Sink> void copyStream(BodyStream& stream, Sink&& sink) {
    std::vector<char> buffer(bufferSize);
    while (const std::size_t got = stream.read(buffer.data(), buffer.size())) {
        sink(buffer.data(), got);
    }
}

// Makes the folder chain of `target` when the file is not there yet.
void prepareFolder(const std::filesystem::path& target) {
    if (std::filesystem::exists(target)) {
        return;
    }
    const std::filesystem::path parent = target.parent_path();
    if (!parent.empty() && !std::filesystem::exists(parent)) {
        std::filesystem::create_directories(parent);
    }
    logger::info("Parent created at {}", utf8FromPath(parent));
}

// Writes the whole stream to `partial`, then puts it in the place of `target`.
void writeFile(BodyStream& stream, const std::filesystem::path& partial,
               const std::filesystem::path& target) {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw runtime::Exception("Cannot open " + utf8FromPath(partial));
    }
    copyStream(stream, [&](const char* data, std::size_t size) {
        if (!out.write(data, static_cast<std::streamsize>(size))) {
            throw runtime::Exception("Cannot write " + utf8FromPath(partial));
        }
    });
    out.close();
    if (!out) {
        throw runtime::Exception("Cannot write " + utf8FromPath(partial));
    }
    std::filesystem::rename(partial, target);
}

} // namespace

std::string HttpDownloader::getContent(const std::string& url) {
    return getContent(Uri::parse(url));
}

std::string HttpDownloader::getContent(const Uri& uri) {
    const std::unique_ptr<HttpRequest> request = createRequest(uri);
    const runtime::ScopeGuard closeRequest([&] { request->close(); });
    request->open();
    std::string content;
    if (request->status() == 200) {
        copyStream(request->body(),
                   [&](const char* data, std::size_t size) { content.append(data, size); });
    }
    return content;
}

void HttpDownloader::downloadToFile(const std::string& url, const std::string& path) {
    downloadToFile(Uri::parse(url), path);
}

void HttpDownloader::downloadToFile(const Uri& uri, const std::string& path) {
    performRequest(uri, nullptr, [&](HttpRequest&, BodyStream& stream) {
        const std::filesystem::path target = pathFromUtf8(path);
        try {
            prepareFolder(target);
        } catch (...) {
            throw VXFileException("Unable to create the file at " + path, std::current_exception());
        }
        logger::info("File outputting to {}", path);
        const std::filesystem::path partial = pathFromUtf8(path + ".part");
        try {
            writeFile(stream, partial, target);
        } catch (...) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            throw VXFileException("Unable to write to the file at " + path,
                                  std::current_exception());
        }
        logger::info("File output complete");
    });
}

void HttpDownloader::copyTo(const std::string& url, std::ostream& output) {
    copyTo(Uri::parse(url), output);
}

void HttpDownloader::copyTo(const Uri& uri, std::ostream& output) {
    logger::info("Reading stream from url");
    performRequest(uri, nullptr, [&](HttpRequest&, BodyStream& stream) {
        logger::info("Copy stream from input");
        copyStream(stream, [&](const char* data, std::size_t size) {
            if (!output.write(data, static_cast<std::streamsize>(size))) {
                throw runtime::Exception("Cannot write the body of " + uri.toString() +
                                         " to its output stream");
            }
        });
    });
}

void HttpDownloader::performRequest(const Uri& uri, const Configure& configure,
                                    const Handler& handler) {
    logger::info("Performing request");
    const std::unique_ptr<HttpRequest> request = createRequest(uri);
    logger::info("Got the client");
    std::unique_ptr<BodyStream> stream;
    // The connection first, then the stream, on every way out.
    const runtime::ScopeGuard closeBoth([&] {
        request->close();
        if (stream) {
            stream->close();
        }
    });
    if (configure) {
        configure(*request);
    }
    logger::info("Get input stream from http client");
    try {
        request->open();
        stream = wrapStream(request->body(), request->headers());
    } catch (...) {
        throw VXDownloadException("Getting an input stream for " + uri.toString() + " failed",
                                  std::current_exception());
    }
    if (request->status() == 200) {
        logger::info("Response callback is ok");
        if (handler) {
            handler(*request, *stream);
        }
    } else {
        logger::info("Response callback is not ok");
    }
}

std::unique_ptr<BodyStream> HttpDownloader::wrapStream(BodyStream& body,
                                                       const runtime::http::Headers&) {
    return std::make_unique<BorrowedStream>(body);
}

std::unique_ptr<HttpRequest> HttpDownloader::createRequest(const Uri& uri) {
    return std::make_unique<HttpRequest>(uri);
}

} // namespace vx::net::http
