// The file system on the real disk.
#include "platform/gtk/FileSystemGLib.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace orvi;
namespace fs = std::filesystem;

// Writes land in the order asked for, a failed one (no folder yet) stopping
// none after it.
TEST(FileSystemGLib, WritesAreAtomicAndInOrderFoldersComeWithParentsAndMovesNeverOverwrite)
{
    char pattern[] = "/tmp/orvi-backend-XXXXXX";
    const std::string folder = mkdtemp(pattern), path = folder + "/a/b/defaults.json",
                      other = folder + "/other";
    gtk::FileSystemGLib files;
    files.writeFileAtomically(path, Bytes { 'x' }, 0600);
    files.createDirectories(folder + "/a/b", 0700);
    files.createDirectories(folder + "/a/b", 0700);
    files.writeFileAtomically(path, Bytes { 'o', 'l', 'd' }, 0644);
    files.writeFileAtomically(path, Bytes { 'n', 0, 0xFF }, 0600);
    files.writeFileAtomically(other, Bytes { '2' }, 0600);
    files.waitForWrites();
    EXPECT_EQ(std::tuple(files.readFile(path), fs::status(path).permissions(),
                  fs::status(folder + "/a/b").permissions(),
                  std::distance(fs::directory_iterator(folder + "/a/b"), {})),
        std::tuple(Bytes { 'n', 0, 0xFF }, fs::perms(0600), fs::perms(0700), 1L));
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
    fs::remove_all(folder);
}
