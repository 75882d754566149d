// Test program for the debug-output monitor: writes the lines the tests expect,
// including ones far longer than Wine's own debugger trace keeps, then exits with
// the code given as its first argument.
#include <windows.h>

#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
    OutputDebugStringA("INFO: first\n");
    std::string longLine = "INFO: <invoke name=\"tulip.vxcore.install.DoMetaInstall\">";
    for (int i = 0; i < 200; ++i) {
        longLine += "<string>" + std::to_string(i) + "</string>";
    }
    longLine += "</invoke>\n";
    OutputDebugStringA(longLine.c_str());
    OutputDebugStringA("INFO: quotes \" and \\ backslashes, tabs\tand UTF-8 \xC3\xA9\n");
    OutputDebugStringA("INFO: last\n");
    return argc > 1 ? _wtoi(argv[1]) : 0;
}
