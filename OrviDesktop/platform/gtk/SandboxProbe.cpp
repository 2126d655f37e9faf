#include "platform/gtk/SandboxProbe.h"

#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

namespace orvi::gtk {

namespace {

// Where WebKit's build says they are.
constexpr const char* bubblewrap = "/usr/bin/bwrap";
constexpr const char* dbusProxy = "/usr/bin/xdg-dbus-proxy";
constexpr const char* optOut = "WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS";

} // namespace

SandboxProbe::SandboxProbe()
{
    if (g_getenv(optOut)) {
        m_failure = std::string(optOut) + " is set";
    } else if (access(bubblewrap, X_OK) || access(dbusProxy, X_OK)) {
        m_failure
            = std::string(access(bubblewrap, X_OK) ? bubblewrap : dbusProxy) + " cannot be run";
    } else {
        const char* argv[] = { bubblewrap, "--unshare-user-try", "--unshare-pid", "--unshare-ipc",
            "--unshare-uts", "--unshare-cgroup-try", "--die-with-parent", "--ro-bind", "/", "/",
            "--proc", "/proc", "--dev", "/dev", "true", nullptr };
        GError* error = nullptr;
        if (g_spawn_async_with_pipes(nullptr, const_cast<char**>(argv), nullptr,
                GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL), nullptr,
                nullptr, &m_process, nullptr, nullptr, &m_errors, &error))
            return;
        m_failure = std::string(bubblewrap) + ": " + error->message;
        g_error_free(error);
    }
    m_answered = true;
}

SandboxProbe::~SandboxProbe()
{
    finish();
}

const std::optional<std::string>& SandboxProbe::failure()
{
    finish();
    return m_failure;
}

// What bubblewrap said of its failure is the reason, as far as one line goes.
void SandboxProbe::finish()
{
    if (m_answered)
        return;
    m_answered = true;
    std::string said;
    char buffer[256];
    for (ssize_t got; (got = read(m_errors, buffer, sizeof buffer)) > 0 && said.size() < 512;)
        said.append(buffer, size_t(got));
    close(m_errors);
    int status = 0;
    while (waitpid(m_process, &status, 0) < 0 && errno == EINTR) { }
    g_spawn_close_pid(m_process);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return;
    said = said.substr(0, said.find('\n'));
    m_failure
        = std::string(bubblewrap) + " cannot make the sandbox" + (said.empty() ? "" : ": " + said);
}

} // namespace orvi::gtk
