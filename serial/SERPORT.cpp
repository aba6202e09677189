#include "SERPORT.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace serport {

namespace {

bool IsBlankOrControl(unsigned char c) { return c <= 32; }

void UpperCase(std::string& text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool ParseHex(std::string_view digits, std::int32_t& value)
{
    if (digits.empty())
        return false;
    std::uint32_t result = 0;
    int significant = 0;
    for (char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return false;
        if (significant > 0 || digit != 0)
            ++significant;
        if (significant > 8)
            return false;
        result = (result << 4) | static_cast<std::uint32_t>(digit);
    }
    value = static_cast<std::int32_t>(result);
    return true;
}

bool ParseDecimal(std::string_view text, std::int32_t& value)
{
    std::size_t pos = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        pos = 1;
    if (pos == text.size())
        return false;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (; pos < text.size(); ++pos) {
        if (text[pos] < '0' || text[pos] > '9')
            return false;
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > limit)
            return false;
    }
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

std::string TrimSystemText(std::string text)
{
    while (!text.empty() && (IsBlankOrControl(static_cast<unsigned char>(text.back())) || text.back() == '.'))
        text.pop_back();
    return text;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::int32_t FieldToInt(std::string_view field, const char* message)
{
    std::int32_t value = 0;
    if (!TextToInt32(field, value))
        throw EInOutError(message);
    return value;
}

std::uint8_t ParityCode(const std::string& field)
{
    static const char kCodes[] = "NOEMS"; // index = the line record's parity code
    if (!field.empty())
        for (std::uint8_t code = 0; code < 5; ++code)
            if (field[0] == kCodes[code])
                return code;
    throw EInOutError("Invalid Parity");
}

std::uint8_t StopBitsCode(const std::string& field)
{
    if (field == "1") return 0;
    if (field == "1.5") return 1;
    if (field == "2") return 2;
    throw EInOutError("Invalid Stop Bits");
}

} // namespace

std::string NextField(std::string_view& source)
{
    const std::size_t comma = source.find(',');
    std::string_view field = source.substr(0, comma);
    source.remove_prefix(comma == std::string_view::npos ? source.size() : comma + 1);
    while (!field.empty() && IsBlankOrControl(static_cast<unsigned char>(field.front())))
        field.remove_prefix(1);
    while (!field.empty() && IsBlankOrControl(static_cast<unsigned char>(field.back())))
        field.remove_suffix(1);
    std::string result(field);
    UpperCase(result);
    return result;
}

std::string NextField(std::string& source)
{
    std::string_view rest = source;
    std::string field = NextField(rest);
    source.erase(0, source.size() - rest.size());
    return field;
}

bool TextToInt32(std::string_view text, std::int32_t& value)
{
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos)
        return false;
    const std::string_view number = text.substr(start);
    if (number[0] == '$' || number[0] == 'X' || number[0] == 'x')
        return ParseHex(number.substr(1), value);
    if (number.size() >= 2 && number[0] == '0' && (number[1] == 'X' || number[1] == 'x'))
        return ParseHex(number.substr(2), value);
    return ParseDecimal(number, value);
}

std::string SystemErrorText(std::uint32_t code)
{
    return TrimSystemText(platform::SystemText(code));
}

TSerialPort::~TSerialPort()
{
    Close();
}

void TSerialPort::Close()
{
    if (Handle == 0)
        return;
    platform::Flush(Handle);
    platform::CloseDevice(Handle);
    Handle = 0;
}

void TSerialPort::Discard()
{
    if (Handle == 0)
        return;
    platform::CloseDevice(Handle);
    Handle = 0;
}

bool TSerialPort::Open(const std::string& path, std::uint32_t baud, std::uint8_t dataBits,
                       std::uint8_t parity, std::uint8_t stopBits, std::uint16_t flags)
{
    if (path.empty())
        throw EInOutError("Illegal com port name!");

    platform::OpenRequest request;
    request.desiredAccess = platform::kGenericReadWrite;
    request.shareMode = 0;
    // A child process of the host must not keep the port held.
    request.inheritHandle = false;
    request.creationDisposition = platform::kOpenExisting;
    request.flagsAndAttributes = platform::kFileAttributeNormal;

    // Built from nothing rather than from the device's current settings, so that
    // the line is the same whatever the previous user left behind.
    platform::LineRecord line;
    line.baudRate = baud;
    line.flagWord = 1u | flags; // binary mode always
    line.byteSize = dataBits;
    line.parity = parity;
    line.stopBits = stopBits;

    platform::TimeoutRecord timeouts;
    timeouts.readIntervalTimeout = platform::kMaxDword; // reads return at once

    Handle = platform::OpenDevice(path, request);
    if (Handle == 0)
        throw EInOutError(SystemErrorText(platform::LastError()));
    if (platform::ApplyLineRecord(Handle, line) && platform::ApplyTimeouts(Handle, timeouts))
        return true;
    const std::uint32_t code = platform::LastError();
    Discard();
    throw EInOutError(SystemErrorText(code));
}

void TSerialPort::OpenFromSettings(const std::string& settings)
{
    std::string_view rest = settings;

    std::string portField = NextField(rest);
    if (StartsWith(portField, "COM"))
        portField.erase(0, 3);
    const auto port = static_cast<std::uint8_t>(FieldToInt(portField, "Invalid COM port name"));
    const auto baud = static_cast<std::uint32_t>(FieldToInt(NextField(rest), "Invalid Baud Rate"));
    const auto dataBits = static_cast<std::uint8_t>(FieldToInt(NextField(rest), "Invalid Data Bits"));
    const std::uint8_t parity = ParityCode(NextField(rest));
    const std::uint8_t stopBits = StopBitsCode(NextField(rest));
    const std::string flagsField = NextField(rest);
    const auto flags = static_cast<std::uint16_t>(
        flagsField.empty() ? 0 : FieldToInt(flagsField, "Invalid Flags Field"));

    Open("\\\\.\\COM" + std::to_string(port), baud, dataBits, parity, stopBits, flags);
}

bool TSerialPort::WriteByte(std::uint8_t value)
{
    std::uint32_t written = 0;
    return platform::Write(Handle, &value, 1, written) && written == 1;
}

bool TSerialPort::WriteBuffer(const void* data, std::int32_t count)
{
    if (count < 0)
        return false;
    std::uint32_t written = 0;
    const auto wanted = static_cast<std::uint32_t>(count);
    return platform::Write(Handle, data, wanted, written) && written == wanted;
}

} // namespace serport
