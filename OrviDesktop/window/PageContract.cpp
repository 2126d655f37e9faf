#include "window/PageContract.h"

namespace orvi::PageContract {

namespace {

void appendEscapedForSingleQuotes(std::string& script, std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        switch (c) {
        case '\\':
            script += "\\\\";
            continue;
        case '\'':
            script += "\\'";
            continue;
        case '\n':
            script += "\\n";
            continue;
        case '\r':
            script += "\\r";
            continue;
        case '\0':
            // The script travels as a C string; a raw NUL would cut it short.
            script += "\\x00";
            continue;
        }
        // U+2028 and U+2029 end a line inside a script too (E2 80 A8/A9).
        if (c == '\xE2' && i + 2 < text.size() && text[i + 1] == '\x80'
            && (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
            script += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
            continue;
        }
        script += c;
    }
}

} // namespace

std::string memberScript(std::string_view memberID)
{
    std::string script(memberScriptOpening);
    appendEscapedForSingleQuotes(script, memberID);
    script += memberScriptClosing;
    return script;
}

} // namespace orvi::PageContract
