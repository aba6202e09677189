// The serial port module against the recording platform layer: field splitting,
// integer conversion, settings strings, and the exact platform calls of Open.
#include <gtest/gtest.h>

#include "SERPORT.h"
#include "fake_platform.h"

using serport::EInOutError;
using serport::NextField;
using serport::TextToInt32;
using serport::TSerialPort;

namespace {

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    fake::Platform& platform = fake::Recorder();
};

// The message of the EInOutError that action raises, or "(none)".
template <typename Action>
std::string RaisedMessage(Action action)
{
    try {
        action();
    } catch (const EInOutError& error) {
        return error.what();
    }
    return "(none)";
}

TEST(NextFieldTest, SplitsTrimsAndUpperCases)
{
    struct Case { std::string source, field, rest; };
    const Case cases[] = {
        {"COM1,38400", "COM1", "38400"},
        {" com2 , 38400", "COM2", " 38400"},
        {"38400", "38400", ""},
        {"", "", ""},
        {",x", "", "x"},
        {"\t\x01 a-z\x7f\xe9 \r,", "A-Z\x7f\xe9", ""}, // only codes 0-32 are trimmed, only a-z change
        {"a,b,c", "A", "b,c"},
    };
    for (const Case& c : cases) {
        std::string source = c.source;
        EXPECT_EQ(NextField(source), c.field) << "source: " << c.source;
        EXPECT_EQ(source, c.rest) << "source: " << c.source;
    }
}

TEST(TextToInt32Test, AcceptsDecimalAndPrefixedHexOnly)
{
    struct Case { const char* text; bool accepted; std::int32_t value; };
    const Case cases[] = {
        {"38400", true, 38400},
        {"+5", true, 5},
        {"-1", true, -1},
        {"  7", true, 7},
        {"007", true, 7},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"$9600", true, 0x9600},
        {"X1f", true, 0x1F},
        {"0X10", true, 16},
        {"$FFFFFFFF", true, -1},
        {"$000000001", true, 1}, // leading zeros are not significant
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"$123456789", false, 0}, // nine significant hex digits
        {"", false, 0},
        {"   ", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"0X", false, 0},
        {"-$10", false, 0},
        {"+0X10", false, 0},
        {"\t7", false, 0}, // only blanks are skipped
        {"7 ", false, 0},
        {"1.5", false, 0},
        {"FAST", false, 0},
        {"$G", false, 0},
    };
    for (const Case& c : cases) {
        std::int32_t value = 12345;
        EXPECT_EQ(TextToInt32(c.text, value), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST_F(SerialPortTest, SystemTextLosesTrailingBlanksControlsAndFullStops)
{
    struct Case { std::string raw, trimmed; };
    const Case cases[] = {
        {"Access is denied.\r\n", "Access is denied"},
        {"Done. . .\t \r\n", "Done"},
        {"v1.0 ready", "v1.0 ready"},
        {"Caf\xe9.\r\n", "Caf\xe9"}, // codes 128-255 stay
        {"\r\n", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        platform.texts[77] = c.raw;
        EXPECT_EQ(serport::SystemErrorText(77), c.trimmed);
    }
    EXPECT_EQ(serport::SystemErrorText(78), ""); // a code without a message
}

TEST_F(SerialPortTest, OpenFromSettingsHandsTheFieldsToOpen)
{
    struct Case {
        std::string settings;
        std::string path;
        std::uint32_t baud;
        std::uint8_t dataBits, parity, stopBits;
        std::uint32_t flagWord;
    };
    const Case cases[] = {
        {"COM1,38400,8,N,1", "\\\\.\\COM1", 38400, 8, 0, 0, 1},
        {"com3 , 38400 , 7 , even , 2", "\\\\.\\COM3", 38400, 7, 2, 2, 1},
        {"5,38400,8,N,1", "\\\\.\\COM5", 38400, 8, 0, 0, 1},
        {"COM300,38400,8,N,1", "\\\\.\\COM44", 38400, 8, 0, 0, 1},
        {"COM1,$9600,8,N,1", "\\\\.\\COM1", 38400, 8, 0, 0, 1},
        {"COM1,38400,8,N,1,16", "\\\\.\\COM1", 38400, 8, 0, 0, 0x11},
        {"COM1,38400,8,N,1,,extra", "\\\\.\\COM1", 38400, 8, 0, 0, 1},
        {"COM 7,38400,8,N,1", "\\\\.\\COM7", 38400, 8, 0, 0, 1},
        {"COM-1,38400,8,N,1", "\\\\.\\COM255", 38400, 8, 0, 0, 1},
        {"COM0,38400,8,N,1", "\\\\.\\COM0", 38400, 8, 0, 0, 1},
        {"COM12,38400,8,N,1", "\\\\.\\COM12", 38400, 8, 0, 0, 1},
        {"COM1,38400,264,N,1", "\\\\.\\COM1", 38400, 8, 0, 0, 1},
        {"COM1,38400,8,N,1,$10000", "\\\\.\\COM1", 38400, 8, 0, 0, 1},
        {"COM1,38400,8,N,1,$FFFF", "\\\\.\\COM1", 38400, 8, 0, 0, 0xFFFF},
        {"COM1,0,3,O,1.5", "\\\\.\\COM1", 0, 3, 1, 1, 1}, // no range tests: the platform judges
        {"COM1,-1,8,M,2", "\\\\.\\COM1", 0xFFFFFFFF, 8, 3, 2, 1},
        {"COM1,38400,8,SPACE,1", "\\\\.\\COM1", 38400, 8, 4, 0, 1},
    };
    for (const Case& c : cases) {
        fake::Reset();
        TSerialPort port;
        EXPECT_NO_THROW(port.OpenFromSettings(c.settings)) << c.settings;
        EXPECT_EQ(platform.openedPath, c.path) << c.settings;
        EXPECT_EQ(platform.line.baudRate, c.baud) << c.settings;
        EXPECT_EQ(platform.line.byteSize, c.dataBits) << c.settings;
        EXPECT_EQ(platform.line.parity, c.parity) << c.settings;
        EXPECT_EQ(platform.line.stopBits, c.stopBits) << c.settings;
        EXPECT_EQ(platform.line.flagWord, c.flagWord) << c.settings;
    }
}

TEST_F(SerialPortTest, OpenFromSettingsNamesTheFirstBadField)
{
    struct Case { const char* settings; const char* message; };
    const Case cases[] = {
        {"COMX,38400,8,N,1", "Invalid COM port name"},
        {",38400,8,N,1", "Invalid COM port name"},
        {"COM,38400,8,N,1", "Invalid COM port name"},
        {"COMCOM1,38400,8,N,1", "Invalid COM port name"},
        {"XCOM7,38400,8,N,1", "Invalid COM port name"},
        {"COM\t7,38400,8,N,1", "Invalid COM port name"},
        {"COMX,fast", "Invalid COM port name"},
        {"", "Invalid COM port name"},
        {"COM1,fast,8,N,1", "Invalid Baud Rate"},
        {"COM1,,8,N,1", "Invalid Baud Rate"},
        {"COM1,-$10,8,N,1", "Invalid Baud Rate"},
        {"COM1,38400,eight,N,1", "Invalid Data Bits"},
        {"COM1,38400,8,X,1", "Invalid Parity"},
        {"COM1,38400,8,,1", "Invalid Parity"},
        {"COM1,38400,8,N,1.50", "Invalid Stop Bits"},
        {"COM1,38400,8,N", "Invalid Stop Bits"},
        {"COM1,38400,8,N,1,x", "Invalid Flags Field"},
    };
    for (const Case& c : cases) {
        fake::Reset();
        TSerialPort port;
        EXPECT_EQ(RaisedMessage([&] { port.OpenFromSettings(c.settings); }), c.message) << c.settings;
        EXPECT_TRUE(platform.calls.empty()) << c.settings << ": nothing is opened";
        EXPECT_EQ(port.Handle, 0u);
    }
}

TEST_F(SerialPortTest, OpenMakesExactlyTheDocumentedCalls)
{
    {
        TSerialPort port;
        EXPECT_TRUE(port.Open("\\\\.\\COM4", 9600, 8, 0, 0, 0));
        EXPECT_EQ(port.Handle, 0x100u);
        EXPECT_EQ(platform.calls, (std::vector<std::string>{"OpenDevice", "ApplyLineRecord", "ApplyTimeouts"}));
        EXPECT_EQ(platform.openedPath, "\\\\.\\COM4");
        EXPECT_EQ(platform.request.desiredAccess, 0xC0000000u);
        EXPECT_EQ(platform.request.shareMode, 0u);
        EXPECT_FALSE(platform.request.inheritHandle);
        EXPECT_EQ(platform.request.creationDisposition, 3u);
        EXPECT_EQ(platform.request.flagsAndAttributes, 0x80u);
        EXPECT_EQ(platform.line.flagWord, 1u); // binary only: no parity check, no flow control, DTR/RTS off
        EXPECT_EQ(platform.timeouts.readIntervalTimeout, 0xFFFFFFFFu);
        EXPECT_EQ(platform.timeouts.readTotalTimeoutMultiplier, 0u);
        EXPECT_EQ(platform.timeouts.readTotalTimeoutConstant, 0u);
        EXPECT_EQ(platform.timeouts.writeTotalTimeoutMultiplier, 0u);
        EXPECT_EQ(platform.timeouts.writeTotalTimeoutConstant, 0u);
        EXPECT_TRUE(platform.closed.empty());
    }
    // Destroying the port flushes, then closes.
    EXPECT_EQ(platform.flushed, (std::vector<serport::platform::Handle>{0x100}));
    EXPECT_EQ(platform.closed, (std::vector<serport::platform::Handle>{0x100}));
    EXPECT_EQ(platform.calls.back(), "CloseDevice");
}

TEST_F(SerialPortTest, FailedOpenClosesWithoutFlushAndRaisesTheSystemText)
{
    struct Case { const char* failCall; std::uint32_t code; bool closes; const char* message; };
    const Case cases[] = {
        {"OpenDevice", 2, false, "The system cannot find the file specified"},
        {"ApplyLineRecord", 5, true, "Access is denied"},
        {"ApplyTimeouts", 87, true, ""}, // a code without a system text
    };
    for (const Case& c : cases) {
        fake::Reset();
        platform.failCall = c.failCall;
        platform.failCode = c.code;
        {
            TSerialPort port;
            EXPECT_EQ(RaisedMessage([&] { port.Open("\\\\.\\COM1", 38400, 8, 0, 0, 0); }), c.message) << c.failCall;
            EXPECT_EQ(port.Handle, 0u) << c.failCall;
            EXPECT_FALSE(port.WriteByte(0x41)) << "no device, no raise";
        }
        EXPECT_TRUE(platform.flushed.empty()) << c.failCall;
        EXPECT_EQ(platform.closed.size(), c.closes ? 1u : 0u) << c.failCall << ": destroying closes nothing more";
    }
}

TEST_F(SerialPortTest, EmptyPathIsRefusedBeforeAnyPlatformCall)
{
    TSerialPort port;
    port.Handle = 0x55; // whatever it held stays
    EXPECT_EQ(RaisedMessage([&] { port.Open("", 38400, 8, 0, 0, 0); }), "Illegal com port name!");
    EXPECT_EQ(port.Handle, 0x55u);
    EXPECT_TRUE(platform.calls.empty());
    port.Handle = 0;
}

TEST_F(SerialPortTest, WritesAreOnePlatformWriteEach)
{
    TSerialPort port;
    port.Open("\\\\.\\COM1", 38400, 8, 0, 0, 0);
    EXPECT_TRUE(port.WriteByte(0xA7));
    EXPECT_TRUE(port.WriteBuffer("Hi", 2));
    EXPECT_TRUE(port.WriteBuffer("", 0));
    EXPECT_FALSE(port.WriteBuffer("Hi", -1)); // never a huge read past the buffer
    platform.failWrites = {3};
    EXPECT_FALSE(port.WriteByte(0x00));
    EXPECT_EQ(platform.WriteSizes(), (std::vector<std::size_t>{1, 2, 0, 1}));
}

} // namespace
