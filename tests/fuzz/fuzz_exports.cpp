// Fuzzes random sequences of all ten exports with random arguments over the
// recording platform layer. Each call must make exactly the writes of its command
// (none without a port), and everything sent to an open device must decode on the
// virtual display without a malformed byte, but for glyph slots the display lacks.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "vfd_model.h"
#include "zavvfd.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// Reads the fuzzer's bytes as the arguments of a call sequence.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t Slot() { return Byte() | Byte() << 8 | static_cast<std::uint32_t>(Byte()) << 16 | static_cast<std::uint32_t>(Byte()) << 24; }
    std::string Text(std::size_t most)
    {
        std::string text;
        for (std::size_t n = Byte() % (most + 1); n > 0 && !Empty(); --n)
            text += static_cast<char>(Byte());
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_, at_ = 0;
};

const char* const kParameters[] = {"COM5,38400", "COM1,9600", "COM1", "", "COMX,fast", "com7 , $9600"};
const char* const kFailures[] = {"", "", "OpenDevice", "ApplyLineRecord", "ApplyTimeouts"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fake::Reset();
    fake::Platform& platform = fake::Recorder();
    Input in(data, size);
    bool havePort = false; // whether ActivePort exists, open or not
    bool portOpen = false; // whether it holds a device
    int badGlyphRows = 0;  // glyph rows sent to a device for slots it lacks
    while (!in.Empty()) {
        const std::size_t writesBefore = platform.writes.size();
        std::size_t writes = 0; // the writes this call must make when there is a port
        switch (in.Byte() % 10) {
        case 0: {
            const std::uint8_t choice = in.Byte();
            platform.failCall = kFailures[choice % 5];
            platform.failWrites.clear();
            if (choice & 0x80) // a write that fails in the middle of what follows
                platform.failWrites.push_back(writesBefore + in.Byte() % 40);
            const std::string parameters = choice & 0x40 ? in.Text(24) : kParameters[in.Byte() % 6];
            unsigned char ok = 0xEE;
            const std::string result = DISPLAYDLL_Init(static_cast<int>(in.Slot()), 0, parameters.c_str(), &ok);
            Require((ok == 1 && result == DISPLAYDLL_DriverName()) ||
                    (ok == 0 && result.compare(0, 22, "ZAVVFD.DLL Exception: ") == 0));
            havePort = true;
            portOpen = ok == 1;
            break;
        }
        case 1:
            DISPLAYDLL_Done();
            havePort = portOpen = false;
            break;
        case 2:
            Require(std::string(DISPLAYDLL_DriverName()) == "ZAV VFD Display DLL v1.0");
            break;
        case 3:
            Require(std::string(DISPLAYDLL_Usage()) == "Usage: COM1,38400");
            Require(std::string(DISPLAYDLL_DefaultParameters()) == "COM1,38400");
            break;
        case 4:
            DISPLAYDLL_SetPosition(static_cast<int>(in.Slot()), in.Slot());
            writes = 2;
            break;
        case 5: {
            const std::string text = in.Text(64);
            DISPLAYDLL_Write(in.Byte() == 0 ? nullptr : text.c_str());
            writes = 3;
            break;
        }
        case 6: {
            const std::uint32_t number = in.Slot();
            Require(DISPLAYDLL_CustomCharIndex(number) == static_cast<std::uint8_t>(number + 7));
            break;
        }
        case 7: {
            const std::uint32_t number = in.Slot();
            unsigned char rows[8];
            for (unsigned char& row : rows)
                row = in.Byte();
            const bool nullRows = (number & 0x100) != 0;
            DISPLAYDLL_CustomChar(number, nullRows ? nullptr : rows);
            writes = nullRows ? 0 : 33;
            if (portOpen && !nullRows && static_cast<std::uint8_t>(number - 1) >= 8)
                badGlyphRows += 8;
            break;
        }
        default:
            DISPLAYDLL_SetBrightness(in.Slot());
            writes = 3;
            break;
        }
        Require(platform.writes.size() - writesBefore == (havePort ? writes : 0));
    }
    DISPLAYDLL_Done();

    // Everything the driver sent to a device decodes.
    std::vector<std::uint8_t> stream;
    for (const fake::Write& write : platform.writes)
        if (write.device != 0)
            stream.insert(stream.end(), write.bytes.begin(), write.bytes.end());
    vfd::Screen screen(2, 20);
    vfd::Decoder decoder(screen);
    decoder.Feed(stream.data(), stream.size(), nullptr);
    Require(decoder.Malformed() == badGlyphRows);
    return 0;
}
