// The display module's byte protocol: every command starts with the lead byte,
// then a command byte and its operands. The module never answers.
//
//   show text          00 A7 <text bytes, no NUL>
//   go to line 1       00 A1
//   go to line 2       00 A2
//   set brightness     00 A5 <level: 3B quarter, 3A half, 39 three quarters, 38 full>
//   custom character   00 then 8 x (AB <slot 0-7> <row 0-7> <row bits, low 5>)
#pragma once

#include <cstdint>

namespace zavvfd::protocol {

constexpr std::uint8_t kLead = 0x00;
constexpr std::uint8_t kLine1 = 0xA1;
constexpr std::uint8_t kLine2 = 0xA2;
constexpr std::uint8_t kBrightness = 0xA5;
constexpr std::uint8_t kText = 0xA7;
constexpr std::uint8_t kGlyphRow = 0xAB;

constexpr std::uint8_t kDimmestLevel = 0x3B; // brightness level byte for host values 0-63
constexpr int kGlyphRows = 8;
constexpr std::uint8_t kRowBitsMask = 0x1F;
constexpr std::uint8_t kFirstGlyphCode = 8; // character code of custom character 1

} // namespace zavvfd::protocol
