// The display calls and the bytes that must arrive at the far end of the serial
// line, shared by the end-to-end tests of every build.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "display_library.h"

struct DisplayCase {
    const char* name;
    std::function<void(const DisplayApi&)> call;
    std::vector<std::uint8_t> bytes;
};

inline std::vector<DisplayCase> DisplayCases()
{
    static const unsigned char glyph[8] = {0xFF, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F};
    static const unsigned char arrow[8] = {0x04, 0x0E, 0x15, 0x04, 0x04, 0x04, 0x04, 0x00};
    return {
        {"Write Hi", [](const DisplayApi& d) { d.Write("Hi"); }, {0x00, 0xA7, 0x48, 0x69}},
        {"Write empty", [](const DisplayApi& d) { d.Write(""); }, {0x00, 0xA7}},
        {"Write null", [](const DisplayApi& d) { d.Write(nullptr); }, {0x00, 0xA7}},
        {"Write keeps control and high bytes", [](const DisplayApi& d) { d.Write("\x01\n\r\x7f\x80\xff"); },
         {0x00, 0xA7, 0x01, 0x0A, 0x0D, 0x7F, 0x80, 0xFF}},
        {"SetPosition line 1", [](const DisplayApi& d) { d.SetPosition(5, 1); }, {0x00, 0xA1}},
        {"SetPosition line 2", [](const DisplayApi& d) { d.SetPosition(0, 2); }, {0x00, 0xA2}},
        {"SetPosition line 0", [](const DisplayApi& d) { d.SetPosition(0, 0); }, {0x00, 0xA2}},
        {"SetPosition line 257", [](const DisplayApi& d) { d.SetPosition(0, 257); }, {0x00, 0xA1}},
        {"CustomChar 1", [](const DisplayApi& d) { d.CustomChar(1, glyph); },
         {0x00, 0xAB, 0, 0, 0x1F, 0xAB, 0, 1, 0x11, 0xAB, 0, 2, 0, 0xAB, 0, 3, 0,
          0xAB, 0, 4, 0, 0xAB, 0, 5, 0, 0xAB, 0, 6, 0, 0xAB, 0, 7, 0x1F}},
        {"CustomChar 8", [](const DisplayApi& d) { d.CustomChar(8, arrow); },
         {0x00, 0xAB, 7, 0, 0x04, 0xAB, 7, 1, 0x0E, 0xAB, 7, 2, 0x15, 0xAB, 7, 3, 0x04,
          0xAB, 7, 4, 0x04, 0xAB, 7, 5, 0x04, 0xAB, 7, 6, 0x04, 0xAB, 7, 7, 0x00}},
        {"CustomChar 0", [](const DisplayApi& d) { d.CustomChar(0, arrow); },
         {0x00, 0xAB, 0xFF, 0, 0x04, 0xAB, 0xFF, 1, 0x0E, 0xAB, 0xFF, 2, 0x15, 0xAB, 0xFF, 3, 0x04,
          0xAB, 0xFF, 4, 0x04, 0xAB, 0xFF, 5, 0x04, 0xAB, 0xFF, 6, 0x04, 0xAB, 0xFF, 7, 0x00}},
        {"CustomChar null rows", [](const DisplayApi& d) { d.CustomChar(1, nullptr); }, {}},
        {"SetBrightness 0", [](const DisplayApi& d) { d.SetBrightness(0); }, {0x00, 0xA5, 0x3B}},
        {"SetBrightness 64", [](const DisplayApi& d) { d.SetBrightness(64); }, {0x00, 0xA5, 0x3A}},
        {"SetBrightness 128", [](const DisplayApi& d) { d.SetBrightness(128); }, {0x00, 0xA5, 0x39}},
        {"SetBrightness 255", [](const DisplayApi& d) { d.SetBrightness(255); }, {0x00, 0xA5, 0x38}},
        {"SetBrightness 256", [](const DisplayApi& d) { d.SetBrightness(256); }, {0x00, 0xA5, 0x3B}},
        {"CustomCharIndex sends nothing", [](const DisplayApi& d) { d.CustomCharIndex(1); }, {}},
    };
}

// Every sending call once, for the states in which nothing may arrive.
inline void SendEveryCommand(const DisplayApi& d)
{
    static const unsigned char rows[8] = {0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F};
    d.Write("Hi");
    d.SetPosition(0, 1);
    d.CustomChar(1, rows);
    d.SetBrightness(255);
}

// Calls every sending function before Init, after Done, after a failed Init and
// after a second Done: none of it may reach the display. False when an Init did
// not succeed or fail as it should.
inline bool SendOutsideASession(const DisplayApi& d, const char* parameters)
{
    unsigned char ok = 0;
    SendEveryCommand(d);
    d.Init(0, 0, parameters, &ok);
    const bool opened = ok == 1;
    d.Done();
    SendEveryCommand(d);
    d.Init(0, 0, "COM5", &ok); // fails on the baud rate
    const bool refused = ok == 0;
    SendEveryCommand(d);
    d.Done();
    d.Done();
    SendEveryCommand(d);
    return opened && refused && d.CustomCharIndex(1) == 8;
}

// The bytes that show text: 00 A7 and the text.
inline std::vector<std::uint8_t> TextCommand(const std::string& text)
{
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.insert(bytes.begin(), {0x00, 0xA7});
    return bytes;
}

inline std::string LongText(std::size_t size)
{
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>(1 + i % 255); // every byte but NUL
    return text;
}
