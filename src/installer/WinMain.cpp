// Process entry: module set-up, the main function, then a wait for every thread the
// program started, then module clean-up. Command-line arguments are ignored.
#include "finboxdynamic.h"
#include "installer/ModuleInit.h"
#include "installer/main.h"
#include "runtime/Thread.h"
#include "vx/logger.h"

#include <windows.h>

#include <memory>

namespace {

// Exit code when module set-up fails, before any window.
constexpr int kModuleInitFailedExitCode = 2;

// Threads may still send messages to windows of this thread (the start-up worker
// closes the progress window with SendMessageW); answer them while waiting.
void answerSentMessages() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::unique_ptr<installer::ModuleInit> modules;
    try {
        modules = std::make_unique<installer::ModuleInit>();
    } catch (const finboxdynamic::LoadError& e) {
        vx::logger::info("{}", std::string(e.what()));
        return finboxdynamic::kLibraryFailedExitCode;
    } catch (...) {
        return kModuleInitFailedExitCode;
    }
    const int code = installer::main();
    runtime::Thread::waitForAll(answerSentMessages);
    modules.reset();
    return code;
}
