#include "platform/gtk/ProcessInfoGtk.h"

#include "platform/gtk/DisplayServer.h"

#include <gio/gunixfdlist.h>
#include <unistd.h>

#include <memory>

namespace orvi::gtk {

namespace {

// Long enough for a busy bus, short enough that a hung service is given up
// on; nothing waits for it in any case.
constexpr int busCallTimeoutMilliseconds = 10000;

// What one activity holds. Shared with the D-Bus callbacks, which may come
// back after the activity ended (or after the token is gone). Each service's
// appearances are counted, so an answer from one that has gone since is
// dropped.
struct Inhibitions {
    std::string who;
    std::string reason;
    bool keepDisplayAwake { false };
    bool keepSystemAwake { false };
    bool ended { false };

    guint logindWatch { 0 };
    unsigned logindAppearances { 0 };
    int logindDescriptor { -1 };
    guint screenSaverWatch { 0 };
    unsigned screenSaverAppearances { 0 };
    GDBusConnection* sessionBus { nullptr };
    guint32 screenSaverCookie { 0 };
    bool screenSaverInhibited { false };
    GtkApplication* application { nullptr };
    guint applicationCookie { 0 };
    // What the display server does itself to keep the display on.
    std::shared_ptr<void> displayAwake;

    void closeLogind()
    {
        if (logindDescriptor >= 0)
            close(logindDescriptor);
        logindDescriptor = -1;
    }

    ~Inhibitions()
    {
        closeLogind();
        if (sessionBus)
            g_object_unref(sessionBus);
        if (application)
            g_object_unref(application);
    }
};

using SharedInhibitions = std::shared_ptr<Inhibitions>;

// What an asynchronous call carries: the activity, and which appearance of
// the service it asked.
struct Call {
    SharedInhibitions inhibitions;
    unsigned appearance { 0 };
};

std::unique_ptr<Call> take(gpointer data)
{
    return std::unique_ptr<Call>(static_cast<Call*>(data));
}

Inhibitions& watched(gpointer data)
{
    return **static_cast<SharedInhibitions*>(data);
}

SharedInhibitions& watchedShared(gpointer data)
{
    return *static_cast<SharedInhibitions*>(data);
}

void logindInhibited(GObject* source, GAsyncResult* result, gpointer data)
{
    auto call = take(data);
    Inhibitions& inhibitions = *call->inhibitions;
    GUnixFDList* descriptors = nullptr;
    GVariant* reply = g_dbus_connection_call_with_unix_fd_list_finish(
        G_DBUS_CONNECTION(source), &descriptors, result, nullptr);
    if (reply)
        g_variant_unref(reply);
    if (!descriptors)
        return;
    // Stealing them leaves the list without its own copies, so closing ours
    // really ends the inhibitor.
    gint count = 0;
    gint* stolen = g_unix_fd_list_steal_fds(descriptors, &count);
    g_object_unref(descriptors);
    for (gint i = 1; i < count; ++i)
        close(stolen[i]);
    int descriptor = count > 0 ? stolen[0] : -1;
    g_free(stolen);
    if (descriptor < 0)
        return;
    if (inhibitions.ended || call->appearance != inhibitions.logindAppearances)
        close(descriptor);
    else
        inhibitions.logindDescriptor = descriptor;
}

// A descriptor from a logind that has gone since holds nothing.
void logindAppeared(GDBusConnection* bus, const gchar*, const gchar*, gpointer data)
{
    Inhibitions& inhibitions = watched(data);
    unsigned appearance = ++inhibitions.logindAppearances;
    inhibitions.closeLogind();
    if (inhibitions.ended)
        return;
    std::string what = inhibitions.keepDisplayAwake ? "idle:sleep" : "sleep";
    g_dbus_connection_call_with_unix_fd_list(bus, "org.freedesktop.login1",
        "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "Inhibit",
        g_variant_new(
            "(ssss)", what.c_str(), inhibitions.who.c_str(), inhibitions.reason.c_str(), "block"),
        G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, busCallTimeoutMilliseconds, nullptr,
        nullptr, logindInhibited, new Call { watchedShared(data), appearance });
}

void logindVanished(GDBusConnection*, const gchar*, gpointer data)
{
    Inhibitions& inhibitions = watched(data);
    ++inhibitions.logindAppearances;
    inhibitions.closeLogind();
}

void sendUnInhibit(Inhibitions& inhibitions)
{
    g_dbus_connection_call(inhibitions.sessionBus, "org.freedesktop.ScreenSaver",
        "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "UnInhibit",
        g_variant_new("(u)", inhibitions.screenSaverCookie), nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, busCallTimeoutMilliseconds, nullptr, nullptr, nullptr);
    // The process may exit right after this; make sure the call has left.
    g_dbus_connection_flush_sync(inhibitions.sessionBus, nullptr, nullptr);
}

void screenSaverInhibited(GObject* source, GAsyncResult* result, gpointer data)
{
    auto call = take(data);
    Inhibitions& inhibitions = *call->inhibitions;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
    if (!reply)
        return;
    guint32 cookie = 0;
    g_variant_get(reply, "(u)", &cookie);
    g_variant_unref(reply);
    if (call->appearance != inhibitions.screenSaverAppearances)
        return;
    inhibitions.screenSaverCookie = cookie;
    inhibitions.screenSaverInhibited = !inhibitions.ended;
    if (inhibitions.ended)
        sendUnInhibit(inhibitions);
}

void screenSaverAppeared(GDBusConnection* bus, const gchar*, const gchar*, gpointer data)
{
    Inhibitions& inhibitions = watched(data);
    unsigned appearance = ++inhibitions.screenSaverAppearances;
    inhibitions.screenSaverInhibited = false;
    if (inhibitions.ended)
        return;
    if (inhibitions.sessionBus != bus) {
        if (inhibitions.sessionBus)
            g_object_unref(inhibitions.sessionBus);
        inhibitions.sessionBus = G_DBUS_CONNECTION(g_object_ref(bus));
    }
    g_dbus_connection_call(bus, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
        "org.freedesktop.ScreenSaver", "Inhibit",
        g_variant_new("(ss)", inhibitions.who.c_str(), inhibitions.reason.c_str()),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, busCallTimeoutMilliseconds, nullptr,
        screenSaverInhibited, new Call { watchedShared(data), appearance });
}

// Its cookie went with it.
void screenSaverVanished(GDBusConnection*, const gchar*, gpointer data)
{
    Inhibitions& inhibitions = watched(data);
    ++inhibitions.screenSaverAppearances;
    inhibitions.screenSaverInhibited = false;
}

guint watch(GBusType bus, const char* name, GBusNameAppearedCallback appeared,
    GBusNameVanishedCallback vanished, const SharedInhibitions& inhibitions)
{
    return g_bus_watch_name(bus, name, G_BUS_NAME_WATCHER_FLAGS_NONE, appeared, vanished,
        new SharedInhibitions(inhibitions),
        [](gpointer data) { delete static_cast<SharedInhibitions*>(data); });
}

class KeepAwakeToken final : public ActivityToken {
public:
    explicit KeepAwakeToken(SharedInhibitions inhibitions)
        : inhibitions(std::move(inhibitions))
    {
    }
    SharedInhibitions inhibitions;
};

} // namespace

ProcessInfoGtk::ProcessInfoGtk(GtkApplication* application, std::string who)
    : m_application(application)
    , m_who(std::move(who))
{
}

std::unique_ptr<ActivityToken> ProcessInfoGtk::beginActivity(
    uint64_t options, const std::string& reason)
{
    auto inhibitions = std::make_shared<Inhibitions>();
    inhibitions->who = m_who;
    inhibitions->reason = reason;
    inhibitions->keepDisplayAwake = options & ActivityOptions::idleDisplaySleepDisabled;
    inhibitions->keepSystemAwake = options & ActivityOptions::idleSystemSleepDisabled;
    if (!inhibitions->keepDisplayAwake && !inhibitions->keepSystemAwake)
        return std::make_unique<KeepAwakeToken>(std::move(inhibitions));

    inhibitions->logindWatch = watch(
        G_BUS_TYPE_SYSTEM, "org.freedesktop.login1", logindAppeared, logindVanished, inhibitions);
    if (inhibitions->keepDisplayAwake)
        inhibitions->screenSaverWatch = watch(G_BUS_TYPE_SESSION, "org.freedesktop.ScreenSaver",
            screenSaverAppeared, screenSaverVanished, inhibitions);

    // GTK talks to the session manager or the portal itself, when either is
    // on the session bus.
    if (m_application && g_application_get_is_registered(G_APPLICATION(m_application))) {
        auto flags = static_cast<GtkApplicationInhibitFlags>(
            (inhibitions->keepDisplayAwake ? GTK_APPLICATION_INHIBIT_IDLE : 0)
            | (inhibitions->keepSystemAwake ? GTK_APPLICATION_INHIBIT_SUSPEND : 0));
        inhibitions->applicationCookie
            = gtk_application_inhibit(m_application, nullptr, flags, reason.c_str());
        if (inhibitions->applicationCookie)
            inhibitions->application = GTK_APPLICATION(g_object_ref(m_application));
    }

    if (inhibitions->keepDisplayAwake && gdk_display_get_default())
        inhibitions->displayAwake = DisplayServer::current().keepDisplayAwake(m_application);
    return std::make_unique<KeepAwakeToken>(std::move(inhibitions));
}

void ProcessInfoGtk::endActivity(ActivityToken& token)
{
    auto& inhibitions = *static_cast<KeepAwakeToken&>(token).inhibitions;
    if (inhibitions.ended)
        return;
    inhibitions.ended = true;

    for (guint* watch : { &inhibitions.logindWatch, &inhibitions.screenSaverWatch }) {
        if (*watch)
            g_bus_unwatch_name(*watch);
        *watch = 0;
    }
    inhibitions.closeLogind();
    if (inhibitions.screenSaverInhibited) {
        sendUnInhibit(inhibitions);
        inhibitions.screenSaverInhibited = false;
    }
    if (inhibitions.application && inhibitions.applicationCookie) {
        gtk_application_uninhibit(inhibitions.application, inhibitions.applicationCookie);
        inhibitions.applicationCookie = 0;
    }
    inhibitions.displayAwake.reset();
}

uint64_t ProcessInfoGtk::physicalMemory() const
{
    return uint64_t(sysconf(_SC_PHYS_PAGES)) * uint64_t(sysconf(_SC_PAGE_SIZE));
}

} // namespace orvi::gtk
