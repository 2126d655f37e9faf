#include "platform/gtk/URLSessionSoup.h"

#include <libsoup/soup.h>

#include <cstdlib>

namespace orvi::gtk {

namespace {

constexpr auto uriFlags = static_cast<GUriFlags>(SOUP_HTTP_URI_FLAGS);

// What a browser follows: every redirection that names where to go, but
// "not modified".
bool isRedirect(guint status)
{
    return SOUP_STATUS_IS_REDIRECTION(status) && status != SOUP_STATUS_NOT_MODIFIED;
}

#ifdef ORVI_TEST_HOOKS
// Test builds: a test server's authority is trusted beside the system's.
gboolean acceptTestAuthority(
    SoupMessage* message, GTlsCertificate* peer, GTlsCertificateFlags, gpointer)
{
    const char* path = std::getenv("ORVI_TEST_CA_FILE");
    GTlsCertificate* authority = path ? g_tls_certificate_new_from_file(path, nullptr) : nullptr;
    if (!authority)
        return FALSE;
    GUri* uri = soup_message_get_uri(message);
    int port = g_uri_get_port(uri);
    GSocketConnectable* identity
        = g_network_address_new(g_uri_get_host(uri), port > 0 ? port : 443);
    bool trusted = g_tls_certificate_verify(peer, identity, authority) == 0;
    g_object_unref(identity);
    g_object_unref(authority);
    return trusted;
}
#endif

// Nothing when the body breaks off or grows past the cap.
std::optional<Bytes> readBody(
    GInputStream* stream, const URLRequestLimits& limits, GCancellable* stopping)
{
    Bytes body;
    uint8_t buffer[64 * 1024];
    for (;;) {
        gssize count = g_input_stream_read(stream, buffer, sizeof buffer, stopping, nullptr);
        if (count < 0 || body.size() + count > limits.maximumBodySize)
            return std::nullopt;
        if (count == 0)
            return body;
        body.insert(body.end(), buffer, buffer + count);
    }
}

// One request: its body, or the address it redirects to (nothing when neither).
std::optional<Bytes> send(SoupSession* session, GUri* uri, const URLRequestLimits& limits,
    GCancellable* stopping, GUri*& redirect)
{
    SoupMessage* message = soup_message_new_from_uri("GET", uri);
    soup_message_add_flags(message, SOUP_MESSAGE_NO_REDIRECT);
#ifdef ORVI_TEST_HOOKS
    g_signal_connect(message, "accept-certificate", G_CALLBACK(acceptTestAuthority), nullptr);
#endif
    std::optional<Bytes> body;
    if (GInputStream* stream = soup_session_send(session, message, stopping, nullptr)) {
        const char* location
            = soup_message_headers_get_one(soup_message_get_response_headers(message), "Location");
        if (isRedirect(soup_message_get_status(message)) && location)
            redirect = g_uri_parse_relative(uri, location, uriFlags, nullptr);
        else
            body = readBody(stream, limits, stopping);
        g_object_unref(stream);
    }
    g_object_unref(message);
    return body;
}

bool isHTTPS(GUri* uri)
{
    const char* host = g_uri_get_host(uri);
    return !g_ascii_strcasecmp(g_uri_get_scheme(uri), "https") && host && *host;
}

std::optional<Bytes> get(
    const std::string& url, const URLRequestLimits& limits, GCancellable* stopping)
{
    // The worker's own main context: nothing of the session reaches the main loop.
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    SoupSession* session = soup_session_new_with_options("timeout", limits.stallSeconds, nullptr);

    std::optional<Bytes> body;
    GUri* uri = g_uri_parse(url.c_str(), uriFlags, nullptr);
    for (int redirects = 0; uri && isHTTPS(uri) && redirects <= limits.maximumRedirects;
         ++redirects) {
        GUri* redirect = nullptr;
        body = send(session, uri, limits, stopping, redirect);
        g_uri_unref(uri);
        uri = redirect;
        if (!redirect)
            break;
    }
    if (uri)
        g_uri_unref(uri);

    g_object_unref(session);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return body;
}

} // namespace

URLSessionSoup::URLSessionSoup()
    : m_stopping(g_cancellable_new())
{
}

URLSessionSoup::~URLSessionSoup()
{
    g_cancellable_cancel(m_stopping);
    std::lock_guard lock(m_lock);
    for (auto& worker : m_workers)
        worker->thread.join();
    m_workers.clear();
    g_object_unref(m_stopping);
}

void URLSessionSoup::joinFinishedWorkers()
{
    for (auto worker = m_workers.begin(); worker != m_workers.end();) {
        if ((*worker)->finished) {
            (*worker)->thread.join();
            worker = m_workers.erase(worker);
        } else {
            ++worker;
        }
    }
}

void URLSessionSoup::dataTask(const std::string& url, const URLRequestLimits& limits,
    std::function<void(std::optional<Bytes>)> completion)
{
    std::lock_guard lock(m_lock);
    joinFinishedWorkers();
    auto worker = std::make_unique<Worker>();
    Worker& started = *worker;
    m_workers.push_back(std::move(worker));
    started.thread = std::thread([this, url, limits, completion = std::move(completion), &started] {
        auto body = get(url, limits, m_stopping);
        // A quitting program takes no more results.
        completion(g_cancellable_is_cancelled(m_stopping) ? std::nullopt : std::move(body));
        started.finished = true;
    });
}

} // namespace orvi::gtk
