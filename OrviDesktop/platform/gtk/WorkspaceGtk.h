#pragma once

#include "platform/Workspace.h"

namespace orvi::gtk {

class WorkspaceGtk final : public Workspace {
public:
    bool openURL(const std::string& url) override;
};

} // namespace orvi::gtk
