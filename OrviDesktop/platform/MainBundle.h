#pragma once

#include <optional>
#include <string>

namespace orvi {

// Where the running program is and which version it is. Never changes, so it
// may be read from any thread. On Linux the bundle folder is the folder of
// the running executable and its resources folder is the data folder installed
// beside it (<prefix>/share/orvi-desktop for <prefix>/bin/orvi-desktop).
class MainBundle {
public:
    virtual ~MainBundle() = default;

    virtual std::string bundlePath() const = 0;
    virtual std::optional<std::string> resourcePath() const = 0;
    // The absolute path of the running executable.
    virtual std::string executablePath() const = 0;
    // The program's version ("1.4.2"), set once in the build; nothing when the
    // build set none.
    virtual std::optional<std::string> shortVersionString() const = 0;
    // The user's library folder where the system has one (macOS: ~/Library,
    // where launchd looks for agents); nothing on Linux.
    virtual std::optional<std::string> userLibraryDirectory() const = 0;
    // The folder that holds the user's configuration ($XDG_CONFIG_HOME).
    virtual std::string userConfigDirectory() const = 0;
};

} // namespace orvi
