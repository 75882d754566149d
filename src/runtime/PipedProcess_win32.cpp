#include "runtime/PipedProcess.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/win32/Handle.h"
#include "runtime/win32/WinText.h"

#include <windows.h>

#include <mutex>

namespace runtime {
namespace {

using win32::UniqueFileHandle;
using win32::UniqueHandle;

// Between making the writing ends inheritable and closing them, no other thread of
// ours may start a child that inherits handles, or that child would hold our pipes
// open and our reader would never see their end.
std::mutex startingMutex;

struct Pipe {
    UniqueHandle read;
    UniqueHandle write;
};

Pipe makePipe() {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    // Neither end is inheritable yet; the writing end is made so only while starting.
    if (!CreatePipe(&read, &write, nullptr, 0)) {
        throw Exception(format("Cannot create a pipe (system error {})", GetLastError()));
    }
    return Pipe{UniqueHandle(read), UniqueHandle(write)};
}

void setInheritable(HANDLE handle, bool inheritable) {
    if (!SetHandleInformation(handle, HANDLE_FLAG_INHERIT, inheritable ? HANDLE_FLAG_INHERIT : 0)) {
        throw Exception(format("Cannot pass a pipe to a child (system error {})", GetLastError()));
    }
}

} // namespace

std::size_t PipeReader::read(char* buffer, std::size_t size) {
    if (handle_ == none || size == 0) {
        return 0;
    }
    const DWORD wanted = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, wanted, &got, nullptr)) {
        const DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
            return 0;
        }
        throw Exception(format("Cannot read a child's output (system error {})", error));
    }
    return got;
}

void PipeReader::close() noexcept {
    if (handle_ != none) {
        const UniqueHandle closing(reinterpret_cast<HANDLE>(std::exchange(handle_, none)));
    }
}

PipedChild startWithPipes(const std::string& program, const std::string& arguments) {
    Pipe out = makePipe();
    Pipe err = makePipe();
    SECURITY_ATTRIBUTES inheritable{};
    inheritable.nLength = sizeof inheritable;
    inheritable.bInheritHandle = TRUE;
    const UniqueFileHandle input(CreateFileW(L"NUL", GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                             OPEN_EXISTING, 0, nullptr));
    if (!input) {
        throw Exception(format("Cannot open the null device (system error {})", GetLastError()));
    }

    const std::wstring path = win32::widen(program);
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + win32::widen(arguments);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = out.write.get();
    startup.hStdError = err.write.get();
    PROCESS_INFORMATION started{};
    {
        std::lock_guard<std::mutex> lock(startingMutex);
        setInheritable(out.write.get(), true);
        setInheritable(err.write.get(), true);
        const BOOL ok = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started);
        const DWORD error = GetLastError();
        // Our copies go at once: from now on only the child holds the writing ends.
        out.write.reset();
        err.write.reset();
        if (!ok) {
            throw Exception(
                format("Cannot start the program {} (system error {})", program, error));
        }
    }
    const UniqueHandle thread(started.hThread);
    const UniqueHandle process(started.hProcess);
    PipedChild child;
    child.stdoutPipe = PipeReader(reinterpret_cast<std::intptr_t>(out.read.release()));
    child.stderrPipe = PipeReader(reinterpret_cast<std::intptr_t>(err.read.release()));
    return child;
}

} // namespace runtime
