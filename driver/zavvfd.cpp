// The library's exports: driver lifecycle, description, and the display commands.
#include "zavvfd.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

#include "SERPORT.h"
#include "protocol.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using serport::NextField;
using serport::TSerialPort;
namespace protocol = zavvfd::protocol;

namespace {

const char kDriverName[] = "ZAV VFD Display DLL v1.0";
const char kUsage[] = "Usage: COM1,38400";
const char kDefaultParameters[] = "COM1,38400";
const char kFailurePrefix[] = "ZAVVFD.DLL Exception: ";
const char kFixedLineSettings[] = ",8,N,1";

// The port all display commands go through, or none. A plain pointer on purpose:
// at process exit the port must be left alone, not flushed by a static destructor.
TSerialPort* ActivePort = nullptr;
// The text the last failed Init returned; the host may read it until the next failure.
std::string LastInitError;

void ReleaseActivePort()
{
    TSerialPort* port = ActivePort;
    ActivePort = nullptr;
    delete port; // flushes and closes the device
}

const char* InitFailure(const char* message)
{
    try {
        LastInitError = std::string(kFailurePrefix) + message;
        return LastInitError.c_str();
    } catch (...) {
        return kFailurePrefix; // no memory even for the text: the prefix alone
    }
}

// Each byte is its own write: the display module may rely on that pacing.
// Results are not examined; a failed byte does not stop the rest.
void SendBytes(std::initializer_list<std::uint8_t> bytes)
{
    for (std::uint8_t byte : bytes)
        ActivePort->WriteByte(byte);
}

} // namespace

extern "C" {

const char* ZAVVFD_CALL DISPLAYDLL_Init(int /*first*/, int /*second*/, const char* parameters,
                                        unsigned char* ok)
{
    if (ok != nullptr)
        *ok = 1;
    try {
        // A second Init without Done would otherwise leave the earlier port held.
        ReleaseActivePort();
        std::string_view rest = parameters != nullptr ? parameters : "";
        std::string settings = NextField(rest); // the port
        settings += ',';
        settings += NextField(rest);            // the baud rate; whatever follows is ignored
        settings += kFixedLineSettings;
        ActivePort = new TSerialPort();
        ActivePort->OpenFromSettings(settings);
        return kDriverName;
    } catch (const std::exception& failure) {
        if (ok != nullptr)
            *ok = 0;
        return InitFailure(failure.what());
    } catch (...) {
        if (ok != nullptr)
            *ok = 0;
        return InitFailure("");
    }
}

void ZAVVFD_CALL DISPLAYDLL_Done(void)
{
    ReleaseActivePort();
}

const char* ZAVVFD_CALL DISPLAYDLL_DriverName(void) { return kDriverName; }
const char* ZAVVFD_CALL DISPLAYDLL_Usage(void) { return kUsage; }
const char* ZAVVFD_CALL DISPLAYDLL_DefaultParameters(void) { return kDefaultParameters; }

// 00 A1 for line 1, 00 A2 for any other line.
void ZAVVFD_CALL DISPLAYDLL_SetPosition(int /*column*/, unsigned int line)
{
    if (ActivePort == nullptr)
        return;
    SendBytes({protocol::kLead, static_cast<std::uint8_t>(line) == 1 ? protocol::kLine1 : protocol::kLine2});
}

// 00 A7, then the text in one write (also when it is empty).
void ZAVVFD_CALL DISPLAYDLL_Write(const char* text)
{
    const char* bytes = text != nullptr ? text : "";
    const std::size_t length = std::strlen(bytes);
    if (ActivePort == nullptr)
        return;
    SendBytes({protocol::kLead, protocol::kText});
    ActivePort->WriteBuffer(bytes, static_cast<std::int32_t>(length));
}

unsigned char ZAVVFD_CALL DISPLAYDLL_CustomCharIndex(unsigned int number)
{
    return static_cast<unsigned char>(number + protocol::kFirstGlyphCode - 1);
}

// 00, then AB slot row bits for each of the 8 rows.
void ZAVVFD_CALL DISPLAYDLL_CustomChar(unsigned int number, const unsigned char* rows)
{
    if (rows == nullptr)
        return;
    std::uint8_t copy[protocol::kGlyphRows];
    std::memcpy(copy, rows, sizeof(copy));
    if (ActivePort == nullptr)
        return;
    const auto slot = static_cast<std::uint8_t>(number - 1);
    SendBytes({protocol::kLead});
    for (std::uint8_t row = 0; row < protocol::kGlyphRows; ++row)
        SendBytes({protocol::kGlyphRow, slot, row, static_cast<std::uint8_t>(copy[row] & protocol::kRowBitsMask)});
}

// 00 A5 level, level 3B (dimmest) down to 38 (brightest) by the value's top two bits.
void ZAVVFD_CALL DISPLAYDLL_SetBrightness(unsigned int value)
{
    if (ActivePort == nullptr)
        return;
    const auto level = static_cast<std::uint8_t>(protocol::kDimmestLevel - ((value & 0xFF) >> 6));
    SendBytes({protocol::kLead, protocol::kBrightness, level});
}

} // extern "C"

// Unloading the library releases a port that is still open, without waiting for
// its output (nothing may wait under the loader lock). At process exit nothing is
// done: the system closes the device itself.
namespace {
void DiscardActivePort()
{
    if (ActivePort == nullptr)
        return;
    ActivePort->Discard(); // the one system call: close the handle
    ReleaseActivePort();   // frees the object; with no device left it touches nothing
}
} // namespace

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        DiscardActivePort();
    return TRUE;
}
#else
__attribute__((destructor)) static void ReleasePortOnUnload()
{
    DiscardActivePort();
}
#endif
