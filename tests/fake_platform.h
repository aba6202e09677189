// A recording platform layer for the unit tests: it remembers every call with
// its arguments and fails the calls a test asks it to.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform.h"

namespace fake {

struct Write {
    serport::platform::Handle device;
    std::vector<std::uint8_t> bytes;
};

struct Platform {
    // Every call by name, in order ("OpenDevice", "ApplyLineRecord", ...).
    std::vector<std::string> calls;
    std::string openedPath;
    serport::platform::OpenRequest request;
    serport::platform::LineRecord line;
    serport::platform::TimeoutRecord timeouts;
    std::vector<Write> writes;
    std::vector<serport::platform::Handle> flushed, closed;

    // What to fail: the named call fails with failCode; failWrites holds the
    // indexes (0-based, over all writes) of the writes that fail.
    std::string failCall;
    std::uint32_t failCode = 5;
    std::vector<std::size_t> failWrites;
    std::map<std::uint32_t, std::string> texts = {{2, "The system cannot find the file specified.\r\n"},
                                                  {5, "Access is denied.\r\n"}};
    serport::platform::Handle nextHandle = 0x100;

    // All bytes written, in order, as one run.
    std::vector<std::uint8_t> Bytes() const;
    std::vector<std::size_t> WriteSizes() const;
};

// The one recording instance; Reset starts it afresh.
Platform& Recorder();
void Reset();

} // namespace fake
