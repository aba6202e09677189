#include "vfd_model.h"

#include <cstdio>

#include "protocol.h"

namespace vfd {

namespace protocol = zavvfd::protocol;

namespace {

std::string Hex(std::uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof(text), "0x%02X", byte);
    return text;
}

std::string RowPattern(std::uint8_t bits)
{
    std::string pattern;
    for (int dot = kGlyphWidth - 1; dot >= 0; --dot)
        pattern += (bits >> dot) & 1 ? '#' : '.';
    return pattern;
}

} // namespace

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= 0x20 && code <= 0x7E && c != '\\') {
            out += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\x%02X", code);
            out += escape;
        }
    }
    return out;
}

Screen::Screen(int lines, int columns)
    : lines(lines), columns(columns), text(static_cast<std::size_t>(lines), std::string(columns, ' '))
{
}

std::vector<std::string> Screen::Plain() const
{
    std::vector<std::string> plain;
    for (const std::string& line : text)
        plain.push_back(Escaped(line));
    return plain;
}

void Decoder::Feed(const std::uint8_t* data, std::size_t count, std::vector<std::string>* trace)
{
    for (std::size_t i = 0; i < count; ++i, ++offset_)
        Byte(data[i], trace);
}

void Decoder::Flush(std::vector<std::string>* trace)
{
    if (state_ == State::Text)
        EndText(trace);
}

void Decoder::Report(std::vector<std::string>* trace, std::size_t offset, const std::string& what)
{
    if (trace != nullptr)
        trace->push_back("@" + std::to_string(offset) + " " + what);
}

void Decoder::EndText(std::vector<std::string>* trace)
{
    Report(trace, textOffset_, "text \"" + Escaped(text_) + "\"");
    if (!dropped_.empty())
        Report(trace, textOffset_, "dropped past column " + std::to_string(screen_.columns) + ": \"" +
                                       Escaped(dropped_) + "\"");
    text_.clear();
    dropped_.clear();
    textOffset_ = offset_;
}

void Decoder::Byte(std::uint8_t byte, std::vector<std::string>* trace)
{
    switch (state_) {
    case State::Lead:
        if (byte == protocol::kLead) {
            leadOffset_ = offset_;
            state_ = State::Command;
        } else {
            ++malformed_;
            Report(trace, offset_, "malformed: " + Hex(byte) + " where a command must start");
        }
        return;
    case State::Command:
        switch (byte) {
        case protocol::kLine1:
        case protocol::kLine2:
            screen_.cursorLine = byte == protocol::kLine1 ? 0 : 1;
            screen_.cursorColumn = 0;
            Report(trace, leadOffset_, byte == protocol::kLine1 ? "line 1" : "line 2");
            state_ = State::Lead;
            return;
        case protocol::kBrightness:
            state_ = State::Level;
            return;
        case protocol::kText:
            textOffset_ = leadOffset_;
            state_ = State::Text;
            return;
        case protocol::kGlyphRow:
            state_ = State::Slot;
            return;
        case protocol::kLead: // a lead byte without its command: this one starts afresh
            ++malformed_;
            Report(trace, leadOffset_, "malformed: lead byte without a command");
            leadOffset_ = offset_;
            return;
        default:
            ++malformed_;
            Report(trace, offset_, "malformed: unknown command " + Hex(byte));
            state_ = State::Lead;
            return;
        }
    case State::Level:
        if (byte >= protocol::kDimmestLevel - 3 && byte <= protocol::kDimmestLevel) {
            screen_.brightness = 4 - (byte - (protocol::kDimmestLevel - 3));
            Report(trace, leadOffset_, "brightness " + std::to_string(screen_.brightness) + "/4");
            state_ = State::Lead;
        } else {
            ++malformed_;
            Report(trace, offset_, "malformed: brightness level " + Hex(byte));
            state_ = byte == protocol::kLead ? State::Command : State::Lead;
            leadOffset_ = offset_;
        }
        return;
    case State::Text:
        if (byte == protocol::kLead) {
            EndText(trace);
            leadOffset_ = offset_;
            state_ = State::Command;
            return;
        }
        text_ += static_cast<char>(byte);
        if (screen_.cursorColumn < screen_.columns)
            screen_.text[static_cast<std::size_t>(screen_.cursorLine)][static_cast<std::size_t>(screen_.cursorColumn++)] =
                static_cast<char>(byte);
        else
            dropped_ += static_cast<char>(byte);
        return;
    case State::Slot:
        slot_ = byte;
        state_ = State::Row;
        return;
    case State::Row:
        row_ = byte;
        state_ = State::Bits;
        return;
    case State::Bits:
        if (slot_ < kGlyphSlots && row_ < kGlyphHeight && byte <= protocol::kRowBitsMask) {
            screen_.glyphs[slot_][row_] = byte;
            Report(trace, offset_ - 3, "glyph " + std::to_string(slot_ + 1) + " row " + std::to_string(row_) + " " +
                                           RowPattern(byte));
        } else {
            ++malformed_;
            Report(trace, offset_ - 3, "malformed: glyph row with slot " + Hex(slot_) + ", row " + Hex(row_) +
                                           ", bits " + Hex(byte));
        }
        state_ = State::AfterGlyph;
        return;
    case State::AfterGlyph:
        if (byte == protocol::kGlyphRow) {
            state_ = State::Slot;
        } else if (byte == protocol::kLead) {
            leadOffset_ = offset_;
            state_ = State::Command;
        } else {
            ++malformed_;
            Report(trace, offset_, "malformed: " + Hex(byte) + " after a glyph row");
            state_ = State::Lead;
        }
        return;
    }
}

} // namespace vfd
