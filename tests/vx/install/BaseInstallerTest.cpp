// The base installer: the command texts it builds, the records it lists, and runs of
// the stand-in product installer (STANDIN_INSTALLER) with the archives and .NET
// steps replaced by the test's own.
#include "vx/install/BaseInstaller.h"

#include "runtime/Paths.h"
#include "support/CapturedLog.h"
#include "support/win32/TestPaths.h"
#include "vx/Exception.h"
#include "vx/Version.h"
#include "vx/config/ConfigParser.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::CapturedLog;
using testing_support::wineVisible;
using vx::Variant;
using vx::install::BaseInstaller;

Variant::Map map(std::initializer_list<std::pair<const std::string, Variant>> entries) {
    return Variant::Map(entries);
}

TEST(BuildArguments, CommandTexts) {
    struct Case {
        const char* what;
        Variant::Map options;
        const char* expected;
    };
    const Case cases[] = {
        {"no options", {}, "abc"},
        {"one option", map({{"silent", "1"}}), "abc -silent 1"},
        {"the example", map({{"silent", "1"}, {"components", map({{"c1", map({{"path", "x"}})}})}}),
         "abc -silent 1 c1 -path x"},
        {"required elements are bare", map({{"required", Variant::List{"a", "b"}}, {"x", "y"}}),
         "abc a b -x y"},
        {"two components, after the options",
         map({{"components",
               map({{"c1", map({{"k", "v"}})}, {"c2", map({{"p", "1"}, {"q", "2"}})}})},
              {"zeta", "z"}}),
         "abc -zeta z c1 -k v c2 -p 1 -q 2"},
        {"a component without options", map({{"components", map({{"c1", Variant::Map{}}})}}),
         "abc c1"},
        {"empty components", map({{"components", Variant::Map{}}}), "abc "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BaseInstaller::buildArguments("abc", c.options), c.expected) << c.what;
    }
}

TEST(BuildArguments, ValuesOfAnotherKindThanTextAreRefused) {
    const Variant::Map cases[] = {
        map({{"silent", Variant(1.0L)}}),
        map({{"silent", Variant(true)}}),
        map({{"required", "a"}}),
        map({{"required", Variant::List{Variant(2.0L)}}}),
        map({{"components", "c1"}}),
        map({{"components", map({{"c1", "x"}})}}),
        map({{"components", map({{"c1", map({{"k", Variant()}})}})}}),
    };
    for (const Variant::Map& options : cases) {
        EXPECT_THROW(BaseInstaller::buildArguments("abc", options), vx::TypeMismatch);
    }
}

TEST(UninstallArguments, CommandTextsAndTheirLogLines) {
    struct Case {
        const char* what;
        Variant::Map options;
        const char* expected;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"no options", {}, "uninstall abc", {"About to parse options"}},
        {"the example",
         map({{"force", "1"}, {"components", map({{"c1", map({{"k", "v"}})}})}}),
         "uninstall abc -force 1 c1 -k v",
         {"About to parse options", "Got Component: c1", "Got Option: force = 1"}},
        {"required is an ordinary option here",
         map({{"required", "yes"}}),
         "uninstall abc -required yes",
         {"About to parse options", "Got Option: required = yes"}},
    };
    for (const Case& c : cases) {
        CapturedLog log;
        EXPECT_EQ(BaseInstaller::uninstallArguments("abc", c.options), c.expected) << c.what;
        EXPECT_EQ(log.texts(), c.log) << c.what;
    }
}

// --- ListApps and GetVersion over fixture trees ---------------------------------

std::shared_ptr<vx::config::Config> tree(const std::string& text) {
    return vx::config::ConfigParser().parse(text);
}

const char kDesktopConfig[] = "commondir = C:/P\n"
                              "[appregistry]\n"
                              "[[fresh]]\n"
                              "[[current]]\n"
                              "bindir = C:/P/bin\n"
                              "[[[search]]]\n"
                              "x = 1\n"
                              "[[[toolbar]]]\n"
                              "[[behind]]\n"
                              "[[broken]]\n";

std::shared_ptr<vx::config::Config> appData(const std::string& name) {
    if (name == "current") {
        return tree("[autoupdate]\nlatestversion = 2.0\n");
    }
    if (name == "behind") {
        return tree("[autoupdate]\nlatestversion = 1.100\n");
    }
    if (name == "broken") {
        return tree("autoupdate = 3.0\n"); // a value where a section belongs
    }
    throw vx::VXFileException("no appdata.cfg for " + name);
}

std::shared_ptr<vx::config::Config> appConfig(const std::string& name) {
    if (name == "fresh" || name == "current") {
        return tree("version = 2.0\n");
    }
    if (name == "behind") {
        return tree("version = 1.1\n");
    }
    throw vx::VXFileException("no appconfig.cfg for " + name);
}

TEST(ListApps, RecordsInRegistryOrderWithTheirDefaults) {
    const Variant::RecordList records =
        vx::install::ListApps(tree(kDesktopConfig), appData, appConfig);
    struct Expected {
        const char* name;
        const char* version;
        bool upgrade;
        Variant::StringList components;
    };
    const Expected expected[] = {
        // No autoupdate data: "1000" against 2.0. Parts compare as texts, so "1000"
        // is below "2" and no upgrade is offered.
        {"fresh", "1000", false, {}},
        {"current", "2.0", false, {"search", "toolbar"}}, // equal versions
        {"behind", "1.100", true, {}},                    // 1.100 above 1.1
        {"broken", "1000", true, {}}, // malformed data, no appconfig: 1000 against 0
    };
    ASSERT_EQ(records.size(), std::size(expected));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Variant::Map& record = records[i]->value();
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(record.size(), 4u);
        EXPECT_EQ(record.at("name").asString(), expected[i].name);
        EXPECT_EQ(record.at("version").asString(), expected[i].version);
        EXPECT_EQ(record.at("upgrade").asBool(), expected[i].upgrade);
        EXPECT_EQ(record.at("components").asStringList(), expected[i].components);
    }
}

TEST(ListApps, WithoutAnAppRegistryTheCallFails) {
    EXPECT_THROW(vx::install::ListApps(tree("commondir = C:/P\n"), appData, appConfig),
                 vx::VXException);
}

TEST(GetVersion, LatestVersionOrTheLookupError) {
    EXPECT_EQ(vx::install::GetVersion(appData("behind")), "1.100");
    EXPECT_THROW(vx::install::GetVersion(tree("[autoupdate]\nother = 1\n")), vx::VXException);
    EXPECT_THROW(vx::install::GetVersion(tree("version = 1\n")), vx::VXException);
}

// --- runs of the stand-in installer --------------------------------------------

// What the callbacks saw, in order: "progress: ...", "complete: ...", "error: ...".
class Reports {
public:
    BaseInstaller installer(vx::install::InstallEnvironment environment) {
        return BaseInstaller([this](const std::string& m) { add("complete: " + m); },
                             [this](const std::string& m) { add("progress: " + m); },
                             [this](const std::string& m) { add("error: " + m); },
                             std::move(environment));
    }
    std::vector<std::string> all() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

private:
    void add(std::string text) {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(std::move(text));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> seen_;
};

const std::string kInstaller = wineVisible(STANDIN_INSTALLER);

vx::install::InstallEnvironment standIn(bool dotNetThere = true) {
    vx::install::InstallEnvironment e;
    e.dotNetInstalled = [dotNetThere] { return dotNetThere; };
    e.installDotNet = [](const vx::install::Callback& onProgress) {
        onProgress("Executing .NET Installer. Please wait...");
    };
    e.prepareInstaller = [] { return kInstaller; };
    e.uninstallerFolder = [] {
        return kInstaller.substr(0, kInstaller.rfind('\\')); // installer.exe: the same stand-in
    };
    return e;
}

// A name of this process's own, so that records of other runs never match.
std::string unique(const std::string& name) {
    return name + "-" + std::to_string(GetCurrentProcessId());
}

// The command lines the stand-in recorded that contain `marker`.
std::vector<std::string> recordedCommandLines(const std::string& marker) {
    std::ifstream in(
        runtime::pathFromUtf8(kInstaller.substr(0, kInstaller.size() - 4) + ".record"));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        const std::string commandLine = line.substr(line.find('\t') + 1);
        if (commandLine.find(marker) != std::string::npos) {
            out.push_back(commandLine);
        }
    }
    return out;
}

TEST(RunInstaller, ProgressLinesThenInstalled) {
    Reports reports;
    CapturedLog log;
    const std::string name = unique("run-plain");
    reports.installer(standIn()).install(name, map({{"silent", "1"}}));
    EXPECT_EQ(reports.all(),
              (std::vector<std::string>{"progress: Installing " + name,
                                        "progress: Installed " + name, "complete: Installed"}));
    EXPECT_EQ(recordedCommandLines(name + " "),
              std::vector<std::string>{"\"" + kInstaller + "\" install " + name + " -silent 1"});
    const auto texts = log.texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), kInstaller + " install " + name + " -silent 1"),
              texts.end());
}

TEST(RunInstaller, MetaInstallJoinsTheApplications) {
    Reports reports;
    const std::string a = unique("meta-a");
    const std::string b = unique("meta-b");
    reports.installer(standIn()).metaInstall(
        map({{a, map({{"x", "1"}})}, {b, map({{"components", map({{"c", map({{"k", "v"}})}})}})}}));
    EXPECT_EQ(recordedCommandLines(a + " "),
              std::vector<std::string>{"\"" + kInstaller + "\" install " + a + " -x 1 : " + b +
                                       " c -k v"});
    EXPECT_EQ(reports.all().back(), "complete: Installed");
}

TEST(RunInstaller, StandardErrorDecidesTheOutcome) {
    struct Case {
        const char* what;
        Variant::Map options;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"two error lines",
         map({{"stderr", "disk,full"}}),
         {"progress: Installing err", "progress: Installed err", "error: disk\r\nfull"}},
        {"blank lines only",
         map({{"blank-stderr", "3"}}),
         {"progress: Installing err", "progress: Installed err", "complete: Installed"}},
        {"blank lines around an error",
         map({{"blank-stderr", "2"}, {"stderr", "oops"}}),
         {"progress: Installing err", "progress: Installed err", "error: oops"}},
        {"a crash ends the output",
         map({{"crash", "1"}}),
         {"progress: Installing err", "progress: half a li", "complete: Installed"}},
    };
    for (const Case& c : cases) {
        Reports reports;
        reports.installer(standIn()).install("err", c.options);
        EXPECT_EQ(reports.all(), c.expected) << c.what;
    }
}

TEST(RunInstaller, DotNetComesFirstWhenMissing) {
    Reports reports;
    reports.installer(standIn(false)).install("dotnet-first", {});
    EXPECT_EQ(reports.all(), (std::vector<std::string>{
                                 "progress: Executing .NET Installer. Please wait...",
                                 "progress: Installing dotnet-first",
                                 "progress: Installed dotnet-first", "complete: Installed"}));
}

TEST(RunInstaller, FailuresBeforeTheChildRunsAreThrownNotReported) {
    struct Case {
        const char* what;
        std::function<void(vx::install::InstallEnvironment&)> change;
    };
    const Case cases[] = {
        {"archives fail",
         [](auto& e) {
             e.prepareInstaller = []() -> std::string { throw vx::VXException("no zip"); };
         }},
        {"no such program",
         [](auto& e) {
             e.prepareInstaller = [] { return std::string("C:\\nowhere\\Installer.exe"); };
         }},
        {".NET fails",
         [](auto& e) {
             e.dotNetInstalled = [] { return false; };
             e.installDotNet = [](const vx::install::Callback&) {
                 throw vx::VXProcessException("no .NET");
             };
         }},
    };
    for (const Case& c : cases) {
        Reports reports;
        auto environment = standIn();
        c.change(environment);
        EXPECT_ANY_THROW(reports.installer(environment).install("fails", {})) << c.what;
        EXPECT_TRUE(reports.all().empty()) << c.what;
    }
}

// Children that write much, long lines, line ends split across writes, or both
// streams at once: every line arrives, in order, and the result comes last.
TEST(RunInstaller, HeavyOutputIsRelayedWholeAndInOrder) {
    struct Case {
        const char* what;
        Variant::Map options;
        std::size_t lines;
        std::size_t lineSize;
    };
    const Case cases[] = {
        {"100,000 lines", map({{"lines", "100000"}}), 100000, 0},
        {"lines of a megabyte", map({{"lines", "6"}, {"line-size", "1048576"}}), 6, 1048576},
        {"CR LF split across writes", map({{"lines", "20"}, {"split", "1"}}), 20, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reports reports;
        reports.installer(standIn()).install("heavy", c.options);
        const auto all = reports.all();
        ASSERT_EQ(all.size(), c.lines + 3);
        EXPECT_EQ(all.front(), "progress: Installing heavy");
        for (std::size_t k = 1; k <= c.lines; ++k) {
            const std::string& got = all[k];
            const std::string prefix = "progress: line " + std::to_string(k);
            ASSERT_EQ(got.compare(0, prefix.size(), prefix), 0) << got.substr(0, 40);
            if (c.lineSize > 0) {
                ASSERT_EQ(got.size(), std::string("progress: ").size() + c.lineSize);
            } else {
                ASSERT_EQ(got, prefix);
            }
        }
        EXPECT_EQ(all[c.lines + 1], "progress: Installed heavy");
        EXPECT_EQ(all.back(), "complete: Installed");
    }
}

TEST(RunInstaller, BothStreamsAtOnceNeitherBlocksTheOther) {
    Reports reports;
    reports.installer(standIn()).install("both", map({{"both", "50000"}}));
    const auto all = reports.all();
    ASSERT_EQ(all.size(), 50000u + 3);
    for (std::size_t k = 1; k <= 50000; ++k) {
        ASSERT_EQ(all[k], "progress: out " + std::to_string(k));
    }
    std::string errors;
    for (std::size_t k = 1; k <= 50000; ++k) {
        errors += (k > 1 ? "\r\n" : "") + std::string("err ") + std::to_string(k);
    }
    EXPECT_EQ(all.back(), "error: " + errors);
}

// A progress report that fails stops the relaying but not the draining: the child,
// writing far more than a pipe holds, still ends, and so does the request.
TEST(RunInstaller, AFailingProgressReportDoesNotStopTheChild) {
    std::vector<std::string> seen;
    BaseInstaller installer([&](const std::string& m) { seen.push_back("complete: " + m); },
                            [](const std::string&) { throw vx::VXException("the movie is gone"); },
                            [&](const std::string& m) { seen.push_back("error: " + m); },
                            standIn());
    CapturedLog log;
    installer.install("gone", map({{"lines", "50000"}}));
    EXPECT_EQ(seen, std::vector<std::string>{"complete: Installed"});
    const auto texts = log.texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "Relaying the installer's output failed: the movie is gone"),
              texts.end());
}

TEST(Uninstall, RunsTheUninstallerAndAlwaysEndsUninstalled) {
    Reports reports;
    CapturedLog log;
    const std::string name = unique("un-abc");
    reports.installer(standIn()).uninstall(name, map({{"force", "1"}, {"stderr", "ignored"}}));
    EXPECT_EQ(reports.all(),
              (std::vector<std::string>{"progress: Uninstalling " + name,
                                        "progress: Removed " + name, "complete: Uninstalled"}));
    const std::string folder = kInstaller.substr(0, kInstaller.rfind('\\'));
    const std::string arguments = "uninstall " + name + " -force 1 -stderr ignored";
    EXPECT_EQ(recordedCommandLines(name + " "),
              std::vector<std::string>{"\"" + folder + "\\installer.exe\" " + arguments});
    const auto texts = log.texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), folder + "\\installer.exe " + arguments),
              texts.end());
}

} // namespace
