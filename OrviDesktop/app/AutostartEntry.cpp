#include "app/AutostartEntry.h"

#include "base/Text.h"

namespace orvi::AutostartEntry {

namespace {

// One argument in double quotes: inside, ", `, $ and \ take a backslash, and
// % is doubled because it starts a field code.
std::string quotedExecArgument(std::string_view argument)
{
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

// A desktop entry's string value: backslash and control characters escaped.
std::string escapedValue(std::string_view value)
{
    std::string escaped;
    for (char c : value) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

std::string text(std::string_view identifier, std::string_view executablePath)
{
    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=Orvi Desktop\n"
                        "Comment=Start the Orvi public assistant at login\n"
                        "Exec=";
    entry += escapedValue(quotedExecArgument(executablePath));
    entry += "\nIcon=";
    entry += escapedValue(identifier);
    entry += "\nTerminal=false\n"
             "X-GNOME-Autostart-enabled=true\n";
    return entry;
}

void install(FileSystem& fileSystem, const std::string& configFolder, const std::string& identifier,
    const std::string& executablePath)
{
    if (!isValidUTF8(executablePath))
        return;
    std::string folder = configFolder + "/autostart";
    fileSystem.createDirectories(folder, 0700);
    std::string entry = text(identifier, executablePath);
    fileSystem.writeFileAtomically(
        folder + "/" + identifier + ".desktop", Bytes(entry.begin(), entry.end()), 0644);
}

} // namespace orvi::AutostartEntry
