#pragma once

#include "platform/WebView.h"
#include "platform/gtk/SandboxProbe.h"
#include "platform/gtk/UserContentControllerGtk.h"

#include <vector>
#include <webkit2/webkit2.h>

namespace orvi::gtk {

// The settings, scripts and message handlers the web view takes over, and
// what its web context is to be (see WebContextGtk.h).
class WebViewConfigurationGtk final : public WebViewConfiguration {
public:
    explicit WebViewConfigurationGtk(SandboxProbe&);
    ~WebViewConfigurationGtk() override;

    void setAllowsContentJavaScript(bool) override;
    void setMediaPlaybackRequiresUserAction(bool) override;
    void setMediaStreamEnabled(bool) override;
    void setMemoryLimit(uint64_t mebibytes) override { m_memoryLimit = mebibytes; }
    std::optional<std::string> sandboxWebContent() override;
    void allowReadingFolder(const std::string& path) override { m_readableFolders.push_back(path); }
    UserContentController& userContentController() override { return m_contentController; }

    WebKitSettings* settings() const { return m_settings; }
    UserContentControllerGtk& contentController() { return m_contentController; }
    bool mediaPlaybackRequiresUserAction() const { return m_mediaPlaybackRequiresUserAction; }
    uint64_t memoryLimit() const { return m_memoryLimit; }
    bool sandboxed() const { return m_sandboxed; }
    const std::vector<std::string>& readableFolders() const { return m_readableFolders; }

private:
    SandboxProbe& m_sandboxProbe;
    WebKitSettings* m_settings;
    UserContentControllerGtk m_contentController;
    bool m_mediaPlaybackRequiresUserAction { true };
    uint64_t m_memoryLimit { 0 };
    bool m_sandboxed { false };
    std::vector<std::string> m_readableFolders;
};

} // namespace orvi::gtk
