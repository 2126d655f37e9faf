#include "window/OrviWindowController.h"

#include "window/NullMessageHandler.h"
#include "window/PageContract.h"

namespace orvi {

namespace {

constexpr Rect initialContentRect { 0, 0, 1180, 780 };
constexpr uint32_t windowStyle = WindowStyle::titled | WindowStyle::closable
    | WindowStyle::miniaturizable | WindowStyle::resizable | WindowStyle::fullSizeContentView;
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
OrviWindowController::OrviWindowController(Platform& platform, std::string buildTimeBundlePath)
    : m_platform(platform)
    , m_resources(platform.fileSystem(), platform.mainBundle(), std::move(buildTimeBundlePath))
    , m_weakSelf(std::make_shared<OrviWindowController*>(this))
{
    const std::string handlerName(PageContract::messageHandlerName);

    m_configuration = platform.makeWebViewConfiguration();
    m_configuration->setAllowsContentJavaScript(true);
    m_configuration->setMediaPlaybackRequiresUserAction(false);
    m_configuration->setMediaStreamEnabled(true);

    auto& contentController = m_configuration->userContentController();
    contentController.addUserScript(PageContract::memberScript(memberID(platform.userDefaults())),
        UserScriptInjectionTime::atDocumentStart, true);
    contentController.addScriptMessageHandler(selfPlaceholder(), handlerName);

    webView = platform.makeWebView(*m_configuration);
    webView->setDrawsBackground(false);

    m_window = platform.makeWindow(initialContentRect, windowStyle);
    m_window->setTitle(windowTitle);
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
