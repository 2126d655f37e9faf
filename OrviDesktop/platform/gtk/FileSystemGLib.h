#pragma once

#include "platform/FileSystem.h"

namespace orvi::gtk {

class FileSystemGLib final : public FileSystem {
public:
    bool fileExists(const std::string& path) const override;
    bool directoryExists(const std::string& path) const override;
    std::optional<Bytes> readFile(const std::string& path) const override;
    bool writeFileAtomically(const std::string& path, const Bytes&, uint32_t mode) override;
    bool createDirectories(const std::string& path, uint32_t mode) override;
    bool moveItem(const std::string& from, const std::string& to) override;
};

} // namespace orvi::gtk
