// The narrow seam between TSerialPort and the operating system.
//
// Each platform provides these functions in a file of its own (platform_win32.cpp,
// platform_posix.cpp); the tests link a recording fake in their place. The records
// mirror what the Win32 serial interface takes, so that TSerialPort builds them the
// same way everywhere and a platform only carries them out.
#pragma once

#include <cstdint>
#include <string>

namespace serport::platform {

// An open device; 0 means none.
using Handle = std::uintptr_t;

// How the device is opened (the arguments of CreateFileA that matter).
struct OpenRequest {
    std::uint32_t desiredAccess = 0;       // GENERIC_READ | GENERIC_WRITE
    std::uint32_t shareMode = 0;           // 0: nobody else may open the device
    bool inheritHandle = false;            // whether child processes receive the handle
    std::uint32_t creationDisposition = 0; // OPEN_EXISTING
    std::uint32_t flagsAndAttributes = 0;  // FILE_ATTRIBUTE_NORMAL
};

constexpr std::uint32_t kGenericReadWrite = 0xC0000000u;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kFileAttributeNormal = 0x80;

// The serial line record (the fields of a DCB that a caller sets; all others are 0).
struct LineRecord {
    std::uint32_t baudRate = 0;
    std::uint32_t flagWord = 0; // bit 0 binary mode, then the DCB's control bits
    std::uint8_t byteSize = 0;  // data bits
    std::uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
};

// The time-out record (COMMTIMEOUTS), in milliseconds.
struct TimeoutRecord {
    std::uint32_t readIntervalTimeout = 0;
    std::uint32_t readTotalTimeoutMultiplier = 0;
    std::uint32_t readTotalTimeoutConstant = 0;
    std::uint32_t writeTotalTimeoutMultiplier = 0;
    std::uint32_t writeTotalTimeoutConstant = 0;
};

constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;

// Opens the device at path; 0 on failure (LastError tells why).
Handle OpenDevice(const std::string& path, const OpenRequest& request);
bool ApplyLineRecord(Handle device, const LineRecord& line);
bool ApplyTimeouts(Handle device, const TimeoutRecord& timeouts);
// One synchronous write of count bytes; written receives how many went out.
bool Write(Handle device, const void* data, std::uint32_t count, std::uint32_t& written);
// Waits until pending output has been handed to the device.
bool Flush(Handle device);
bool CloseDevice(Handle device);
// The error code of the platform call that failed last.
std::uint32_t LastError();
// The system's message for an error code, as the system words it (untrimmed);
// empty when the code has no message.
std::string SystemText(std::uint32_t code);

} // namespace serport::platform
