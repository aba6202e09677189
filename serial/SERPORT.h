// SERPORT: one serial device (TSerialPort) and the parser of serial settings
// strings such as "COM1,38400,8,N,1".
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform.h"

namespace serport {

// The one error this module raises; it carries a message text, which may be empty.
class EInOutError : public std::runtime_error {
public:
    explicit EInOutError(const std::string& message) : std::runtime_error(message) {}
};

// Splits the next comma-separated field off the front of source and returns it
// trimmed (codes 0 to 32 at both ends) and upper-cased (a to z only).
std::string NextField(std::string& source);
std::string NextField(std::string_view& source); // the same, without copying the rest

// Converts text to a signed 32-bit integer: blanks (code 32) ahead, then either an
// optional sign and decimal digits, or "$", "X" or "0X" and at most eight
// significant hexadecimal digits (which fill all 32 bits, so "$FFFFFFFF" is -1).
// Returns false for anything else, including a decimal value out of range.
bool TextToInt32(std::string_view text, std::int32_t& value);

// The system's message for an error code, without its trailing blanks, control
// characters and full stops.
std::string SystemErrorText(std::uint32_t code);

class TSerialPort {
public:
    TSerialPort() = default;
    ~TSerialPort(); // closes the device
    TSerialPort(const TSerialPort&) = delete;
    TSerialPort& operator=(const TSerialPort&) = delete;

    // Opens and configures the device; returns true or raises EInOutError.
    bool Open(const std::string& path, std::uint32_t baud, std::uint8_t dataBits,
              std::uint8_t parity, std::uint8_t stopBits, std::uint16_t flags);
    // Parses "port,baud,data bits,parity,stop bits[,flags]" and opens the port.
    void OpenFromSettings(const std::string& settings);

    // One platform write each; false when not every byte went out. Never raise.
    bool WriteByte(std::uint8_t value);
    bool WriteBuffer(const void* data, std::int32_t count);

    // Releases the device without flushing it: for the library's unload, where
    // nothing may wait.
    void Discard();

    platform::Handle Handle = 0; // 0: no device held

private:
    void Close(); // flushes pending output, then closes; only the destructor calls it
};

} // namespace serport
