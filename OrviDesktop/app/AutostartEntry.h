#pragma once

#include "platform/FileSystem.h"

#include <string>
#include <string_view>

namespace orvi {

// The freedesktop.org way to start at every login: a desktop entry in
// $XDG_CONFIG_HOME/autostart named after the application identifier, whose
// command is the running executable.
namespace AutostartEntry {

// The entry's text. The executable's path is quoted as the Desktop Entry
// Specification asks of an Exec argument and escaped as a string value, so it
// reads back as exactly that path whatever it holds.
std::string text(std::string_view identifier, std::string_view executablePath);

// Writes <config>/autostart/<identifier>.desktop atomically, making the folder
// when it is missing and replacing whatever is there. A path that is not
// UTF-8 cannot be written into a desktop entry and is left alone; other
// failures are dropped.
void install(FileSystem&, const std::string& configFolder, const std::string& identifier,
    const std::string& executablePath);

} // namespace AutostartEntry

} // namespace orvi
