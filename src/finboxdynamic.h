// The Flash control library f_in_box.dll: the program carries its file image as a
// resource, writes it to a new temporary file at start, loads it and resolves the
// ten entry points it uses; at the end it unloads the library and deletes the file.
// Every other part of the program reaches the library through `entryPoints()`.
//
// Start-up and clean-up run on the main thread while no other thread of the program
// exists. After a successful start-up the entry points stay valid until clean-up;
// the player window must be gone by then.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace finboxdynamic {

// Exit code of the program when the library cannot be written, loaded or resolved
// (the program ends before any window).
inline constexpr int kLibraryFailedExitCode = 3;

// The library's handle for the installed Flash control (opaque).
using HFPC = void*;
// The listener the library calls on the window's thread with a notification.
using Listener = LRESULT(WINAPI*)(HWND window, LPARAM userValue, NMHDR* notification);

// Notification codes and what follows the header.
inline constexpr UINT kExternalInterfaceCall = 0x13FB;
inline constexpr UINT kFSCommand = 0x12FE;
struct ExternalInterfaceNotification {
    NMHDR header;
    LPCSTR request;
};
struct FSCommandNotification {
    NMHDR header;
    LPCSTR command;
    LPCSTR args;
};

struct EntryPoints {
    BOOL(WINAPI* FPCIsFlashInstalled)() = nullptr;
    DWORD(WINAPI* GetInstalledFlashVersion)() = nullptr;
    HFPC(WINAPI* FPC_LoadRegisteredOCX)() = nullptr;
    BOOL(WINAPI* FPCCallFunctionA)(HWND, LPCSTR request, LPSTR response, DWORD* length) = nullptr;
    BOOL(WINAPI* FPCSetReturnValueA)(HWND, LPCSTR answer) = nullptr;
    HWND(WINAPI* FPC_CreateWindowA)
    (HFPC, DWORD exStyle, LPCSTR title, DWORD style, int x, int y, int width, int height,
     HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) = nullptr;
    BOOL(WINAPI* FPC_SetContext)(HWND, LPCSTR context) = nullptr;
    BOOL(WINAPI* FPCSetEventListener)(HWND, Listener listener, LPARAM userValue) = nullptr;
    BOOL(WINAPI* FPC_LoadMovieA)(HWND, int layer, LPCSTR path) = nullptr;
    BOOL(WINAPI* FPC_PutAllowScriptAccessA)(HWND, LPCSTR value) = nullptr;
};

// Why the library could not be brought up; the program ends with
// kLibraryFailedExitCode.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The entry points of the loaded library (all null before start-up and after
// clean-up).
const EntryPoints& entryPoints() noexcept;

// Logs "FINBOX static this", writes the embedded image (the resource FINBOX_DLL of the
// program's own module) to a new temporary file, loads it and resolves the entry
// points in their fixed order. Throws LoadError; after a failure nothing is loaded
// and no file of this call is left.
void initialise();
// The same with a library image from `image` (tests); `size` bytes.
void initialiseFromImage(const void* image, std::size_t size);
// Unloads the library and deletes its file, with the clean-up log lines; a file that
// cannot be deleted is logged and left. Does nothing when nothing is loaded.
void cleanUp() noexcept;
// The path of the written library file (empty when nothing is loaded).
const std::string& libraryPath() noexcept;

// True when the Flash Player control is installed and its version passes
// `versionPasses`. Logs "Flash Version: M.m" when it asked for the version.
bool isFlashInstalled(int major, int minor);
// Major (bits 24-31) and minor (bits 16-23) of `version` each at least the required
// one, compared separately as signed numbers.
bool versionPasses(std::uint32_t version, int major, int minor) noexcept;

} // namespace finboxdynamic
