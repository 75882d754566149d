#include "Transcript.h"

#include <windows.h>

#include <string>

namespace player::transcript {

namespace {

SRWLOCK gLock = SRWLOCK_INIT;
HANDLE gFile = INVALID_HANDLE_VALUE;
bool gChecked = false;

void escapeInto(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
}

} // namespace

void write(std::string_view event, std::string_view detail) {
    AcquireSRWLockExclusive(&gLock);
    if (!gChecked) {
        gChecked = true;
        wchar_t path[MAX_PATH * 4];
        DWORD n = GetEnvironmentVariableW(L"BRIVOLA_PLAYER_TRANSCRIPT", path, MAX_PATH * 4);
        if (n > 0 && n < MAX_PATH * 4) {
            gFile = CreateFileW(path, FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        }
    }
    if (gFile != INVALID_HANDLE_VALUE) {
        std::string line;
        line.reserve(event.size() + detail.size() + 2);
        escapeInto(line, event);
        if (!detail.empty()) {
            line += ' ';
            escapeInto(line, detail);
        }
        line += '\n';
        DWORD written = 0;
        WriteFile(gFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    ReleaseSRWLockExclusive(&gLock);
}

void close() {
    AcquireSRWLockExclusive(&gLock);
    if (gFile != INVALID_HANDLE_VALUE)
        CloseHandle(gFile);
    gFile = INVALID_HANDLE_VALUE;
    gChecked = false;
    ReleaseSRWLockExclusive(&gLock);
}

} // namespace player::transcript
