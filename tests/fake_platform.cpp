#include "fake_platform.h"

#include <algorithm>

namespace fake {

namespace {
Platform instance;
std::uint32_t lastError = 0;

bool Fails(const char* call)
{
    instance.calls.push_back(call);
    if (instance.failCall != call)
        return false;
    lastError = instance.failCode;
    return true;
}
} // namespace

Platform& Recorder() { return instance; }

void Reset()
{
    instance = Platform();
    lastError = 0;
}

std::vector<std::uint8_t> Platform::Bytes() const
{
    std::vector<std::uint8_t> all;
    for (const Write& write : writes)
        all.insert(all.end(), write.bytes.begin(), write.bytes.end());
    return all;
}

std::vector<std::size_t> Platform::WriteSizes() const
{
    std::vector<std::size_t> sizes;
    for (const Write& write : writes)
        sizes.push_back(write.bytes.size());
    return sizes;
}

} // namespace fake

namespace serport::platform {

using fake::instance;

Handle OpenDevice(const std::string& path, const OpenRequest& request)
{
    instance.openedPath = path;
    instance.request = request;
    return fake::Fails("OpenDevice") ? 0 : instance.nextHandle++;
}

bool ApplyLineRecord(Handle, const LineRecord& line)
{
    instance.line = line;
    return !fake::Fails("ApplyLineRecord");
}

bool ApplyTimeouts(Handle, const TimeoutRecord& timeouts)
{
    instance.timeouts = timeouts;
    return !fake::Fails("ApplyTimeouts");
}

bool Write(Handle device, const void* data, std::uint32_t count, std::uint32_t& written)
{
    instance.calls.push_back("Write");
    const std::size_t index = instance.writes.size();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    instance.writes.push_back({device, std::vector<std::uint8_t>(bytes, bytes + count)});
    const bool failed = device == 0 || std::count(instance.failWrites.begin(), instance.failWrites.end(), index);
    written = failed ? 0 : count;
    return !failed;
}

bool Flush(Handle device)
{
    instance.flushed.push_back(device);
    return !fake::Fails("Flush");
}

bool CloseDevice(Handle device)
{
    instance.closed.push_back(device);
    return !fake::Fails("CloseDevice");
}

std::uint32_t LastError()
{
    instance.calls.push_back("LastError");
    return fake::lastError;
}

std::string SystemText(std::uint32_t code)
{
    const auto text = instance.texts.find(code);
    return text == instance.texts.end() ? std::string() : text->second;
}

} // namespace serport::platform
