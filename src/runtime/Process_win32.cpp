#include "runtime/Process.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/win32/CommandLine.h"
#include "runtime/win32/Handle.h"
#include "runtime/win32/WinText.h"

#include <windows.h>

namespace runtime {

Process Process::start(const std::vector<std::string>& args) {
    if (args.empty()) {
        throw Exception("Cannot start a program without a path");
    }
    std::vector<std::wstring> wide;
    wide.reserve(args.size());
    for (const std::string& arg : args) {
        wide.push_back(win32::widen(arg));
    }
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring commandLine = win32::buildCommandLine(wide);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // The path is named on its own too, so nothing is searched for and no ".exe" is
    // added to a name that has another extension.
    if (!CreateProcessW(wide[0].c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
        throw Exception(
            format("Cannot start the program {} (system error {})", args[0], GetLastError()));
    }
    win32::UniqueHandle thread(started.hThread);
    return Process(reinterpret_cast<std::intptr_t>(started.hProcess));
}

Process::Exit Process::wait() noexcept {
    if (handle_ == none) {
        return {Exit::Kind::WaitFailed, -1};
    }
    const win32::UniqueHandle process(reinterpret_cast<HANDLE>(std::exchange(handle_, none)));
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
        return {Exit::Kind::WaitFailed, static_cast<std::int32_t>(GetLastError())};
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code)) {
        return {Exit::Kind::WaitFailed, static_cast<std::int32_t>(GetLastError())};
    }
    // Codes such as 0xC0000005 read as negative numbers, as the program's own int did.
    return {Exit::Kind::Ended, static_cast<std::int32_t>(code)};
}

void Process::release() noexcept {
    if (handle_ != none) {
        const win32::UniqueHandle closing(reinterpret_cast<HANDLE>(std::exchange(handle_, none)));
    }
}

} // namespace runtime
