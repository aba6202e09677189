#include "host_commands.h"

#include <cstdlib>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

namespace {

void PauseTenMilliseconds()
{
#if defined(_WIN32)
    Sleep(10);
#else
    const timespec pause = {0, 10 * 1000 * 1000};
    nanosleep(&pause, nullptr);
#endif
}

bool ParseNumber(const std::string& word, unsigned long limit, unsigned long& value)
{
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos || word.size() > 9)
        return false;
    value = std::strtoul(word.c_str(), nullptr, 10);
    return value <= limit;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A row as hex (1F, 0x1F) or as a pattern of five . and # (leftmost dot first).
bool ParseRow(const std::string& word, unsigned char& row)
{
    if (word.size() == 5 && word.find_first_not_of(".#") == std::string::npos) {
        row = 0;
        for (char dot : word)
            row = static_cast<unsigned char>((row << 1) | (dot == '#'));
        return true;
    }
    std::string digits = word.rfind("0x", 0) == 0 || word.rfind("0X", 0) == 0 ? word.substr(2) : word;
    if (digits.empty() || digits.size() > 2)
        return false;
    int value = 0;
    for (char c : digits) {
        if (HexValue(c) < 0)
            return false;
        value = value * 16 + HexValue(c);
    }
    row = static_cast<unsigned char>(value);
    return true;
}

// The text between double quotes, with its escapes resolved.
bool ParseQuoted(const std::string& rest, std::string& text, std::string& error)
{
    const std::size_t open = rest.find_first_not_of(' ');
    if (open == std::string::npos || rest[open] != '"') {
        error = "text wants a quoted text: text \"...\"";
        return false;
    }
    text.clear();
    for (std::size_t i = open + 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            if (rest.find_first_not_of(' ', i + 1) != std::string::npos) {
                error = "text: something after the closing quote";
                return false;
            }
            return true;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i >= rest.size())
            break;
        if (rest[i] == '\\' || rest[i] == '"') {
            text += rest[i];
        } else if (rest[i] == 'x' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
            const char byte = static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
            if (byte == 0) {
                error = "text: \\x00 cannot be sent (a text ends at its first NUL)";
                return false;
            }
            text += byte;
            i += 2;
        } else {
            error = "text: unknown escape \\" + std::string(1, rest[i]) + " (use \\xNN, \\\\ or \\\")";
            return false;
        }
    }
    error = "text: the closing quote is missing";
    return false;
}

} // namespace

bool ParseHostCommand(const std::string& line, HostCommand& command, std::string& error)
{
    command = HostCommand();
    std::istringstream words(line);
    std::string verb;
    if (!(words >> verb) || verb[0] == '#')
        return true;
    std::vector<std::string> args;
    for (std::string word; words >> word;)
        args.push_back(word);
    auto oneNumber = [&](HostCommand::Kind kind, unsigned long limit) {
        if (args.size() != 1 || !ParseNumber(args[0], limit, command.number)) {
            error = verb + " wants one number from 0 to " + std::to_string(limit);
            return false;
        }
        command.kind = kind;
        return true;
    };

    if (verb == "line")
        return oneNumber(HostCommand::Kind::Line, 255);
    if (verb == "index")
        return oneNumber(HostCommand::Kind::Index, 255);
    if (verb == "brightness")
        return oneNumber(HostCommand::Kind::Brightness, 255);
    if (verb == "wait")
        return oneNumber(HostCommand::Kind::Wait, 600000);
    if (verb == "text") {
        command.kind = HostCommand::Kind::Text;
        return ParseQuoted(line.substr(line.find("text") + 4), command.text, error);
    }
    if (verb == "glyph") {
        if (args.size() != 9 || !ParseNumber(args[0], 255, command.number)) {
            error = "glyph wants a number and eight rows: glyph N r0 ... r7";
            return false;
        }
        for (int row = 0; row < 8; ++row)
            if (!ParseRow(args[row + 1], command.rows[row])) {
                error = "glyph row " + std::to_string(row) + " '" + args[row + 1] +
                        "' is neither hex (1F, 0x1F) nor a .#.#. pattern";
                return false;
            }
        command.kind = HostCommand::Kind::Glyph;
        return true;
    }
    error = "unknown command '" + verb + "' (line, text, glyph, index, brightness, wait)";
    return false;
}

void RunHostCommand(const DisplayApi& display, const HostCommand& command, std::string& out,
                    const volatile bool& stop)
{
    const auto number = static_cast<unsigned int>(command.number);
    switch (command.kind) {
    case HostCommand::Kind::None:
        return;
    case HostCommand::Kind::Line:
        display.SetPosition(0, number);
        return;
    case HostCommand::Kind::Text:
        display.Write(command.text.c_str());
        return;
    case HostCommand::Kind::Glyph:
        display.CustomChar(number, command.rows);
        return;
    case HostCommand::Kind::Index:
        out += "index " + std::to_string(number) + " = " + std::to_string(display.CustomCharIndex(number)) + "\n";
        return;
    case HostCommand::Kind::Brightness:
        display.SetBrightness(number);
        return;
    case HostCommand::Kind::Wait:
        for (unsigned long waited = 0; waited < command.number && !stop; waited += 10)
            PauseTenMilliseconds();
        return;
    }
}
