#include "platform/gtk/FileSystemGLib.h"

#include <gio/gio.h>
#include <glib/gstdio.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvi::gtk {

bool FileSystemGLib::fileExists(const std::string& path) const
{
    return g_file_test(path.c_str(), G_FILE_TEST_EXISTS);
}

bool FileSystemGLib::directoryExists(const std::string& path) const
{
    return g_file_test(path.c_str(), G_FILE_TEST_IS_DIR);
}

// Only a regular file is read: opening a named pipe would wait for a writer,
// and a device may never end.
std::optional<Bytes> FileSystemGLib::readFile(const std::string& path) const
{
    int descriptor = g_open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (descriptor < 0)
        return std::nullopt;
    struct stat status { };
    std::optional<Bytes> bytes;
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        bytes.emplace();
        uint8_t buffer[65536];
        ssize_t length;
        while ((length = read(descriptor, buffer, sizeof buffer)) > 0)
            bytes->insert(bytes->end(), buffer, buffer + length);
        if (length < 0)
            bytes.reset();
    }
    close(descriptor);
    return bytes;
}

// A temporary file beside the target, synced to the disk, then renamed over
// it.
bool FileSystemGLib::writeFileAtomically(const std::string& path, const Bytes& bytes, uint32_t mode)
{
    return g_file_set_contents_full(path.c_str(), reinterpret_cast<const gchar*>(bytes.data()),
        static_cast<gssize>(bytes.size()),
        static_cast<GFileSetContentsFlags>(
            G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_DURABLE),
        static_cast<int>(mode), nullptr);
}

bool FileSystemGLib::createDirectories(const std::string& path, uint32_t mode)
{
    return g_mkdir_with_parents(path.c_str(), static_cast<int>(mode)) == 0;
}

bool FileSystemGLib::moveItem(const std::string& from, const std::string& to)
{
    GFile* source = g_file_new_for_path(from.c_str());
    GFile* destination = g_file_new_for_path(to.c_str());
    gboolean moved = g_file_move(
        source, destination, G_FILE_COPY_NOFOLLOW_SYMLINKS, nullptr, nullptr, nullptr, nullptr);
    g_object_unref(source);
    g_object_unref(destination);
    return moved;
}

} // namespace orvi::gtk
