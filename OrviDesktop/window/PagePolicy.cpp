#include "window/PagePolicy.h"

#include "window/OrviWindowController.h"

namespace orvi {

bool PagePolicy::contextMenuMayOffer(ContextMenuItem item, bool inEditableField)
{
    return inEditableField && item != ContextMenuItem::other;
}

NavigationActionPolicy PagePolicy::policyForAction(const NavigationAction& action)
{
    constexpr uint32_t newWindowModifiers = EventModifierFlags::shift | EventModifierFlags::control
        | EventModifierFlags::option | EventModifierFlags::command;
    bool newWindowClick = action.navigationType == NavigationType::linkActivated
        && (action.buttonNumber == 2 || (action.modifierFlags & newWindowModifiers));
    return action.targetsNewWindow || newWindowClick ? NavigationActionPolicy::cancel
                                                     : NavigationActionPolicy::allow;
}

NavigationResponsePolicy PagePolicy::policyForResponse(const NavigationResponse& response)
{
    return response.canShowMIMEType && !response.isAttachment ? NavigationResponsePolicy::allow
                                                              : NavigationResponsePolicy::cancel;
}

bool OrviWindowController::contextMenuMayOffer(ContextMenuItem item, bool inEditableField)
{
    return PagePolicy::contextMenuMayOffer(item, inEditableField);
}

NavigationActionPolicy OrviWindowController::decidePolicyForNavigationAction(
    const NavigationAction& action)
{
    return PagePolicy::policyForAction(action);
}

NavigationResponsePolicy OrviWindowController::decidePolicyForNavigationResponse(
    const NavigationResponse& response)
{
    return PagePolicy::policyForResponse(response);
}

} // namespace orvi
