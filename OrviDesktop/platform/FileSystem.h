#pragma once

#include "base/Bytes.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvi {

// Whole-file access by absolute path. Failures are answered with nothing or
// false, or dropped, and are left to the caller to ignore.
//
// Writes and new folders may be made after the call returns (the disk may be
// slow, and nothing the program shows waits for it), but always in the order
// they were asked for, and before the file system goes away. Reads do not wait
// for them: the program never reads back in one run what it wrote.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual bool fileExists(const std::string& path) const = 0;
    virtual bool directoryExists(const std::string& path) const = 0;
    virtual std::optional<Bytes> readFile(const std::string& path) const = 0;
    // Writes to a temporary file beside `path`, flushes it to the disk and
    // renames it over `path`, so readers see the old or the new content, never
    // a mix. The new file gets `mode`.
    virtual void writeFileAtomically(const std::string& path, const Bytes&, uint32_t mode) = 0;
    // Creates the folder and its missing parents with `mode`.
    virtual void createDirectories(const std::string& path, uint32_t mode) = 0;
    // Moves after every write asked for before it; fails when `to` exists.
    virtual bool moveItem(const std::string& from, const std::string& to) = 0;
};

} // namespace orvi
