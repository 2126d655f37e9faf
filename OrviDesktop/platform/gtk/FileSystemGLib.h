#pragma once

#include "platform/FileSystem.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orvi::gtk {

// Writes, each synced to the disk before the next, are made one after the
// other on a thread of their own, started with the first; the file system
// waits for the last of them when it goes away. Everything else runs on the
// caller's thread.
class FileSystemGLib final : public FileSystem {
public:
    FileSystemGLib() = default;
    ~FileSystemGLib() override;

    bool fileExists(const std::string& path) const override;
    bool directoryExists(const std::string& path) const override;
    std::optional<Bytes> readFile(const std::string& path) const override;
    void writeFileAtomically(const std::string& path, const Bytes&, uint32_t mode) override;
    void createDirectories(const std::string& path, uint32_t mode) override;
    bool moveItem(const std::string& from, const std::string& to) override;

    // Returns once every write asked for so far is on the disk.
    void waitForWrites();

private:
    void enqueue(std::function<void()>);
    void writeInTurn();

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_writes;
    bool m_writing { false };
    bool m_stopping { false };
    std::thread m_writer;
};

} // namespace orvi::gtk
