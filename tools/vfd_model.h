// The virtual display's model: a decoder for the module's byte stream and the
// screen it draws on (text cells, eight custom glyphs, brightness).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vfd {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 8;
constexpr int kGlyphSlots = 8;
constexpr std::uint8_t kFirstGlyphCode = 8; // codes 8-15 show glyph slots 0-7

struct Screen {
    Screen(int lines, int columns);

    int lines, columns;
    std::vector<std::string> text;  // one per line, each `columns` codes long
    std::uint8_t glyphs[kGlyphSlots][kGlyphHeight] = {};
    int brightness = 4;             // quarters: 1 to 4
    int cursorLine = 0, cursorColumn = 0;

    // The lines as text, codes outside 0x20-0x7E written \xNN.
    std::vector<std::string> Plain() const;
};

// Decodes the byte stream into the screen; what it cannot decode is reported in
// the trace with its offset, and decoding resumes at the next lead byte.
class Decoder {
public:
    explicit Decoder(Screen& screen) : screen_(screen) {}

    // Feeds the next bytes of the stream; trace lines (if wanted) are appended.
    void Feed(const std::uint8_t* data, std::size_t count, std::vector<std::string>* trace);
    // Ends a text that is still open, so that the trace shows it now.
    void Flush(std::vector<std::string>* trace);
    // How many malformed stretches have been seen.
    int Malformed() const { return malformed_; }

private:
    enum class State { Lead, Command, Level, Text, Slot, Row, Bits, AfterGlyph };
    void Byte(std::uint8_t byte, std::vector<std::string>* trace);
    void Report(std::vector<std::string>* trace, std::size_t offset, const std::string& what);
    void EndText(std::vector<std::string>* trace);

    Screen& screen_;
    State state_ = State::Lead;
    std::size_t offset_ = 0;     // offset of the next byte in the whole stream
    std::size_t leadOffset_ = 0; // where the current command began
    std::string text_;           // the text being received
    std::size_t textOffset_ = 0;
    std::string dropped_;        // its characters past the last column
    std::uint8_t slot_ = 0, row_ = 0;
    int malformed_ = 0;
};

// Escapes codes outside 0x20-0x7E (and the backslash) as \xNN.
std::string Escaped(const std::string& text);

} // namespace vfd
