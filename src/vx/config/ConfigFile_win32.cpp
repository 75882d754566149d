// Replacing a settings file on Windows: a unique file in the same folder, then
// ReplaceFileW, which keeps the old file's attributes and security.
#include "vx/config/ConfigFile.h"

#include "vx/Exception.h"

#include "runtime/Format.h"
#include "runtime/win32/Handle.h"
#include "runtime/win32/WinText.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include <windows.h>

namespace vx::config {

namespace {

using runtime::win32::UniqueFileHandle;

[[noreturn]] void fail(std::string message, DWORD error) {
    throw VXFileException(std::move(message),
                          std::make_exception_ptr(
                              std::system_error(static_cast<int>(error), std::system_category())));
}

// The file that `path` finally names, links followed; `path` itself when there is no
// file there yet.
std::wstring finalTarget(const std::wstring& path) {
    UniqueFileHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return path;
    }
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return path; // no final name to be had: replace what the caller named
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
}

std::wstring folderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

} // namespace

void replaceFileContents(const std::string& path, std::string_view text) {
    const std::wstring target = finalTarget(runtime::win32::widen(path));
    const std::wstring folder = folderOf(target);
    // Not every ReplaceFileW refuses a folder (Wine's moves it aside): never try.
    if (const DWORD attributes = GetFileAttributesW(target.c_str());
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        fail(runtime::format("Cannot replace \"{}\": it is a folder", path), ERROR_DIRECTORY);
    }

    // GetTempFileNameW creates the file under a name that nothing in the folder has.
    wchar_t freshName[MAX_PATH + 1] = {};
    if (GetTempFileNameW(folder.c_str(), L"cfg", 0, freshName) == 0) {
        fail(runtime::format("Cannot create a new file beside \"{}\"", path), GetLastError());
    }
    const std::wstring fresh = freshName;
    bool moved = false;
    try {
        {
            UniqueFileHandle out(CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr,
                                             TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!out) {
                fail(runtime::format("Cannot open the new text of \"{}\"", path), GetLastError());
            }
            while (!text.empty()) {
                const DWORD chunk =
                    static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 20));
                DWORD written = 0;
                if (!WriteFile(out.get(), text.data(), chunk, &written, nullptr)) {
                    fail(runtime::format("Cannot write the new text of \"{}\"", path),
                         GetLastError());
                }
                text.remove_prefix(written);
            }
            if (!FlushFileBuffers(out.get())) {
                fail(runtime::format("Cannot write the new text of \"{}\"", path), GetLastError());
            }
            const HANDLE handle = out.release();
            if (!CloseHandle(handle)) {
                fail(runtime::format("Cannot write the new text of \"{}\"", path), GetLastError());
            }
        }
        if (ReplaceFileW(target.c_str(), fresh.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                         nullptr, nullptr)) {
            moved = true;
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND ||
            GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
            fail(runtime::format("Cannot replace \"{}\"", path), error);
        }
        // Nothing to replace yet: the new file simply takes the name.
        if (!MoveFileExW(fresh.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
            fail(runtime::format("Cannot create \"{}\"", path), GetLastError());
        }
        moved = true;
    } catch (...) {
        if (!moved) {
            DeleteFileW(fresh.c_str());
        }
        throw;
    }
}

} // namespace vx::config
