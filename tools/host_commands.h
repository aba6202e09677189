// The command language of the command-line host, one command per line:
//   line N                  go to line N
//   text "..."              show text (\xNN, \\ and \" escapes)
//   glyph N r0 ... r7       define custom character N; rows as hex (1F, 0x1F) or .#.#. patterns
//   index N                 print the character code of custom character N
//   brightness V            set brightness 0-255
//   wait MS                 pause
//   # ...                   comment (blank lines too)
#pragma once

#include <string>

#include "display_library.h"

struct HostCommand {
    enum class Kind { None, Line, Text, Glyph, Index, Brightness, Wait };
    Kind kind = Kind::None;
    unsigned long number = 0; // line, glyph/index number, brightness, milliseconds
    std::string text;
    unsigned char rows[8] = {};
};

// Parses one line; false with a reason when it is not a command.
bool ParseHostCommand(const std::string& line, HostCommand& command, std::string& error);

// Runs a command on a started driver; `index` prints to out. Waits return early
// when stop turns true.
void RunHostCommand(const DisplayApi& display, const HostCommand& command, std::string& out,
                    const volatile bool& stop);
