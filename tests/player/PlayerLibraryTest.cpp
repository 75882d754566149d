// The player library as a program sees it: loaded with LoadLibrary, its ten names
// resolved, a window created on the test's thread, movies that call the host and
// answer the host's calls. The Flash registration is written under scratch keys
// that HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE are redirected to for each test.
#include "support/win32/MessagePump.h"
#include "support/win32/RedirectedRegistry.h"
#include "support/win32/TestPaths.h"

#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

using testing_support::pumpUntil;

typedef LRESULT(WINAPI* Listener)(HWND, LPARAM, NMHDR*);
struct Api {
    BOOL(WINAPI* isInstalled)();
    DWORD(WINAPI* version)();
    void*(WINAPI* loadOcx)();
    HWND(WINAPI* createWindow)
    (void*, DWORD, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID);
    BOOL(WINAPI* setContext)(HWND, LPCSTR);
    BOOL(WINAPI* setListener)(HWND, Listener, LPARAM);
    BOOL(WINAPI* loadMovie)(HWND, int, LPCSTR);
    BOOL(WINAPI* allowScript)(HWND, LPCSTR);
    BOOL(WINAPI* callFunction)(HWND, LPCSTR, LPSTR, DWORD*);
    BOOL(WINAPI* setReturn)(HWND, LPCSTR);
};

// The notification layouts the library promises.
struct CallNote {
    NMHDR hdr;
    LPCSTR request;
};
struct CommandNote {
    NMHDR hdr;
    LPCSTR command;
    LPCSTR args;
};

struct Seen {
    DWORD thread;
    UINT code;
    HWND from;
    UINT_PTR id;
    std::string text;
    std::string args;
};

// State the listener writes; the tests read it on the same thread.
struct Host {
    Api* api = nullptr;
    std::vector<Seen> seen;
    std::string reply = "<string>VXInstaller</string>";
    std::function<void()> duringCall; // runs inside the listener, before the reply
};
Host* gHost = nullptr;

LRESULT WINAPI listener(HWND hwnd, LPARAM user, NMHDR* n) {
    EXPECT_EQ(user, 77);
    if (n->code == 0x13FB) {
        auto* c = reinterpret_cast<CallNote*>(n);
        gHost->seen.push_back(
            {GetCurrentThreadId(), n->code, n->hwndFrom, n->idFrom, c->request, ""});
        if (gHost->duringCall)
            gHost->duringCall();
        EXPECT_TRUE(gHost->api->setReturn(hwnd, gHost->reply.c_str()));
    } else if (n->code == 0x12FE) {
        auto* c = reinterpret_cast<CommandNote*>(n);
        gHost->seen.push_back(
            {GetCurrentThreadId(), n->code, n->hwndFrom, n->idFrom, c->command, c->args});
    }
    return 0;
}

std::string temp(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "player-test-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int threadsOfThisProcess() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 e{};
    e.dwSize = sizeof e;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e))
        if (e.th32OwnerProcessID == GetCurrentProcessId())
            ++n;
    CloseHandle(snap);
    return n;
}

void setString(HKEY root, const char* path, const char* name, const std::string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

constexpr char kClsid[] = "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}\\InprocServer32";
constexpr char kFlashKey[] = "SOFTWARE\\Macromedia\\FlashPlayerActiveX";

class PlayerLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        transcript_ = temp("transcript.txt");
        DeleteFileA(transcript_.c_str());
        SetEnvironmentVariableA("BRIVOLA_PLAYER_TRANSCRIPT", transcript_.c_str());
        registry_.emplace(L"player", std::initializer_list<HKEY>{HKEY_CLASSES_ROOT,
                                                                  HKEY_LOCAL_MACHINE});
        ASSERT_TRUE(registry_->ok());

        module_ = LoadLibraryA(testing_support::wineVisible(PLAYER_DLL).c_str());
        ASSERT_NE(module_, nullptr);
        // Every name, undecorated, in the order the program resolves them.
        const char* names[] = {"FPCIsFlashInstalled",   "GetInstalledFlashVersion",
                               "FPC_LoadRegisteredOCX", "FPCCallFunctionA",
                               "FPCSetReturnValueA",    "FPC_CreateWindowA",
                               "FPC_SetContext",        "FPCSetEventListener",
                               "FPC_LoadMovieA",        "FPC_PutAllowScriptAccessA"};
        FARPROC p[10];
        for (int i = 0; i < 10; ++i) {
            p[i] = GetProcAddress(module_, names[i]);
            ASSERT_NE(p[i], nullptr) << names[i];
        }
        auto set = [](auto& slot, FARPROC f) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
                reinterpret_cast<void*>(f));
        };
        set(api_.isInstalled, p[0]);
        set(api_.version, p[1]);
        set(api_.loadOcx, p[2]);
        set(api_.callFunction, p[3]);
        set(api_.setReturn, p[4]);
        set(api_.createWindow, p[5]);
        set(api_.setContext, p[6]);
        set(api_.setListener, p[7]);
        set(api_.loadMovie, p[8]);
        set(api_.allowScript, p[9]);
        host_.api = &api_;
        gHost = &host_;
    }

    void TearDown() override {
        if (hwnd_ && IsWindow(hwnd_))
            DestroyWindow(hwnd_);
        if (module_)
            FreeLibrary(module_);
        gHost = nullptr;
        registry_.reset();
        DeleteFileA(control_.c_str());
        DeleteFileA(movie_.c_str());
        DeleteFileA(transcript_.c_str());
    }

    void registerFlash(const std::string& version) {
        control_ = temp("Flash10e.ocx");
        std::ofstream(control_) << "control";
        setString(HKEY_CLASSES_ROOT, kClsid, nullptr, control_);
        setString(HKEY_LOCAL_MACHINE, kFlashKey, "Version", version);
        setString(HKEY_LOCAL_MACHINE, kFlashKey, "PlayerPath", control_);
    }

    // Creates the window as the program does and loads `text` as the movie.
    void play(const std::string& text, bool allow = true) {
        registerFlash("10.0.45.2");
        void* fpc = api_.loadOcx();
        ASSERT_NE(fpc, nullptr);
        hwnd_ = api_.createWindow(fpc, 0x000C0000, "Brivola Desktop Installer", 0x80080001, 0, 0,
                                  520, 420, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd_, nullptr);
        EXPECT_EQ(GetWindowLongPtrA(hwnd_, GWL_EXSTYLE) & 0x000C0000, 0x000C0000);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE)) & 0x80080001u,
                  0x80080001u);
        EXPECT_TRUE(api_.setContext(hwnd_, "5c8f0b6e-3a41-4d8e-9f1c-2b7d6e4a9c01"));
        EXPECT_TRUE(api_.setListener(hwnd_, listener, 77));
        movie_ = temp("movie.txt");
        std::ofstream(movie_, std::ios::binary) << text;
        api_.loadMovie(hwnd_, 0, movie_.c_str());
        if (allow) {
            EXPECT_TRUE(api_.allowScript(hwnd_, "always"));
        }
        ShowWindow(hwnd_, SW_SHOW);
    }

    std::string transcript() { return readFile(transcript_); }
    bool transcriptHas(const std::string& line) {
        return transcript().find(line + "\n") != std::string::npos;
    }
    bool commandSeen(const std::string& command) {
        for (const auto& s : host_.seen)
            if (s.code == 0x12FE && s.text == command)
                return true;
        return false;
    }

    std::string call(const char* request, DWORD size, DWORD& length, BOOL& ok) {
        std::string buffer(size, '\x7f');
        length = size;
        ok = api_.callFunction(hwnd_, request, size ? buffer.data() : nullptr, &length);
        return size ? std::string(buffer.c_str()) : std::string();
    }

    Api api_{};
    Host host_;
    HMODULE module_ = nullptr;
    std::optional<testing_support::RedirectedRegistry> registry_;
    HWND hwnd_ = nullptr;
    std::string control_, movie_, transcript_;
};

constexpr char kOnProgress[] = "<invoke name=\"OnProgress\" returntype=\"xml\"><arguments>"
                               "<string>Unpacking</string></arguments></invoke>";
constexpr char kOnComplete[] = "<invoke name=\"OnComplete\" returntype=\"xml\"><arguments>"
                               "<string>Installed</string></arguments></invoke>";

TEST_F(PlayerLibrary, RegistrationDecidesPresenceAndVersion) {
    EXPECT_FALSE(api_.isInstalled());
    EXPECT_EQ(api_.version(), 0u);
    EXPECT_EQ(api_.loadOcx(), nullptr);
    EXPECT_EQ(api_.createWindow(nullptr, 0, "x", 0x80080001, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr),
              nullptr);

    struct Case {
        const char* version;
        DWORD packed;
    } cases[] = {
        {"10.0.45.2", 0x0A00002Du}, {"9.0.124.0", 0x0900007Cu}, {"10.1", 0x0A010000u}, {"ten", 0u}};
    for (const auto& c : cases) {
        registerFlash(c.version);
        EXPECT_TRUE(api_.isInstalled());
        EXPECT_EQ(api_.version(), c.packed) << c.version;
        EXPECT_NE(api_.loadOcx(), nullptr);
    }
    // The control's file is what counts: registered but gone is not installed.
    DeleteFileA(control_.c_str());
    EXPECT_FALSE(api_.isInstalled());
}

TEST_F(PlayerLibrary, MovieCallsHostAndAnswersHostCalls) {
    play("brivola-movie 1\n"
         "answer OnProgress <string>ok</string>\n"
         "answer * <string>other</string>\n"
         "call tulip.GetAppName \"a<b\" 3 true null [1] {k: \"v\"}\n"
         "expect <string>VXInstaller</string>\n"
         "fscommand ready set go\n"
         "wait OnComplete=done timeout 20\n"
         "fail OnComplete did not jump\n"
         "label done\n"
         "fscommand done\n");
    ASSERT_TRUE(pumpUntil([&] { return commandSeen("ready"); }));
    ASSERT_EQ(host_.seen.size(), 2u);
    for (const auto& s : host_.seen) {
        EXPECT_EQ(s.thread, GetCurrentThreadId());
        EXPECT_EQ(s.from, hwnd_);
        EXPECT_EQ(s.id, 0u);
    }
    EXPECT_EQ(host_.seen[0].code, 0x13FBu);
    EXPECT_EQ(host_.seen[0].text,
              "<invoke name=\"tulip.GetAppName\" returntype=\"xml\"><arguments>"
              "<string>a&lt;b</string><number>3</number><true/><null/><array>"
              "<property id=\"0\"><number>1</number></property></array><object>"
              "<property id=\"k\"><string>v</string></property></object></arguments></invoke>");
    EXPECT_EQ(host_.seen[1].code, 0x12FEu);
    EXPECT_EQ(host_.seen[1].args, "set go");

    // Two threads call into the movie at once while this thread pumps.
    std::string answers[2];
    DWORD lengths[2] = {0, 0};
    BOOL oks[2] = {FALSE, FALSE};
    std::atomic<int> finished{0};
    std::vector<std::thread> callers;
    for (int i = 0; i < 2; ++i)
        callers.emplace_back([&, i] {
            answers[i] = call(kOnProgress, 64, lengths[i], oks[i]);
            ++finished;
        });
    EXPECT_TRUE(pumpUntil([&] { return finished == 2; }));
    for (auto& t : callers)
        t.join();
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(oks[i]);
        EXPECT_EQ(answers[i], "<string>ok</string>");
        EXPECT_EQ(lengths[i], 20u);
    }
    DWORD length = 0;
    BOOL ok = FALSE;
    EXPECT_EQ(call(kOnComplete, 64, length, ok), "<string>other</string>");
    ASSERT_TRUE(pumpUntil([&] { return commandSeen("done"); }));
    EXPECT_TRUE(pumpUntil([&] { return transcriptHas("end"); }));
    std::string t = transcript();
    EXPECT_NE(t.find("reply <string>VXInstaller</string>\n"), std::string::npos) << t;
    EXPECT_NE(t.find("got OnComplete\n"), std::string::npos) << t;
    EXPECT_EQ(t.find("fail"), std::string::npos) << t;
}

TEST_F(PlayerLibrary, AnswersAreCutToTheBuffer) {
    play("brivola-movie 1\nanswer OnProgress <string>ok</string>\nwait Never timeout 600\n");
    struct Case {
        DWORD size;
        const char* answer;
        DWORD length;
    } cases[] = {{64, "<string>ok</string>", 20},
                 {20, "<string>ok</string>", 20},
                 {19, "<string>ok</string", 19},
                 {5, "<str", 5},
                 {1, "", 1}};
    for (const auto& c : cases) {
        DWORD length = 0;
        BOOL ok = FALSE;
        EXPECT_EQ(call(kOnProgress, c.size, length, ok), c.answer) << c.size;
        EXPECT_EQ(length, c.length) << c.size;
        EXPECT_TRUE(ok);
    }
}

TEST_F(PlayerLibrary, WithoutAlwaysTheMovieCallsAreRefused) {
    play("brivola-movie 1\n"
         "call tulip.GetAppName\n"
         "expect <null/>\n"
         "fscommand quit\n",
         /*allow=*/false);
    ASSERT_TRUE(pumpUntil([&] { return transcriptHas("end"); })) << transcript();
    EXPECT_TRUE(host_.seen.empty());
    EXPECT_TRUE(transcriptHas("refused call tulip.GetAppName"));
    EXPECT_TRUE(transcriptHas("refused fscommand quit"));
}

TEST_F(PlayerLibrary, HostCallsAreAnsweredWhileTheWindowThreadIsBusyOrNotPumping) {
    play("brivola-movie 1\n"
         "answer OnProgress <string>ok</string>\n"
         "call tulip.vxcore.install.DoMetaInstall\n"
         "wait Never timeout 600\n");
    // Inside a listener call: a worker calls into the movie and the listener waits
    // for it without pumping.
    std::string inside;
    host_.duringCall = [&] {
        std::thread worker([&] {
            DWORD length = 0;
            BOOL ok = FALSE;
            inside = call(kOnProgress, 64, length, ok);
        });
        worker.join();
    };
    ASSERT_TRUE(pumpUntil([&] { return !host_.seen.empty(); }));
    EXPECT_EQ(inside, "<string>ok</string>");
    // The main loop has ended: this thread only waits for the worker.
    std::string after;
    std::thread worker([&] {
        DWORD length = 0;
        BOOL ok = FALSE;
        after = call(kOnProgress, 64, length, ok);
    });
    worker.join();
    EXPECT_EQ(after, "<string>ok</string>");
}

std::vector<std::pair<UINT, WPARAM>> gMessages;
WNDPROC gPrevious = nullptr;

LRESULT CALLBACK recordingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_MOUSEMOVE || m == WM_LBUTTONUP || m == WM_CLOSE)
        gMessages.emplace_back(m, w);
    return CallWindowProcW(gPrevious, h, m, w, l);
}

TEST_F(PlayerLibrary, MouseAndCloseGoThroughTheWindowProcedure) {
    play("brivola-movie 1\n"
         "drag 40 20\n"
         "drag 8 8 shift\n"
         "close\n");
    // Subclass the window as the program does and record what reaches it.
    gMessages.clear();
    gPrevious = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordingProc)));
    ASSERT_TRUE(pumpUntil([&] { return !IsWindow(hwnd_); })) << transcript();
    std::vector<std::pair<UINT, WPARAM>> expected;
    for (int i = 0; i < 4; ++i)
        expected.emplace_back(WM_MOUSEMOVE, MK_LBUTTON);
    expected.emplace_back(WM_LBUTTONUP, 0);
    for (int i = 0; i < 4; ++i)
        expected.emplace_back(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT);
    expected.emplace_back(WM_LBUTTONUP, MK_SHIFT);
    expected.emplace_back(WM_CLOSE, 0);
    EXPECT_EQ(gMessages, expected);
    ASSERT_EQ(host_.seen.size(), 2u);
    EXPECT_EQ(host_.seen[0].text,
              "<invoke name=\"tulip.window.StartMove\" returntype=\"xml\"><arguments/></invoke>");
    EXPECT_TRUE(transcriptHas("destroyed"));
}

TEST_F(PlayerLibrary, UnreadableMoviesPlayNothing) {
    struct Case {
        std::string bytes;
        const char* line;
    } cases[] = {
        {"", "unreadable the file is empty"},
        {std::string("FWS\x0a\x20\0\0\0", 8), "unreadable a Flash (SWF) file, not a movie of ours"},
    };
    for (const auto& c : cases) {
        play(c.bytes);
        EXPECT_TRUE(transcriptHas(c.line)) << transcript();
        DWORD length = 0;
        BOOL ok = TRUE;
        EXPECT_EQ(call(kOnProgress, 64, length, ok), "");
        EXPECT_FALSE(ok);
        DestroyWindow(hwnd_);
    }
    EXPECT_TRUE(host_.seen.empty());
}

TEST_F(PlayerLibrary, NoPlayerThreadOutlivesTheWindowAndTheLibrary) {
    const int before = threadsOfThisProcess();
    play("brivola-movie 1\nwait Never timeout 600\n");
    ASSERT_TRUE(pumpUntil([&] { return transcriptHas("wait Never"); }));
    EXPECT_EQ(threadsOfThisProcess(), before + 1);
    DestroyWindow(hwnd_);
    EXPECT_EQ(threadsOfThisProcess(), before);
    EXPECT_TRUE(transcriptHas("stopped"));
    EXPECT_TRUE(FreeLibrary(module_));
    module_ = nullptr;
    EXPECT_EQ(threadsOfThisProcess(), before);
}

TEST_F(PlayerLibrary, FreeLibraryWithTheWindowAliveStopsTheMovie) {
    const int before = threadsOfThisProcess();
    play("brivola-movie 1\nrepeat 1000000000\nsleep 0.01\nend\n");
    ASSERT_TRUE(pumpUntil([&] { return transcriptHas("start"); }));
    // The window's procedure lives in the library: once it is unloaded the window
    // must never get a message again, so it is hidden from the fixture.
    hwnd_ = nullptr;
    EXPECT_TRUE(FreeLibrary(module_));
    module_ = nullptr;
    // No pumping from here on: a message for the window would run unloaded code.
    for (int i = 0; i < 500 && threadsOfThisProcess() != before; ++i)
        Sleep(10);
    EXPECT_EQ(threadsOfThisProcess(), before);
    // The window is still there with its procedure gone: end the process at once,
    // before anything at exit sends it a message.
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), ::testing::Test::HasFailure() ? 1 : 0);
}

} // namespace
