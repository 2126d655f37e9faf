#pragma once

namespace orvi {

// Something that can be a window's content: a web view or a button. Views are
// made by the platform and owned by the program.
class View {
public:
    virtual ~View() = default;
};

} // namespace orvi
