#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvi {

// A menu as plain data, handed to the application in one piece. An item with
// an action runs it on the main thread when chosen; a separator has neither
// title nor action.
struct MenuItem {
    std::string title;
    std::function<void()> action;
    // One lower-case character, used with the platform's command modifier;
    // empty for none.
    std::string keyEquivalent;
    bool isSeparator { false };
    std::vector<MenuItem> submenu;

    static MenuItem command(
        std::string title, std::function<void()> action, std::string keyEquivalent = {})
    {
        return MenuItem { std::move(title), std::move(action), std::move(keyEquivalent), false,
            {} };
    }
    static MenuItem withSubmenu(std::string title, std::vector<MenuItem> items)
    {
        return MenuItem { std::move(title), {}, {}, false, std::move(items) };
    }
    static MenuItem separator() { return MenuItem { {}, {}, {}, true, {} }; }
};

struct Menu {
    std::vector<MenuItem> items;
};

} // namespace orvi
