// The player library's ten entry points, as a program that links or loads it sees
// them. The library is our stand-in for a Flash control library: it plays movies of
// our own format (docs/movie-format.md) in a window of its own.
//
// Threads: FPC_CreateWindowA makes the window on the calling thread (the window's
// thread); that thread must pump messages for movie calls to reach the listener.
// The listener is always called on the window's thread; FPCSetReturnValueA is valid
// only inside it. FPCCallFunctionA may be called from any thread, several at once.
#pragma once

#include <windows.h>

#ifdef BRIVOLA_PLAYER_BUILD
#define FPC_API extern "C" __declspec(dllexport)
#else
#define FPC_API extern "C" __declspec(dllimport)
#endif

typedef void* HFPC;

// Notification codes carried to the listener; hdr.hwndFrom is the player window,
// hdr.idFrom is 0.
#define FPCN_FLASHCALL 0x13FB
#define FPCN_FSCOMMAND 0x12FE

struct SFPCFlashCallInfoStructA {
    NMHDR hdr;
    LPCSTR request; // ExternalInterface request XML, valid during the listener call
};

struct SFPCFSCommandInfoStructA {
    NMHDR hdr;
    LPCSTR command;
    LPCSTR args;
};

typedef LRESULT(WINAPI* PFPC_LISTENER)(HWND hwnd, LPARAM userValue, NMHDR* notification);

FPC_API BOOL WINAPI FPCIsFlashInstalled(void);
FPC_API DWORD WINAPI GetInstalledFlashVersion(void);
FPC_API HFPC WINAPI FPC_LoadRegisteredOCX(void);
FPC_API HWND WINAPI FPC_CreateWindowA(HFPC fpc, DWORD exStyle, LPCSTR title, DWORD style, int x,
                                      int y, int width, int height, HWND parent, HMENU menu,
                                      HINSTANCE instance, LPVOID param);
FPC_API BOOL WINAPI FPC_SetContext(HWND hwnd, LPCSTR context);
FPC_API BOOL WINAPI FPCSetEventListener(HWND hwnd, PFPC_LISTENER listener, LPARAM userValue);
FPC_API BOOL WINAPI FPC_LoadMovieA(HWND hwnd, int layer, LPCSTR path);
FPC_API BOOL WINAPI FPC_PutAllowScriptAccessA(HWND hwnd, LPCSTR value);
FPC_API BOOL WINAPI FPCCallFunctionA(HWND hwnd, LPCSTR request, LPSTR response, DWORD* length);
FPC_API BOOL WINAPI FPCSetReturnValueA(HWND hwnd, LPCSTR answer);
