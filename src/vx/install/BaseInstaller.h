// One install, meta-install or uninstall request of the movie, carried out as one run
// of the product's own installer program: .NET Framework 2.0 first, then the core
// archives, then the child, whose standard output is relayed line by line as progress
// and whose standard error, if it says anything, is the error report. Also the two
// queries answered from the product's configuration files (ListApps, GetVersion).
//
// A BaseInstaller serves one request on the thread that calls it (an install worker);
// its callbacks are called from that thread and from the reader of the child's
// standard output, never both at once. Errors that stop a request before the child is
// running (a failed download, archive or .NET install, a child that cannot be
// started, an option of the wrong kind) are thrown to the caller; nothing is reported
// through the callbacks for them.
#pragma once

#include "runtime/PipedProcess.h"
#include "runtime/Thread.h"
#include "vx/Variant.h"
#include "vx/config/Config.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace vx::install {

using Callback = std::function<void(const std::string&)>;

// What a request needs from outside the installer itself. The standard one uses the
// registry, the content server and the product's configuration; tests put in their own.
struct InstallEnvironment {
    std::function<bool()> dotNetInstalled; // is .NET 2.0 there?
    std::function<void(const Callback& onProgress)> installDotNet;
    std::function<std::string()> prepareInstaller;  // unpacks, answers Installer.exe
    std::function<std::string()> uninstallerFolder; // "commondir" of desktopconfig.cfg

    static InstallEnvironment standard();
};

class BaseInstaller {
public:
    BaseInstaller(Callback onComplete, Callback onProgress, Callback onError,
                  InstallEnvironment environment = InstallEnvironment::standard());
    virtual ~BaseInstaller() = default;

    // runInstaller(buildArguments(name, options)).
    virtual void install(const std::string& name, const Variant::Map& options);
    // The arguments of every application (each value an option object), joined by " : ".
    virtual void metaInstall(const Variant::Map& applications);
    // Runs "<commondir>\installer.exe uninstall NAME ..." and relays its standard
    // output; ends with "Uninstalled" whatever the child did.
    virtual void uninstall(const std::string& name, const Variant::Map& options);

    // NAME, then the options as "-key value" and the bare "required" elements, then one
    // group per component: "component -k v ...". Values are taken as texts.
    static std::string buildArguments(const std::string& name, const Variant::Map& options);
    // "uninstall NAME -key value ... component -k v ...", logging each option and
    // component as it goes.
    static std::string uninstallArguments(const std::string& name, const Variant::Map& options);

    // Runs the product installer with " install " + `arguments`. Reports each line of
    // its standard output through onProgress; once both streams have ended and the
    // last progress line has been delivered, either onError with the trimmed text of
    // its standard error (lines joined by "\r\n") or, when that is blank, onComplete
    // "Installed". The child's exit code is not looked at. Preparing
    // the archives and starting the child are serialised across all requests of the
    // process, so no request runs an installer that another is still unpacking.
    void runInstaller(const std::string& arguments);

private:
    Callback onComplete_;
    Callback onProgress_;
    Callback onError_;
    InstallEnvironment environment_;
};

// Relays the lines of a child's standard output. Owned by a std::shared_ptr (see
// runtime::Thread); the reading end of the pipe is its own and is closed when the
// stream has ended.
class StdoutInstallThread : public runtime::Thread {
public:
    StdoutInstallThread(runtime::PipeReader stream, Callback onProgress);

    // From now on lines are read and dropped, so a child that goes on writing is never
    // blocked; returns once no line is being delivered any more. Any thread.
    void silence();
    // Blocks until the stream has ended and every line has been delivered (or dropped).
    void waitUntilDone();

protected:
    void run() override;

private:
    runtime::PipeReader stream_;
    Callback onProgress_;
    std::mutex mutex_; // held while a line is delivered
    std::condition_variable doneChanged_;
    bool silenced_ = false;
    bool done_ = false;
};

// One record per application under "appregistry" of desktopconfig.cfg, in its order:
// "name", "version" (latest known, "1000" when none), "upgrade" (latest above the
// installed version, "0" when none is recorded), "components" (its sections' keys).
// A missing "appregistry" throws the configuration's lookup error.
Variant::RecordList ListApps();

// "latestversion" of the section "autoupdate" of the application's appdata.cfg; the
// lookup error of the configuration when there is none.
std::string GetVersion(const std::string& name);

// The same over given trees: desktopconfig.cfg's, and the finders of an application's
// appdata.cfg and appconfig.cfg trees (each may throw; ListApps then keeps its default).
using AppTree = std::function<std::shared_ptr<config::Config>(const std::string& name)>;
Variant::RecordList ListApps(const std::shared_ptr<config::Config>& desktopConfig,
                             const AppTree& appData, const AppTree& appConfig);
std::string GetVersion(const std::shared_ptr<config::Config>& appData);

} // namespace vx::install
