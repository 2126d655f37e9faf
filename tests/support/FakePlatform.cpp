#include "support/FakePlatform.h"

#include <algorithm>

namespace orvi::fake {

namespace {

std::string parentOf(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

// FakeApplication

void FakeApplication::setActivationPolicy(ActivationPolicy policy)
{
    activationPolicy = policy;
    m_journal.push_back("app.setActivationPolicy");
}

void FakeApplication::setMainMenu(const Menu& menu)
{
    mainMenu = menu;
    m_journal.push_back("app.setMainMenu");
}

void FakeApplication::unhide()
{
    m_journal.push_back("app.unhide");
}

void FakeApplication::activateIgnoringOtherApps(bool)
{
    active = true;
    m_journal.push_back("app.activate");
}

void FakeApplication::terminate()
{
    m_journal.push_back("app.terminate");
    if (terminated)
        return;
    if (m_delegate && m_delegate->applicationShouldTerminate() != TerminateReply::now)
        return;
    terminated = true;
    ++willTerminateCount;
    if (m_delegate)
        m_delegate->applicationWillTerminate();
}

// FakeProcessInfo

namespace {
class FakeActivityToken final : public ActivityToken {
public:
    explicit FakeActivityToken(size_t index)
        : index(index)
    {
    }
    size_t index;
};
} // namespace

std::unique_ptr<ActivityToken> FakeProcessInfo::beginActivity(
    uint64_t options, const std::string& reason)
{
    m_journal.push_back("process.beginActivity");
    activities.push_back({ options, reason });
    return std::make_unique<FakeActivityToken>(activities.size() - 1);
}

void FakeProcessInfo::endActivity(ActivityToken& token)
{
    m_journal.push_back("process.endActivity");
    ++activities.at(static_cast<FakeActivityToken&>(token).index).endCount;
}

// FakeMainQueue

void FakeMainQueue::async(std::function<void()> work)
{
    std::lock_guard lock(m_lock);
    m_entries.push_back({ m_now, m_nextOrder++, std::move(work) });
}

void FakeMainQueue::asyncAfter(double seconds, std::function<void()> work)
{
    std::lock_guard lock(m_lock);
    m_journal.push_back("queue.asyncAfter");
    requestedDelays.push_back(seconds);
    m_entries.push_back({ m_now + seconds, m_nextOrder++, std::move(work) });
}

int FakeMainQueue::advance(double seconds)
{
    double until;
    {
        std::lock_guard lock(m_lock);
        until = m_now + seconds;
    }
    int ran = 0;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(m_lock);
            auto next = std::min_element(m_entries.begin(), m_entries.end(), [](auto& a, auto& b) {
                return a.due != b.due ? a.due < b.due : a.order < b.order;
            });
            if (next == m_entries.end() || next->due > until) {
                m_now = until;
                return ran;
            }
            m_now = std::max(m_now, next->due);
            work = std::move(next->work);
            m_entries.erase(next);
        }
        work();
        ++ran;
    }
}

size_t FakeMainQueue::pendingCount() const
{
    std::lock_guard lock(m_lock);
    return m_entries.size();
}

// FakeFileSystem

bool FakeFileSystem::fileExists(const std::string& path) const
{
    return files.count(path) || directories.count(path);
}

bool FakeFileSystem::directoryExists(const std::string& path) const
{
    return directories.count(path);
}

std::optional<Bytes> FakeFileSystem::readFile(const std::string& path) const
{
    auto found = files.find(path);
    if (found == files.end() || unreadable.count(path))
        return std::nullopt;
    return found->second;
}

bool FakeFileSystem::writeFileAtomically(const std::string& path, const Bytes& bytes, uint32_t mode)
{
    if (failWrites || !directories.count(parentOf(path)))
        return false;
    ++writeCount;
    files[path] = bytes;
    modes[path] = mode;
    return true;
}

bool FakeFileSystem::createDirectories(const std::string& path, uint32_t mode)
{
    if (failWrites)
        return directories.count(path);
    for (std::string folder = path; folder != "/" && !folder.empty(); folder = parentOf(folder)) {
        if (files.count(folder))
            return false;
        if (directories.insert(folder).second)
            modes[folder] = mode;
    }
    return true;
}

bool FakeFileSystem::moveItem(const std::string& from, const std::string& to)
{
    if (failMoves || !files.count(from) || fileExists(to))
        return false;
    files[to] = files[from];
    files.erase(from);
    if (unreadable.erase(from))
        unreadable.insert(to);
    return true;
}

void FakeFileSystem::putFile(const std::string& path, const std::string& text)
{
    createDirectories(parentOf(path), 0755);
    files[path] = Bytes(text.begin(), text.end());
}

std::optional<std::string> FakeFileSystem::text(const std::string& path) const
{
    auto found = files.find(path);
    if (found == files.end())
        return std::nullopt;
    return std::string(found->second.begin(), found->second.end());
}

// FakeURLSession

void FakeURLSession::dataTask(
    const std::string& url, std::function<void(std::optional<Bytes>)> completion)
{
    std::lock_guard lock(m_lock);
    requestedURLs.push_back(url);
    m_pending.push_back(std::move(completion));
}

void FakeURLSession::respond(std::optional<std::string> body)
{
    std::function<void(std::optional<Bytes>)> completion;
    {
        std::lock_guard lock(m_lock);
        completion = std::move(m_pending.front());
        m_pending.erase(m_pending.begin());
    }
    completion(body ? std::optional<Bytes>(Bytes(body->begin(), body->end())) : std::nullopt);
}

size_t FakeURLSession::pendingCount() const
{
    std::lock_guard lock(m_lock);
    return m_pending.size();
}

// FakeAlert

long FakeAlert::runModal()
{
    m_shown.push_back(m_alert);
    if (m_whileShown)
        m_whileShown();
    if (m_responses.empty())
        return AlertResponse::cancelled;
    long response = m_responses.front();
    m_responses.erase(m_responses.begin());
    return response;
}

// FakeWindow

void FakeWindow::setContentView(View& view)
{
    contentView = &view;
    m_journal.push_back("window.setContentView");
}

void FakeWindow::setLevel(WindowLevel value)
{
    level = value;
    m_journal.push_back("window.setLevel");
}

void FakeWindow::setFrame(const Rect& value)
{
    currentFrame = value;
    m_journal.push_back("window.setFrame");
}

void FakeWindow::center()
{
    centered = true;
    m_journal.push_back("window.center");
}

void FakeWindow::setAlphaValue(double value)
{
    alpha = value;
    m_journal.push_back("window.setAlphaValue");
}

void FakeWindow::setIgnoresMouseEvents(bool value)
{
    ignoresMouseEvents = value;
    m_journal.push_back("window.setIgnoresMouseEvents");
}

void FakeWindow::orderFrontRegardless()
{
    visible = true;
    ++orderFrontCount;
    m_journal.push_back("window.orderFrontRegardless");
}

void FakeWindow::makeKeyAndOrderFront()
{
    visible = true;
    key = true;
    m_journal.push_back("window.makeKeyAndOrderFront");
}

void FakeWindow::orderOut()
{
    visible = false;
    key = false;
    m_journal.push_back("window.orderOut");
}

void FakeWindow::deminiaturize()
{
    miniaturized = false;
    m_journal.push_back("window.deminiaturize");
}

void FakeWindow::performWindowDrag(const MouseEvent&)
{
    ++dragCount;
    m_journal.push_back("window.performWindowDrag");
}

bool FakeWindow::userClose()
{
    bool closes = !delegate || delegate->windowShouldClose();
    if (closes)
        visible = false;
    return closes;
}

void FakeWindow::userMiniaturize()
{
    miniaturized = true;
    if (delegate)
        delegate->windowDidMiniaturize();
}

// FakeUserContentController

void FakeUserContentController::addUserScript(
    const std::string& source, UserScriptInjectionTime time, bool mainFrameOnly)
{
    scripts.push_back({ source, time, mainFrameOnly });
    m_journal.push_back("content.addUserScript");
}

void FakeUserContentController::addScriptMessageHandler(
    ScriptMessageHandler& handler, const std::string& name)
{
    handlers.emplace(name, &handler);
    m_journal.push_back("content.addScriptMessageHandler:" + name);
}

void FakeUserContentController::removeScriptMessageHandlerForName(const std::string& name)
{
    handlers.erase(name);
    m_journal.push_back("content.removeScriptMessageHandler:" + name);
}

bool FakeUserContentController::post(const std::string& name, const JsonValue& body)
{
    auto found = handlers.find(name);
    if (found == handlers.end())
        return false;
    found->second->didReceiveScriptMessage(ScriptMessage { name, body });
    return true;
}

// FakeWebView

void FakeWebView::loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL)
{
    loads.push_back({ html, baseURL });
    m_journal.push_back("webView.loadHTMLString");
}

void FakeWebView::evaluateJavaScript(const std::string& script)
{
    evaluated.push_back(script);
    m_journal.push_back("webView.evaluate:" + script);
    // A copy runs, so the page may change its answer from inside it.
    if (auto hook = onEvaluate)
        hook(script);
}

std::optional<PermissionDecision> FakeWebView::requestCapture(MediaCaptureType type)
{
    std::optional<PermissionDecision> decision;
    int calls = 0;
    if (uiDelegate) {
        uiDelegate->requestMediaCapturePermission("file://", type, [&](PermissionDecision answer) {
            decision = answer;
            ++calls;
        });
    }
    // The contract: the handler is called exactly once.
    if (calls > 1)
        return std::nullopt;
    return decision;
}

// FakePlatform

FakePlatform::FakePlatform()
{
    files.createDirectories(bundle.configDirectory, 0700);
}

UserDefaults& FakePlatform::userDefaults()
{
    if (!m_defaults)
        m_defaults = std::make_unique<FileUserDefaults>(files, defaultsPath());
    return *m_defaults;
}

std::unique_ptr<FileUserDefaults> FakePlatform::reloadedDefaults()
{
    return std::make_unique<FileUserDefaults>(files, defaultsPath());
}

std::unique_ptr<Window> FakePlatform::makeWindow(const Rect& contentRect, uint32_t styleMask)
{
    journal.push_back("platform.makeWindow");
    auto window = std::make_unique<FakeWindow>(journal, contentRect, styleMask);
    windows.push_back(window.get());
    return window;
}

std::unique_ptr<Alert> FakePlatform::makeAlert()
{
    journal.push_back("platform.makeAlert");
    return std::make_unique<FakeAlert>(alertsShown, alertResponses, whileAlertShown);
}

std::unique_ptr<Button> FakePlatform::makeButton(const Rect& frame)
{
    journal.push_back("platform.makeButton");
    auto button = std::make_unique<FakeButton>(frame);
    buttons.push_back(button.get());
    return button;
}

std::unique_ptr<WebViewConfiguration> FakePlatform::makeWebViewConfiguration()
{
    journal.push_back("platform.makeWebViewConfiguration");
    auto configuration = std::make_unique<FakeWebViewConfiguration>(journal);
    configurations.push_back(configuration.get());
    return configuration;
}

std::unique_ptr<WebView> FakePlatform::makeWebView(WebViewConfiguration& configuration)
{
    journal.push_back("platform.makeWebView");
    auto webView = std::make_unique<FakeWebView>(
        journal, static_cast<FakeWebViewConfiguration&>(configuration));
    webViews.push_back(webView.get());
    return webView;
}

std::vector<std::string> FakePlatform::journalEntries(const std::string& prefix) const
{
    std::vector<std::string> entries;
    for (auto& entry : journal) {
        if (entry.starts_with(prefix))
            entries.push_back(entry);
    }
    return entries;
}

} // namespace orvi::fake
