#pragma once

#include "platform/FileUserDefaults.h"
#include "platform/MouseEvent.h"
#include "platform/Platform.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

// A whole fake world for the program: every service records what it was asked
// in one shared journal (for order checks) and keeps the state a test reads
// back. Nothing touches a display, a bus or the disk.
namespace orvi::fake {

using Journal = std::vector<std::string>;

class FakeApplication final : public Application {
public:
    explicit FakeApplication(Journal& journal)
        : m_journal(journal)
    {
    }

    void setDelegate(ApplicationDelegate* delegate) override { m_delegate = delegate; }
    int run() override { return 0; }
    void setActivationPolicy(ActivationPolicy policy) override;
    void setMainMenu(const Menu& menu) override;
    void unhide() override;
    void activateIgnoringOtherApps(bool) override;
    // Behaves as the real one: asks the delegate, then tells it once.
    void terminate() override;

    // What the system does.
    void finishLaunching() { m_delegate->applicationDidFinishLaunching(); }
    bool reopen(bool hasVisibleWindows = true)
    {
        return m_delegate->applicationShouldHandleReopen(hasVisibleWindows);
    }

    std::optional<ActivationPolicy> activationPolicy;
    std::optional<Menu> mainMenu;
    int willTerminateCount { 0 };
    bool terminated { false };
    bool active { false };

private:
    Journal& m_journal;
    ApplicationDelegate* m_delegate { nullptr };
};

class FakeScreen final : public Screen {
public:
    std::optional<Rect> mainScreenVisibleFrame() const override { return visibleFrame; }
    std::optional<Rect> visibleFrame = Rect { 0, 0, 1280, 772 };
};

class FakeProcessInfo final : public ProcessInfo {
public:
    explicit FakeProcessInfo(Journal& journal)
        : m_journal(journal)
    {
    }

    struct Activity {
        uint64_t options;
        std::string reason;
        int endCount { 0 };
    };

    std::unique_ptr<ActivityToken> beginActivity(
        uint64_t options, const std::string& reason) override;
    void endActivity(ActivityToken&) override;

    std::vector<Activity> activities;

private:
    Journal& m_journal;
};

// Work is held until the test runs it; time only moves when the test says.
class FakeMainQueue final : public MainQueue {
public:
    explicit FakeMainQueue(Journal& journal)
        : m_journal(journal)
    {
    }

    void async(std::function<void()> work) override;
    void asyncAfter(double seconds, std::function<void()> work) override;

    // Moves the clock on and runs, in order, everything due by then
    // (including work that the work itself submits). Returns how many ran.
    int advance(double seconds = 0);
    size_t pendingCount() const;
    double now() const { return m_now; }

    // The delays asked for, in order.
    std::vector<double> requestedDelays;

private:
    struct Entry {
        double due;
        uint64_t order;
        std::function<void()> work;
    };
    Journal& m_journal;
    mutable std::mutex m_lock;
    std::vector<Entry> m_entries;
    double m_now { 0 };
    uint64_t m_nextOrder { 0 };
};

// An in-memory disk with failures a test can switch on.
class FakeFileSystem final : public FileSystem {
public:
    bool fileExists(const std::string& path) const override;
    bool directoryExists(const std::string& path) const override;
    std::optional<Bytes> readFile(const std::string& path) const override;
    bool writeFileAtomically(const std::string& path, const Bytes&, uint32_t mode) override;
    bool createDirectories(const std::string& path, uint32_t mode) override;
    bool moveItem(const std::string& from, const std::string& to) override;

    void putFile(const std::string& path, const std::string& text);
    std::optional<std::string> text(const std::string& path) const;

    std::map<std::string, Bytes> files;
    std::map<std::string, uint32_t> modes;
    std::set<std::string> directories;
    std::set<std::string> unreadable;
    bool failWrites { false };
    bool failMoves { false };
    int writeCount { 0 };
};

class FakeWorkspace final : public Workspace {
public:
    bool openURL(const std::string& url) override
    {
        opened.push_back(url);
        return true;
    }
    std::vector<std::string> opened;
};

// Requests wait until the test answers them, from the test's thread or any
// other.
class FakeURLSession final : public URLSession {
public:
    void dataTask(
        const std::string& url, std::function<void(std::optional<Bytes>)> completion) override;

    // Completes the oldest pending request.
    void respond(std::optional<std::string> body);
    size_t pendingCount() const;

    std::vector<std::string> requestedURLs;

private:
    mutable std::mutex m_lock;
    std::vector<std::function<void(std::optional<Bytes>)>> m_pending;
};

// Answers with the next scripted response, or "cancelled" when none is left.
class FakeAlert final : public Alert {
public:
    struct Shown {
        std::string messageText;
        std::string informativeText;
        std::vector<std::string> buttons;
    };

    FakeAlert(
        std::vector<Shown>& shown, std::vector<long>& responses, std::function<void()>& whileShown)
        : m_shown(shown)
        , m_responses(responses)
        , m_whileShown(whileShown)
    {
    }

    void setMessageText(const std::string& text) override { m_alert.messageText = text; }
    void setInformativeText(const std::string& text) override { m_alert.informativeText = text; }
    void addButtonWithTitle(const std::string& title) override { m_alert.buttons.push_back(title); }
    long runModal() override;

private:
    Shown m_alert;
    std::vector<Shown>& m_shown;
    std::vector<long>& m_responses;
    std::function<void()>& m_whileShown;
};

class FakeMainBundle final : public MainBundle {
public:
    std::string bundlePath() const override { return bundle; }
    std::optional<std::string> resourcePath() const override { return resources; }
    std::string executablePath() const override { return bundle + "/orvi-desktop"; }
    std::optional<std::string> userLibraryDirectory() const override { return library; }
    std::string userConfigDirectory() const override { return configDirectory; }
    std::optional<std::string> shortVersionString() const override { return version; }

    std::string bundle = "/opt/orvi/bin";
    std::optional<std::string> resources = "/opt/orvi/share/orvi-desktop";
    std::optional<std::string> library;
    std::string configDirectory = "/home/guest/.config";
    std::optional<std::string> version = "1.4.1";
};

class FakeView : public View { };

class FakeButton final : public Button {
public:
    explicit FakeButton(const Rect& frame)
        : frame(frame)
    {
    }

    void setTitle(const std::string& value) override { title = value; }
    void setFont(const Font& value) override { font = value; }
    void setContentTintColor(const Color& value) override { tint = value; }
    void setBordered(bool value) override { bordered = value; }
    void setLayerBackgroundColor(const Color& value) override { fill = value; }
    void setLayerCornerRadius(double value) override { cornerRadius = value; }
    void setLayerBorderWidth(double value) override { borderWidth = value; }
    void setLayerBorderColor(const Color& value) override { borderColor = value; }
    void setToolTip(const std::string& value) override { toolTip = value; }
    void setMouseHandler(ButtonMouseHandler* value) override { handler = value; }

    // What the user does with the mouse.
    void press() { handler->mouseDown(MouseEvent {}); }
    void drag(double dx = 1, double dy = 0)
    {
        handler->mouseDragged(MouseEvent { Point { dx, dy }, Point {} });
    }
    void release() { handler->mouseUp(MouseEvent {}); }
    void click()
    {
        press();
        release();
    }

    Rect frame;
    std::string title;
    Font font;
    std::optional<Color> tint;
    bool bordered { true };
    std::optional<Color> fill;
    double cornerRadius { 0 };
    double borderWidth { 0 };
    std::optional<Color> borderColor;
    std::string toolTip;
    ButtonMouseHandler* handler { nullptr };
};

class FakeWindow final : public Window {
public:
    FakeWindow(Journal& journal, const Rect& contentRect, uint32_t styleMask)
        : styleMask(styleMask)
        , currentFrame(contentRect)
        , m_journal(journal)
    {
    }

    void setDelegate(WindowDelegate* value) override { delegate = value; }
    void setContentView(View& view) override;
    void setTitle(const std::string& value) override { title = value; }
    void setTitleHidden(bool) override { }
    void setTitlebarAppearsTransparent(bool) override { }
    void setMovableByWindowBackground(bool) override { }
    void setMinSize(Size) override { }
    void setLevel(WindowLevel value) override;
    void setCollectionBehavior(uint32_t value) override { collectionBehavior = value; }
    void setHidesOnDeactivate(bool) override { }
    void setOpaque(bool value) override { opaque = value; }
    void setBackgroundClear(bool value) override { backgroundClear = value; }
    void setHasShadow(bool) override { }
    Rect frame() const override { return currentFrame; }
    void setFrame(const Rect& value) override;
    void center() override;
    void setAlphaValue(double value) override;
    void setIgnoresMouseEvents(bool value) override;
    void orderFrontRegardless() override;
    void makeKeyAndOrderFront() override;
    void orderOut() override;
    void deminiaturize() override;
    void performWindowDrag(const MouseEvent&) override;

    // What the user or the window manager does.
    bool userClose();
    void userMiniaturize();
    void userMoveTo(const Rect& value) { currentFrame = value; }

    uint32_t styleMask;
    Rect currentFrame;
    WindowDelegate* delegate { nullptr };
    View* contentView { nullptr };
    std::string title;
    WindowLevel level { WindowLevel::normal };
    uint32_t collectionBehavior { 0 };
    bool opaque { true };
    bool backgroundClear { false };
    bool centered { false };
    double alpha { 1.0 };
    bool ignoresMouseEvents { false };
    bool visible { false };
    bool key { false };
    bool miniaturized { false };
    int orderFrontCount { 0 };
    int dragCount { 0 };

private:
    Journal& m_journal;
};

class FakeUserContentController final : public UserContentController {
public:
    explicit FakeUserContentController(Journal& journal)
        : m_journal(journal)
    {
    }

    struct Script {
        std::string source;
        UserScriptInjectionTime time;
        bool mainFrameOnly;
    };

    void addUserScript(
        const std::string& source, UserScriptInjectionTime, bool forMainFrameOnly) override;
    void addScriptMessageHandler(ScriptMessageHandler&, const std::string& name) override;
    void removeScriptMessageHandlerForName(const std::string& name) override;

    // What the page does: posts a message under a name. False when no
    // handler holds the name.
    bool post(const std::string& name, const JsonValue& body);

    std::vector<Script> scripts;
    std::map<std::string, ScriptMessageHandler*> handlers;

private:
    Journal& m_journal;
};

class FakeWebViewConfiguration final : public WebViewConfiguration {
public:
    explicit FakeWebViewConfiguration(Journal& journal)
        : contentController(journal)
    {
    }

    void setAllowsContentJavaScript(bool value) override { allowsContentJavaScript = value; }
    void setMediaPlaybackRequiresUserAction(bool value) override
    {
        mediaPlaybackRequiresUserAction = value;
    }
    void setMediaStreamEnabled(bool value) override { mediaStreamEnabled = value; }
    UserContentController& userContentController() override { return contentController; }

    std::optional<bool> allowsContentJavaScript;
    std::optional<bool> mediaPlaybackRequiresUserAction;
    std::optional<bool> mediaStreamEnabled;
    FakeUserContentController contentController;
};

class FakeWebView final : public WebView {
public:
    FakeWebView(Journal& journal, FakeWebViewConfiguration& configuration)
        : configuration(configuration)
        , m_journal(journal)
    {
    }

    struct Load {
        std::string html;
        std::optional<std::string> baseURL;
    };

    void setDrawsBackground(bool value) override { drawsBackground = value; }
    void setUIDelegate(WebUIDelegate* value) override { uiDelegate = value; }
    void loadHTMLString(
        const std::string& html, const std::optional<std::string>& baseURL) override;
    void evaluateJavaScript(const std::string& script) override;

    // What WebKit does when the page asks for capture devices.
    std::optional<PermissionDecision> requestCapture(MediaCaptureType);

    FakeWebViewConfiguration& configuration;
    // What the page does when a script runs in it, synchronously, as a page
    // function calling back into the program would.
    std::function<void(const std::string& script)> onEvaluate;
    bool drawsBackground { true };
    WebUIDelegate* uiDelegate { nullptr };
    std::vector<Load> loads;
    std::vector<std::string> evaluated;

private:
    Journal& m_journal;
};

class FakePlatform final : public Platform {
public:
    FakePlatform();

    Application& application() override { return app; }
    Screen& screen() override { return screenService; }
    ProcessInfo& processInfo() override { return process; }
    MainQueue& mainQueue() override { return queue; }
    UserDefaults& userDefaults() override;
    Workspace& workspace() override { return workspaceService; }
    FileSystem& fileSystem() override { return files; }
    MainBundle& mainBundle() override { return bundle; }
    URLSession& urlSession() override { return session; }

    std::unique_ptr<Window> makeWindow(const Rect& contentRect, uint32_t styleMask) override;
    std::unique_ptr<Alert> makeAlert() override;
    std::unique_ptr<Button> makeButton(const Rect& frame) override;
    std::unique_ptr<WebViewConfiguration> makeWebViewConfiguration() override;
    std::unique_ptr<WebView> makeWebView(WebViewConfiguration&) override;

    // The defaults as a fresh launch would read them back from the fake disk.
    std::unique_ptr<FileUserDefaults> reloadedDefaults();
    std::string defaultsPath() const { return bundle.configDirectory + "/orvi-test/defaults.json"; }

    // Entries of the journal that start with `prefix`, in order.
    std::vector<std::string> journalEntries(const std::string& prefix = "") const;

    Journal journal;
    FakeApplication app { journal };
    FakeScreen screenService;
    FakeProcessInfo process { journal };
    FakeMainQueue queue { journal };
    FakeWorkspace workspaceService;
    FakeFileSystem files;
    FakeMainBundle bundle;
    FakeURLSession session;

    // Every alert run, in order, and the answers to give them (first button
    // when asked is 1000). `whileAlertShown` runs inside each runModal, as the
    // event loop would.
    std::vector<FakeAlert::Shown> alertsShown;
    std::vector<long> alertResponses;
    std::function<void()> whileAlertShown;

    // Everything made, in order; owned by the program.
    std::vector<FakeWindow*> windows;
    std::vector<FakeWebView*> webViews;
    std::vector<FakeWebViewConfiguration*> configurations;
    std::vector<FakeButton*> buttons;

private:
    std::unique_ptr<FileUserDefaults> m_defaults;
};

} // namespace orvi::fake
