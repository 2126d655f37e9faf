#include "window/ResourceBundle.h"

#include <cstdio>

namespace orvi {

ResourceBundle::ResourceBundle(
    FileSystem& fileSystem, const MainBundle& mainBundle, std::string buildTimePath)
    : m_fileSystem(fileSystem)
    , m_mainBundle(mainBundle)
    , m_buildTimePath(std::move(buildTimePath))
{
}

const std::optional<std::string>& ResourceBundle::module()
{
    std::call_once(m_opened, [this] {
        std::string besideExecutable = m_mainBundle.bundlePath() + "/" + folderName;
        if (m_fileSystem.directoryExists(besideExecutable)) {
            m_module = besideExecutable;
            return;
        }
        if (!m_buildTimePath.empty() && m_fileSystem.directoryExists(m_buildTimePath)) {
            m_module = m_buildTimePath;
            return;
        }
        std::fprintf(stderr, "could not load resource bundle: from %s or %s\n",
            besideExecutable.c_str(), m_buildTimePath.c_str());
    });
    return m_module;
}

std::optional<std::string> ResourceBundle::pathForResource(
    const std::string& name, const std::string& extension, const std::string& subdirectory)
{
    const auto& folder = module();
    if (!folder)
        return std::nullopt;
    std::string path = *folder + "/" + subdirectory + "/" + name + "." + extension;
    if (!m_fileSystem.fileExists(path))
        return std::nullopt;
    return path;
}

} // namespace orvi
