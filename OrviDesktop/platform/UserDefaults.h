#pragma once

#include "platform/Json.h"

#include <optional>
#include <string>

namespace orvi {

// A defaults value: text, number, boolean, list (JSON array), dictionary (JSON
// object with text keys) or data (JSON binary). Null is never stored.
using DefaultsValue = JsonValue;

// The user's small per-user settings, kept across launches. Main thread only.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    virtual std::optional<DefaultsValue> objectForKey(const std::string& key) const = 0;
    // Storing null removes the key.
    virtual void setObject(const DefaultsValue&, const std::string& key) = 0;

    // Text as text and a number or a boolean as its text form ("42", "1.5",
    // "1"); nothing for a missing key, a list, a dictionary or data.
    std::optional<std::string> stringForKey(const std::string& key) const;
    // A boolean as itself, a number as "not zero", text that reads as yes
    // ("YES", "true", a non-zero number); false for anything else.
    bool boolForKey(const std::string& key) const;
    void setBool(bool, const std::string& key);
};

} // namespace orvi
