#include "tulip/vxcore/install.h"

#include "BuildConfig.h"
#include "runtime/Format.h"
#include "runtime/win32/WinText.h"
#include "vx/Exception.h"
#include "vx/config/ConfigScalar.h"
#include "vx/config/app.h"
#include "vx/install/DotNetInstaller.h"
#include "vx/logger.h"
#include "vx/vxpath.h"

#include <windows.h>

#include <shellapi.h>

namespace tulip::vxcore::install {
namespace {

using vx::Variant;

// The worker objects are kept alive by their threads; the functions keep nothing.
template <class Worker> Variant startWorker(const Variant::List& args, const Context& context) {
    std::make_shared<Worker>(args, context)->start();
    return Variant::nullPointer();
}

} // namespace

void registerFunctions(external::proxy::NamespaceResolver& target) {
    target.addFunction("Uninstall", &Uninstall);
    target.addFunction("CheckUpdates", &CheckUpdates);
    target.addFunction("GetInstallConfigUrl", &GetInstallConfigUrl);
    target.addFunction("DoInstall", &DoInstall);
    target.addFunction("DoMetaInstall", &DoMetaInstall);
    target.addFunction("DoUninstall", &DoUninstall);
    target.addFunction("ListApps", &ListApps);
    target.addFunction("GetVersion", &GetVersion);
    target.addFunction("IsDotNetInstalled", &IsDotNetInstalled);
}

InstallThread::InstallThread(Variant::List args, Context application,
                             vx::install::InstallEnvironment environment)
    : args_(std::move(args)), application_(std::move(application)),
      environment_(std::move(environment)) {}

void InstallThread::report(const char* function, const std::string& message) {
    std::shared_ptr<vx::application::IApplicationWindow> window;
    if (application_) {
        window = std::dynamic_pointer_cast<vx::application::IApplicationWindow>(
            application_->getInterface("IApplicationWindow"));
    }
    if (!window) {
        vx::logger::info("No window to report {} to: {}", function, message);
        return;
    }
    const bool completing = std::string_view(function) == "OnComplete";
    if (completing) {
        vx::logger::info("About to do Callback");
    }
    window->getWindow().DoCallback(function, Variant::List{Variant(message)});
    if (completing) {
        vx::logger::info("Callback Complete");
    }
}

void InstallThread::OnComplete(const std::string& message) {
    vx::logger::info("Got an OnComplete");
    report("OnComplete", message);
}

void InstallThread::OnProgress(const std::string& message) {
    report("OnProgress", message);
}

void InstallThread::OnError(const std::string& message) {
    report("OnError", message);
}

void InstallThread::carryOut(const std::function<void(vx::install::BaseInstaller&)>& request) {
    try {
        vx::install::BaseInstaller installer([this](const std::string& m) { OnComplete(m); },
                                             [this](const std::string& m) { OnProgress(m); },
                                             [this](const std::string& m) { OnError(m); },
                                             environment_);
        request(installer);
    } catch (const std::exception& e) {
        const std::string message = e.what();
        vx::logger::info("The install request failed: {}", message);
        try {
            OnError(message);
        } catch (const std::exception& again) {
            vx::logger::info("The failure could not be reported: {}", again.what());
        }
    }
}

const Variant& InstallThread::arg(std::size_t index) const {
    if (index >= args_.size()) {
        throw vx::TypeMismatch(runtime::format("Argument {} is missing", index));
    }
    return args_[index];
}

void InstallThread::run() {
    carryOut([this](vx::install::BaseInstaller& installer) {
        installer.install(arg(0).asString(), arg(1).asMap());
    });
}

void MetaInstallThread::run() {
    carryOut(
        [this](vx::install::BaseInstaller& installer) { installer.metaInstall(arg(0).asMap()); });
}

void UninstallThread::run() {
    carryOut([this](vx::install::BaseInstaller& installer) {
        const std::string& name = arg(0).asString();
        if (args().size() > 1 && !args()[1].empty()) {
            installer.uninstall(name, args()[1].asMap());
        } else {
            installer.uninstall(name, {});
        }
    });
}

BootstrapperCall bootstrapperCall(const std::string& coredir, const std::string& python,
                                  const std::string& target, const std::string& option) {
    BootstrapperCall call;
    call.directory = vx::vxpath::normalise(coredir);
    call.file = vx::vxpath::join(call.directory, "bootstrapper.exe");
    const std::string script =
        vx::vxpath::GetPythonFile(vx::vxpath::join(call.directory, "pyvxcore/installer.py"));
    call.parameters =
        runtime::format("-uninstall\"{0}\" \"{1}\" {2} {3}", python, script, option, target);
    return call;
}

void startBootstrapper(const BootstrapperCall& call) {
    ShellExecuteW(nullptr, L"open", runtime::win32::widen(call.file).c_str(),
                  runtime::win32::widen(call.parameters).c_str(),
                  runtime::win32::widen(call.directory).c_str(), SW_SHOWNORMAL);
}

void BuildCall(const std::string& target, const std::string& option) {
    vx::logger::info("BuildCall");
    const auto coredir = std::dynamic_pointer_cast<vx::config::ConfigText>(
        vx::config::app::GetDesktopData()->get("coredir"));
    if (!coredir) {
        throw vx::VXException("coredir is not a text value in desktopdata.cfg");
    }
    vx::logger::info("Calling GetPythonExe");
    const std::string python = vx::vxpath::GetPythonExe();
    vx::logger::info("GetPythonFile");
    const BootstrapperCall call = bootstrapperCall(coredir->value(), python, target, option);
    vx::logger::info(call.parameters);
    vx::logger::info(call.file);
    startBootstrapper(call);
}

Variant Uninstall(const Variant::List& args, const Context&) {
    BuildCall(args.at(0).asString(), "-u");
    return Variant::nullPointer();
}

Variant CheckUpdates(const Variant::List& args, const Context&) {
    BuildCall(args.at(0).asString(), "--update --notify");
    return Variant(false);
}

Variant GetInstallConfigUrl(const Variant::List&, const Context&) {
    return Variant(std::string(build::kContentServer) +
                   "/apps/installer/dirovivov/install_dirovivov.xml");
}

Variant DoInstall(const Variant::List& args, const Context& context) {
    return startWorker<InstallThread>(args, context);
}

Variant DoMetaInstall(const Variant::List& args, const Context& context) {
    return startWorker<MetaInstallThread>(args, context);
}

Variant DoUninstall(const Variant::List& args, const Context& context) {
    return startWorker<UninstallThread>(args, context);
}

Variant ListApps(const Variant::List&, const Context&) {
    return Variant(vx::install::ListApps());
}

Variant GetVersion(const Variant::List& args, const Context&) {
    return Variant(vx::install::GetVersion(args.at(0).asString()));
}

Variant IsDotNetInstalled(const Variant::List& args, const Context&) {
    return Variant(vx::install::DotNetInstaller::IsDotNetInstalled(args.at(0).asString()));
}

} // namespace tulip::vxcore::install
