// The Linux backend on the real disk, and its quit guard.
#include "platform/gtk/AlertGtk.h"
#include "platform/gtk/ApplicationGtk.h"
#include "platform/gtk/FileSystemGLib.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace orvi;
namespace fs = std::filesystem;

namespace {

struct BackendTest : ::testing::Test {
    ~BackendTest() override { fs::remove_all(folder); }
    static unsigned mode(const std::string& path)
    {
        return unsigned(fs::status(path).permissions());
    }
    static long entries(const std::string& path)
    {
        return std::distance(fs::directory_iterator(path), {});
    }

    char pattern[32] = "/tmp/orvi-backend-XXXXXX";
    std::string folder = mkdtemp(pattern);
    gtk::FileSystemGLib files;
};

} // namespace

// Writes land in the order asked for, a failed one (no folder yet) stopping
// none after it.
TEST_F(BackendTest, WritesAreAtomicAndInOrderFoldersComeWithParentsAndMovesNeverOverwrite)
{
    const std::string path = folder + "/a/b/defaults.json", other = folder + "/other";
    files.writeFileAtomically(path, Bytes { 'x' }, 0600);
    files.createDirectories(folder + "/a/b", 0700);
    files.createDirectories(folder + "/a/b", 0700);
    files.writeFileAtomically(path, Bytes { 'o', 'l', 'd' }, 0644);
    files.writeFileAtomically(path, Bytes { 'n', 0, 0xFF }, 0600);
    files.writeFileAtomically(other, Bytes { '2' }, 0600);
    files.waitForWrites();
    EXPECT_EQ(std::tuple(files.readFile(path), mode(path), mode(folder + "/a/b"),
                  entries(folder + "/a/b")),
        std::tuple(Bytes { 'n', 0, 0xFF }, 0600u, 0700u, 1L));
    EXPECT_FALSE(files.moveItem(path, other));
    EXPECT_TRUE(files.moveItem(path, folder + "/moved"));
    EXPECT_EQ(std::tuple(
                  files.fileExists(path), files.readFile(other), files.readFile(folder + "/moved")),
        std::tuple(false, Bytes { '2' }, Bytes { 'n', 0, 0xFF }));
    // What is still queued when the file system goes is written first.
    {
        gtk::FileSystemGLib leaving;
        leaving.writeFileAtomically(other, Bytes { '3' }, 0600);
    }
    EXPECT_EQ(files.readFile(other), Bytes { '3' });
    // A named pipe is no file to read: reading it would wait for a writer.
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(files.readFile(path), std::nullopt);
}

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
