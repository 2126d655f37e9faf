#include "update/OrviDesktopUpdateManifest.h"

#include "platform/Json.h"

namespace orvi {

namespace {

// Deeper documents are refused before they are built, as the system's own
// decoder does; a manifest is two levels deep.
constexpr int maximumDepth = 512;

struct TooDeep { };

} // namespace

std::optional<Release::CodingKeys> Release::codingKey(std::string_view key)
{
    if (key == "version")
        return CodingKeys::version;
    if (key == "downloadURL")
        return CodingKeys::downloadURL;
    if (key == "notes")
        return CodingKeys::notes;
    return std::nullopt;
}

std::optional<OrviDesktopUpdateManifest::CodingKeys> OrviDesktopUpdateManifest::codingKey(
    std::string_view key)
{
    if (key == "macOS")
        return CodingKeys::macOS;
    return std::nullopt;
}

std::optional<OrviDesktopUpdateManifest> OrviDesktopUpdateManifest::decode(const Bytes& body)
{
    JsonValue document;
    try {
        document = JsonValue::parse(
            body.begin(), body.end(), [](int depth, JsonValue::parse_event_t, JsonValue&) {
                if (depth > maximumDepth)
                    throw TooDeep {};
                return true;
            });
    } catch (...) {
        // Not JSON, or absurdly deep: no manifest, and nobody to tell.
        return std::nullopt;
    }
    if (!document.is_object())
        return std::nullopt;

    // Keys are read through the coding keys; anything else is ignored.
    const JsonValue* releaseValue = nullptr;
    for (auto& [key, value] : document.items()) {
        if (codingKey(key) == CodingKeys::macOS)
            releaseValue = &value;
    }
    if (!releaseValue || !releaseValue->is_object())
        return std::nullopt;
    const JsonValue* fields[3] = {};
    for (auto& [key, value] : releaseValue->items()) {
        if (auto field = Release::codingKey(key))
            fields[static_cast<int>(*field)] = &value;
    }

    // In order, and the first one missing or not text rejects the whole.
    std::string texts[3];
    for (auto field : { Release::CodingKeys::version, Release::CodingKeys::downloadURL,
             Release::CodingKeys::notes }) {
        const JsonValue* value = fields[static_cast<int>(field)];
        if (!value || !value->is_string())
            return std::nullopt;
        texts[static_cast<int>(field)] = value->get<std::string>();
    }
    return OrviDesktopUpdateManifest { Release {
        std::move(texts[0]), std::move(texts[1]), std::move(texts[2]) } };
}

} // namespace orvi
