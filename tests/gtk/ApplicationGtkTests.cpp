#include "platform/gtk/AlertGtk.h"
#include "platform/gtk/ApplicationGtk.h"

#include <gtest/gtest.h>

using namespace orvi;

// The menu, the window and the system's signals may all ask to quit at once.
TEST(ApplicationGtk, AQuitWhileQuittingIsIgnored)
{
    struct Recorder final : ApplicationDelegate {
        void applicationDidFinishLaunching() override { }
        bool applicationShouldHandleReopen(bool) override { return true; }
        TerminateReply applicationShouldTerminate() override
        {
            return ++asked, TerminateReply::now;
        }
        void applicationWillTerminate() override { ++told; }
        int asked = 0, told = 0;
    } delegate;
    gtk::ApplicationGtk application("ai.orvi.orvi-desktop.tests");
    application.setDelegate(&delegate);
    application.terminate();
    application.terminate();
    EXPECT_EQ(std::pair(delegate.asked, delegate.told), std::pair(1, 1));
    // An update check that finishes now finds its alert answered at once, unseen.
    gtk::ScreenGtk screen;
    EXPECT_EQ(gtk::AlertGtk(screen).runModal(), AlertResponse::cancelled);
}
