// The exports against the recording platform layer: startup parameters and their
// texts, the lifecycle, and the exact platform writes of every display command.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "zavvfd.h"

namespace {

const std::string kDriverName = "ZAV VFD Display DLL v1.0";
const std::string kPrefix = "ZAVVFD.DLL Exception: ";
using Bytes = std::vector<std::uint8_t>;
using Sizes = std::vector<std::size_t>;

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override { DISPLAYDLL_Done(); }

    // Starts the driver on a port that opens, and forgets the calls made so far.
    void StartDriver()
    {
        unsigned char ok = 0;
        ASSERT_EQ(DISPLAYDLL_Init(0, 0, "COM5,38400", &ok), kDriverName);
        ASSERT_EQ(ok, 1);
        platform.calls.clear();
        platform.writes.clear();
    }

    fake::Platform& platform = fake::Recorder();
};

TEST_F(DriverTest, DescriptiveTextsAnswerAtAnyTime)
{
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(DISPLAYDLL_DriverName(), kDriverName);
        EXPECT_STREQ(DISPLAYDLL_Usage(), "Usage: COM1,38400");
        EXPECT_STREQ(DISPLAYDLL_DefaultParameters(), "COM1,38400");
        StartDriver();
        DISPLAYDLL_Done();
    }
}

TEST_F(DriverTest, StartupParametersBecomeEightNOneSettings)
{
    struct Case { const char* parameters; std::string path; std::uint32_t baud; };
    const Case cases[] = {
        {"COM1,38400", "\\\\.\\COM1", 38400},
        {"com2 , 38400", "\\\\.\\COM2", 38400},
        {"COM1,38400,7,E,2", "\\\\.\\COM1", 38400}, // only two fields count
        {"COM3,$2580", "\\\\.\\COM3", 9600},
        {"4,115200", "\\\\.\\COM4", 115200},
    };
    for (const Case& c : cases) {
        fake::Reset();
        unsigned char ok = 7;
        EXPECT_EQ(DISPLAYDLL_Init(0, 0, c.parameters, &ok), kDriverName) << c.parameters;
        EXPECT_EQ(ok, 1) << c.parameters;
        EXPECT_EQ(platform.openedPath, c.path) << c.parameters;
        EXPECT_EQ(platform.line.baudRate, c.baud) << c.parameters;
        EXPECT_EQ(platform.line.byteSize, 8) << c.parameters;
        EXPECT_EQ(platform.line.parity, 0) << c.parameters;
        EXPECT_EQ(platform.line.stopBits, 0) << c.parameters;
        EXPECT_EQ(platform.line.flagWord, 1u) << c.parameters;
        DISPLAYDLL_Done();
    }
}

TEST_F(DriverTest, FailuresComeBackAsPrefixedTextAndFalseFlag)
{
    struct Case { const char* parameters; const char* failCall; std::uint32_t code; std::string text; };
    const Case cases[] = {
        {"COM1", "", 0, kPrefix + "Invalid Baud Rate"},
        {"", "", 0, kPrefix + "Invalid COM port name"},
        {nullptr, "", 0, kPrefix + "Invalid COM port name"},
        {"COMX,fast", "", 0, kPrefix + "Invalid COM port name"},
        {"COM9,38400", "OpenDevice", 2, kPrefix + "The system cannot find the file specified"},
        {"COM9,38400", "ApplyLineRecord", 5, kPrefix + "Access is denied"},
        {"COM9,38400", "ApplyTimeouts", 1234, kPrefix}, // no system text: the prefix alone
    };
    for (const Case& c : cases) {
        fake::Reset();
        platform.failCall = c.failCall;
        platform.failCode = c.code;
        unsigned char ok = 7;
        const char* text = DISPLAYDLL_Init(0, 0, c.parameters, &ok);
        EXPECT_EQ(ok, 0) << c.text;
        EXPECT_EQ(text, c.text);
        // The text stays readable after the call, until the next failure.
        DISPLAYDLL_DriverName();
        EXPECT_EQ(text, c.text);
        DISPLAYDLL_Done();
    }
}

TEST_F(DriverTest, NullFlagPointerIsNotWritten)
{
    EXPECT_EQ(DISPLAYDLL_Init(0, 0, "COM5,38400", nullptr), kDriverName);
    EXPECT_EQ(DISPLAYDLL_Init(0, 0, "COM5", nullptr), kPrefix + "Invalid Baud Rate");
}

TEST_F(DriverTest, SecondInitReleasesTheEarlierPortFirst)
{
    DISPLAYDLL_Init(0, 0, "COM5,38400", nullptr);
    DISPLAYDLL_Init(0, 0, "COM5,38400", nullptr);
    EXPECT_EQ(platform.flushed, (std::vector<serport::platform::Handle>{0x100}));
    EXPECT_EQ(platform.closed, (std::vector<serport::platform::Handle>{0x100}));
    DISPLAYDLL_Done();
    EXPECT_EQ(platform.closed, (std::vector<serport::platform::Handle>{0x100, 0x101}));
}

TEST_F(DriverTest, DoneWithoutPortDoesNothing)
{
    DISPLAYDLL_Done();
    DISPLAYDLL_Done();
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(DriverTest, CommandsBecomeExactPlatformWrites)
{
    const unsigned char glyph[8] = {0xFF, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F};
    struct Case { const char* name; std::function<void()> call; Bytes bytes; Sizes sizes; };
    const Case cases[] = {
        {"Write Hi", [] { DISPLAYDLL_Write("Hi"); }, {0x00, 0xA7, 'H', 'i'}, {1, 1, 2}},
        {"Write empty", [] { DISPLAYDLL_Write(""); }, {0x00, 0xA7}, {1, 1, 0}},
        {"Write null", [] { DISPLAYDLL_Write(nullptr); }, {0x00, 0xA7}, {1, 1, 0}},
        {"Write high bytes", [] { DISPLAYDLL_Write("\x80\xff\x08"); }, {0x00, 0xA7, 0x80, 0xFF, 0x08}, {1, 1, 3}},
        {"SetPosition 1", [] { DISPLAYDLL_SetPosition(17, 1); }, {0x00, 0xA1}, {1, 1}},
        {"SetPosition 2", [] { DISPLAYDLL_SetPosition(0, 2); }, {0x00, 0xA2}, {1, 1}},
        {"SetPosition 0", [] { DISPLAYDLL_SetPosition(0, 0); }, {0x00, 0xA2}, {1, 1}},
        {"SetPosition 257", [] { DISPLAYDLL_SetPosition(0, 257); }, {0x00, 0xA1}, {1, 1}},
        {"SetBrightness 0", [] { DISPLAYDLL_SetBrightness(0); }, {0x00, 0xA5, 0x3B}, {1, 1, 1}},
        {"SetBrightness 63", [] { DISPLAYDLL_SetBrightness(63); }, {0x00, 0xA5, 0x3B}, {1, 1, 1}},
        {"SetBrightness 64", [] { DISPLAYDLL_SetBrightness(64); }, {0x00, 0xA5, 0x3A}, {1, 1, 1}},
        {"SetBrightness 128", [] { DISPLAYDLL_SetBrightness(128); }, {0x00, 0xA5, 0x39}, {1, 1, 1}},
        {"SetBrightness 255", [] { DISPLAYDLL_SetBrightness(255); }, {0x00, 0xA5, 0x38}, {1, 1, 1}},
        {"SetBrightness 256", [] { DISPLAYDLL_SetBrightness(256); }, {0x00, 0xA5, 0x3B}, {1, 1, 1}},
        {"CustomChar 1", [&] { DISPLAYDLL_CustomChar(1, glyph); },
         {0x00, 0xAB, 0, 0, 0x1F, 0xAB, 0, 1, 0x11, 0xAB, 0, 2, 0, 0xAB, 0, 3, 0,
          0xAB, 0, 4, 0, 0xAB, 0, 5, 0, 0xAB, 0, 6, 0, 0xAB, 0, 7, 0x1F},
         Sizes(33, 1)},
        {"CustomChar null rows", [] { DISPLAYDLL_CustomChar(1, nullptr); }, {}, {}},
        {"CustomCharIndex", [] { DISPLAYDLL_CustomCharIndex(1); }, {}, {}},
    };
    StartDriver();
    for (const Case& c : cases) {
        platform.writes.clear();
        c.call();
        EXPECT_EQ(platform.Bytes(), c.bytes) << c.name;
        EXPECT_EQ(platform.WriteSizes(), c.sizes) << c.name;
    }
}

TEST_F(DriverTest, CustomCharacterSlotsWrapAroundAndMaskRows)
{
    const unsigned char rows[8] = {0xE0, 0xFF, 0x20, 0x3F, 0, 0, 0, 0};
    struct Case { unsigned int number; std::uint8_t slot; };
    for (const Case& c : {Case{8, 7}, Case{0, 0xFF}, Case{257, 0}}) {
        StartDriver();
        DISPLAYDLL_CustomChar(c.number, rows);
        const Bytes bytes = platform.Bytes();
        ASSERT_EQ(bytes.size(), 33u);
        for (int row = 0; row < 8; ++row) {
            EXPECT_EQ(bytes[1 + row * 4 + 1], c.slot) << "number " << c.number;
            EXPECT_EQ(bytes[1 + row * 4 + 3], rows[row] & 0x1F);
        }
    }
}

TEST_F(DriverTest, CustomCharIndexIsNumberPlusSevenInEightBits)
{
    struct Case { unsigned int number; unsigned char code; };
    for (const Case& c : {Case{1, 8}, Case{8, 15}, Case{0, 7}, Case{255, 6}, Case{0x101, 8}})
        EXPECT_EQ(DISPLAYDLL_CustomCharIndex(c.number), c.code) << c.number;
}

TEST_F(DriverTest, FailedWriteDoesNotStopTheCommand)
{
    StartDriver();
    const unsigned char rows[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    platform.failWrites = {0, 5};
    DISPLAYDLL_CustomChar(1, rows);
    EXPECT_EQ(platform.writes.size(), 33u);
    platform.writes.clear();
    platform.failWrites = {1};
    DISPLAYDLL_Write("abc");
    EXPECT_EQ(platform.Bytes(), (Bytes{0x00, 0xA7, 'a', 'b', 'c'}));
}

TEST_F(DriverTest, NothingIsSentWithoutAPortAndNothingReachesAFailedOne)
{
    auto sendAll = [] {
        const unsigned char rows[8] = {};
        DISPLAYDLL_Write("Hi");
        DISPLAYDLL_SetPosition(0, 1);
        DISPLAYDLL_CustomChar(1, rows);
        DISPLAYDLL_SetBrightness(255);
    };
    sendAll(); // before Init
    StartDriver();
    DISPLAYDLL_Done();
    DISPLAYDLL_Done();
    sendAll(); // after Done
    EXPECT_TRUE(platform.writes.empty());

    platform.failCall = "OpenDevice";
    unsigned char ok = 1;
    DISPLAYDLL_Init(0, 0, "COM5,38400", &ok);
    ASSERT_EQ(ok, 0);
    sendAll(); // after a failed Init: every write goes to no device and fails
    for (const fake::Write& write : platform.writes)
        EXPECT_EQ(write.device, 0u);
}

} // namespace
