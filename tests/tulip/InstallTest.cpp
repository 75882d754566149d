// "tulip.vxcore.install": the functions through the path call, and the workers
// reporting into a fake window (the movie's host is not part of these tests). The
// product installer is the stand-in STANDIN_INSTALLER; runs that need the archives
// or .NET use environments of the test's own.
#include "tulip/vxcore/install.h"

#include "BuildConfig.h"
#include "runtime/Paths.h"
#include "runtime/win32/WinText.h"
#include "support/CapturedLog.h"
#include "support/FakeApplication.h"
#include "support/win32/TestPaths.h"
#include "tulip/vxcore/VXCoreNamespace.h"
#include "vx/Exception.h"
#include "vx/vxpath.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testing_support::CapturedLog;
using testing_support::wineVisible;
using vx::Variant;

struct Call {
    std::string function;
    Variant::List args;
};

class FakeWindow : public vx::application::IApplicationWindow {
public:
    Variant DoCallback(const std::string& functionName, const Variant::List& args) override {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back({functionName, args});
        changed_.notify_all();
        return Variant(std::string("<string>ok</string>"));
    }
    IApplicationWindow& getWindow() override { return *this; }
    void StartMove() override {}
    void StopMove() override {}
    void setApplication(std::shared_ptr<vx::application::IVXApplication>) override {}
    std::shared_ptr<vx::application::IVXApplication> getApplication() const override {
        return nullptr;
    }

    // Waits (at most 60 s) until `count` calls of `function` have come.
    std::vector<Call> waitFor(const std::string& function, std::size_t count = 1) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(60),
                          [&] { return countLocked(function) >= count; });
        return calls_;
    }
    std::vector<Call> calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    std::size_t countLocked(const std::string& function) const {
        std::size_t n = 0;
        for (const Call& c : calls_) {
            n += c.function == function;
        }
        return n;
    }
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Call> calls_;
};

struct Fixture {
    std::shared_ptr<testing_support::FakeApplication> application =
        std::make_shared<testing_support::FakeApplication>();
    std::shared_ptr<FakeWindow> window = std::make_shared<FakeWindow>();
    tulip::vxcore::InstallNamespace names{application};

    Fixture() { application->registerInterface("IApplicationWindow", window); }

    Variant call(const std::string& function, const Variant::List& args) const {
        const std::vector<std::string> path{"install", function};
        return names.callPath(path, args);
    }
};

const std::string kInstaller = wineVisible(STANDIN_INSTALLER);

vx::install::InstallEnvironment standIn() {
    vx::install::InstallEnvironment e;
    e.dotNetInstalled = [] { return true; };
    e.installDotNet = [](const vx::install::Callback&) {};
    e.prepareInstaller = [] { return kInstaller; };
    e.uninstallerFolder = [] { return kInstaller.substr(0, kInstaller.rfind('\\')); };
    return e;
}

// Every report carries exactly one argument, a text; these are those texts.
std::vector<std::string> texts(const std::vector<Call>& calls) {
    std::vector<std::string> out;
    for (const Call& c : calls) {
        EXPECT_EQ(c.args.size(), 1u) << c.function;
        out.push_back(c.function + " " + (c.args.size() == 1 ? c.args[0].asString() : "?"));
    }
    return out;
}

TEST(InstallNamespace, MembersInTheirFixedOrder) {
    Fixture f;
    const char* names[] = {"Uninstall", "CheckUpdates",  "GetInstallConfigUrl",
                           "DoInstall", "DoMetaInstall", "DoUninstall",
                           "ListApps",  "GetVersion",    "IsDotNetInstalled"};
    for (std::int32_t id = 1; id <= 9; ++id) {
        const std::string* name = f.names.memberName(id);
        ASSERT_NE(name, nullptr) << id;
        EXPECT_EQ(*name, names[id - 1]);
    }
    EXPECT_EQ(f.names.memberName(10), nullptr);
}

TEST(InstallNamespace, ConfigUrlAndQueryErrors) {
    Fixture f;
    EXPECT_EQ(f.call("GetInstallConfigUrl", {}).asString(),
              std::string(build::kContentServer) +
                  "/apps/installer/dirovivov/install_dirovivov.xml");
    CapturedLog log;
    for (const Variant::List& args :
         {Variant::List{"4.0"}, Variant::List{Variant(2.0L)}, Variant::List{}}) {
        EXPECT_TRUE(f.call("IsDotNetInstalled", args).empty());
    }
    EXPECT_EQ(log.texts(),
              std::vector<std::string>(
                  3, "Caught an Exception resolving a tulip call and now returning null"));
    EXPECT_TRUE(f.call("IsDotNetInstalled", {"2.0"}).is(Variant::Kind::Bool));
}

// GetVersion through the product's files in the prefix, under a name of this
// process's own (other tests write the shared files at the same time).
TEST(InstallNamespace, GetVersionReadsTheApplicationsData) {
    Fixture f;
    const std::string app = "getversion-" + std::to_string(GetCurrentProcessId());
    const std::string folder = vx::vxpath::GetAppDirectory(app) + "/config";
    fs::create_directories(runtime::pathFromUtf8(folder));
    {
        std::ofstream(runtime::pathFromUtf8(folder + "/appdata.cfg"))
            << "[autoupdate]\nlatestversion = 4.2.1\n";
    }
    EXPECT_EQ(f.call("GetVersion", {app}).asString(), "4.2.1");
    CapturedLog log;
    EXPECT_TRUE(f.call("GetVersion", {app + "-missing"}).empty());
    EXPECT_TRUE(f.call("GetVersion", {Variant(true)}).empty());
    EXPECT_EQ(log.texts(),
              std::vector<std::string>(
                  2, "Caught an Exception resolving a tulip call and now returning null"));
    std::error_code ignored;
    fs::remove_all(runtime::pathFromUtf8(vx::vxpath::GetAppDirectory(app)), ignored);
}

TEST(InstallWorkers, AnInstallReportsEachLineThenInstalled) {
    Fixture f;
    CapturedLog log;
    std::make_shared<tulip::vxcore::install::InstallThread>(
        Variant::List{"worker-app", Variant::Map{{"lines", "3"}}}, f.application, standIn())
        ->start();
    const auto calls = f.window->waitFor("OnComplete");
    EXPECT_EQ(texts(calls),
              (std::vector<std::string>{
                  "OnProgress Installing worker-app", "OnProgress line 1", "OnProgress line 2",
                  "OnProgress line 3", "OnProgress Installed worker-app", "OnComplete Installed"}));
    const auto lines = log.texts();
    const std::vector<std::string> last(lines.end() - 3, lines.end());
    EXPECT_EQ(last, (std::vector<std::string>{"Got an OnComplete", "About to do Callback",
                                              "Callback Complete"}));
}

TEST(InstallWorkers, UninstallWithOrWithoutOptions) {
    for (const Variant::List& args : {Variant::List{"un-app"}, Variant::List{"un-app", Variant()},
                                      Variant::List{"un-app", Variant::Map{}}}) {
        Fixture f;
        std::make_shared<tulip::vxcore::install::UninstallThread>(args, f.application, standIn())
            ->start();
        EXPECT_EQ(
            texts(f.window->waitFor("OnComplete")),
            (std::vector<std::string>{"OnProgress Uninstalling un-app", "OnProgress Removed un-app",
                                      "OnComplete Uninstalled"}));
    }
}

TEST(InstallWorkers, TheInstallersErrorTextReachesTheMovie) {
    Fixture f;
    std::make_shared<tulip::vxcore::install::MetaInstallThread>(
        Variant::List{Variant::Map{{"meta-app", Variant::Map{{"stderr", "disk,full"}}}}},
        f.application, standIn())
        ->start();
    EXPECT_EQ(texts(f.window->waitFor("OnError")),
              (std::vector<std::string>{"OnProgress Installing meta-app",
                                        "OnProgress Installed meta-app", "OnError disk\r\nfull"}));
}

// A failed request is reported, never left for the movie to wait for: wrong kinds of
// arguments through the script functions, and failures of the steps before the child.
TEST(InstallWorkers, FailedRequestsAreReportedAndLogged) {
    struct Case {
        const char* what;
        const char* function;
        Variant::List args;
    };
    const Case cases[] = {
        {"options not an object", "DoInstall", {"abc", "silent"}},
        {"no options", "DoInstall", {"abc"}},
        {"name not a text", "DoInstall", {Variant(1.0L), Variant::Map{}}},
        {"option value a number", "DoInstall", {"abc", Variant::Map{{"silent", Variant(1.0L)}}}},
        {"applications not an object", "DoMetaInstall", {Variant::List{}}},
        {"application options not an object", "DoMetaInstall", {Variant::Map{{"abc", "x"}}}},
        {"nothing", "DoMetaInstall", {}},
        {"uninstall options not an object", "DoUninstall", {"abc", "x"}},
        {"uninstall name missing", "DoUninstall", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        CapturedLog log;
        const Variant reply = f.call(c.function, c.args);
        EXPECT_TRUE(reply.is(Variant::Kind::NullPointer));
        const auto calls = f.window->waitFor("OnError");
        ASSERT_EQ(calls.size(), 1u);
        ASSERT_EQ(calls[0].args.size(), 1u);
        const std::string message = calls[0].args[0].asString();
        EXPECT_FALSE(message.empty());
        const auto lines = log.texts();
        EXPECT_NE(std::find(lines.begin(), lines.end(), "The install request failed: " + message),
                  lines.end());
    }

    // The steps before the child: the archives, .NET, the program itself.
    const std::function<void(vx::install::InstallEnvironment&)> failures[] = {
        [](auto& e) {
            e.prepareInstaller = []() -> std::string { throw vx::VXDownloadException("cut off"); };
        },
        [](auto& e) {
            e.dotNetInstalled = [] { return false; };
            e.installDotNet = [](const vx::install::Callback&) {
                throw vx::VXProcessException("Unable to successfully install .NET 2.0.");
            };
        },
        [](auto& e) {
            e.prepareInstaller = [] { return std::string("C:\\nowhere\\Installer.exe"); };
        },
    };
    for (const auto& failure : failures) {
        Fixture f;
        auto environment = standIn();
        failure(environment);
        std::make_shared<tulip::vxcore::install::InstallThread>(
            Variant::List{"abc", Variant::Map{}}, f.application, environment)
            ->start();
        const auto calls = f.window->waitFor("OnError");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].function, "OnError");
    }
}

// Two installs side by side: preparing the archives never overlaps, and both end.
TEST(InstallWorkers, TwoInstallsAtOnceBothComplete) {
    Fixture f;
    std::atomic<int> preparing{0};
    std::atomic<int> most{0};
    auto environment = standIn();
    environment.prepareInstaller = [&] {
        const int now = ++preparing;
        most = std::max(most.load(), now);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        --preparing;
        return kInstaller;
    };
    for (const char* name : {"twin-a", "twin-b"}) {
        std::make_shared<tulip::vxcore::install::InstallThread>(
            Variant::List{name, Variant::Map{{"lines", "200"}}}, f.application, environment)
            ->start();
    }
    const auto calls = f.window->waitFor("OnComplete", 2);
    std::size_t completes = 0;
    std::size_t progress = 0;
    for (const Call& c : calls) {
        completes += c.function == "OnComplete";
        progress += c.function == "OnProgress";
    }
    EXPECT_EQ(completes, 2u);
    EXPECT_EQ(progress, 2u * 202);
    EXPECT_EQ(most.load(), 1);
}

// --- the bootstrapper --------------------------------------------------------

TEST(BootstrapperCall, ParametersAndFolders) {
    const std::string folder =
        wineVisible(STANDIN_BOOTSTRAPPER_DIR) + "\\core-" + std::to_string(GetCurrentProcessId());
    const std::string slashed = vx::vxpath::normalise(folder);
    fs::create_directories(runtime::pathFromUtf8(folder + "\\pyvxcore"));
    const auto call = [&] {
        return tulip::vxcore::install::bootstrapperCall(folder, "C:/Python25/pythonw.exe", "abc",
                                                        "-u");
    };

    // Only installer.pyc: the compiled script.
    { std::ofstream(runtime::pathFromUtf8(folder + "\\pyvxcore\\installer.pyc")) << "c"; }
    auto pyc = call();
    EXPECT_EQ(pyc.file, slashed + "/bootstrapper.exe");
    EXPECT_EQ(pyc.directory, slashed);
    EXPECT_EQ(pyc.parameters, "-uninstall\"C:/Python25/pythonw.exe\" \"" + slashed +
                                  "/pyvxcore/installer.pyc\" -u abc");

    // With installer.py present it wins.
    { std::ofstream(runtime::pathFromUtf8(folder + "\\pyvxcore\\installer.py")) << "p"; }
    EXPECT_EQ(call().parameters, "-uninstall\"C:/Python25/pythonw.exe\" \"" + slashed +
                                     "/pyvxcore/installer.py\" -u abc");

    // Started for real: the stand-in notes its command line and folder.
    fs::copy_file(runtime::pathFromUtf8(wineVisible(STANDIN_BOOTSTRAPPER)),
                  runtime::pathFromUtf8(folder + "\\bootstrapper.exe"),
                  fs::copy_options::overwrite_existing);
    const auto started = tulip::vxcore::install::bootstrapperCall(folder, "C:/Python25/pythonw.exe",
                                                                  "abc", "--update --notify");
    tulip::vxcore::install::startBootstrapper(started);
    const std::string record = folder + "\\bootstrapper.record";
    std::string line;
    for (int i = 0; i < 200 && line.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream in(runtime::pathFromUtf8(record));
        std::getline(in, line);
    }
    ASSERT_FALSE(line.empty()) << "the bootstrapper did not run";
    const std::string recordedFolder = vx::vxpath::normalise(line.substr(0, line.find('\t')));
    EXPECT_EQ(CompareStringOrdinal(runtime::win32::widen(recordedFolder).c_str(), -1,
                                   runtime::win32::widen(slashed).c_str(), -1, TRUE),
              CSTR_EQUAL)
        << recordedFolder;
    const std::string commandLine = line.substr(line.find('\t') + 1);
    EXPECT_NE(commandLine.find(started.parameters), std::string::npos) << commandLine;
    std::error_code ignored; // the bootstrapper may still be leaving its folder
    fs::remove_all(runtime::pathFromUtf8(folder), ignored);
}

} // namespace
