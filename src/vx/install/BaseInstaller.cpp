#include "vx/install/BaseInstaller.h"

#include "runtime/Exception.h"
#include "runtime/LineReader.h"
#include "runtime/ScopeGuard.h"
#include "vx/Exception.h"
#include "vx/Version.h"
#include "vx/config/ConfigScalar.h"
#include "vx/config/app.h"
#include "vx/install/CoreApplicationInstaller.h"
#include "vx/install/DotNetInstaller.h"
#include "vx/logger.h"


#include <memory>
#include <vector>

namespace vx::install {
namespace {

// Preparing the core archives rewrites the shared working folder, so one request at a
// time prepares them and starts its child; once started, a child's image is in use and
// a later request's unpacking cannot swap it underneath.
std::mutex preparingMutex;

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += parts[i];
    }
    return out;
}

std::string trimmed(const std::string& text) {
    const char* const blanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

std::string textOf(const std::shared_ptr<config::ConfigBase>& node, const std::string& what) {
    auto text = std::dynamic_pointer_cast<config::ConfigText>(node);
    if (!text) {
        throw VXException(what + " is not a text value");
    }
    return text->value();
}

std::shared_ptr<config::Config> sectionOf(const std::shared_ptr<config::ConfigBase>& node,
                                          const std::string& what) {
    auto section = std::dynamic_pointer_cast<config::Config>(node);
    if (!section) {
        throw VXException(what + " is not a section");
    }
    return section;
}

} // namespace

InstallEnvironment InstallEnvironment::standard() {
    InstallEnvironment e;
    e.dotNetInstalled = [] { return DotNetInstaller::IsDotNetInstalled("2.0"); };
    e.installDotNet = [](const Callback& onProgress) {
        DotNetInstaller::installDotNet("2.0", onProgress);
    };
    e.prepareInstaller = [] { return CoreApplicationInstaller().getInstaller(); };
    e.uninstallerFolder = [] {
        return textOf(config::app::GetDesktopConfig()->get("commondir"), "commondir");
    };
    return e;
}

BaseInstaller::BaseInstaller(Callback onComplete, Callback onProgress, Callback onError,
                             InstallEnvironment environment)
    : onComplete_(std::move(onComplete)), onProgress_(std::move(onProgress)),
      onError_(std::move(onError)), environment_(std::move(environment)) {}

std::string BaseInstaller::buildArguments(const std::string& name, const Variant::Map& options) {
    std::vector<std::string> first{name};
    std::vector<std::string> second;
    for (const auto& [key, value] : options) {
        if (key == "required") {
            for (const Variant& element : value.asList()) {
                first.push_back(element.asString());
            }
        } else if (key == "components") {
            std::vector<std::string> pieces;
            for (const auto& [component, componentOptions] : value.asMap()) {
                pieces.push_back(component);
                for (const auto& [k, v] : componentOptions.asMap()) {
                    pieces.push_back("-" + k + " " + v.asString());
                }
            }
            second.push_back(joined(pieces, " "));
        } else {
            first.push_back("-" + key + " " + value.asString());
        }
    }
    first.insert(first.end(), second.begin(), second.end());
    return joined(first, " ");
}

void BaseInstaller::install(const std::string& name, const Variant::Map& options) {
    runInstaller(buildArguments(name, options));
}

void BaseInstaller::metaInstall(const Variant::Map& applications) {
    std::vector<std::string> each;
    for (const auto& [application, options] : applications) {
        each.push_back(buildArguments(application, options.asMap()));
    }
    runInstaller(joined(each, " : "));
}

void BaseInstaller::runInstaller(const std::string& arguments) {
    runtime::PipedChild child;
    {
        std::lock_guard<std::mutex> lock(preparingMutex);
        if (!environment_.dotNetInstalled()) {
            environment_.installDotNet(onProgress_);
        }
        const std::string installer = environment_.prepareInstaller();
        logger::info(installer + " install " + arguments);
        child = runtime::startWithPipes(installer, "install " + arguments);
    }

    auto reader = std::make_shared<StdoutInstallThread>(std::move(child.stdoutPipe), onProgress_);
    reader->start();
    // Whatever ends this request early, the reader relays nothing after it.
    runtime::ScopeGuard quiet([&reader] { reader->silence(); });

    std::string errors;
    runtime::readLines([&child](char* b, std::size_t n) { return child.stderrPipe.read(b, n); },
                       [&errors](const std::string& line) { errors += line + "\r\n"; });
    child.stderrPipe.close();
    // The result comes after the last progress line, also when it is an error: the
    // movie never sees progress after the end of the request.
    reader->waitUntilDone();
    const std::string report = trimmed(errors);
    if (!report.empty()) {
        onError_(report);
        return;
    }
    onComplete_("Installed");
}

std::string BaseInstaller::uninstallArguments(const std::string& name,
                                              const Variant::Map& options) {
    logger::info("About to parse options");
    std::string arguments = "uninstall " + name;
    std::string components;
    for (const auto& [key, value] : options) {
        if (key == "components") {
            for (const auto& [component, componentOptions] : value.asMap()) {
                components += " " + component;
                logger::info("Got Component: " + component);
                for (const auto& [k, v] : componentOptions.asMap()) {
                    components += " -" + k + " " + v.asString();
                }
            }
        } else {
            const std::string& text = value.asString();
            logger::info("Got Option: " + key + " = " + text);
            arguments += " -" + key + " " + text;
        }
    }
    return arguments + components;
}

void BaseInstaller::uninstall(const std::string& name, const Variant::Map& options) {
    const std::string arguments = uninstallArguments(name, options);
    const std::string program = environment_.uninstallerFolder() + "\\installer.exe";
    logger::info(program + " " + arguments);
    runtime::PipedChild child = runtime::startWithPipes(program, arguments);
    // Nobody reads the uninstaller's standard error: with our end closed its writes
    // fail at once instead of filling the pipe and stopping it for ever.
    child.stderrPipe.close();
    runtime::readLines([&child](char* b, std::size_t n) { return child.stdoutPipe.read(b, n); },
                       [this](const std::string& line) { onProgress_(line); });
    onComplete_("Uninstalled");
}

StdoutInstallThread::StdoutInstallThread(runtime::PipeReader stream, Callback onProgress)
    : stream_(std::move(stream)), onProgress_(std::move(onProgress)) {}

void StdoutInstallThread::silence() {
    std::lock_guard<std::mutex> lock(mutex_);
    silenced_ = true;
}

void StdoutInstallThread::waitUntilDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    doneChanged_.wait(lock, [this] { return done_; });
}

void StdoutInstallThread::run() {
    runtime::ScopeGuard finish([this] {
        stream_.close();
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
        doneChanged_.notify_all();
    });
    try {
        runtime::readLines([this](char* b, std::size_t n) { return stream_.read(b, n); },
                           [this](const std::string& line) {
                               std::lock_guard<std::mutex> lock(mutex_);
                               if (silenced_) {
                                   return;
                               }
                               // A report that fails ends the relaying, not the reading:
                               // a child whose output nobody drains would stop for ever.
                               try {
                                   onProgress_(line);
                               } catch (const std::exception& e) {
                                   logger::info(
                                       std::string("Relaying the installer's output failed: ") +
                                       e.what());
                                   silenced_ = true;
                               }
                           });
    } catch (const std::exception& e) {
        logger::info(std::string("Reading the installer's output failed: ") + e.what());
    }
}

Variant::RecordList ListApps() {
    return ListApps(config::app::GetDesktopConfig(), &config::app::GetAppData,
                    &config::app::GetAppConfig);
}

std::string GetVersion(const std::string& name) {
    return GetVersion(config::app::GetAppData(name));
}

Variant::RecordList ListApps(const std::shared_ptr<config::Config>& desktopConfig,
                             const AppTree& appData, const AppTree& appConfig) {
    const auto registry = sectionOf(desktopConfig->get("appregistry"), "appregistry");
    Variant::RecordList records;
    registry->forEach(
        [&](const std::string& name, const std::shared_ptr<config::ConfigBase>& node) {
            std::string latest = "1000";
            try {
                latest = GetVersion(appData(name));
            } catch (const std::exception&) {
            }
            std::string installed = "0";
            try {
                installed = textOf(appConfig(name)->get("version"), "version");
            } catch (const std::exception&) {
            }
            Variant::StringList components;
            sectionOf(node, name)
                ->forEach([&components](const std::string& key,
                                        const std::shared_ptr<config::ConfigBase>& entry) {
                    if (std::dynamic_pointer_cast<config::Config>(entry)) {
                        components.push_back(key);
                    }
                    return 0;
                });
            Variant::Map record;
            record["name"] = Variant(name);
            record["version"] = Variant(latest);
            record["upgrade"] = Variant(Version(latest).compare(installed) > 0);
            record["components"] = Variant(std::move(components));
            records.push_back(std::make_shared<ListAppsVariant>(std::move(record)));
            return 0;
        });
    return records;
}

std::string GetVersion(const std::shared_ptr<config::Config>& appData) {
    return textOf(appData->get("autoupdate")->get("latestversion"), "latestversion");
}

} // namespace vx::install
