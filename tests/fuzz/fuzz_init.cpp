// Fuzzes the startup parameters of DISPLAYDLL_Init, with the platform failing at a
// step the input chooses: the result is always the driver name with a true flag or
// a prefixed failure text with a false flag, and Done always releases what Init opened.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fake_platform.h"
#include "zavvfd.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

const char* const kFailures[] = {"", "OpenDevice", "ApplyLineRecord", "ApplyTimeouts"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fake::Reset();
    fake::Platform& platform = fake::Recorder();
    if (size > 0) {
        platform.failCall = kFailures[data[0] % 4];
        platform.failCode = data[0];
        ++data;
        --size;
    }
    // The host's text ends at its first NUL; an empty input stands for a null pointer.
    const std::string parameters(reinterpret_cast<const char*>(data), size);
    unsigned char ok = 0xEE;
    const std::string result = DISPLAYDLL_Init(0, 0, size == 0 ? nullptr : parameters.c_str(), &ok);
    if (ok == 1) {
        Require(result == DISPLAYDLL_DriverName());
        Require(platform.openedPath.compare(0, 7, "\\\\.\\COM") == 0);
        Require(platform.line.byteSize == 8 && platform.line.parity == 0 && platform.line.stopBits == 0);
        Require(platform.line.flagWord == 1);
    } else {
        Require(ok == 0);
        Require(result.compare(0, 22, "ZAVVFD.DLL Exception: ") == 0);
    }
    DISPLAYDLL_Done();
    // Every device opened is closed exactly once; only one that opened fully is flushed.
    Require(platform.closed.size() == platform.nextHandle - 0x100);
    Require(platform.flushed.size() == (ok == 1 ? 1u : 0u));
    return 0;
}
