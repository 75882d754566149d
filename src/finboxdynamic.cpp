#include "finboxdynamic.h"

#include "runtime/TempFile.h"
#include "runtime/win32/WinText.h"
#include "vx/logger.h"

#include <utility>

namespace finboxdynamic {
namespace {

struct Loaded {
    HMODULE module = nullptr;
    std::string path;
    EntryPoints entries;
};

Loaded loaded;

template <class Pointer> void resolve(HMODULE module, const char* name, Pointer& slot) {
    const FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) {
        throw LoadError(std::string("The Flash control library has no entry point ") + name);
    }
    slot = reinterpret_cast<Pointer>(reinterpret_cast<void*>(address));
}

// The order in which the names are resolved is fixed.
EntryPoints resolveAll(HMODULE module) {
    EntryPoints e;
    resolve(module, "FPCIsFlashInstalled", e.FPCIsFlashInstalled);
    resolve(module, "GetInstalledFlashVersion", e.GetInstalledFlashVersion);
    resolve(module, "FPC_LoadRegisteredOCX", e.FPC_LoadRegisteredOCX);
    resolve(module, "FPCCallFunctionA", e.FPCCallFunctionA);
    resolve(module, "FPCSetReturnValueA", e.FPCSetReturnValueA);
    resolve(module, "FPC_CreateWindowA", e.FPC_CreateWindowA);
    resolve(module, "FPC_SetContext", e.FPC_SetContext);
    resolve(module, "FPCSetEventListener", e.FPCSetEventListener);
    resolve(module, "FPC_LoadMovieA", e.FPC_LoadMovieA);
    resolve(module, "FPC_PutAllowScriptAccessA", e.FPC_PutAllowScriptAccessA);
    return e;
}

void removeFile(const std::string& path) noexcept {
    DeleteFileW(runtime::win32::widen(path).c_str());
}

} // namespace

const EntryPoints& entryPoints() noexcept {
    return loaded.entries;
}

const std::string& libraryPath() noexcept {
    return loaded.path;
}

void initialiseFromImage(const void* image, std::size_t size) {
    vx::logger::info("FINBOX static this");
    if (loaded.module != nullptr) {
        throw LoadError("The Flash control library is loaded already");
    }
    std::string path;
    try {
        runtime::TempFile file("fib");
        path = file.path();
        file.stream().write(static_cast<const char*>(image), static_cast<std::streamsize>(size));
        file.close();
    } catch (const std::exception& e) {
        if (!path.empty()) {
            removeFile(path);
        }
        throw LoadError(std::string("Cannot write the Flash control library: ") + e.what());
    }
    HMODULE module = LoadLibraryW(runtime::win32::widen(path).c_str());
    if (module == nullptr) {
        const DWORD error = GetLastError();
        removeFile(path);
        throw LoadError("Cannot load the Flash control library " + path + " (error " +
                        std::to_string(error) + ")");
    }
    try {
        loaded.entries = resolveAll(module);
    } catch (...) {
        FreeLibrary(module);
        removeFile(path);
        throw;
    }
    loaded.module = module;
    loaded.path = std::move(path);
}

void initialise() {
    const HMODULE self = GetModuleHandleW(nullptr);
    const HRSRC resource = FindResourceW(self, L"FINBOX_DLL", MAKEINTRESOURCEW(10) /*RT_RCDATA*/);
    const HGLOBAL data = resource ? LoadResource(self, resource) : nullptr;
    const void* image = data ? LockResource(data) : nullptr;
    if (image == nullptr) {
        vx::logger::info("FINBOX static this");
        throw LoadError("The program carries no Flash control library");
    }
    initialiseFromImage(image, SizeofResource(self, resource));
}

void cleanUp() noexcept {
    if (loaded.module == nullptr) {
        return;
    }
    try {
        vx::logger::info("Static FINBOX destructor");
        const std::string path = loaded.path;
        FreeLibrary(std::exchange(loaded.module, nullptr));
        loaded.entries = EntryPoints{};
        loaded.path.clear();
        vx::logger::info("Deleting finbox dll: {}", path);
        if (DeleteFileW(runtime::win32::widen(path).c_str())) {
            vx::logger::info("Successfully deleted finbox dll");
        } else {
            vx::logger::info("Error deleting finbox dll: the file could not be deleted (error {})",
                             static_cast<unsigned long>(GetLastError()));
        }
        vx::logger::info("Static FINBOX destructor Complete");
    } catch (...) {
        // Clean-up runs on the way out of the process; nothing may stop it.
    }
}

bool versionPasses(std::uint32_t version, int major, int minor) noexcept {
    const int installedMajor = static_cast<int>((version >> 24) & 0xFF);
    const int installedMinor = static_cast<int>((version >> 16) & 0xFF);
    return installedMajor >= major && installedMinor >= minor;
}

bool isFlashInstalled(int major, int minor) {
    const EntryPoints& e = entryPoints();
    if (e.FPCIsFlashInstalled == nullptr || e.FPCIsFlashInstalled() == FALSE) {
        return false;
    }
    const std::uint32_t version = e.GetInstalledFlashVersion();
    vx::logger::info("Flash Version: {}.{}", static_cast<int>((version >> 24) & 0xFF),
                     static_cast<int>((version >> 16) & 0xFF));
    return versionPasses(version, major, minor);
}

} // namespace finboxdynamic
