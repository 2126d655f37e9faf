#pragma once

#include <string>

namespace orvi {

// A text the program shows people, as the source writes it: in English, which
// is also what is shown where the user's language has no translation. The
// translators' template is drawn from the sources by this name (xgettext
// --keyword=UIText), so it is always written as UIText("...") around a
// literal; a "%s" in it stands for a value the program puts in afterwards.
struct UIText {
    consteval explicit UIText(const char* english)
        : english(english)
    {
    }
    const char* english;
};

// The user's language, as the session's locale says (LANGUAGE first, then
// LC_ALL, LC_MESSAGES and LANG). Any thread.
class Localization {
public:
    virtual ~Localization() = default;

    // The text in the user's language, or the English itself.
    virtual std::string localizedString(UIText) const = 0;
};

} // namespace orvi
