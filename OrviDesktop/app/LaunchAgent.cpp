#include "app/LaunchAgent.h"

namespace orvi::LaunchAgent {

namespace {

std::string escapedForXML(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&apos;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

std::string propertyList(std::string_view identifier, std::string_view bundlePath)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                       "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                       "<plist version=\"1.0\"><dict>\n"
                       "  <key>Label</key><string>";
    text += escapedForXML(identifier);
    text += "</string>\n"
            "  <key>ProgramArguments</key><array><string>";
    text += escapedForXML(bundlePath);
    text += "/Contents/MacOS/OrviDesktop</string></array>\n"
            "  <key>RunAtLoad</key><true/>\n"
            "  <key>KeepAlive</key><false/>\n"
            "</dict></plist>";
    return text;
}

void install(FileSystem& fileSystem, const std::string& libraryFolder,
    const std::string& identifier, const std::string& bundlePath)
{
    std::string agents = libraryFolder + "/LaunchAgents";
    fileSystem.createDirectories(agents, 0755);
    std::string text = propertyList(identifier, bundlePath);
    fileSystem.writeFileAtomically(
        agents + "/" + identifier + ".plist", Bytes(text.begin(), text.end()), 0644);
}

} // namespace orvi::LaunchAgent
