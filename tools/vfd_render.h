// Pictures of the virtual display: an RGB image (written as PNG) and coloured
// terminal lines, both as dot matrices with lit dots in VFD blue-green.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vfd_model.h"

namespace vfd {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb& other) const { return r == other.r && g == other.g && b == other.b; }
};

// Geometry of the picture, in pixels.
constexpr int kDotSize = 5;       // a dot is a square this wide
constexpr int kDotPitch = 6;      // from one dot to the next
constexpr int kCellGap = kDotPitch;       // between characters
constexpr int kLineGap = 2 * kDotPitch;   // between lines
constexpr int kMargin = 3 * kDotPitch;

// The eight dot rows of the cell that shows code: a custom glyph for codes 8-15,
// the font otherwise (its eighth row blank).
void CellRows(const Screen& screen, std::uint8_t code, std::uint8_t rows[kGlyphHeight]);

Rgb Background();
Rgb UnlitDot();
// A lit dot at the screen's brightness (1 to 4 quarters).
Rgb LitDot(int brightness);

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb; // width * height * 3, rows top to bottom
    Rgb At(int x, int y) const;
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

Image Render(const Screen& screen);
// The top-left pixel of dot (column, row) of cell (line, cell) in the picture.
void DotOrigin(int line, int cell, int column, int row, int& x, int& y);

// Writes the image as PNG; false with a reason when it cannot.
bool WritePng(const Image& image, const std::string& path, std::string& error);

// The screen as coloured half-block characters, four terminal rows per line.
std::vector<std::string> TerminalLines(const Screen& screen);

} // namespace vfd
