#pragma once

#include <cstdint>
#include <string_view>

namespace varnolet {

// Whole numbers read from settings text the forgiving way the settings files have always
// been read: leading blanks, an optional sign, then decimal digits up to the first other
// character. No digits reads as 0; values beyond the int32 range stop at its ends.
class NumberText
{
public:
    // blanks lists the characters skipped before the number.
    static int32_t leadingInt32(std::string_view text, std::string_view blanks);
};

} // namespace varnolet
