#include "NumberText.h"

#include <algorithm>
#include <limits>

namespace varnolet {

int32_t NumberText::leadingInt32(std::string_view text, std::string_view blanks)
{
    constexpr int64_t kMaximum = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMinimum = std::numeric_limits<int32_t>::min();
    size_t i = 0;
    while (i < text.size() && blanks.find(text[i]) != std::string_view::npos)
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Held just past the range while more digits come, so the sign can still bring it back
    // to the lowest value and the sum never overflows.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(value * 10 + (text[i] - '0'), kMaximum + 1);
    if (negative)
        value = -value;
    return static_cast<int32_t>(std::clamp(value, kMinimum, kMaximum));
}

} // namespace varnolet
