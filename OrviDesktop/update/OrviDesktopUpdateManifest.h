#pragma once

#include "base/Bytes.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvi {

// The newest release for this platform, as the update server announces it.
struct Release {
    enum class CodingKeys { version, downloadURL, notes };
    static std::optional<CodingKeys> codingKey(std::string_view);

    // Compared with the running version; names the remembered notice.
    std::string version;
    // Not checked here: only when the user asks to download.
    std::string downloadURL;
    // Shown to the user unchanged.
    std::string notes;

    bool operator==(const Release&) const = default;
};

// The document served at the update endpoint:
// {"macOS": {"version": "…", "downloadURL": "…", "notes": "…"}}
// Keys match exactly (case and spelling); any other key, at either level, is
// ignored; all four are required and the three inner ones are text. A
// document that breaks any rule gives no manifest at all, never part of one.
struct OrviDesktopUpdateManifest {
    enum class CodingKeys { macOS };
    static std::optional<CodingKeys> codingKey(std::string_view);

    Release macOS;

    static std::optional<OrviDesktopUpdateManifest> decode(const Bytes& body);

    bool operator==(const OrviDesktopUpdateManifest&) const = default;
};

} // namespace orvi
