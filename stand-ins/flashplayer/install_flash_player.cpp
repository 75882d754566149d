// The stand-in Flash Player installer: a console program that does what the program
// expects of the vendor's installer, for the tests and the demo.
//
// Every run appends its arguments (argv[0] included) to a record file, each as
// "<byte count>:<bytes>\n" in UTF-8, followed by an empty line ("\n") that ends the
// run: the file named by BRIVOLA_FLASH_INSTALLER_RECORD, else "<this program>.args.txt"
// beside the program.
//
// With the argument "/S" (silent) it installs: it writes a small file as the control
// (<system folder>\Macromed\Flash\Flash10e.ocx) and registers it where the player
// library looks for it:
//   HKLM\SOFTWARE\Macromedia\FlashPlayerActiveX  "Version" = 10.0.45.2 (or the value of
//       BRIVOLA_FLASH_VERSION), "PlayerPath" = the control's path
//   HKCR\CLSID\{D27CDB6E-AE6D-11cf-96B8-444553540000}\InprocServer32 (default) = that path
// and exits with 0 (or the number in BRIVOLA_FLASH_INSTALLER_EXIT, to show that the
// caller does not read it). Without "/S" nobody is there to click through a dialog:
// it installs nothing and exits with 1. A failure to install exits with 3.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string narrow(const std::wstring& w) {
    if (w.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

std::wstring environment(const wchar_t* name) {
    wchar_t buf[32768];
    DWORD n = GetEnvironmentVariableW(name, buf, 32768);
    return n > 0 && n < 32768 ? std::wstring(buf, n) : std::wstring();
}

bool setString(HKEY root, const wchar_t* path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool install() {
    wchar_t system[MAX_PATH];
    UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    std::wstring folder = std::wstring(system) + L"\\Macromed";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\Flash";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring control = folder + L"\\Flash10e.ocx";
    HANDLE f = CreateFileW(control.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    const char text[] = "Brivola stand-in Flash Player control\r\n";
    DWORD written = 0;
    bool ok = WriteFile(f, text, sizeof text - 1, &written, nullptr) && written == sizeof text - 1;
    ok = CloseHandle(f) && ok;
    std::wstring version = environment(L"BRIVOLA_FLASH_VERSION");
    if (version.empty())
        version = L"10.0.45.2";
    const wchar_t player[] = L"SOFTWARE\\Macromedia\\FlashPlayerActiveX";
    return ok && setString(HKEY_LOCAL_MACHINE, player, L"Version", version) &&
           setString(HKEY_LOCAL_MACHINE, player, L"PlayerPath", control) &&
           setString(HKEY_CLASSES_ROOT,
                     L"CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}\\InprocServer32", nullptr,
                     control);
}

} // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr)
        return 3;
    std::string record;
    bool silent = false;
    for (int i = 0; i < count; ++i) {
        const std::string arg = narrow(args[i]);
        record += std::to_string(arg.size()) + ":" + arg + "\n";
        if (i > 0 && arg == "/S")
            silent = true;
    }
    LocalFree(args);
    record += "\n";

    std::wstring recordFile = environment(L"BRIVOLA_FLASH_INSTALLER_RECORD");
    if (recordFile.empty()) {
        wchar_t self[MAX_PATH];
        DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
        if (n > 0 && n < MAX_PATH)
            recordFile = std::wstring(self, n) + L".args.txt";
    }
    if (!recordFile.empty()) {
        HANDLE f = CreateFileW(recordFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(f, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
            CloseHandle(f);
        }
    }

    if (!silent) {
        std::fputs("install_flash_player: run with /S to install silently\n", stderr);
        return 1;
    }
    if (!install()) {
        std::fputs("install_flash_player: the control could not be installed\n", stderr);
        return 3;
    }
    std::wstring code = environment(L"BRIVOLA_FLASH_INSTALLER_EXIT");
    return code.empty() ? 0 : _wtoi(code.c_str());
}
