#pragma once

#include "platform/FileSystem.h"
#include "platform/MainBundle.h"

#include <mutex>
#include <optional>
#include <string>

namespace orvi {

// The folder bundle "OrviDesktop_OrviDesktop.bundle" that carries the web
// interface in its folder "Resources". It is looked for beside the running
// executable first, then at the place the build put it (compiled in).
class ResourceBundle {
public:
    static constexpr const char* folderName = "OrviDesktop_OrviDesktop.bundle";

    ResourceBundle(FileSystem&, const MainBundle&, std::string buildTimePath);

    // The bundle's folder, found on first use and the same ever after; safe to
    // reach first from several threads. When the bundle is at neither place,
    // says so once on standard error and answers nothing: an installed program
    // finds its interface through the resources folder instead, and a station
    // must not stop over a missing folder.
    const std::optional<std::string>& module();

    // The file "<name>.<extension>" in the bundle's subfolder, if it exists.
    std::optional<std::string> pathForResource(
        const std::string& name, const std::string& extension, const std::string& subdirectory);

private:
    FileSystem& m_fileSystem;
    const MainBundle& m_mainBundle;
    std::string m_buildTimePath;
    std::once_flag m_opened;
    std::optional<std::string> m_module;
};

} // namespace orvi
