#pragma once

#include "base/Bytes.h"

#include <string>
#include <string_view>

namespace orvi {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUTF8(std::string_view);
bool isValidUTF8(const Bytes&);

// The folder a path names a file in: everything before its last slash, "/"
// for a file at the root, and nothing for a bare name.
std::string folderOf(const std::string& path);

// The text with its first "%s" replaced by the value: a translated text put
// together with what it speaks of. The value is not looked into.
std::string replacingPlaceholder(std::string_view text, std::string_view value);

} // namespace orvi
