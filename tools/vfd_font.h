// The virtual display's character set: a 5x7 dot font of its own for ASCII.
#pragma once

#include <cstdint>

namespace vfd {

// The seven dot rows of a character (bit 4 the leftmost dot); codes outside
// 0x20-0x7E, which the module's own character set fills, show as an outlined box.
const std::uint8_t* FontRows(std::uint8_t code);
constexpr int kFontHeight = 7;

} // namespace vfd
