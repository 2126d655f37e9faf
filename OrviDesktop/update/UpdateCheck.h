#pragma once

#include "platform/Platform.h"
#include "update/OrviDesktopUpdateManifest.h"

#include <string>

namespace orvi {

// One look for a newer version. The manifest is fetched and decoded on a
// worker thread; a copy of the result travels to the main thread, where it is
// compared with the running version and, when there is news, told to the user.
//
// Silent checks (the one after launch) speak only of a newer version, and only
// once per version: the first update alert for a version is remembered in the
// user defaults. Requested checks (from the menu) always answer when a manifest
// arrived. A check that gets no usable manifest ends without a trace.
class UpdateCheck {
public:
    // The path on the update host; the host itself is chosen in the build.
    static constexpr const char* endpointPath = "/api/downloads/orvi-desktop-update.json";
    static constexpr const char* noticeKeyPrefix = "OrviDesktopUpdateNotice.";

    // What the worker hands to the main thread, by value.
    struct Result {
        std::string manifestVersion;
        std::string runningVersion;
        bool silent;
        Release release;
    };

    // Starts a check against `endpointURL` and returns at once; keeps nothing.
    // Main thread only.
    static void start(Platform&, const std::string& endpointURL, bool silent);

    // The main-thread half, with the result in hand.
    static void finish(Platform&, const Result&);
};

} // namespace orvi
