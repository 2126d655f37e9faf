#pragma once

#include "platform/MainBundle.h"

namespace orvi::gtk {

// The running executable's folder is the bundle; <folder>/../share/orvi-desktop
// is its resources folder, where an installed program keeps its data.
class MainBundleLinux final : public MainBundle {
public:
    MainBundleLinux();

    std::string bundlePath() const override { return m_bundlePath; }
    std::optional<std::string> resourcePath() const override { return m_resourcePath; }
    std::string executablePath() const override { return m_executablePath; }
    std::optional<std::string> shortVersionString() const override { return ORVI_VERSION; }
    std::optional<std::string> userLibraryDirectory() const override { return std::nullopt; }
    std::string userConfigDirectory() const override;

private:
    std::string m_executablePath;
    std::string m_bundlePath;
    std::optional<std::string> m_resourcePath;
};

} // namespace orvi::gtk
