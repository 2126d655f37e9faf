#pragma once

#include "platform/FileSystem.h"
#include "platform/UserDefaults.h"

#include <string>

namespace orvi {

// The user defaults kept in one JSON file, read once when made and written
// whole, atomically, on every change (mode 0600, its folder 0700).
//
// A file that cannot be read or understood is set aside under a new name
// beside it ("<name>.unreadable", then ".unreadable-2" and so on), never
// deleted, and the store starts empty. If even that fails, the store keeps
// working in memory and never writes over the file it could not read.
class FileUserDefaults final : public UserDefaults {
public:
    FileUserDefaults(FileSystem&, std::string path);

    std::optional<DefaultsValue> objectForKey(const std::string& key) const override;
    void setObject(const DefaultsValue&, const std::string& key) override;

    // How the store holds its values in the file; exposed for the fuzzer and
    // tests. Decoding gives nothing for a document that is not a whole, valid
    // store.
    static std::string encode(const JsonValue& values);
    static std::optional<JsonValue> decode(const Bytes&);

private:
    void load();
    void setAside();
    void save();

    FileSystem& m_fileSystem;
    std::string m_path;
    JsonValue m_values = JsonValue::object();
    bool m_mayWrite { true };
};

} // namespace orvi
