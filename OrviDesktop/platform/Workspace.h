#pragma once

#include <string>

namespace orvi {

class Workspace {
public:
    virtual ~Workspace() = default;

    // Opens the URL with the user's default application for it. The program
    // checks the URL first: the platform opens whatever it is given.
    virtual bool openURL(const std::string& url) = 0;
};

} // namespace orvi
