// The product's installer program ("Installer.exe" in the core archives) and its
// uninstaller ("installer.exe" under the common folder): it prints progress lines on
// its standard output and ends. Options among its arguments ask for the behaviours
// the installer must cope with:
//
//   -stderr A,B,C     the lines A, B and C on standard error
//   -blank-stderr N   N blank lines on standard error
//   -lines N          N numbered lines "line K" on standard output
//   -line-size N      each numbered line padded to N bytes
//   -split 1          every line end written as CR, a pause, then LF, in two writes
//   -both N           N lines on each stream, alternately, without pausing
//   -sleep MS         a pause before each numbered line
//   -crash 1          ends abruptly in the middle of a line, as a crashed program does
//
// Arguments are read as the C runtime splits them; anything else is ignored.
#include "Record.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

HANDLE out() {
    return GetStdHandle(STD_OUTPUT_HANDLE);
}
HANDLE err() {
    return GetStdHandle(STD_ERROR_HANDLE);
}

void write(HANDLE stream, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(stream, data, static_cast<DWORD>(left), &written, nullptr) || written == 0) {
            return; // nobody reads any more
        }
        data += written;
        left -= written;
    }
}

bool split = false;

// Lines are gathered and written some kilobytes at a time, as a program's C runtime
// buffers a pipe; with -split every piece is written at once.
struct Buffered {
    HANDLE stream;
    std::string pending;
    void flush() {
        write(stream, pending);
        pending.clear();
    }
};
Buffered stdoutBuffer{nullptr, {}};
Buffered stderrBuffer{nullptr, {}};

void line(Buffered& to, const std::string& text) {
    if (split) {
        write(to.stream, text + "\r");
        Sleep(20);
        write(to.stream, "\n");
        return;
    }
    to.pending += text;
    to.pending += "\r\n";
    if (to.pending.size() >= 8192) {
        to.flush();
    }
}

std::string option(const std::vector<std::string>& args, const std::string& name) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) {
            return args[i + 1];
        }
    }
    return {};
}

long number(const std::vector<std::string>& args, const std::string& name) {
    return std::strtol(option(args, name).c_str(), nullptr, 10);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    standin::record();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(standin::utf8(argv[i]));
    }
    split = option(args, "-split") == "1";
    stdoutBuffer.stream = out();
    stderrBuffer.stream = err();
    Buffered& o = stdoutBuffer;
    Buffered& e = stderrBuffer;
    const std::string verb = args.empty() ? "" : args[0];
    const std::string name = args.size() > 1 ? args[1] : "";

    line(o, verb == "uninstall" ? "Uninstalling " + name : "Installing " + name);

    const long lines = number(args, "-lines");
    const long size = number(args, "-line-size");
    const long pause = number(args, "-sleep");
    for (long k = 1; k <= lines; ++k) {
        if (pause > 0) {
            Sleep(static_cast<DWORD>(pause));
        }
        std::string text = "line " + std::to_string(k);
        if (size > static_cast<long>(text.size())) {
            text += " ";
            text.resize(static_cast<std::size_t>(size), static_cast<char>('a' + k % 26));
        }
        line(o, text);
    }

    const long both = number(args, "-both");
    for (long k = 1; k <= both; ++k) {
        line(o, "out " + std::to_string(k));
        line(e, "err " + std::to_string(k));
    }

    if (option(args, "-crash") == "1") {
        o.flush();
        e.flush();
        write(out(), "half a li");
        TerminateProcess(GetCurrentProcess(), 0xC0000005);
    }

    for (long k = number(args, "-blank-stderr"); k > 0; --k) {
        line(e, "  ");
    }
    std::string errors = option(args, "-stderr");
    while (!errors.empty()) {
        const std::size_t comma = errors.find(',');
        line(e, errors.substr(0, comma));
        errors = comma == std::string::npos ? "" : errors.substr(comma + 1);
    }

    line(o, verb == "uninstall" ? "Removed " + name : "Installed " + name);
    o.flush();
    e.flush();
    return 0;
}
