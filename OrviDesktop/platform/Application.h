#pragma once

#include "platform/Menu.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvi {

enum class TerminateReply { cancel = 0, now = 1, later = 2 };

enum class ActivationPolicy { regular = 0, accessory = 1, prohibited = 2 };

// An option of the program's own: --name, or --name=VALUE when it takes a
// value.
struct CommandLineOption {
    std::string name;
    // What the value is, as --help shows it ("MIB"); empty for an option
    // without a value.
    std::string valueName;
    std::string help;
    // Takes the value (empty without one) when the command line is read,
    // before anything else happens; false refuses it.
    std::function<bool(const std::string&)> take;
};

// What the program says of itself on its command line.
struct CommandLine {
    // What the program is, under the usage line of --help.
    std::string summary;
    // What --version prints, and what --help says of it.
    std::string version;
    std::string versionHelp;
    std::vector<CommandLineOption> options;
    // Below the options in --help.
    std::string description;
    // On standard error for an option's refused value, with the value and
    // the option's name in the places of its two "%s"; and below any error,
    // with the program's name in the place of its "%s".
    std::string refusedValue;
    std::string tryHelp;
};

// What the application object reports to the program. All calls arrive on
// the main thread, from the event loop.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;

    // Once, when the event loop has started and the program may build its UI.
    virtual void applicationDidFinishLaunching() = 0;
    // The program was launched again while running (a second launch, a click
    // on its launcher). The answer tells whether the program handled it.
    virtual bool applicationShouldHandleReopen(bool hasVisibleWindows) = 0;
    // Asked on every termination request before anything is torn down.
    virtual TerminateReply applicationShouldTerminate() = 0;
    // Once, after a termination request was answered `now`, before the event
    // loop returns.
    virtual void applicationWillTerminate() = 0;
};

// The process's application object: its event loop, its activation and its
// termination.
class Application {
public:
    virtual ~Application() = default;

    // Not owned; must outlive the event loop.
    virtual void setDelegate(ApplicationDelegate*) = 0;
    // Reads the command line, then runs the event loop on the calling (main)
    // thread until the application terminates; returns the process's exit
    // status. --help and --version answer and return at once, before anything
    // else happens (no display, no bus, no file); an unknown option, or a
    // value an option refuses, is an error. Arguments that are not options
    // are not read.
    virtual int run(int argc, char** argv, const CommandLine&) = 0;

    virtual void setActivationPolicy(ActivationPolicy) = 0;
    virtual void setMainMenu(const Menu&) = 0;
    virtual void unhide() = 0;
    virtual void activateIgnoringOtherApps(bool) = 0;
    // When someone last used the program: the system uptime (ProcessInfo's
    // clock) of the last pointer, touch or key input on any of its windows;
    // nothing before the first.
    virtual std::optional<double> lastUserInputTime() const = 0;
    // Asks the delegate, and when it answers `now`, tells it the application
    // will terminate and stops the event loop. Safe to call from inside any
    // callback; a second request while terminating is ignored.
    virtual void terminate() = 0;
};

} // namespace orvi
