#include "platform/gtk/WebContextGtk.h"

#include "platform/gtk/LocalizationGettext.h"

#include <filesystem>

namespace orvi::gtk {

namespace {

constexpr double killThreshold = 1.15;
constexpr double pollSeconds = 0.5;

bool sandboxTakes(const std::string& path)
{
    std::error_code error;
    std::filesystem::path folder = std::filesystem::canonical(path, error);
    if (error || !std::filesystem::is_directory(folder, error))
        return false;
    std::string text = folder.string();
    for (std::string refused : { "/sys", "/proc", "/dev" }) {
        if (text == refused || text.starts_with(refused + "/"))
            return false;
    }
    return text != "/" && text != "/home" && text != g_get_home_dir();
}

} // namespace

WebContextGtk::WebContextGtk(const WebViewConfigurationGtk& configuration)
{
    if (uint64_t limit = configuration.memoryLimit()) {
        WebKitMemoryPressureSettings* memory = webkit_memory_pressure_settings_new();
        webkit_memory_pressure_settings_set_memory_limit(memory, guint(limit));
        webkit_memory_pressure_settings_set_kill_threshold(memory, killThreshold);
        webkit_memory_pressure_settings_set_poll_interval(memory, pollSeconds);
        webkit_website_data_manager_set_memory_pressure_settings(memory);
        m_context = WEBKIT_WEB_CONTEXT(
            g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "memory-pressure-settings", memory, nullptr));
        webkit_memory_pressure_settings_free(memory);
    } else {
        m_context = webkit_web_context_new();
    }
    // WebKit copies the list.
    auto preferred = LocalizationGettext::preferredLanguages();
    std::vector<const char*> languages;
    for (const std::string& language : preferred)
        languages.push_back(language.c_str());
    languages.push_back(nullptr);
    webkit_web_context_set_preferred_languages(m_context, languages.data());
    if (!configuration.sandboxed())
        return;
    webkit_web_context_set_sandbox_enabled(m_context, TRUE);
    for (const std::string& folder : configuration.readableFolders()) {
        if (sandboxTakes(folder))
            webkit_web_context_add_path_to_sandbox(m_context, folder.c_str(), TRUE);
    }
}

WebContextGtk::~WebContextGtk()
{
    g_object_unref(m_context);
}

} // namespace orvi::gtk
