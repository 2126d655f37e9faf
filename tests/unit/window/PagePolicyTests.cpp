#include "window/PagePolicy.h"

#include <gtest/gtest.h>

using namespace orvi;

// Of the engine's menu only editing is left, and only in an editable field.
TEST(PagePolicy, TheEnginesMenuOffersOnlyEditingInAnEditableField)
{
    using Item = ContextMenuItem;
    for (Item item :
        { Item::cut, Item::copy, Item::paste, Item::pasteAsPlainText, Item::deleteSelection,
            Item::selectAll, Item::inputMethods, Item::unicodeControlCharacter, Item::emoji })
        EXPECT_EQ(std::pair(PagePolicy::contextMenuMayOffer(item, true),
                      PagePolicy::contextMenuMayOffer(item, false)),
            std::pair(true, false))
            << int(item);
    EXPECT_FALSE(PagePolicy::contextMenuMayOffer(Item::other, true));
}

// What would open a new window or tab in a browser opens nothing; every other
// load goes ahead, unless it brings something to save or nothing to show.
TEST(PagePolicy, NoClickOpensANewWindowAndNothingIsSaved)
{
    using enum NavigationType;
    namespace M = EventModifierFlags;
    struct Row {
        NavigationAction action;
        bool allowed;
    };
    for (auto [action, allowed] :
        std::initializer_list<Row> { { { linkActivated, 1, 0, false }, true }, // a plain click
            { { linkActivated, 2, 0, false }, false }, // the middle button
            { { linkActivated, 1, M::control, false }, false },
            { { linkActivated, 1, M::shift, false }, false },
            { { linkActivated, 1, M::option, false }, false },
            { { linkActivated, 1, M::command, false }, false },
            { { linkActivated, 1, 0, true }, false }, // target="_blank"
            { { other, 0, 0, true }, false }, // window.open
            { { other, 0, 0, false }, true }, // the program's own load, location.href
            { { formSubmitted, 1, M::shift, false }, true }, { { reload, 0, 0, false }, true },
            { { backForward, 3, 0, false }, true } })
        EXPECT_EQ(PagePolicy::policyForAction(action) == NavigationActionPolicy::allow, allowed)
            << int(action.navigationType) << " " << action.buttonNumber << " "
            << action.modifierFlags << " " << action.targetsNewWindow;
    for (auto [shows, attachment, allowed] : { std::tuple { true, false, true },
             { false, false, false }, { true, true, false }, { false, true, false } })
        EXPECT_EQ(
            PagePolicy::policyForResponse({ shows, attachment }) == NavigationResponsePolicy::allow,
            allowed)
            << shows << attachment;
}
