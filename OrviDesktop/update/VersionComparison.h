#pragma once

#include <string_view>

namespace orvi {

// Whether `candidate` is a strictly newer version than `newerThan`. Each text
// is split at full stops into whole numbers ("1.10" is newer than "1.9"); empty
// pieces are dropped, a piece that is not a plain signed 64-bit decimal counts
// as 0, and missing places count as 0 ("1.0" equals "1"). A full stop that
// carries a combining mark is part of one character and does not split. Any
// bytes at all give an answer.
bool isVersionNewer(std::string_view candidate, std::string_view newerThan);

} // namespace orvi
