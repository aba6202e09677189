// TSerialPort over the real Linux platform layer, opened directly by device path:
// how each line setting lands in termios, and what the platform refuses.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "SERPORT.h"
#include "linux_fixtures.h"

using serport::EInOutError;
using serport::TSerialPort;

namespace {

std::string OpenFailure(const std::string& path, std::uint32_t baud, std::uint8_t dataBits, std::uint8_t parity,
                        std::uint8_t stopBits)
{
    TSerialPort port;
    try {
        port.Open(path, baud, dataBits, parity, stopBits, 0);
    } catch (const EInOutError& error) {
        EXPECT_EQ(port.Handle, 0u) << path;
        return error.what();
    }
    return "(opened)";
}

TEST(SerialPosixTest, LineSettingsLandInTermios)
{
    struct Case { std::uint32_t baud; std::uint8_t dataBits, parity, stopBits; speed_t speed; tcflag_t cflag; };
    const Case cases[] = {
        {9600, 5, 0, 0, B9600, CS5},
        {19200, 6, 1, 0, B19200, CS6 | PARENB | PARODD},
        {57600, 7, 2, 2, B57600, CS7 | PARENB | CSTOPB},
        {115200, 8, 3, 0, B115200, CS8 | PARENB | PARODD | CMSPAR},
        {4000000, 8, 4, 2, B4000000, CS8 | PARENB | CMSPAR | CSTOPB},
    };
    // A pseudo-terminal forces CS8 and clears PARENB whatever is asked, so only the
    // other bits show here: the odd/mark/space choice, the stop bits, flow control.
    const tcflag_t examined = PARODD | CMSPAR | CSTOPB | CRTSCTS;
    fixtures::PtyPair pty;
    for (const Case& c : cases) {
        TSerialPort port;
        ASSERT_TRUE(port.Open(pty.SlaveName(), c.baud, c.dataBits, c.parity, c.stopBits, 0));
        const termios line = pty.Settings();
        EXPECT_EQ(cfgetospeed(&line), c.speed) << c.baud;
        EXPECT_EQ(line.c_cflag & examined, c.cflag & examined) << c.baud;
        EXPECT_NE(line.c_cflag & (CLOCAL | CREAD), 0u);
        EXPECT_EQ(line.c_cc[VMIN], 0);
        EXPECT_EQ(line.c_cc[VTIME], 0);
    }
}

TEST(SerialPosixTest, WhatTheLineOrThePathCannotBeIsRefused)
{
    fixtures::PtyPair pty;
    const std::string invalid = std::strerror(EINVAL);
    struct Case { std::string path; std::uint32_t baud; std::uint8_t dataBits, stopBits; std::string message; };
    const Case cases[] = {
        {pty.SlaveName(), 12345, 8, 0, invalid},           // no such rate in termios
        {pty.SlaveName(), 38400, 4, 0, invalid},           // 4 data bits
        {pty.SlaveName(), 38400, 9, 0, invalid},
        {pty.SlaveName(), 38400, 8, 1, invalid},           // one and a half stop bits
        {pty.SlaveName(), 38400, 8, 3, invalid},
        {"/dev/null", 38400, 8, 0, std::strerror(ENOTTY)}, // not a serial device
        {"/nonexistent/tty", 38400, 8, 0, std::strerror(ENOENT)},
        {"\\\\.\\COM99999999999", 38400, 8, 0, std::strerror(ENOENT)}, // too long for a COM number
        {"", 38400, 8, 0, "Illegal com port name!"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OpenFailure(c.path, c.baud, c.dataBits, 0, c.stopBits), c.message) << c.path;
    EXPECT_EQ(pty.Holders(), 0) << "every refused open closed its descriptor";
}

TEST(SerialPosixTest, WritesGoOutWholeAndFailQuietlyWithoutADevice)
{
    fixtures::PtyPair pty;
    TSerialPort port;
    EXPECT_FALSE(port.WriteByte(0x41)) << "no device yet";
    ASSERT_TRUE(port.Open(pty.SlaveName(), 38400, 8, 0, 0, 0));
    EXPECT_TRUE(port.WriteByte(0x00));
    EXPECT_TRUE(port.WriteBuffer("Hi", 2));
    EXPECT_TRUE(port.WriteBuffer("", 0));
    EXPECT_EQ(pty.Take(3), (fixtures::Bytes{0x00, 'H', 'i'}));
    pty.HangUp();
    EXPECT_FALSE(port.WriteByte(0x00)) << "the far end is gone";
}

} // namespace
