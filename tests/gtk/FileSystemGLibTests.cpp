#include "platform/gtk/FileSystemGLib.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace orvi;

namespace {

class FileSystemGLibTest : public ::testing::Test {
protected:
    FileSystemGLibTest()
    {
        char pattern[] = "/tmp/orvi-fs-XXXXXX";
        folder = mkdtemp(pattern);
    }
    ~FileSystemGLibTest() override { std::filesystem::remove_all(folder); }

    static uint32_t modeOf(const std::string& path)
    {
        struct stat status { };
        stat(path.c_str(), &status);
        return status.st_mode & 07777;
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (auto& entry : std::filesystem::recursive_directory_iterator(folder))
            found.push_back(entry.path().lexically_relative(folder).string());
        std::sort(found.begin(), found.end());
        return found;
    }

    std::string folder;
    gtk::FileSystemGLib files;
};

} // namespace

TEST_F(FileSystemGLibTest, AtomicWritesReplaceTheFileWithTheModeAskedAndLeaveNothingBehind)
{
    std::string path = folder + "/defaults.json";
    ASSERT_TRUE(files.writeFileAtomically(path, Bytes { 'o', 'l', 'd' }, 0644));
    ASSERT_TRUE(files.writeFileAtomically(path, Bytes { 'n', 'e', 'w', 0, 0xFF }, 0600));
    EXPECT_EQ(files.readFile(path), (Bytes { 'n', 'e', 'w', 0, 0xFF }));
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(names(), std::vector<std::string> { "defaults.json" });
}

TEST_F(FileSystemGLibTest, FoldersAreMadeWithTheirParentsAndMovesNeverOverwrite)
{
    std::string deep = folder + "/a/b/c";
    EXPECT_TRUE(files.createDirectories(deep, 0700));
    EXPECT_TRUE(files.directoryExists(deep));
    EXPECT_EQ(modeOf(deep), 0700u);
    EXPECT_TRUE(files.createDirectories(deep, 0700));

    ASSERT_TRUE(files.writeFileAtomically(folder + "/one", Bytes { '1' }, 0600));
    ASSERT_TRUE(files.writeFileAtomically(folder + "/two", Bytes { '2' }, 0600));
    EXPECT_FALSE(files.moveItem(folder + "/one", folder + "/two"));
    EXPECT_EQ(files.readFile(folder + "/two"), Bytes { '2' });
    EXPECT_TRUE(files.moveItem(folder + "/one", folder + "/three"));
    EXPECT_FALSE(files.fileExists(folder + "/one"));
    EXPECT_EQ(files.readFile(folder + "/three"), Bytes { '1' });

    EXPECT_FALSE(files.readFile(folder + "/missing"));
    EXPECT_FALSE(files.writeFileAtomically(folder + "/no/such/folder/file", Bytes { 'x' }, 0600));
}
