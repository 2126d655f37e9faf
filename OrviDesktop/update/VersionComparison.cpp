#include "update/VersionComparison.h"

#include <cstdint>
#include <limits>
#include <unigbrk.h>
#include <vector>

namespace orvi {

namespace {

// "+7", "-12", "007"; nothing else, and nothing beyond 64 bits.
int64_t componentValue(std::string_view piece)
{
    bool negative = false;
    size_t i = 0;
    if (!piece.empty() && (piece[0] == '+' || piece[0] == '-')) {
        negative = piece[0] == '-';
        i = 1;
    }
    if (i == piece.size())
        return 0;
    // Built downwards so the most negative value fits.
    int64_t value = 0;
    constexpr int64_t lowest = std::numeric_limits<int64_t>::min();
    for (; i < piece.size(); ++i) {
        char c = piece[i];
        if (c < '0' || c > '9')
            return 0;
        int digit = c - '0';
        if (value < (lowest + digit) / 10)
            return 0;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == lowest)
        return 0;
    return -value;
}

// Splits at characters that are a full stop alone, as a reader sees
// characters: the grapheme clusters of the text.
std::vector<int64_t> components(std::string_view text)
{
    std::vector<int64_t> values;
    if (text.empty())
        return values;
    auto bytes = reinterpret_cast<const uint8_t*>(text.data());
    std::vector<char> breaks(text.size());
    u8_grapheme_breaks(bytes, text.size(), breaks.data());

    size_t pieceStart = 0;
    auto endPiece = [&](size_t end) {
        if (end > pieceStart)
            values.push_back(componentValue(text.substr(pieceStart, end - pieceStart)));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        bool clusterStarts = i == 0 || breaks[i];
        bool clusterIsFullStop
            = clusterStarts && text[i] == '.' && (i + 1 == text.size() || breaks[i + 1]);
        if (clusterIsFullStop) {
            endPiece(i);
            pieceStart = i + 1;
        }
    }
    endPiece(text.size());
    return values;
}

} // namespace

bool isVersionNewer(std::string_view candidate, std::string_view newerThan)
{
    auto left = components(candidate);
    auto right = components(newerThan);
    size_t count = std::max(left.size(), right.size());
    for (size_t i = 0; i < count; ++i) {
        int64_t a = i < left.size() ? left[i] : 0;
        int64_t b = i < right.size() ? right[i] : 0;
        if (a != b)
            return a > b;
    }
    return false;
}

} // namespace orvi
