#include "vfd_render.h"

#include <png.h>

#include <algorithm>

#include "vfd_font.h"

namespace vfd {

namespace {

Rgb Mix(Rgb from, Rgb to, double share)
{
    auto channel = [share](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(a + (b - a) * share + 0.5);
    };
    return {channel(from.r, to.r), channel(from.g, to.g), channel(from.b, to.b)};
}

void Put(Image& image, int x, int y, Rgb colour)
{
    std::uint8_t* pixel = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
    pixel[0] = colour.r;
    pixel[1] = colour.g;
    pixel[2] = colour.b;
}

bool Lit(const std::uint8_t rows[kGlyphHeight], int column, int row)
{
    return (rows[row] >> (kGlyphWidth - 1 - column)) & 1;
}

std::string Ansi(const char* layer, Rgb colour)
{
    return std::string("\x1b[") + layer + ";2;" + std::to_string(colour.r) + ";" + std::to_string(colour.g) + ";" +
           std::to_string(colour.b) + "m";
}

} // namespace

Rgb Background() { return {10, 14, 16}; }
Rgb UnlitDot() { return {24, 38, 38}; }
Rgb LitDot(int brightness)
{
    const Rgb full = {90, 255, 215}; // the blue-green of a VFD's phosphor
    return Mix(UnlitDot(), full, std::clamp(brightness, 1, 4) / 4.0);
}

void CellRows(const Screen& screen, std::uint8_t code, std::uint8_t rows[kGlyphHeight])
{
    if (code >= kFirstGlyphCode && code < kFirstGlyphCode + kGlyphSlots) {
        std::copy(screen.glyphs[code - kFirstGlyphCode], screen.glyphs[code - kFirstGlyphCode] + kGlyphHeight, rows);
        return;
    }
    const std::uint8_t* font = FontRows(code);
    std::copy(font, font + kFontHeight, rows);
    rows[kGlyphHeight - 1] = 0;
}

Rgb Image::At(int x, int y) const
{
    const std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    return {pixel[0], pixel[1], pixel[2]};
}

void DotOrigin(int line, int cell, int column, int row, int& x, int& y)
{
    x = kMargin + cell * (kGlyphWidth * kDotPitch + kCellGap) + column * kDotPitch;
    y = kMargin + line * (kGlyphHeight * kDotPitch + kLineGap) + row * kDotPitch;
}

Image Render(const Screen& screen)
{
    Image image;
    image.width = 2 * kMargin + screen.columns * (kGlyphWidth * kDotPitch + kCellGap) - kCellGap;
    image.height = 2 * kMargin + screen.lines * (kGlyphHeight * kDotPitch + kLineGap) - kLineGap;
    image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            Put(image, x, y, Background());

    const Rgb lit = LitDot(screen.brightness);
    const Rgb glow = Mix(Background(), lit, 0.22);
    for (int line = 0; line < screen.lines; ++line) {
        for (int cell = 0; cell < screen.columns; ++cell) {
            std::uint8_t rows[kGlyphHeight];
            CellRows(screen, static_cast<std::uint8_t>(screen.text[line][cell]), rows);
            for (int row = 0; row < kGlyphHeight; ++row) {
                for (int column = 0; column < kGlyphWidth; ++column) {
                    int x0, y0;
                    DotOrigin(line, cell, column, row, x0, y0);
                    const bool on = Lit(rows, column, row);
                    // A lit dot glows a little into the dark gap around it.
                    if (on)
                        for (int y = y0 - 1; y <= y0 + kDotSize; ++y)
                            for (int x = x0 - 1; x <= x0 + kDotSize; ++x)
                                if (image.Contains(x, y) && image.At(x, y) == Background())
                                    Put(image, x, y, glow);
                    for (int y = y0; y < y0 + kDotSize; ++y)
                        for (int x = x0; x < x0 + kDotSize; ++x)
                            Put(image, x, y, on ? lit : UnlitDot());
                }
            }
        }
    }
    return image;
}

bool WritePng(const Image& image, const std::string& path, std::string& error)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), 0, nullptr) == 0) {
        error = png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

std::vector<std::string> TerminalLines(const Screen& screen)
{
    std::vector<std::string> lines;
    const Rgb lit = LitDot(screen.brightness);
    for (int line = 0; line < screen.lines; ++line) {
        std::uint8_t cells[256][kGlyphHeight];
        const int columns = std::min(screen.columns, 256);
        for (int cell = 0; cell < columns; ++cell)
            CellRows(screen, static_cast<std::uint8_t>(screen.text[line][cell]), cells[cell]);
        for (int row = 0; row < kGlyphHeight; row += 2) {
            std::string out;
            for (int cell = 0; cell < columns; ++cell) {
                for (int column = 0; column < kGlyphWidth; ++column)
                    out += Ansi("38", Lit(cells[cell], column, row) ? lit : UnlitDot()) +
                           Ansi("48", Lit(cells[cell], column, row + 1) ? lit : UnlitDot()) + "\u2580";
                out += "\x1b[0m ";
            }
            lines.push_back(out);
        }
        lines.emplace_back();
    }
    return lines;
}

} // namespace vfd
