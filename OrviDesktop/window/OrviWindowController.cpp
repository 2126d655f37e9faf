#include "window/OrviWindowController.h"

#include "window/NullMessageHandler.h"
#include "window/PageContract.h"

#include <algorithm>

namespace orvi {

namespace {

constexpr Rect initialContentRect { 0, 0, 1180, 780 };
constexpr uint32_t windowStyle = WindowStyle::titled | WindowStyle::closable
    | WindowStyle::miniaturizable | WindowStyle::resizable | WindowStyle::fullSizeContentView;
// A name, the same in every language.
constexpr const char* windowTitle = "Orvi AI Life";

// One stand-in for every controller, made once for the whole process.
NullMessageHandler& selfPlaceholder()
{
    static NullMessageHandler placeholder;
    return placeholder;
}

} // namespace

// The order matters: the page's globals and the message name are in place
// before the web view exists, and the controller takes the message name over
// from the stand-in only once it is whole, just before anything loads.
OrviWindowController::OrviWindowController(
    Platform& platform, std::string buildTimeBundlePath, uint64_t memoryLimit)
    : m_platform(platform)
    , m_resources(platform.fileSystem(), platform.mainBundle(), std::move(buildTimeBundlePath))
    , m_weakSelf(std::make_shared<OrviWindowController*>(this))
{
    const std::string handlerName(PageContract::messageHandlerName);

    m_configuration = platform.makeWebViewConfiguration();
    m_configuration->setAllowsContentJavaScript(true);
    m_configuration->setMediaPlaybackRequiresUserAction(false);
    m_configuration->setMediaStreamEnabled(true);
    setUpWebContent(memoryLimit);

    auto& contentController = m_configuration->userContentController();
    contentController.addUserScript(PageContract::memberScript(memberID(platform.userDefaults())),
        UserScriptInjectionTime::atDocumentStart, true);
    contentController.addScriptMessageHandler(selfPlaceholder(), handlerName);

    webView = platform.makeWebView(*m_configuration);
    webView->setDrawsBackground(false);

    m_window = platform.makeWindow(initialContentRect, windowStyle);
    m_window->setTitle(windowTitle);
    auto& localization = platform.localization();
    m_window->setControlNames({ localization.localizedString(UIText("Close")),
        localization.localizedString(UIText("Minimize")),
        localization.localizedString(UIText("Menu")) });
    m_window->setTitleHidden(true);
    m_window->setTitlebarAppearsTransparent(true);
    m_window->setMovableByWindowBackground(true);
    m_window->setMinSize(smallestUserSize);
    m_window->setLevel(WindowLevel::floating);
    m_window->setCollectionBehavior(
        CollectionBehavior::canJoinAllSpaces | CollectionBehavior::fullScreenAuxiliary);
    m_window->setHidesOnDeactivate(false);

    if (auto visibleFrame = platform.screen().mainScreenVisibleFrame())
        m_window->setFrame(*visibleFrame);
    else
        m_window->center();

    m_window->setContentView(*webView);
    m_window->setDelegate(this);
    platform.screen().setDelegate(this);
    webView->setUIDelegate(this);
    webView->setNavigationDelegate(this);

    contentController.removeScriptMessageHandlerForName(handlerName);
    contentController.addScriptMessageHandler(*this, handlerName);

    loadInterface();
    later(watchInterval, &OrviWindowController::watchPage);
}

// The pages run in a sandbox where the machine allows one, which is said
// either way; a station whose sandbox cannot run says so even when nothing
// else is logged, since its security is less than it should be.
void OrviWindowController::setUpWebContent(uint64_t memoryLimit)
{
    m_configuration->setMemoryLimit(memoryLimit);
    auto why = m_configuration->sandboxWebContent();
    m_platform.eventLog().record(why ? LogLevel::warning : LogLevel::info,
        why ? "Web content runs without a sandbox: " + *why : "Web content runs in a sandbox",
        { { "ORVI_EVENT", "sandbox" }, { "ORVI_SANDBOX", why ? "off" : "on" },
            { "ORVI_MEMORY_LIMIT_MIB", std::to_string(memoryLimit) } });
    if (auto folder = interfaceFolder())
        m_configuration->allowReadingFolder(*folder);
}

uint64_t OrviWindowController::memoryLimitFor(uint64_t physicalMemory)
{
    constexpr uint64_t mebibyte = 1 << 20;
    return std::clamp<uint64_t>(physicalMemory / 4 / mebibyte, 1024, 4096);
}

OrviWindowController::~OrviWindowController()
{
    // Nothing may call back into a controller that is going away.
    m_window->setDelegate(nullptr);
    m_platform.screen().setDelegate(nullptr);
    webView->setUIDelegate(nullptr);
    webView->setNavigationDelegate(nullptr);
    m_configuration->userContentController().removeScriptMessageHandlerForName(
        std::string(PageContract::messageHandlerName));
}

} // namespace orvi
