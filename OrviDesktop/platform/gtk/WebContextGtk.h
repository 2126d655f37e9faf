#pragma once

#include "platform/gtk/WebViewConfigurationGtk.h"

#include <webkit2/webkit2.h>

namespace orvi::gtk {

// The web context the program's view lives in, made before the view and so
// before WebKit starts any process, which fixes what is set here:
// - the pages' processes run in WebKit's sandbox when the configuration asks
//   for it, with the folders it names readable in there (WebKit refuses /,
//   the home folder itself, /home and what is under /sys, /proc and /dev;
//   those are left out, and a page there finds nothing but its own text);
// - with a memory limit, the web and network processes free what they can as
//   they near it, and a process still 15 % over it, looked at twice a second,
//   is ended: a page allocating without end is ended before its own memory
//   reaches half as much again;
// - the pages are told the user's languages (navigator.languages and
//   Accept-Language), those the program's own texts are looked for in.
class WebContextGtk {
public:
    explicit WebContextGtk(const WebViewConfigurationGtk&);
    ~WebContextGtk();

    WebContextGtk(const WebContextGtk&) = delete;
    WebContextGtk& operator=(const WebContextGtk&) = delete;

    WebKitWebContext* context() const { return m_context; }

private:
    WebKitWebContext* m_context;
};

} // namespace orvi::gtk
