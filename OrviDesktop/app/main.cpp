#include "app/AppDelegate.h"
#include "app/AppIdentifier.h"
#include "platform/gtk/PlatformGtk.h"

// The one place that names the Linux backend: it builds the platform and hands
// it to the application delegate, then runs the event loop until the program
// quits.
int main(int argc, char** argv)
{
    orvi::gtk::PlatformGtk platform(orvi::appIdentifier);
    orvi::AppDelegate delegate(platform, ORVI_BUILD_TIME_BUNDLE_PATH);
    platform.application().setDelegate(&delegate);
    int status = platform.application().run(argc, argv, delegate.commandLine());
    platform.application().setDelegate(nullptr);
    return status;
}
