// The player window, its movie thread and the ten entry points.
//
// Threads:
// - the window's thread (the one that called FPC_CreateWindowA) owns the window, runs
//   the listener and every action that touches the window;
// - one movie thread per loaded movie runs the interpreter; it reaches the window's
//   thread only through kRunWorkMessage (SendMessageTimeout, repeated until the work
//   is done or the window is going away), so it never blocks a thread that is
//   waiting for it;
// - any thread may call FPCCallFunctionA; the call is carried to the window's thread
//   and answered there, or answered on the caller's thread when the window's thread
//   does not take it in time (its main loop has ended, or it is busy in a listener):
//   the answer comes from the movie's answer table either way.
// The window's WM_NCDESTROY stops the movie thread and waits for it, so no thread of
// ours is left once the window is gone. FreeLibrary with a window still alive stops
// the movie threads too (see DllMain).
#include "PlayerMessages.h"
#include "Transcript.h"
#include "f_in_box.h"
#include "movie/Movie.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace player {

namespace {

HINSTANCE gModule = nullptr;
const wchar_t kClassName[] = L"BrivolaFlashPlayerControl";
constexpr char kNullReply[] = "<null/>";
constexpr char kFlashClsidKey[] = "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}\\InprocServer32";
constexpr char kFlashPlayerKey[] = "SOFTWARE\\Macromedia\\FlashPlayerActiveX";

// The handle FPC_LoadRegisteredOCX hands out: there is one control, so one handle.
struct Control {
    int unused = 0;
} gControl;

class Lock {
public:
    explicit Lock(SRWLOCK& l) : l_(l) { AcquireSRWLockExclusive(&l_); }
    ~Lock() { ReleaseSRWLockExclusive(&l_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    SRWLOCK& l_;
};

// A piece of work for the window's thread. It owns its inputs and outputs, so a
// sender that gives up (the window is going away) leaves nothing dangling.
struct Work {
    enum State { Waiting, Taken, Done };
    State state = Waiting;
    std::function<void(Work&)> run;
    std::string in;
    std::string in2;
    std::string out;
    bool ok = true;
};

std::wstring widen(std::string_view s) {
    if (s.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string formatSeconds(double s) {
    char buf[32];
    wsprintfA(buf, "%d", static_cast<int>(s));
    std::string out = buf;
    int ms = static_cast<int>((s - static_cast<int>(s)) * 1000 + 0.5);
    if (ms > 0 && ms < 1000) {
        wsprintfA(buf, ".%03d", ms);
        out += buf;
        while (out.back() == '0')
            out.pop_back();
    }
    return out;
}

class Player : public std::enable_shared_from_this<Player> {
public:
    HWND hwnd = nullptr;
    DWORD windowThread = 0;

    // Guards everything below that other threads read or write.
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;

    bool stopping = false;
    bool allowScript = false;
    bool movieLoaded = false;
    PFPC_LISTENER listener = nullptr;
    LPARAM userValue = 0;
    std::string context;

    // What the window shows.
    std::string title, status, progress, button, message, state;
    int bar = -1;
    bool buttonPressed = false;
    RECT buttonRect{};

    // The movie's answers to host calls, and the host calls it has not waited for yet.
    std::map<std::string, std::string, std::less<>> answers;
    std::deque<std::string> inbox; // function names

    std::map<std::uint64_t, std::shared_ptr<Work>> works;
    std::uint64_t nextWork = 0;

    HANDLE thread = nullptr;
    HANDLE left = nullptr;    // set by the movie thread as its last act
    HANDLE release = nullptr; // lets the movie thread return from its last wait
    movie::Movie movie;

    // Reply slots of the listener calls under way (window's thread only).
    std::vector<std::string*> replySlots;

    ~Player() {
        if (thread)
            CloseHandle(thread);
        if (left)
            CloseHandle(left);
        if (release)
            CloseHandle(release);
    }

    void redraw() {
        if (hwnd)
            InvalidateRect(hwnd, nullptr, FALSE);
    }

    // --- window's thread -------------------------------------------------

    std::string notifyCall(const std::string& request) {
        std::string name = movie::invokeName(request);
        PFPC_LISTENER l;
        LPARAM user;
        {
            Lock g(lock);
            if (!allowScript) {
                transcript::write("refused call", name.empty() ? "-" : name);
                return kNullReply;
            }
            l = listener;
            user = userValue;
        }
        if (l == nullptr)
            return {};
        SFPCFlashCallInfoStructA info{};
        info.hdr.hwndFrom = hwnd;
        info.hdr.idFrom = 0;
        info.hdr.code = FPCN_FLASHCALL;
        info.request = request.c_str();
        std::string reply;
        replySlots.push_back(&reply);
        l(hwnd, user, &info.hdr);
        replySlots.pop_back();
        return reply;
    }

    void notifyCommand(const std::string& command, const std::string& args) {
        PFPC_LISTENER l;
        LPARAM user;
        {
            Lock g(lock);
            if (!allowScript) {
                transcript::write("refused fscommand", command);
                return;
            }
            l = listener;
            user = userValue;
        }
        if (l == nullptr)
            return;
        SFPCFSCommandInfoStructA info{};
        info.hdr.hwndFrom = hwnd;
        info.hdr.idFrom = 0;
        info.hdr.code = FPCN_FSCOMMAND;
        info.command = command.c_str();
        info.args = args.c_str();
        l(hwnd, user, &info.hdr);
    }

    // The movie's handler for a host call: any thread, answers from the table.
    bool answerHostCall(const std::string& request, std::string& reply) {
        std::string name = movie::invokeName(request);
        bool ok;
        {
            Lock g(lock);
            ok = movieLoaded && !stopping;
            if (ok) {
                auto it = answers.find(name);
                if (it == answers.end())
                    it = answers.find("*");
                reply = it != answers.end() ? it->second : kNullReply;
                inbox.push_back(name);
                if (name == "OnProgress")
                    if (auto text = movie::firstStringArgument(request))
                        progress = *text;
            }
        }
        WakeAllConditionVariable(&changed);
        transcript::write("host-call", (name.empty() ? "-" : name) + " " + request);
        if (!ok) {
            transcript::write("no-movie", name.empty() ? "-" : name);
            return false;
        }
        transcript::write("answer", (name.empty() ? "-" : name) + " " + reply);
        if (name == "OnProgress")
            redraw();
        return true;
    }

    void runWork(std::uint64_t id) {
        std::shared_ptr<Work> w;
        {
            Lock g(lock);
            auto it = works.find(id);
            if (it == works.end() || it->second->state != Work::Waiting)
                return;
            w = it->second;
            w->state = Work::Taken;
        }
        w->run(*w);
        {
            Lock g(lock);
            w->state = Work::Done;
        }
        WakeAllConditionVariable(&changed);
    }

    // --- movie thread ----------------------------------------------------

    // Runs `w` on the window's thread and waits for it. False when the window is
    // going away before the work is done.
    bool onWindow(const std::shared_ptr<Work>& w) {
        std::uint64_t id;
        {
            Lock g(lock);
            if (stopping)
                return false;
            id = ++nextWork;
            works.emplace(id, w);
        }
        bool done = false;
        for (;;) {
            DWORD_PTR result = 0;
            SetLastError(0);
            LRESULT sent = SendMessageTimeoutW(hwnd, kRunWorkMessage, 0, static_cast<LPARAM>(id),
                                               SMTO_NORMAL, 100, &result);
            DWORD error = GetLastError();
            Lock g(lock);
            // Wait while the window's thread is on it (a listener may take long).
            while (w->state == Work::Taken && !stopping)
                SleepConditionVariableSRW(&changed, &lock, 100, 0);
            if (w->state == Work::Done) {
                done = true;
                break;
            }
            if (stopping || (sent == 0 && error != ERROR_TIMEOUT && error != 0))
                break;
        }
        Lock g(lock);
        works.erase(id);
        return done;
    }

    bool stopRequested() {
        Lock g(lock);
        return stopping;
    }

    // Waits until `pred` holds (true), the deadline passes or the movie is stopped
    // (false). Called with `lock` held.
    template <typename Pred> bool waitLocked(double seconds, Pred pred) {
        ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
        while (!pred()) {
            if (stopping)
                return false;
            ULONGLONG now = GetTickCount64();
            if (seconds >= 0 && now >= deadline)
                return false;
            DWORD wait = seconds >= 0 ? static_cast<DWORD>(deadline - now) : INFINITE;
            SleepConditionVariableSRW(&changed, &lock, wait, 0);
        }
        return true;
    }

    void show(std::string Player::*field, const std::string& text, const char* event) {
        {
            Lock g(lock);
            this->*field = text;
        }
        transcript::write(event, text);
        redraw();
    }

    void failMovie(const movie::Step& step, const std::string& text) {
        std::string line = std::to_string(step.line);
        {
            Lock g(lock);
            message = "Movie failed at line " + line + ": " + text;
            state = "failed";
        }
        transcript::write("fail", line + " " + text);
        redraw();
    }

    std::string call(const std::string& request, bool& stopped) {
        auto w = std::make_shared<Work>();
        w->in = request;
        auto self = shared_from_this();
        w->run = [self](Work& work) { work.out = self->notifyCall(work.in); };
        stopped = !onWindow(w);
        return w->out;
    }

    // Returns false when the movie must end (stopped or failed).
    bool play() {
        const auto& steps = movie.steps;
        std::vector<std::pair<std::size_t, std::int64_t>> loops; // begin step, rounds left
        std::string reply;
        std::size_t pc = 0;
        auto stoppedOut = [&] {
            transcript::write("stopped");
            return false;
        };
        while (pc < steps.size()) {
            if (stopRequested())
                return stoppedOut();
            const movie::Step& s = steps[pc];
            std::size_t next = pc + 1;
            switch (s.op) {
            case movie::Op::Title:
                show(&Player::title, s.text, "title");
                break;
            case movie::Op::Status:
                show(&Player::status, s.text, "status");
                break;
            case movie::Op::Progress:
                show(&Player::progress, s.text, "progress");
                break;
            case movie::Op::Bar: {
                {
                    Lock g(lock);
                    bar = static_cast<int>(s.count);
                }
                transcript::write("bar", std::to_string(s.count));
                redraw();
                break;
            }
            case movie::Op::Call:
            case movie::Op::Raw: {
                if (s.op == movie::Op::Call)
                    transcript::write("call", s.name + " " + s.text);
                else
                    transcript::write("raw", s.text);
                bool stopped = false;
                reply = call(s.text, stopped);
                if (stopped)
                    return stoppedOut();
                transcript::write("reply", reply);
                break;
            }
            case movie::Op::Expect:
                if (reply != s.text) {
                    failMovie(s, "expected " + s.text + " but the reply was " +
                                     (reply.empty() ? std::string("empty") : reply));
                    return false;
                }
                transcript::write("expect ok", s.text);
                break;
            case movie::Op::Answer: {
                Lock g(lock);
                answers[s.name] = s.text;
                break;
            }
            case movie::Op::Wait: {
                std::string names;
                for (const auto& n : s.names)
                    names += (names.empty() ? "" : " ") + n;
                transcript::write("wait", names);
                std::size_t which = 0;
                bool got;
                {
                    Lock g(lock);
                    got = waitLocked(s.seconds, [&] {
                        while (!inbox.empty()) {
                            std::string name = std::move(inbox.front());
                            inbox.pop_front();
                            auto it = std::find(s.names.begin(), s.names.end(), name);
                            if (it != s.names.end()) {
                                which = static_cast<std::size_t>(it - s.names.begin());
                                return true;
                            }
                        }
                        return false;
                    });
                }
                if (!got) {
                    if (stopRequested())
                        return stoppedOut();
                    transcript::write("timeout", names);
                    failMovie(s,
                              "no call of " + names + " within " + formatSeconds(s.seconds) + " s");
                    return false;
                }
                transcript::write("got", s.names[which]);
                if (!s.labels[which].empty()) {
                    loops.clear();
                    next = s.targets[which];
                }
                break;
            }
            case movie::Op::FsCommand: {
                transcript::write("fscommand", s.text.empty() ? s.name : s.name + " " + s.text);
                auto w = std::make_shared<Work>();
                w->in = s.name;
                w->in2 = s.text;
                auto self = shared_from_this();
                w->run = [self](Work& work) { self->notifyCommand(work.in, work.in2); };
                if (!onWindow(w))
                    return stoppedOut();
                break;
            }
            case movie::Op::Button: {
                {
                    Lock g(lock);
                    button = s.text;
                    buttonPressed = false;
                }
                transcript::write("button", s.text);
                redraw();
                bool byUser;
                {
                    Lock g(lock);
                    byUser = waitLocked(s.seconds, [&] { return buttonPressed; });
                    button.clear();
                    if (stopping)
                        byUser = false;
                }
                redraw();
                if (stopRequested())
                    return stoppedOut();
                transcript::write("press", s.text + (byUser ? " by user" : " by timer"));
                break;
            }
            case movie::Op::Drag: {
                std::string what =
                    std::to_string(s.dx) + " " + std::to_string(s.dy) + (s.flag ? " shift" : "");
                transcript::write("drag", what);
                std::string request;
                std::string error;
                movie::buildRequest("tulip.window.StartMove", "", request, error);
                auto park = std::make_shared<Work>();
                park->run = [this](Work&) { parkCursorOutsideWindow(); };
                if (!onWindow(park))
                    return stoppedOut();
                transcript::write("call", "tulip.window.StartMove " + request);
                bool stopped = false;
                std::string startReply = call(request, stopped);
                if (stopped)
                    return stoppedOut();
                transcript::write("reply", startReply);
                auto w = std::make_shared<Work>();
                int dx = s.dx, dy = s.dy;
                bool shift = s.flag;
                w->run = [this, dx, dy, shift](Work& work) {
                    work.out = dragOnWindow(dx, dy, shift);
                };
                if (!onWindow(w))
                    return stoppedOut();
                transcript::write("window", w->out);
                break;
            }
            case movie::Op::Close: {
                transcript::write("close");
                auto w = std::make_shared<Work>();
                w->run = [this](Work&) { DefWindowProcA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); };
                if (!onWindow(w))
                    return stoppedOut();
                break;
            }
            case movie::Op::Sleep: {
                Lock g(lock);
                waitLocked(s.seconds, [] { return false; });
                break;
            }
            case movie::Op::RepeatBegin:
                if (s.count == 0)
                    next = s.target + 1;
                else
                    loops.emplace_back(pc, s.count);
                break;
            case movie::Op::RepeatEnd:
                if (!loops.empty() && --loops.back().second > 0)
                    next = loops.back().first + 1;
                else if (!loops.empty())
                    loops.pop_back();
                break;
            case movie::Op::Label:
                break;
            case movie::Op::Goto:
                loops.clear();
                next = s.target;
                break;
            case movie::Op::Stop:
                transcript::write("stop");
                return true;
            case movie::Op::Fail:
                failMovie(s, s.text);
                return false;
            }
            pc = next;
        }
        return true;
    }

    // The system's own mouse has no button down: left over the window, it would report
    // a move without the button as soon as the window moves beneath it, which ends the
    // drag. So the drag's mouse is the only one over the window: the system cursor waits
    // in a corner of the screen that the window does not cover. The moves the system
    // has queued for the window by then (the window appearing under the cursor, the
    // cursor leaving it) are dropped: they carry no button and come before the drag.
    // Window's thread.
    void parkCursorOutsideWindow() {
        RECT r{};
        GetWindowRect(hwnd, &r);
        POINT corner{0, 0};
        if (PtInRect(&r, corner)) {
            corner = {GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1};
        }
        SetCursorPos(corner.x, corner.y);
        // Until no move has come for 50 ms (at most half a second): the system's
        // moves may reach the queue a little after the cursor has moved.
        const ULONGLONG begin = GetTickCount64();
        ULONGLONG quietSince = begin;
        MSG m;
        while (GetTickCount64() - begin < 500) {
            if (PeekMessageW(&m, hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE)) {
                quietSince = GetTickCount64();
                continue;
            }
            if (GetTickCount64() - quietSince >= 50)
                break;
            Sleep(5);
        }
    }

    // A person's drag: the left button held down while the mouse travels (dx, dy),
    // in four moves, then released. The moves carry the cursor position in client
    // coordinates as a real mouse would, relative to where the window is at each move.
    std::string dragOnWindow(int dx, int dy, bool shift) {
        POINT start{};
        GetCursorPos(&start);
        const WPARAM keys = shift ? (MK_LBUTTON | MK_SHIFT) : MK_LBUTTON;
        constexpr int kMoves = 4;
        POINT at{};
        for (int k = 1; k <= kMoves; ++k) {
            RECT r{};
            GetWindowRect(hwnd, &r);
            at.x = start.x + dx * k / kMoves - r.left;
            at.y = start.y + dy * k / kMoves - r.top;
            SendMessageW(hwnd, WM_MOUSEMOVE, keys, MAKELPARAM(at.x, at.y));
        }
        SendMessageW(hwnd, WM_LBUTTONUP, shift ? MK_SHIFT : 0, MAKELPARAM(at.x, at.y));
        RECT r{};
        GetWindowRect(hwnd, &r);
        return std::to_string(r.left) + " " + std::to_string(r.top);
    }

    static DWORD WINAPI threadMain(LPVOID param) {
        // The window's thread holds a reference until it has joined us.
        Player* self = static_cast<Player*>(param);
        transcript::write("start");
        bool finished = self->play();
        if (finished) {
            {
                Lock g(self->lock);
                self->state = "finished";
            }
            transcript::write("end");
            self->redraw();
        }
        // Last act: say so and wait in the system for leave to return. The return runs
        // code of this library, which FreeLibrary may be about to unmap: there the
        // thread is ended where it waits, outside our code (see stopMovie).
        SignalObjectAndWait(self->left, self->release, INFINITE, FALSE);
        return 0;
    }

    // Stops the movie thread and waits for it (window's thread, or DllMain with
    // waitForThread false: there the loader lock is held, so the thread cannot be let
    // go through its return and thread exit, only waited for to reach its last wait).
    void stopMovie(bool waitForThread) {
        {
            Lock g(lock);
            stopping = true;
        }
        WakeAllConditionVariable(&changed);
        if (thread == nullptr)
            return;
        WaitForSingleObject(left, 10000);
        if (waitForThread) {
            SetEvent(release);
            WaitForSingleObject(thread, 10000);
        } else {
            // The library is being unmapped: the thread must not run another
            // instruction of it. It waits in the system now (or, stuck past the
            // deadline, would fault in unmapped code): end it there.
            TerminateThread(thread, 0);
            WaitForSingleObject(thread, 2000);
        }
        CloseHandle(thread);
        thread = nullptr;
    }

    bool load(const char* path) {
        stopMovie(true);
        std::string bytes;
        bool readable = false;
        std::wstring wpath = widen(path ? path : "");
        HANDLE f = CreateFileW(wpath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        std::string why;
        if (f != INVALID_HANDLE_VALUE) {
            LARGE_INTEGER size{};
            // A movie is a short text; more than 16 MiB is not one of ours.
            if (GetFileSizeEx(f, &size) && size.QuadPart <= 16 * 1024 * 1024) {
                bytes.resize(static_cast<std::size_t>(size.QuadPart));
                DWORD got = 0;
                readable =
                    bytes.empty() ||
                    (ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                     got == bytes.size());
                if (!readable)
                    why = "the file cannot be read";
            } else {
                why = "the file is too large for a movie";
            }
            CloseHandle(f);
        } else {
            why = "the file cannot be opened";
        }
        movie::ParseResult parsed;
        if (readable) {
            parsed = movie::parse(bytes);
            why = parsed.error;
        }
        transcript::write("load", path ? path : "");
        {
            Lock g(lock);
            stopping = false;
            inbox.clear();
            answers.clear();
            title.clear();
            status.clear();
            progress.clear();
            button.clear();
            bar = -1;
            movieLoaded = parsed.movie.has_value();
            if (movieLoaded) {
                movie = std::move(*parsed.movie);
                // The answers at the head of the movie hold from the moment it is
                // loaded, so a host call that comes at once finds them.
                for (const auto& step : movie.steps) {
                    if (step.op == movie::Op::Answer)
                        answers[step.name] = step.text;
                    else if (step.op != movie::Op::Title && step.op != movie::Op::Status &&
                             step.op != movie::Op::Progress && step.op != movie::Op::Bar &&
                             step.op != movie::Op::Label)
                        break;
                }
                message.clear();
                state = "playing";
            } else {
                message = "This movie cannot be played: " + why;
                state = "cannot be played";
            }
        }
        redraw();
        if (!parsed.movie) {
            transcript::write("unreadable", why);
            return false;
        }
        if (left == nullptr)
            left = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (release == nullptr)
            release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (left == nullptr || release == nullptr)
            return false;
        ResetEvent(left);
        ResetEvent(release);
        thread = CreateThread(nullptr, 0, &Player::threadMain, this, 0, nullptr);
        return thread != nullptr;
    }

    void paint(HDC target, const RECT& client) {
        std::string t, st, pr, bt, msg, stt;
        int b;
        {
            Lock g(lock);
            t = title;
            st = status;
            pr = progress;
            bt = button;
            msg = message;
            stt = state;
            b = bar;
        }
        const int w = client.right - client.left;
        const int h = client.bottom - client.top;
        HDC dc = CreateCompatibleDC(target);
        HBITMAP bmp = CreateCompatibleBitmap(target, std::max(w, 1), std::max(h, 1));
        HGDIOBJ oldBmp = SelectObject(dc, bmp);
        HBRUSH bg = CreateSolidBrush(RGB(244, 246, 250));
        FillRect(dc, &client, bg);
        DeleteObject(bg);
        SetBkMode(dc, TRANSPARENT);

        auto font = [](int height, int weight) {
            return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_SWISS, L"Tahoma");
        };
        HFONT big = font(22, FW_BOLD);
        HFONT normal = font(14, FW_NORMAL);
        auto text = [&](HFONT f, COLORREF color, int top, int height, const std::string& s,
                        UINT flags = DT_LEFT) {
            HGDIOBJ old = SelectObject(dc, f);
            SetTextColor(dc, color);
            RECT r{20, top, w - 20, top + height};
            std::wstring ws = widen(s);
            DrawTextW(dc, ws.c_str(), static_cast<int>(ws.size()), &r,
                      flags | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
            SelectObject(dc, old);
        };
        text(big, RGB(30, 40, 70), 24, 32, t);
        text(normal, RGB(40, 40, 40), 70, 40, st);
        text(normal, RGB(80, 80, 80), 112, 40, pr);
        if (b >= 0) {
            RECT frame{20, 160, w - 20, 178};
            HBRUSH edge = CreateSolidBrush(RGB(150, 160, 180));
            FrameRect(dc, &frame, edge);
            DeleteObject(edge);
            RECT fill{22, 162, 22 + (w - 44) * b / 100, 176};
            HBRUSH blue = CreateSolidBrush(RGB(60, 110, 210));
            FillRect(dc, &fill, blue);
            DeleteObject(blue);
        }
        if (!msg.empty())
            text(normal, RGB(190, 30, 30), 196, 60, msg);
        RECT br{};
        if (!bt.empty()) {
            br = RECT{w / 2 - 70, h - 76, w / 2 + 70, h - 42};
            HBRUSH face = CreateSolidBrush(RGB(60, 110, 210));
            FillRect(dc, &br, face);
            DeleteObject(face);
            HGDIOBJ old = SelectObject(dc, normal);
            SetTextColor(dc, RGB(255, 255, 255));
            std::wstring ws = widen(bt);
            DrawTextW(dc, ws.c_str(), static_cast<int>(ws.size()), &br,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
            SelectObject(dc, old);
        }
        text(normal, RGB(140, 140, 150), h - 28, 20, stt);
        {
            Lock g(lock);
            buttonRect = br;
        }
        BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
        SelectObject(dc, oldBmp);
        DeleteObject(bmp);
        DeleteDC(dc);
        DeleteObject(big);
        DeleteObject(normal);
    }
};

// Every live player window. Shared pointers: a thread in FPCCallFunctionA keeps its
// player alive while the window goes away.
SRWLOCK gPlayersLock = SRWLOCK_INIT;
std::map<HWND, std::shared_ptr<Player>>* gPlayers = nullptr;

std::map<HWND, std::shared_ptr<Player>>& players() {
    if (gPlayers == nullptr)
        gPlayers = new std::map<HWND, std::shared_ptr<Player>>();
    return *gPlayers;
}

std::shared_ptr<Player> find(HWND hwnd) {
    Lock g(gPlayersLock);
    auto& all = players();
    auto it = all.find(hwnd);
    return it != all.end() ? it->second : nullptr;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        // FPC_CreateWindowA hands its player over through the creation parameter.
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
        std::shared_ptr<Player> p = *static_cast<std::shared_ptr<Player>*>(create->lpCreateParams);
        p->hwnd = hwnd;
        p->windowThread = GetCurrentThreadId();
        Lock g(gPlayersLock);
        players()[hwnd] = p;
    }
    std::shared_ptr<Player> p = find(hwnd);
    if (p == nullptr)
        return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
    case kRunWorkMessage:
        p->runWork(static_cast<std::uint64_t>(lp));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client{};
        GetClientRect(hwnd, &client);
        p->paint(dc, client);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        bool pressed = false;
        {
            Lock g(p->lock);
            if (!p->button.empty() && PtInRect(&p->buttonRect, pt)) {
                p->buttonPressed = true;
                pressed = true;
            }
        }
        if (pressed)
            WakeAllConditionVariable(&p->changed);
        break;
    }
    case WM_NCDESTROY: {
        p->stopMovie(true);
        transcript::write("destroyed");
        Lock g(gPlayersLock);
        players().erase(hwnd);
        break;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

bool registerClass() {
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = gModule;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.lpszClassName = kClassName;
    registered = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

bool readString(HKEY root, const char* path, const char* value, std::string& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buf[1024];
    DWORD size = sizeof buf - 1;
    DWORD type = 0;
    LONG r = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buf[size] = '\0';
    out = buf;
    return true;
}

} // namespace

void setModule(HINSTANCE module) {
    gModule = module;
}

// FreeLibrary with player windows still alive: stop their movie threads. The loader
// lock is held here, so no thread may run to its exit: each is waited for until it
// has signalled its last act, then ended where it waits (see stopMovie).
void unloading() {
    std::vector<std::shared_ptr<Player>> alive;
    {
        Lock g(gPlayersLock);
        for (auto& [h, p] : players())
            alive.push_back(p);
    }
    for (auto& p : alive)
        p->stopMovie(false);
    transcript::close();
}

} // namespace player

using player::find;
using player::Player;

FPC_API BOOL WINAPI FPCIsFlashInstalled(void) {
    std::string path;
    if (!player::readString(HKEY_CLASSES_ROOT, player::kFlashClsidKey, nullptr, path) ||
        path.empty())
        return FALSE;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FPC_API DWORD WINAPI GetInstalledFlashVersion(void) {
    std::string version;
    if (!player::readString(HKEY_LOCAL_MACHINE, player::kFlashPlayerKey, "Version", version))
        return 0;
    // "major.minor.build.revision": major and minor in the high bytes, build in the low word.
    DWORD parts[3] = {0, 0, 0};
    int index = 0;
    bool digit = false;
    for (char c : version) {
        if (c >= '0' && c <= '9') {
            if (index < 3)
                parts[index] = std::min<DWORD>(parts[index] * 10 + (c - '0'), 0xFFFF);
            digit = true;
        } else if (c == '.' && digit) {
            ++index;
            digit = false;
        } else {
            return 0;
        }
    }
    if (!digit && index == 0)
        return 0;
    return (std::min<DWORD>(parts[0], 255) << 24) | (std::min<DWORD>(parts[1], 255) << 16) |
           parts[2];
}

FPC_API HFPC WINAPI FPC_LoadRegisteredOCX(void) {
    return FPCIsFlashInstalled() ? &player::gControl : nullptr;
}

FPC_API HWND WINAPI FPC_CreateWindowA(HFPC fpc, DWORD exStyle, LPCSTR title, DWORD style, int x,
                                      int y, int width, int height, HWND parent, HMENU menu,
                                      HINSTANCE, LPVOID) {
    if (fpc != &player::gControl) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!player::registerClass())
        return nullptr;
    auto p = std::make_shared<Player>();
    {
        player::Lock g(p->lock);
        p->title = title ? title : "";
        p->state = "no movie";
    }
    std::wstring wtitle = player::widen(title ? title : "");
    HWND hwnd = CreateWindowExW(exStyle, player::kClassName, wtitle.c_str(), style, x, y, width,
                                height, parent, menu, player::gModule, &p);
    if (hwnd == nullptr)
        return nullptr;
    // A layered window shows nothing until its layering attributes are set; the movie
    // is opaque.
    if (exStyle & WS_EX_LAYERED)
        SetLayeredWindowAttributes(hwnd, 0, 255, LWA_ALPHA);
    player::transcript::write("create", std::string(title ? title : ""));
    return hwnd;
}

FPC_API BOOL WINAPI FPC_SetContext(HWND hwnd, LPCSTR context) {
    auto p = find(hwnd);
    if (p == nullptr)
        return FALSE;
    player::Lock g(p->lock);
    p->context = context ? context : "";
    return TRUE;
}

FPC_API BOOL WINAPI FPCSetEventListener(HWND hwnd, PFPC_LISTENER listener, LPARAM userValue) {
    auto p = find(hwnd);
    if (p == nullptr)
        return FALSE;
    player::Lock g(p->lock);
    p->listener = listener;
    p->userValue = userValue;
    return TRUE;
}

FPC_API BOOL WINAPI FPC_LoadMovieA(HWND hwnd, int, LPCSTR path) {
    auto p = find(hwnd);
    if (p == nullptr || p->windowThread != GetCurrentThreadId())
        return FALSE;
    return p->load(path) ? TRUE : FALSE;
}

FPC_API BOOL WINAPI FPC_PutAllowScriptAccessA(HWND hwnd, LPCSTR value) {
    auto p = find(hwnd);
    if (p == nullptr)
        return FALSE;
    player::Lock g(p->lock);
    p->allowScript = value != nullptr && lstrcmpiA(value, "always") == 0;
    return TRUE;
}

FPC_API BOOL WINAPI FPCCallFunctionA(HWND hwnd, LPCSTR request, LPSTR response, DWORD* length) {
    auto p = find(hwnd);
    std::string answer;
    bool ok = false;
    if (p != nullptr && request != nullptr) {
        if (p->windowThread == GetCurrentThreadId()) {
            ok = p->answerHostCall(request, answer);
        } else {
            auto w = std::make_shared<player::Work>();
            w->in = request;
            w->run = [p](player::Work& work) { work.ok = p->answerHostCall(work.in, work.out); };
            std::uint64_t id;
            {
                player::Lock g(p->lock);
                id = ++p->nextWork;
                p->works.emplace(id, w);
            }
            DWORD_PTR result = 0;
            SendMessageTimeoutW(hwnd, player::kRunWorkMessage, 0, static_cast<LPARAM>(id),
                                SMTO_NORMAL, 200, &result);
            bool here = false;
            {
                player::Lock g(p->lock);
                if (w->state == player::Work::Waiting) {
                    // The window's thread did not take it: its loop has ended or it is
                    // busy. The answer table is the same from here.
                    w->state = player::Work::Taken;
                    here = true;
                } else {
                    while (w->state != player::Work::Done)
                        SleepConditionVariableSRW(&p->changed, &p->lock, 100, 0);
                }
                p->works.erase(id);
            }
            if (here)
                w->ok = p->answerHostCall(w->in, w->out);
            ok = w->ok;
            answer = std::move(w->out);
        }
    }
    if (length != nullptr) {
        DWORD room = response != nullptr ? *length : 0;
        DWORD copied = 0;
        if (room > 0) {
            copied = static_cast<DWORD>(std::min<std::size_t>(answer.size(), room - 1));
            CopyMemory(response, answer.data(), copied);
            response[copied] = '\0';
        }
        *length = copied + 1;
    }
    return ok ? TRUE : FALSE;
}

FPC_API BOOL WINAPI FPCSetReturnValueA(HWND hwnd, LPCSTR answer) {
    auto p = find(hwnd);
    if (p == nullptr || p->windowThread != GetCurrentThreadId() || p->replySlots.empty())
        return FALSE;
    *p->replySlots.back() = answer ? answer : "";
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        player::setModule(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // FreeLibrary (not process exit, where the other threads are gone already).
        player::unloading();
    }
    return TRUE;
}
