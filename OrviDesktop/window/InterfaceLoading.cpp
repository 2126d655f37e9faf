#include "window/OrviWindowController.h"

#include "base/Base64.h"
#include "base/Text.h"
#include "base/URL.h"
#include "window/PageContract.h"

namespace orvi {

namespace {

void replaceAll(std::string& text, std::string_view token, const std::string& replacement)
{
    size_t position = 0;
    while ((position = text.find(token, position)) != std::string::npos) {
        text.replace(position, token.size(), replacement);
        position += replacement.size();
    }
}

} // namespace

// Looks in the resource bundle's "Resources" folder, then in the program's
// resources folder: in the bundle kept there (its "Resources" folder, then its
// top level), then at the resources folder's top level.
std::optional<std::string> OrviWindowController::resourceURL(
    const std::string& named, const std::string& extension)
{
    if (auto path = m_resources.pathForResource(named, extension, "Resources"))
        return path;

    auto resources = m_platform.mainBundle().resourcePath();
    if (!resources)
        return std::nullopt;
    std::string fileName = named + "." + extension;
    std::string bundle = *resources + "/" + ResourceBundle::folderName + "/";
    for (const std::string& candidate :
        { bundle + "Resources/" + fileName, bundle + fileName, *resources + "/" + fileName }) {
        if (m_platform.fileSystem().fileExists(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<std::string> OrviWindowController::interfaceFolder()
{
    auto page = resourceURL(std::string(PageContract::interfacePageName),
        std::string(PageContract::interfacePageExtension));
    return page ? std::optional(folderOf(*page)) : std::nullopt;
}

// A page that cannot be found or read gives way to the fallback page; a face
// image that cannot be read leaves the placeholders as they are. Neither is
// reported: the station shows what it can. The page's time to answer starts
// with its load.
void OrviWindowController::loadInterface()
{
    m_pageAnsweredAt = m_pageLoadedAt = uptime();
    auto& fileSystem = m_platform.fileSystem();

    auto pagePath = resourceURL(std::string(PageContract::interfacePageName),
        std::string(PageContract::interfacePageExtension));
    auto pageBytes = pagePath ? fileSystem.readFile(*pagePath) : std::nullopt;
    if (!pageBytes || !isValidUTF8(*pageBytes)) {
        webView->loadHTMLString(std::string(PageContract::fallbackPageOpening)
                + m_platform.localization().localizedString(
                    // Translators: a page of its own, laid out left to right; a
                    // right-to-left language wraps it in U+2067 ... U+2069.
                    UIText("Orvi interface is unavailable."))
                + std::string(PageContract::fallbackPageClosing),
            std::nullopt);
        m_homeURL = webView->url();
        return;
    }
    std::string page(pageBytes->begin(), pageBytes->end());

    if (auto facePath = resourceURL(std::string(PageContract::faceImageName),
            std::string(PageContract::faceImageExtension))) {
        if (auto face = fileSystem.readFile(*facePath))
            replaceAll(page, PageContract::facePlaceholder,
                std::string(PageContract::faceDataURLPrefix) + base64Encode(*face));
    }

    webView->loadHTMLString(page, fileURLForDirectory(folderOf(*pagePath)));
    m_homeURL = webView->url();
}

} // namespace orvi
