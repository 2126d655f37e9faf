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

FileSystemGLib::~FileSystemGLib()
{
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_writer.joinable())
        m_writer.join();
}

// A temporary file beside the target, synced to the disk, then renamed over
// it.
void FileSystemGLib::writeFileAtomically(const std::string& path, const Bytes& bytes, uint32_t mode)
{
    enqueue([path, bytes, mode] {
        g_file_set_contents_full(path.c_str(), reinterpret_cast<const gchar*>(bytes.data()),
            static_cast<gssize>(bytes.size()),
            static_cast<GFileSetContentsFlags>(
                G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_DURABLE),
            static_cast<int>(mode), nullptr);
    });
}

void FileSystemGLib::createDirectories(const std::string& path, uint32_t mode)
{
    enqueue([path, mode] { g_mkdir_with_parents(path.c_str(), static_cast<int>(mode)); });
}

bool FileSystemGLib::moveItem(const std::string& from, const std::string& to)
{
    waitForWrites();
    GFile* source = g_file_new_for_path(from.c_str());
    GFile* destination = g_file_new_for_path(to.c_str());
    gboolean moved = g_file_move(
        source, destination, G_FILE_COPY_NOFOLLOW_SYMLINKS, nullptr, nullptr, nullptr, nullptr);
    g_object_unref(source);
    g_object_unref(destination);
    return moved;
}

void FileSystemGLib::waitForWrites()
{
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return m_writes.empty() && !m_writing; });
}

void FileSystemGLib::enqueue(std::function<void()> write)
{
    std::lock_guard lock(m_lock);
    m_writes.push_back(std::move(write));
    if (!m_writer.joinable())
        m_writer = std::thread([this] { writeInTurn(); });
    m_changed.notify_all();
}

// Until the file system goes and nothing is left to write.
void FileSystemGLib::writeInTurn()
{
    std::unique_lock lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_writes.empty() || m_stopping; });
        if (m_writes.empty())
            return;
        auto write = std::move(m_writes.front());
        m_writes.pop_front();
        m_writing = true;
        lock.unlock();
        write();
        lock.lock();
        m_writing = false;
        m_changed.notify_all();
    }
}

} // namespace orvi::gtk
