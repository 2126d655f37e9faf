#pragma once

#include "platform/Platform.h"
#include "platform/shared/FileUserDefaults.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace orvi {

inline std::ostream& operator<<(std::ostream& out, const Rect& r)
{
    return out << r.x << "," << r.y << " " << r.width << "x" << r.height;
}

// The program's whole world in memory. What it does that a user could notice
// lands in one journal of calls with their arguments (enumerations and modes
// as numbers).
namespace fake {

using Journal = std::vector<std::string>;
using Text = const std::string&;

struct Logged {
    template <class... Parts> void log(const Parts&... parts)
    {
        std::ostringstream line;
        ((line << name) << ... << parts);
        journal->push_back(line.str());
    }
    Journal* journal { nullptr };
    std::string name;
};

struct FakeWindow final : Window, Logged {
    void setDelegate(WindowDelegate* value) override { delegate = value; }
    void setContentView(View&) override { }
    void setTitle(Text) override { }
    void setControlNames(const WindowControlNames& value) override { names = value; }
    void setTitleHidden(bool) override { }
    void setTitlebarAppearsTransparent(bool) override { }
    void setMovableByWindowBackground(bool value) override { log("movable ", value); }
    void setMinSize(Size) override { }
    void setLevel(WindowLevel value) override { log("level ", int(value)); }
    void setCollectionBehavior(uint32_t value) override { log("behavior ", value); }
    void setHidesOnDeactivate(bool) override { }
    void setOpaque(bool value) override { log("opaque ", value); }
    void setBackgroundClear(bool value) override { log("clear ", value); }
    void setHasShadow(bool value) override { log("shadow ", value); }
    Rect frame() const override { return rect; }
    void setFrame(const Rect& value) override { rect = value, log("frame ", value); }
    void center() override { log("center"); }
    void setAlphaValue(double value) override { log("alpha ", value); }
    void setIgnoresMouseEvents(bool value) override { log("ignoresMouse ", value); }
    void setIgnoresKeyboardEvents(bool value) override { log("ignoresKeys ", value); }
    void orderFrontRegardless() override { log("front"); }
    void makeKeyAndOrderFront() override { log("key"); }
    bool isKeyWindow() const override { return false; }
    void orderOut() override { log("out"); }
    void deminiaturize() override { log("deminiaturize"); }
    void performWindowDrag(const MouseEvent&) override { log("drag"); }
    Rect rect;
    WindowDelegate* delegate { nullptr };
    WindowControlNames names;
};

struct FakeButton final : Button {
    void setTitle(Text value) override { title = value; }
    void setFont(const Font&) override { }
    void setContentTintColor(const Color&) override { }
    void setBordered(bool) override { }
    void setLayerBackgroundColor(const Color&) override { }
    void setLayerCornerRadius(double) override { }
    void setLayerBorderWidth(double) override { }
    void setLayerBorderColor(const Color&) override { }
    void setToolTip(Text value) override { toolTip = value; }
    void setEventHandler(ButtonEventHandler*) override { }
    std::string title, toolTip;
};

struct FakeConfiguration final : WebViewConfiguration, UserContentController, Logged {
    void setAllowsContentJavaScript(bool value) override { log("javaScript ", value); }
    void setMediaPlaybackRequiresUserAction(bool value) override { log("needsUser ", value); }
    void setMediaStreamEnabled(bool value) override { log("mediaStreams ", value); }
    void setMemoryLimit(uint64_t value) override { log("memoryLimit ", value); }
    std::optional<std::string> sandboxWebContent() override { return log("sandbox"), std::nullopt; }
    void allowReadingFolder(Text path) override { log("readable ", path); }
    UserContentController& userContentController() override { return *this; }
    void addUserScript(Text s, UserScriptInjectionTime t, bool main) override
    {
        log("script ", int(t), main, " ", s);
    }
    void addScriptMessageHandler(ScriptMessageHandler& to, Text name) override
    {
        handlers[name] = &to, log("handler+ ", name);
    }
    void removeScriptMessageHandlerForName(Text name) override { log("handler- ", name); }
    std::map<std::string, ScriptMessageHandler*> handlers;
};

struct FakeWebView final : WebView, Logged {
    void setDrawsBackground(bool) override { }
    void setUIDelegate(WebUIDelegate*) override { }
    void setNavigationDelegate(WebNavigationDelegate* value) override { navigation = value; }
    void loadHTMLString(Text html, const std::optional<std::string>& base) override
    {
        address = base.value_or("about:blank"), log("load ", base.value_or("-"), " ", html);
    }
    std::string url() const override { return address; }
    // The main frame shows another document, as after a link.
    void show(Text url) { address = url, navigation->webViewDidCommitNavigation(); }
    void evaluateJavaScript(Text script) override { log("eval ", script); }
    // Scripts whose end the program waits for wait until the test runs them.
    void evaluateJavaScript(Text script, std::function<void()> ran) override
    {
        log("ask ", script), pending.push_back(std::move(ran));
    }
    // WebKit tells of the end later, as of any other (unless told not to).
    void terminateWebContentProcess() override
    {
        log("terminate page"), queue->async([this] {
            if (endsWhenTold)
                navigation->webViewWebContentProcessDidTerminate(
                    WebContentTermination::endedByProgram);
        });
    }
    bool endsWhenTold { true };
    std::string address;
    WebNavigationDelegate* navigation { nullptr };
    MainQueue* queue { nullptr };
    std::vector<std::function<void()>> pending;
};

// Logged as "alert message|informative|button|…" when it comes up, and given `answer`.
struct FakeAlert final : Alert, Logged {
    void setMessageText(Text text) override { shown = text; }
    void setInformativeText(Text text) override { shown += "|" + text; }
    void addButtonWithTitle(Text title) override { shown += "|" + title; }
    long runModal() override { return log("alert ", shown), answer; }
    std::string shown;
    long answer;
};

// The services the platform answers with itself.
struct Services : Application, Screen, ProcessInfo, MainQueue { };
struct Reporters : EventLog, Supervisor, Localization { };
struct Stores : Workspace, FileSystem, MainBundle, URLSession { };

struct FakePlatform final : Platform, Services, Reporters, Stores, Logged {
    // With the interface page in the bundle beside the executable unless told not to.
    explicit FakePlatform(bool withPage = true)
    {
        journal = &calls;
        if (withPage)
            put("/opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources/index.html", "<p>page</p>");
    }

    // The defaults as the next launch reads them from the disk.
    auto reloaded() { return std::make_unique<FileUserDefaults>(*this, path); }
    Application& application() override { return *this; }
    Screen& screen() override { return *this; }
    ProcessInfo& processInfo() override { return *this; }
    MainQueue& mainQueue() override { return *this; }
    UserDefaults& userDefaults() override { return *(defaults ? defaults : defaults = reloaded()); }
    Workspace& workspace() override { return *this; }
    FileSystem& fileSystem() override { return *this; }
    MainBundle& mainBundle() override { return *this; }
    URLSession& urlSession() override { return *this; }
    EventLog& eventLog() override { return *this; }
    Supervisor& supervisor() override { return *this; }
    const Localization& localization() override { return *this; }
    std::unique_ptr<Window> makeWindow(const Rect& rect, uint32_t style) override
    {
        auto window = keep(new FakeWindow, "w" + std::to_string(windows.size()) + ".");
        windows.push_back(window.get()), window->rect = rect;
        return log("make window ", rect, " ", style), std::move(window);
    }
    std::unique_ptr<Button> makeButton(const Rect& rect) override
    {
        auto button = std::make_unique<FakeButton>();
        return buttons.push_back(button.get()), log("make button ", rect), std::move(button);
    }
    std::unique_ptr<WebViewConfiguration> makeWebViewConfiguration() override
    {
        return log("make configuration"), keep(configuration = new FakeConfiguration);
    }
    std::unique_ptr<WebView> makeWebView(WebViewConfiguration&) override
    {
        auto view = keep(webView = new FakeWebView);
        return view->queue = this, log("make web view"), std::move(view);
    }
    std::unique_ptr<Alert> makeAlert() override
    {
        auto alert = keep(new FakeAlert);
        return alert->answer = answer, std::move(alert);
    }

    void setDelegate(ApplicationDelegate* value) override { delegate = value; }
    int run(int, char**, const CommandLine&) override { return 0; }
    void setActivationPolicy(ActivationPolicy value) override { log("policy ", int(value)); }
    void setMainMenu(const Menu& value) override { menu = value, log("menu"); }
    void unhide() override { log("unhide"); }
    void activateIgnoringOtherApps(bool value) override { log("activate ", value); }
    std::optional<double> lastUserInputTime() const override { return lastInput; }
    // Asks and tells as the real one does, with no guard of its own.
    void terminate() override
    {
        if (log("terminate"), delegate->applicationShouldTerminate() == TerminateReply::now)
            delegate->applicationWillTerminate();
    }
    // The main screen alone, which never changes, its frame its visible frame.
    std::optional<Rect> mainScreenVisibleFrame() const override { return screenFrame; }
    std::vector<ScreenArea> screens() const override { return { { screenFrame, screenFrame } }; }
    void setDelegate(ScreenDelegate*) override { }
    std::unique_ptr<ActivityToken> beginActivity(uint64_t options, Text why) override
    {
        return log("begin ", std::hex, options, " ", why), std::make_unique<ActivityToken>();
    }
    void endActivity(ActivityToken&) override { log("end"); }
    double systemUptime() const override { return now; }
    uint64_t physicalMemory() const override { return 8ULL << 30; }
    // Lines of the event log, as "level message|FIELD=value|…" (0 debug, 1 info, 2 warning).
    void record(LogLevel level, Text message, const std::vector<LogField>& fields) override
    {
        std::string line = std::to_string(int(level)) + " " + message;
        for (auto& field : fields)
            line += "|" + field.name + "=" + field.value;
        logged.push_back(line);
    }
    void setVerbose(bool) override { }
    bool supervised() const override { return bool(watchdog); }
    std::optional<double> watchdogInterval() const override { return watchdog; }
    void notifyReady() override { log("ready"); }
    void notifyAlive() override { log("alive"); }
    void notifyStopping() override { log("stopping"); }
    // Marked as asked for in the user's language: a text shown unmarked was not.
    std::string localizedString(UIText text) const override
    {
        return "[" + std::string(text.english) + "]";
    }
    // Work waits for advance(), which moves the clock on and runs what falls
    // due, with what that submits, and says how much ran.
    void async(std::function<void()> work) override { queue.emplace_back(now, std::move(work)); }
    void asyncAfter(double delay, std::function<void()> work) override
    {
        log("after ", delay), queue.emplace_back(now + delay, std::move(work));
    }
    int advance(double seconds = 0)
    {
        double until = now + seconds;
        for (int ran = 0;; ++ran) {
            auto next = std::min_element(queue.begin(), queue.end(),
                [](auto& a, auto& b) { return a.first < b.first; }); // the first of equals first
            if (next == queue.end() || next->first > until)
                return now = until, ran;
            auto work = std::move(next->second);
            now = std::max(now, next->first), queue.erase(next), work();
        }
    }
    bool openURL(Text url) override { return log("open ", url), true; }

    bool fileExists(Text path) const override { return files.count(path) || folders.count(path); }
    bool directoryExists(Text path) const override { return folders.count(path); }
    std::optional<Bytes> readFile(Text path) const override
    {
        return files.count(path) && !unreadable.count(path) ? std::optional(files.at(path))
                                                            : std::nullopt;
    }
    void writeFileAtomically(Text path, const Bytes& bytes, uint32_t mode) override
    {
        if (!failWrites && folders.count(path.substr(0, path.rfind('/'))))
            log("write ", path, " ", std::oct, mode), files[path] = bytes;
    }
    // The program only writes into folders it made, so parents are taken as made.
    void createDirectories(Text path, uint32_t mode) override
    {
        if (!failWrites)
            log("mkdir ", path, " ", std::oct, mode), folders.insert(path);
    }
    bool moveItem(Text from, Text to) override
    {
        bool moved = !failMoves && files.count(from) && !fileExists(to);
        return moved && (files[to] = files[from], files.erase(from), unreadable.erase(from), true);
    }
    void put(Text path, Text text)
    {
        for (auto at = path.find('/', 1); at != path.npos; at = path.find('/', at + 1))
            folders.insert(path.substr(0, at));
        files[path] = Bytes(text.begin(), text.end());
    }
    std::string text(Text path) const
    {
        return files.count(path) ? std::string(files.at(path).begin(), files.at(path).end()) : "-";
    }

    std::string bundlePath() const override { return "/opt/orvi/bin"; }
    std::optional<std::string> resourcePath() const override { return resources; }
    std::string executablePath() const override { return "/opt/orvi/bin/orvi-desktop"; }
    std::optional<std::string> shortVersionString() const override { return version; }
    std::optional<std::string> userLibraryDirectory() const override { return library; }
    std::string userConfigDirectory() const override { return "/home/guest/.config"; }
    // Requests wait until respond() answers the oldest.
    void dataTask(Text url, const URLRequestLimits& limits,
        std::function<void(std::optional<Bytes>)> done) override
    {
        requested.push_back(url + " " + std::to_string(limits.maximumBodySize)),
            requests.push_back(std::move(done));
    }
    void respond(std::optional<std::string> body)
    {
        auto done = std::move(requests.front());
        requests.erase(requests.begin());
        done(body ? std::optional(Bytes(body->begin(), body->end())) : std::nullopt);
    }

    long count(Text call) const { return std::count(calls.begin(), calls.end(), call); }
    template <class T> std::unique_ptr<T> keep(T* item, std::string name = "")
    {
        item->journal = &calls, item->name = std::move(name);
        return std::unique_ptr<T>(item);
    }

    const std::string path = "/home/guest/.config/orvi/defaults.json"; // of the defaults
    Journal calls;
    ApplicationDelegate* delegate { nullptr };
    const Rect screenFrame { 10, 20, 1280, 772 };
    std::optional<std::string> resources = "/opt/orvi/share/orvi-desktop", library;
    std::optional<std::string> version = "1.4.1";
    std::map<std::string, Bytes> files;
    std::set<std::string> folders, unreadable;
    bool failWrites { false }, failMoves { false };
    long answer { AlertResponse::cancelled };
    std::vector<FakeWindow*> windows;
    std::vector<FakeButton*> buttons;
    Menu menu;
    FakeConfiguration* configuration { nullptr };
    std::vector<std::string> requested;
    std::vector<std::function<void(std::optional<Bytes>)>> requests;
    std::vector<std::pair<double, std::function<void()>>> queue;
    double now { 0 };
    std::vector<std::string> logged;
    std::optional<double> watchdog; // a service manager's, when one started the program
    std::optional<double> lastInput;
    FakeWebView* webView { nullptr };
    std::unique_ptr<FileUserDefaults> defaults;
};

} // namespace fake
} // namespace orvi
