// The Linux library loaded with dlopen as a host loads it, its COM ports mapped
// to pseudo-terminals through a dosdevices folder beside it.
#include <gtest/gtest.h>

#include <cstring>

#include "display_cases.h"
#include "linux_fixtures.h"

using fixtures::Bytes;
using fixtures::InstalledLibrary;
using fixtures::PtyPair;

namespace {

const std::string kDriverName = "ZAV VFD Display DLL v1.0";
const std::string kPrefix = "ZAVVFD.DLL Exception: ";

class LinuxHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        installed.Map(5, port.SlaveName());
        installed.Map(6, "/dev/null");
        installed.Map(9, "/nonexistent/zavvfd-port");
        library = installed.Load();
    }
    void TearDown() override
    {
        if (library)
            library->api.Done();
    }
    // Init, returning the text; the flag goes to ok.
    std::string Init(const char* parameters, unsigned char& ok) { return d().Init(0, 0, parameters, &ok); }
    const DisplayApi& d() const { return library->api; }

    PtyPair port;
    InstalledLibrary installed;
    std::unique_ptr<DisplayLibrary> library;
};

TEST_F(LinuxHostTest, InitOpensAtEightNOneAndDoneCloses)
{
    struct Case { const char* parameters; speed_t speed; };
    for (const Case& c : {Case{"COM5,38400", B38400}, Case{"com5 , 9600", B9600}, Case{"COM5,$1C200", B115200}}) {
        unsigned char ok = 7;
        EXPECT_EQ(Init(c.parameters, ok), kDriverName) << c.parameters;
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(port.Holders(), 1) << c.parameters;
        const termios line = port.Settings();
        EXPECT_EQ(cfgetospeed(&line), c.speed) << c.parameters;
        EXPECT_EQ(cfgetispeed(&line), c.speed) << c.parameters;
        // (A pseudo-terminal shows CS8 without parity whatever is set; the data bits and
        // parity are checked over the recording platform layer and in serial_posix_test.)
        EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR | CSTOPB | CRTSCTS), 0u) << "one stop bit, no flow control";
        EXPECT_NE(line.c_cflag & CLOCAL, 0u);
        EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u) << "raw";
        EXPECT_EQ(line.c_oflag & OPOST, 0u) << "raw";
        EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u) << "raw";
        EXPECT_NE(port.HolderFlags() & FD_CLOEXEC, 0) << "a child process must not inherit the port";
        EXPECT_TRUE(port.Exclusive());
        d().Done();
        EXPECT_EQ(port.Holders(), 0) << c.parameters;
        EXPECT_FALSE(port.Exclusive()) << "the terminal is left open to the next user";
    }
}

TEST_F(LinuxHostTest, FailuresCarryThePrefixAndTheSystemText)
{
    struct Case { const char* parameters; std::string text; };
    const Case cases[] = {
        {"COM9,38400", kPrefix + std::strerror(ENOENT)},
        {"COM6,38400", kPrefix + std::strerror(ENOTTY)},     // not a serial device
        {"COM5,12345", kPrefix + std::strerror(EINVAL)},     // no such rate on this platform
        {"COM5", kPrefix + "Invalid Baud Rate"},
        {nullptr, kPrefix + "Invalid COM port name"},
    };
    for (const Case& c : cases) {
        unsigned char ok = 7;
        EXPECT_EQ(Init(c.parameters, ok), c.text);
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(port.Holders(), 0) << c.text << ": every failure closes what it opened";
        d().Done();
    }
}

TEST_F(LinuxHostTest, HeldPortIsRefusedAndTheHolderGoesOn)
{
    InstalledLibrary otherHost;
    otherHost.Map(5, port.SlaveName());
    auto other = otherHost.Load();

    unsigned char ok = 0;
    ASSERT_EQ(Init("COM5,38400", ok), kDriverName);
    EXPECT_EQ(std::string(other->api.Init(0, 0, "COM5,38400", &ok)), kPrefix + std::strerror(EBUSY));
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(port.Holders(), 1);
    d().Write("ok");
    EXPECT_EQ(port.Take(4), (Bytes{0x00, 0xA7, 'o', 'k'}));
    other->api.Done();
    d().Done();
    // Once released, the other host gets it.
    EXPECT_EQ(std::string(other->api.Init(0, 0, "COM5,38400", &ok)), kDriverName);
    other->api.Done();
}

TEST_F(LinuxHostTest, NullFlagSecondInitAndUnloadLeaveNothingHeld)
{
    EXPECT_EQ(std::string(d().Init(0, 0, "COM5,38400", nullptr)), kDriverName);
    EXPECT_EQ(std::string(d().Init(0, 0, "COM5,38400", nullptr)), kDriverName) << "the earlier port is released first";
    EXPECT_EQ(port.Holders(), 1);
    library->Unload(); // with the port still open
    library.reset();
    EXPECT_EQ(port.Holders(), 0);
}

TEST_F(LinuxHostTest, EveryCommandArrivesByteExact)
{
    unsigned char ok = 0;
    ASSERT_EQ(Init("COM5,38400", ok), kDriverName);
    for (const DisplayCase& c : DisplayCases()) {
        c.call(d());
        EXPECT_EQ(port.Take(c.bytes.size()), c.bytes) << c.name;
    }
}

TEST_F(LinuxHostTest, LongTextArrivesWhole)
{
    unsigned char ok = 0;
    ASSERT_EQ(Init("COM5,38400", ok), kDriverName);
    const std::string text = LongText(100 * 1024);
    d().Write(text.c_str());
    const Bytes expected = TextCommand(text);
    EXPECT_EQ(port.Take(expected.size()), expected);
}

TEST_F(LinuxHostTest, NothingArrivesBeforeInitAfterDoneOrAfterAFailedInit)
{
    EXPECT_TRUE(SendOutsideASession(d(), "COM5,38400"));
    EXPECT_EQ(port.Take(0), Bytes{});
}

} // namespace
