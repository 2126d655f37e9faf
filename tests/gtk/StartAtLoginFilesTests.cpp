// The start-at-login files as the system reads them: the launch agent through
// Python's plistlib, the autostart entry through GLib's key-file parser (what
// sessions use for desktop entries) and desktop-file-validate.
#include "app/AutostartEntry.h"
#include "app/LaunchAgent.h"
#include "platform/gtk/FileSystemGLib.h"

#include <cstdio>
#include <filesystem>
#include <glib.h>
#include <gtest/gtest.h>

using namespace orvi;

namespace {

const char* const awkwardPaths[] = {
    "/opt/orvi",
    "/opt/Orvi Desktop",
    "/opt/R&D <new> \"quoted\" 'single'",
    "/opt/100% $HOME `date` \\back",
    "/opt/Ørvi Skrivebord/日本",
    "/opt/semi;colon|pipe*star?(x)#hash~",
};

class StartAtLoginFilesTest : public ::testing::Test {
protected:
    StartAtLoginFilesTest()
    {
        char pattern[] = "/tmp/orvi-login-XXXXXX";
        folder = mkdtemp(pattern);
    }
    ~StartAtLoginFilesTest() override { std::filesystem::remove_all(folder); }

    static std::string run(const std::string& command, int* status)
    {
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        size_t length;
        while ((length = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, length);
        *status = pclose(pipe);
        return output;
    }

    static std::string quoted(const std::string& argument)
    {
        std::string result = "'";
        for (char c : argument)
            result += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return result + "'";
    }

    std::string folder;
    gtk::FileSystemGLib files;
};

} // namespace

TEST_F(StartAtLoginFilesTest, TheLaunchAgentParsesBackForAnyPath)
{
    for (const char* bundle : awkwardPaths) {
        LaunchAgent::install(files, folder + "/Library", "ai.orvi.orvi-desktop", bundle);
        std::string plist = folder + "/Library/LaunchAgents/ai.orvi.orvi-desktop.plist";
        int status = 0;
        std::string program = run(
            "/usr/bin/python3 -c 'import plistlib, sys; d = plistlib.load(open(sys.argv[1], "
            "\"rb\")); "
            "assert list(d) == [\"Label\", \"ProgramArguments\", \"RunAtLoad\", \"KeepAlive\"]; "
            "assert d[\"Label\"] == \"ai.orvi.orvi-desktop\" and d[\"RunAtLoad\"] is True and "
            "d[\"KeepAlive\"] is False; "
            "sys.stdout.buffer.write(d[\"ProgramArguments\"][0].encode())' "
                + quoted(plist),
            &status);
        EXPECT_EQ(status, 0) << bundle;
        EXPECT_EQ(program, std::string(bundle) + "/Contents/MacOS/OrviDesktop");
    }
    // Folder made on the way; nothing but the agent left in it.
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(folder + "/Library/LaunchAgents"), {}),
        1);
}

TEST_F(StartAtLoginFilesTest, TheAutostartEntryParsesBackToTheExactExecutable)
{
    bool haveValidator = std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0;
    for (const char* executable : awkwardPaths) {
        AutostartEntry::install(files, folder + "/config", "ai.orvi.orvi-desktop", executable);
        std::string entry = folder + "/config/autostart/ai.orvi.orvi-desktop.desktop";

        // GLib expands field codes ("%%" is "%") and splits the result as a
        // shell would, exactly as a session does when it starts the entry.
        GKeyFile* keys = g_key_file_new();
        ASSERT_TRUE(g_key_file_load_from_file(keys, entry.c_str(), G_KEY_FILE_NONE, nullptr))
            << executable;
        gchar* exec = g_key_file_get_string(
            keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr);
        ASSERT_TRUE(exec) << executable;
        std::string expanded;
        for (const char* c = exec; *c; ++c) {
            expanded += *c;
            if (c[0] == '%' && c[1] == '%')
                ++c;
        }
        gint argc = 0;
        gchar** argv = nullptr;
        ASSERT_TRUE(g_shell_parse_argv(expanded.c_str(), &argc, &argv, nullptr)) << exec;
        EXPECT_EQ(argc, 1) << exec;
        EXPECT_STREQ(argv[0], executable);
        g_strfreev(argv);
        g_free(exec);
        g_key_file_free(keys);

        if (haveValidator) {
            int status = 0;
            std::string complaints
                = run("desktop-file-validate " + quoted(entry) + " 2>&1", &status);
            EXPECT_EQ(status, 0) << executable << "\n" << complaints;
        }
    }
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(folder + "/config/autostart"), {}), 1);
}
