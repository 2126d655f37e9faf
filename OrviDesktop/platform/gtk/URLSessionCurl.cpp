#include "platform/gtk/URLSessionCurl.h"

#include <cstdlib>
#include <curl/curl.h>
#include <fstream>
#include <iterator>

namespace orvi::gtk {

namespace {

struct Transfer {
    Bytes body;
    bool tooLarge { false };
    const std::atomic<bool>* stopping;
};

size_t receive(char* data, size_t size, size_t count, void* context)
{
    auto& transfer = *static_cast<Transfer*>(context);
    size_t length = size * count;
    if (transfer.stopping->load()
        || transfer.body.size() + length > URLSessionCurl::maximumBodySize) {
        transfer.tooLarge = !transfer.stopping->load();
        // Stops reading at the cap.
        return CURL_WRITEFUNC_ERROR;
    }
    transfer.body.insert(transfer.body.end(), data, data + length);
    return length;
}

// Called about once a second even when nothing arrives.
int progress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Transfer*>(context)->stopping->load() ? 1 : 0;
}

#ifdef ORVI_TEST_HOOKS
std::string readWhole(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
#endif

std::optional<Bytes> get(const std::string& url, const std::atomic<bool>& stopping)
{
    CURL* curl = curl_easy_init();
    if (!curl)
        return std::nullopt;
    Transfer transfer { {}, false, &stopping };
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, URLSessionCurl::maximumRedirects);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, URLSessionCurl::stallSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, URLSessionCurl::stallSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

#ifdef ORVI_TEST_HOOKS
    // Test builds: the system's authorities and a test server's, side by side
    // in one bundle.
    std::string authorities;
    if (const char* extraAuthorities = std::getenv("ORVI_TEST_CA_FILE")) {
        char* systemBundle = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_CAINFO, &systemBundle) == CURLE_OK && systemBundle)
            authorities = readWhole(systemBundle) + "\n";
        authorities += readWhole(extraAuthorities);
        curl_blob blob { authorities.data(), authorities.size(), CURL_BLOB_NOCOPY };
        curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob);
    }
#endif

    CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (result != CURLE_OK || transfer.tooLarge)
        return std::nullopt;
    return std::move(transfer.body);
}

} // namespace

URLSessionCurl::URLSessionCurl()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

URLSessionCurl::~URLSessionCurl()
{
    m_stopping = true;
    std::lock_guard lock(m_lock);
    for (auto& worker : m_workers)
        worker->thread.join();
    m_workers.clear();
    curl_global_cleanup();
}

void URLSessionCurl::joinFinishedWorkers()
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

void URLSessionCurl::dataTask(
    const std::string& url, std::function<void(std::optional<Bytes>)> completion)
{
    std::lock_guard lock(m_lock);
    joinFinishedWorkers();
    auto worker = std::make_unique<Worker>();
    Worker& started = *worker;
    m_workers.push_back(std::move(worker));
    started.thread = std::thread([this, url, completion = std::move(completion), &started] {
        auto body = get(url, m_stopping);
        // A quitting program takes no more results.
        completion(m_stopping ? std::nullopt : std::move(body));
        started.finished = true;
    });
}

} // namespace orvi::gtk
