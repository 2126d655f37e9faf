#pragma once

namespace orvi::gtk {

// A station's user may have no home folder: `useradd --system` writes one into
// the password database without making it. WebKit crashes (a null pointer from
// resolving the home folder) when it checks the folders it is asked to let into
// its sandbox against a home folder that is not there. So the program settles
// its home before GLib first reads it: where the folder that HOME (or else the
// password database) names does not resolve, HOME becomes "/" (always there,
// and no more writable for such a user than the missing folder), and the log
// says so once. Made first of all, on the main thread.
struct HomeFolder {
    HomeFolder();
};

} // namespace orvi::gtk
