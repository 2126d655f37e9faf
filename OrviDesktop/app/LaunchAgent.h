#pragma once

#include "platform/FileSystem.h"

#include <string>
#include <string_view>

namespace orvi {

// The per-user launchd agent that starts the program at every login on macOS:
// ~/Library/LaunchAgents/<identifier>.plist.
namespace LaunchAgent {

// The property list, eight lines, the last without a line feed. The identifier
// and the bundle path are escaped for XML, so any path gives a well-formed
// file; an ordinary path appears as it is.
std::string propertyList(std::string_view identifier, std::string_view bundlePath);

// Writes the agent into <library>/LaunchAgents, making the folder when it is
// missing and replacing whatever file is there. Failures are dropped: the
// program starts anyway, only not at the next login.
void install(FileSystem&, const std::string& libraryFolder, const std::string& identifier,
    const std::string& bundlePath);

} // namespace LaunchAgent

} // namespace orvi
