#include "platform/shared/FileUserDefaults.h"

#include "base/Base64.h"
#include "base/Text.h"

#include <cmath>

namespace orvi {

// The file is {"format": 1, "values": {key: value}}, each value tagged with
// its kind so that data and dictionaries survive the trip:
// {"text": "…"}, {"integer": 1}, {"real": 1.5}, {"boolean": true},
// {"list": [value, …]}, {"dictionary": {key: value}}, {"data": "<Base64>"}.
namespace {

constexpr int formatVersion = 1;
constexpr uint32_t fileMode = 0600;
constexpr uint32_t folderMode = 0700;
// Deeper values than this are refused rather than risk the stack.
constexpr int maximumDepth = 64;

std::optional<JsonValue> tagged(const JsonValue& value, int depth)
{
    if (depth > maximumDepth)
        return std::nullopt;
    if (value.is_string()) {
        if (!isValidUTF8(value.get_ref<const std::string&>()))
            return std::nullopt;
        return JsonValue { { "text", value } };
    }
    if (value.is_boolean())
        return JsonValue { { "boolean", value } };
    if (value.is_number_integer())
        return JsonValue { { "integer", value } };
    if (value.is_number_float()) {
        if (!std::isfinite(value.get<double>()))
            return std::nullopt;
        return JsonValue { { "real", value } };
    }
    if (value.is_binary())
        return JsonValue { { "data",
            base64Encode(Bytes(value.get_binary().begin(), value.get_binary().end())) } };
    if (value.is_array()) {
        JsonValue list = JsonValue::array();
        for (auto& element : value) {
            auto item = tagged(element, depth + 1);
            if (!item)
                return std::nullopt;
            list.push_back(std::move(*item));
        }
        return JsonValue { { "list", std::move(list) } };
    }
    if (value.is_object()) {
        JsonValue dictionary = JsonValue::object();
        for (auto& [key, element] : value.items()) {
            auto item = tagged(element, depth + 1);
            if (!item || !isValidUTF8(key))
                return std::nullopt;
            dictionary[key] = std::move(*item);
        }
        return JsonValue { { "dictionary", std::move(dictionary) } };
    }
    return std::nullopt;
}

std::optional<JsonValue> untagged(const JsonValue& value, int depth)
{
    if (depth > maximumDepth || !value.is_object() || value.size() != 1)
        return std::nullopt;
    const std::string& tag = value.begin().key();
    const JsonValue& content = value.begin().value();
    if (tag == "text" && content.is_string())
        return content;
    if (tag == "boolean" && content.is_boolean())
        return content;
    if (tag == "integer" && content.is_number_integer())
        return content;
    if (tag == "real" && content.is_number())
        return JsonValue(content.get<double>());
    if (tag == "data" && content.is_string()) {
        auto bytes = base64Decode(content.get<std::string>());
        if (!bytes)
            return std::nullopt;
        return JsonValue::binary(std::move(*bytes));
    }
    if (tag == "list" && content.is_array()) {
        JsonValue list = JsonValue::array();
        for (auto& element : content) {
            auto item = untagged(element, depth + 1);
            if (!item)
                return std::nullopt;
            list.push_back(std::move(*item));
        }
        return list;
    }
    if (tag == "dictionary" && content.is_object()) {
        JsonValue dictionary = JsonValue::object();
        for (auto& [key, element] : content.items()) {
            auto item = untagged(element, depth + 1);
            if (!item)
                return std::nullopt;
            dictionary[key] = std::move(*item);
        }
        return dictionary;
    }
    return std::nullopt;
}

} // namespace

FileUserDefaults::FileUserDefaults(FileSystem& fileSystem, std::string path)
    : m_fileSystem(fileSystem)
    , m_path(std::move(path))
{
    load();
}

std::string FileUserDefaults::encode(const JsonValue& values)
{
    JsonValue file { { "format", formatVersion }, { "values", JsonValue::object() } };
    for (auto& [key, value] : values.items()) {
        if (auto item = tagged(value, 0))
            file["values"][key] = std::move(*item);
    }
    return file.dump(2) + "\n";
}

std::optional<JsonValue> FileUserDefaults::decode(const Bytes& bytes)
{
    JsonValue file = JsonValue::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (file.is_discarded() || !file.is_object() || file.size() != 2)
        return std::nullopt;
    auto format = file.find("format");
    auto values = file.find("values");
    if (format == file.end() || !format->is_number_integer() || *format != formatVersion
        || values == file.end() || !values->is_object())
        return std::nullopt;
    JsonValue result = JsonValue::object();
    for (auto& [key, value] : values->items()) {
        auto item = untagged(value, 0);
        if (!item)
            return std::nullopt;
        result[key] = std::move(*item);
    }
    return result;
}

void FileUserDefaults::load()
{
    if (!m_fileSystem.fileExists(m_path))
        return;
    auto bytes = m_fileSystem.readFile(m_path);
    if (bytes) {
        if (auto values = decode(*bytes)) {
            m_values = std::move(*values);
            return;
        }
    }
    setAside();
}

void FileUserDefaults::setAside()
{
    for (int attempt = 1; attempt <= 100; ++attempt) {
        std::string name
            = m_path + ".unreadable" + (attempt == 1 ? "" : "-" + std::to_string(attempt));
        if (m_fileSystem.fileExists(name))
            continue;
        if (m_fileSystem.moveItem(m_path, name))
            return;
        break;
    }
    // The file is still there and still unread: leave it alone for good.
    m_mayWrite = false;
}

std::optional<DefaultsValue> FileUserDefaults::objectForKey(const std::string& key) const
{
    auto found = m_values.find(key);
    if (found == m_values.end())
        return std::nullopt;
    return *found;
}

void FileUserDefaults::setObject(const DefaultsValue& value, const std::string& key)
{
    if (!isValidUTF8(key))
        return;
    if (value.is_null() || value.is_discarded()) {
        m_values.erase(key);
    } else {
        // A value the file cannot hold (a non-finite number, text that is not
        // UTF-8, absurd nesting) is not kept, so memory and disk never
        // disagree and every later value can still be saved.
        if (!tagged(value, 0))
            return;
        m_values[key] = value;
    }
    save();
}

void FileUserDefaults::save()
{
    if (!m_mayWrite)
        return;
    // A folder or disk that refuses the write leaves the value in memory for
    // this run; there is nobody to tell.
    m_fileSystem.createDirectories(folderOf(m_path), folderMode);
    std::string text = encode(m_values);
    m_fileSystem.writeFileAtomically(m_path, Bytes(text.begin(), text.end()), fileMode);
}

} // namespace orvi
