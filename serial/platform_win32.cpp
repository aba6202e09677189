// The Win32 serial communications interface behind TSerialPort.
#include "platform.h"

#include <windows.h>

#include <cstring>

namespace serport::platform {

namespace {

HANDLE ToWin(Handle device) { return reinterpret_cast<HANDLE>(device); }

} // namespace

Handle OpenDevice(const std::string& path, const OpenRequest& request)
{
    SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof(security);
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = request.inheritHandle ? TRUE : FALSE;
    const HANDLE device = CreateFileA(path.c_str(), request.desiredAccess, request.shareMode, &security,
                                      request.creationDisposition, request.flagsAndAttributes, nullptr);
    return device == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<Handle>(device);
}

bool ApplyLineRecord(Handle device, const LineRecord& line)
{
    DCB dcb;
    std::memset(&dcb, 0, sizeof(dcb));
    dcb.DCBlength = sizeof(dcb);
    dcb.BaudRate = line.baudRate;
    // The control bits sit in one 32-bit word right after BaudRate.
    static_assert(offsetof(DCB, BaudRate) + sizeof(DWORD) == 8, "DCB flag word follows BaudRate");
    std::memcpy(reinterpret_cast<char*>(&dcb) + 8, &line.flagWord, sizeof(line.flagWord));
    dcb.ByteSize = line.byteSize;
    dcb.Parity = line.parity;
    dcb.StopBits = line.stopBits;
    return SetCommState(ToWin(device), &dcb) != 0;
}

bool ApplyTimeouts(Handle device, const TimeoutRecord& timeouts)
{
    COMMTIMEOUTS record{};
    record.ReadIntervalTimeout = timeouts.readIntervalTimeout;
    record.ReadTotalTimeoutMultiplier = timeouts.readTotalTimeoutMultiplier;
    record.ReadTotalTimeoutConstant = timeouts.readTotalTimeoutConstant;
    record.WriteTotalTimeoutMultiplier = timeouts.writeTotalTimeoutMultiplier;
    record.WriteTotalTimeoutConstant = timeouts.writeTotalTimeoutConstant;
    return SetCommTimeouts(ToWin(device), &record) != 0;
}

bool Write(Handle device, const void* data, std::uint32_t count, std::uint32_t& written)
{
    DWORD done = 0;
    const BOOL ok = WriteFile(ToWin(device), data, count, &done, nullptr);
    written = done;
    return ok != 0;
}

bool Flush(Handle device) { return FlushFileBuffers(ToWin(device)) != 0; }

bool CloseDevice(Handle device) { return CloseHandle(ToWin(device)) != 0; }

std::uint32_t LastError() { return GetLastError(); }

std::string SystemText(std::uint32_t code)
{
    // IGNORE_INSERTS: a message with %1 in it would otherwise make the call fail.
    char buffer[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, buffer, sizeof(buffer), nullptr);
    return std::string(buffer, length);
}

} // namespace serport::platform
