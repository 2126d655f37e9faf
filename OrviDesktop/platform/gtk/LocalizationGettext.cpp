#include "platform/gtk/LocalizationGettext.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <glib.h>
#include <libintl.h>

namespace orvi::gtk {

namespace {

constexpr const char* domain = "orvi-desktop";

bool isCLocale(const char* name)
{
    return !name || !std::strcmp(name, "C") || !std::strcmp(name, "POSIX");
}

} // namespace

// A locale the system does not have leaves the process in C, and so in
// English, without a word: setlocale's failure is the answer.
LocalizationGettext::LocalizationGettext()
{
    std::setlocale(LC_ALL, "");
    gchar* folder = g_file_read_link("/proc/self/exe", nullptr);
    gchar* installed = nullptr;
    if (folder) {
        gchar* executableFolder = g_path_get_dirname(folder);
        installed = g_canonicalize_filename("../share/locale", executableFolder);
        g_free(executableFolder);
    }
    bool useInstalled = installed && g_file_test(installed, G_FILE_TEST_IS_DIR);
    bindtextdomain(domain, useInstalled ? installed : ORVI_BUILD_TIME_LOCALE_DIR);
    // GTK takes UTF-8 whatever the locale's own character set.
    bind_textdomain_codeset(domain, "UTF-8");
    g_free(installed);
    g_free(folder);
}

std::string LocalizationGettext::localizedString(UIText text) const
{
    return dgettext(domain, text.english);
}

// gettext ignores LANGUAGE in the C locale, and so do the pages.
std::vector<std::string> LocalizationGettext::preferredLanguages()
{
    std::vector<std::string> languages;
    bool cLocale = isCLocale(std::setlocale(LC_MESSAGES, nullptr));
    for (const gchar* const* name = g_get_language_names(); *name; ++name) {
        std::string language = isCLocale(*name) || cLocale ? "en-US" : *name;
        if (language.find_first_of(".@") != std::string::npos)
            continue;
        std::replace(language.begin(), language.end(), '_', '-');
        if (std::find(languages.begin(), languages.end(), language) == languages.end())
            languages.push_back(language);
    }
    return languages;
}

} // namespace orvi::gtk
