// The virtual display: decoding byte streams into the screen, and its picture.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "vfd_model.h"
#include "vfd_render.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Text(const std::string& text)
{
    Bytes bytes(text.begin(), text.end());
    bytes.insert(bytes.begin(), {0x00, 0xA7});
    return bytes;
}

Bytes Glyph(std::uint8_t slot, const std::uint8_t rows[8])
{
    Bytes bytes = {0x00};
    for (std::uint8_t row = 0; row < 8; ++row)
        bytes.insert(bytes.end(), {0xAB, slot, row, rows[row]});
    return bytes;
}

const std::uint8_t kHeart[8] = {0x00, 0x0A, 0x1F, 0x1F, 0x0E, 0x04, 0x00, 0x00};
const std::uint8_t kZeros[8] = {};

struct Decoded {
    vfd::Screen screen{2, 20};
    int malformed = 0;
    std::string trace;
};

// Decodes the stream, fed in pieces of `piece` bytes to catch state kept across reads.
Decoded Decode(const Bytes& stream, std::size_t piece = 1000000, int columns = 20)
{
    Decoded result;
    result.screen = vfd::Screen(2, columns);
    vfd::Decoder decoder(result.screen);
    std::vector<std::string> trace;
    for (std::size_t at = 0; at < stream.size(); at += piece)
        decoder.Feed(stream.data() + at, std::min(piece, stream.size() - at), &trace);
    decoder.Flush(&trace);
    for (const std::string& line : trace)
        result.trace += line + "\n";
    result.malformed = decoder.Malformed();
    return result;
}

TEST(VfdDecoderTest, StreamsBecomeScreens)
{
    struct Case {
        const char* name;
        Bytes stream;
        std::string line1, line2;
        int brightness, malformed;
        const char* traceHas;
    };
    const std::string blank(20, ' ');
    const Case cases[] = {
        {"text on line 1", Text("Hi"), "Hi" + blank.substr(2), blank, 4, 0, "@0 text \"Hi\""},
        {"line 2 then text", Concat({{0x00, 0xA2}, Text("ab")}), blank, "ab" + blank.substr(2), 4, 0, "@0 line 2"},
        {"back to line 1 overwrites", Concat({Text("xyz"), {0x00, 0xA1}, Text("A")}), "Ayz" + blank.substr(3), blank,
         4, 0, "@5 line 1"},
        {"text past the last column is dropped", Text(std::string(22, 'x') ), std::string(20, 'x'), blank, 4, 0,
         "dropped past column 20: \"xx\""},
        {"brightness levels", {0x00, 0xA5, 0x39}, blank, blank, 3, 0, "brightness 3/4"},
        {"glyph with zero operands, code 8 shows it", Concat({Glyph(0, kHeart), Text("\x08")}),
         "\\x08" + blank.substr(1), blank, 4, 0, "glyph 1 row 2 #####"},
        {"empty text", Text(""), blank, blank, 4, 0, "text \"\""},
        {"high bytes pass", Text("\xff\x80"), "\\xFF\\x80" + blank.substr(2), blank, 4, 0, "text \"\\xFF\\x80\""},
        {"garbage before a lead byte", Concat({{0x41, 0x42}, Text("ok")}), "ok" + blank.substr(2), blank, 4, 2,
         "@0 malformed: 0x41"},
        {"unknown command resynchronises", Concat({{0x00, 0x99, 0x41}, Text("ok")}), "ok" + blank.substr(2), blank, 4,
         2, "@1 malformed: unknown command 0x99"},
        {"bad brightness level", Concat({{0x00, 0xA5, 0x40}, Text("ok")}), "ok" + blank.substr(2), blank, 4, 1,
         "malformed: brightness level 0x40"},
        {"lead byte without command", Concat({{0x00}, Text("ok")}), "ok" + blank.substr(2), blank, 4, 1,
         "@0 malformed: lead byte without a command"},
        {"glyph slot out of range", Glyph(0xFF, kZeros), blank, blank, 4, 8, "slot 0xFF"},
        {"stray byte after a glyph row", Concat({{0x00, 0xAB, 0, 0, 0x1F, 0x41}, Text("ok")}), "ok" + blank.substr(2),
         blank, 4, 1, "0x41 after a glyph row"},
    };
    for (const Case& c : cases) {
        for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
            const Decoded d = Decode(c.stream, piece);
            const auto plain = d.screen.Plain();
            EXPECT_EQ(plain[0], c.line1) << c.name;
            EXPECT_EQ(plain[1], c.line2) << c.name;
            EXPECT_EQ(d.screen.brightness, c.brightness) << c.name;
            EXPECT_EQ(d.malformed, c.malformed) << c.name << "\n" << d.trace;
            EXPECT_NE(d.trace.find(c.traceHas), std::string::npos) << c.name << " (pieces of " << piece << ")\n"
                                                                    << d.trace;
        }
    }
}

TEST(VfdDecoderTest, GlyphRowsAreStored)
{
    const Decoded d = Decode(Glyph(7, kHeart));
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(d.screen.glyphs[7][row], kHeart[row]);
}

// The picture: every dot of a cell lit exactly where its row bits say.
TEST(VfdPictureTest, DotsFollowTheGlyphBitsAndBrightness)
{
    const Decoded d = Decode(Concat({Glyph(0, kHeart), Text("\x08" "A")}));
    const vfd::Image image = vfd::Render(d.screen);
    const vfd::Rgb lit = vfd::LitDot(4);
    std::uint8_t letterA[8];
    vfd::CellRows(d.screen, 'A', letterA);
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 5; ++column) {
            const int mask = 1 << (4 - column);
            int x, y;
            vfd::DotOrigin(0, 0, column, row, x, y);
            EXPECT_EQ(image.At(x + 2, y + 2), (kHeart[row] & mask) ? lit : vfd::UnlitDot()) << row << "," << column;
            vfd::DotOrigin(0, 1, column, row, x, y);
            EXPECT_EQ(image.At(x + 2, y + 2), (letterA[row] & mask) ? lit : vfd::UnlitDot()) << row << "," << column;
            vfd::DotOrigin(1, 0, column, row, x, y);
            EXPECT_EQ(image.At(x + 2, y + 2), vfd::UnlitDot()) << "line 2 is blank";
        }
    }
    EXPECT_EQ(image.At(0, 0), vfd::Background());

    // Dimmer levels light the same dots less.
    int previous = 0;
    for (std::uint8_t level : {0x3B, 0x3A, 0x39, 0x38}) {
        const Decoded dimmed = Decode(Concat({Text("A"), {0x00, 0xA5, level}}));
        int x, y;
        vfd::DotOrigin(0, 0, 0, 3, x, y); // row 3 of A is all lit
        const vfd::Rgb dot = vfd::Render(dimmed.screen).At(x + 2, y + 2);
        EXPECT_GT(dot.g, previous) << "level " << int(level);
        previous = dot.g;
    }
}

TEST(VfdPictureTest, PngReadsBackAsTheImage)
{
    const Decoded d = Decode(Text("PNG"));
    const vfd::Image image = vfd::Render(d.screen);
    const std::string path = testing::TempDir() + "vfd_picture_test.png";
    std::string error;
    ASSERT_TRUE(vfd::WritePng(image, path, error)) << error;

    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&png, path.c_str()));
    png.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
    ASSERT_TRUE(png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(static_cast<int>(png.width), image.width);
    EXPECT_EQ(static_cast<int>(png.height), image.height);
    EXPECT_EQ(pixels, image.rgb);
    std::remove(path.c_str());
}

} // namespace
