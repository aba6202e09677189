// Fuzzes serial settings strings through OpenFromSettings over the recording
// platform layer, and checks what reaches Open against the rules of each field.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "SERPORT.h"
#include "fake_platform.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// The fields as the parser must see them: comma-separated, trimmed of codes 0-32.
std::string Field(std::string& rest)
{
    const std::size_t comma = rest.find(',');
    std::string field = rest.substr(0, comma);
    rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
    while (!field.empty() && static_cast<unsigned char>(field.back()) <= 32)
        field.pop_back();
    while (!field.empty() && static_cast<unsigned char>(field.front()) <= 32)
        field.erase(0, 1);
    for (char& c : field)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return field;
}

bool IsInt(const std::string& text)
{
    std::int32_t value;
    return serport::TextToInt32(text, value);
}

// The message the first bad field must raise, or "" when every field is good.
std::string ExpectedMessage(std::string settings)
{
    std::string port = Field(settings);
    if (port.compare(0, 3, "COM") == 0)
        port.erase(0, 3);
    if (!IsInt(port))
        return "Invalid COM port name";
    if (!IsInt(Field(settings)))
        return "Invalid Baud Rate";
    if (!IsInt(Field(settings)))
        return "Invalid Data Bits";
    const std::string parity = Field(settings);
    if (parity.empty() || std::string("NOEMS").find(parity[0]) == std::string::npos)
        return "Invalid Parity";
    const std::string stop = Field(settings);
    if (stop != "1" && stop != "1.5" && stop != "2")
        return "Invalid Stop Bits";
    const std::string flags = Field(settings);
    if (!flags.empty() && !IsInt(flags))
        return "Invalid Flags Field";
    return "";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string settings(reinterpret_cast<const char*>(data), size);
    fake::Reset();
    fake::Platform& platform = fake::Recorder();
    std::string message;
    {
        serport::TSerialPort port;
        try {
            port.OpenFromSettings(settings);
        } catch (const serport::EInOutError& error) {
            message = error.what();
        }
        Require(message == ExpectedMessage(settings));
        if (!message.empty()) {
            Require(platform.calls.empty()); // nothing is opened unless every field is good
            Require(port.Handle == 0);
            return 0;
        }
        // The path names a port from 0 to 255, in decimal without leading zeros.
        const std::string prefix = "\\\\.\\COM";
        Require(platform.openedPath.compare(0, prefix.size(), prefix) == 0);
        const std::string number = platform.openedPath.substr(prefix.size());
        Require(!number.empty() && number.size() <= 3 && number.find_first_not_of("0123456789") == std::string::npos);
        Require(number == "0" || number[0] != '0');
        Require(std::stoi(number) <= 255);
        Require((platform.line.flagWord & 1u) == 1u && platform.line.flagWord <= 0xFFFFu);
        Require(platform.line.parity <= 4 && platform.line.stopBits <= 2);
        Require(!platform.request.inheritHandle && platform.request.shareMode == 0);
        Require(platform.timeouts.readIntervalTimeout == 0xFFFFFFFFu);
    }
    Require(platform.closed.size() == 1 && platform.flushed.size() == 1);
    return 0;
}
