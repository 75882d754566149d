// The functions under "tulip.vxcore.install": installing, uninstalling and querying
// the product's applications, and the workers that carry out an install request.
//
// "DoInstall", "DoMetaInstall" and "DoUninstall" start a worker and return at once; the
// worker runs its request through vx::install::BaseInstaller and reports every
// progress line, the result or the error into the movie through the window registered
// under "IApplicationWindow" (its DoCallback, from the worker's threads). A request that
// fails before the product installer runs (an argument of the wrong kind, a failed
// download, archive, .NET install or start) is logged and reported through "OnError"
// with the error's message, so the movie never waits for an answer that will not come.
//
// Several workers may run at once; each keeps only its own arguments and the
// application, and lives until its thread ends.
#pragma once

#include "external/proxy/NamespaceResolver.h"
#include "runtime/Thread.h"
#include "vx/install/BaseInstaller.h"

#include <functional>
#include <string>

namespace tulip::vxcore::install {

using external::proxy::Context;

// Registers the functions below under their fixed ids, "Uninstall" (1) to
// "IsDotNetInstalled" (9).
void registerFunctions(external::proxy::NamespaceResolver& target);

// DoInstall: args[0] the application name, args[1] its option object.
class InstallThread : public runtime::Thread {
public:
    InstallThread(
        vx::Variant::List args, Context application,
        vx::install::InstallEnvironment environment = vx::install::InstallEnvironment::standard());

    // Each calls the movie's function of the same name with the one text `message`.
    // Without a registered window the report is logged and dropped.
    virtual void OnComplete(const std::string& message);
    virtual void OnProgress(const std::string& message);
    virtual void OnError(const std::string& message);

protected:
    void run() override;

    // Runs `request` on a BaseInstaller reporting to this worker; a failure escaping it
    // is logged and reported through OnError.
    void carryOut(const std::function<void(vx::install::BaseInstaller&)>& request);

    const vx::Variant::List& args() const noexcept { return args_; }
    // args()[index]; a missing one throws vx::TypeMismatch.
    const vx::Variant& arg(std::size_t index) const;

private:
    void report(const char* function, const std::string& message);

    vx::Variant::List args_;
    Context application_;
    vx::install::InstallEnvironment environment_;
};

// DoMetaInstall: args[0] maps application names to option objects.
class MetaInstallThread : public InstallThread {
public:
    using InstallThread::InstallThread;

protected:
    void run() override;
};

// DoUninstall: args[0] the application name, args[1] (absent or empty: none) options.
class UninstallThread : public InstallThread {
public:
    using InstallThread::InstallThread;

protected:
    void run() override;
};

// Starts the product's bootstrapper through the shell, with the product's Python
// installer script and `option` for `target`, in the core directory ("coredir" of
// desktopdata.cfg). Its outcome is not looked at. Throws when "coredir" or the Python
// key cannot be read.
void BuildCall(const std::string& target, const std::string& option);

// What BuildCall asks the shell for, given the core directory as written in the
// configuration and the interpreter's path: the bootstrapper, its parameters
// (-uninstall"PYTHON" "SCRIPT" OPTION TARGET) and its working folder, all with "/".
struct BootstrapperCall {
    std::string file;
    std::string parameters;
    std::string directory;
};
BootstrapperCall bootstrapperCall(const std::string& coredir, const std::string& python,
                                  const std::string& target, const std::string& option);
// ShellExecuteW "open" with SW_SHOWNORMAL and no owner window; the result is ignored.
void startBootstrapper(const BootstrapperCall& call);

vx::Variant Uninstall(const vx::Variant::List& args, const Context& context);
vx::Variant CheckUpdates(const vx::Variant::List& args, const Context& context);
vx::Variant GetInstallConfigUrl(const vx::Variant::List& args, const Context& context);
vx::Variant DoInstall(const vx::Variant::List& args, const Context& context);
vx::Variant DoMetaInstall(const vx::Variant::List& args, const Context& context);
vx::Variant DoUninstall(const vx::Variant::List& args, const Context& context);
vx::Variant ListApps(const vx::Variant::List& args, const Context& context);
vx::Variant GetVersion(const vx::Variant::List& args, const Context& context);
vx::Variant IsDotNetInstalled(const vx::Variant::List& args, const Context& context);

} // namespace tulip::vxcore::install
