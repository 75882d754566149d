// record_args: a console program for tests of starting programs. It writes the
// arguments that CommandLineToArgvW finds in its command line to the file named by
// RECORD_ARGS_FILE, each as UTF-8 in the form "<byte count>:<bytes>\n" (so blanks,
// quotes and line breaks survive), and exits with the number in RECORD_EXIT_CODE
// (0 when unset). Without RECORD_ARGS_FILE it records nothing.
#include "runtime/win32/WinText.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr) {
        return 120;
    }
    std::string record;
    for (int i = 0; i < count; ++i) {
        const std::string arg = runtime::win32::narrow(args[i]);
        record += std::to_string(arg.size()) + ":" + arg + "\n";
    }
    LocalFree(args);

    if (const wchar_t* file = _wgetenv(L"RECORD_ARGS_FILE"); file != nullptr) {
        FILE* out = _wfopen(file, L"wb");
        if (out == nullptr) {
            return 121;
        }
        const bool written = std::fwrite(record.data(), 1, record.size(), out) == record.size();
        if (std::fclose(out) != 0 || !written) {
            return 122;
        }
    }
    const wchar_t* code = _wgetenv(L"RECORD_EXIT_CODE");
    return code != nullptr ? _wtoi(code) : 0;
}
