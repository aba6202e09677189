// The Windows library loaded with LoadLibraryA/GetProcAddress as a host loads it,
// run under wine64 by tests/wine/run.sh, which maps the COM ports:
//   COM5 <-> COM6   a null-modem cable (two pseudo-terminals joined by socat);
//                   the driver opens COM5, the test reads what arrives on COM6
//   COM10           mapped to a device that does not exist
//   COM99           not mapped at all
// ZAVVFD_HOLDERS_DIR names a folder where the runner counts, on request, the
// handles open on COM5's device (as descriptors of the wineserver).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <malloc.h>

#include <chrono>
#include <iostream>

#include "SERPORT.h"
#include "display_cases.h"
#include "win_far_end.h"
#include "display_library.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

const std::string kDriverName = "ZAV VFD Display DLL v1.0";
const std::string kPrefix = "ZAVVFD.DLL Exception: ";

// The system's text for a code, trimmed as the driver trims it.
std::string SystemText(DWORD code)
{
    char text[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        0, text, sizeof(text), nullptr);
    std::string result(text, length);
    while (!result.empty() && (static_cast<unsigned char>(result.back()) <= 32 || result.back() == '.'))
        result.pop_back();
    return result;
}


// Asks the runner (tests/wine/run.sh) to do something; its answer, or "" without one.
std::string AskRunner(const char* request)
{
    const char* folder = std::getenv("ZAVVFD_HOLDERS_DIR");
    if (folder == nullptr)
        return "";
    const std::string requestFile = std::string(folder) + "\\request";
    const std::string answerFile = std::string(folder) + "\\answer";
    DeleteFileA(answerFile.c_str());
    std::ofstream(requestFile) << request << "\n";
    for (int waited = 0; waited < 10000; waited += 20) {
        std::ifstream in(answerFile);
        std::string answer;
        if (std::getline(in, answer))
            return answer;
        Sleep(20);
    }
    return "";
}

// How many handles are open on COM5's device (-1: no answer).
int Holders()
{
    const std::string answer = AskRunner("count");
    return answer.empty() ? -1 : std::stoi(answer);
}

class WindowsHostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(library->Usable()) << library->LoadError(); }
    void TearDown() override
    {
        if (library)
            library->api.Done();
    }
    std::string Init(const char* parameters, unsigned char& ok) { return d().Init(0, 0, parameters, &ok); }
    const DisplayApi& d() const { return library->api; }

    std::unique_ptr<DisplayLibrary> library = std::make_unique<DisplayLibrary>("zavvfd.dll");
};

TEST_F(WindowsHostTest, InitOpensAtEightNOneAndDoneCloses)
{
    struct Case { const char* parameters; DWORD baud; };
    for (const Case& c : {Case{"COM5,38400", 38400}, Case{"com5 , 9600", 9600}, Case{"COM5,$1C200", 115200}}) {
        unsigned char ok = 7;
        EXPECT_EQ(Init(c.parameters, ok), kDriverName) << c.parameters;
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(Holders(), 1) << c.parameters;
        // Wine lets a second handle in, which shows the line as the driver set it.
        HANDLE look = OpenCom(5);
        ASSERT_NE(look, INVALID_HANDLE_VALUE);
        DCB line{};
        line.DCBlength = sizeof(line);
        ASSERT_TRUE(GetCommState(look, &line));
        CloseHandle(look);
        EXPECT_EQ(line.BaudRate, c.baud) << c.parameters;
        EXPECT_EQ(line.ByteSize, 8);
        EXPECT_EQ(line.Parity, NOPARITY);
        EXPECT_EQ(line.StopBits, ONESTOPBIT);
        EXPECT_FALSE(line.fOutxCtsFlow || line.fOutX || line.fInX) << "no flow control";
        d().Done();
        EXPECT_EQ(Holders(), 0) << c.parameters;
    }
}

TEST_F(WindowsHostTest, FailuresCarryThePrefixAndTheSystemText)
{
    struct Case { const char* parameters; std::string text; };
    const Case cases[] = {
        {"COM99,38400", kPrefix + SystemText(ERROR_FILE_NOT_FOUND)}, // no such port
        {"COM10,38400", kPrefix + SystemText(ERROR_INVALID_FUNCTION)}, // the device is missing
        {"COM5", kPrefix + "Invalid Baud Rate"},
        {nullptr, kPrefix + "Invalid COM port name"},
    };
    for (const Case& c : cases) {
        unsigned char ok = 7;
        EXPECT_EQ(Init(c.parameters, ok), c.text);
        EXPECT_EQ(ok, 0);
        d().Done();
    }
    EXPECT_EQ(Holders(), 0);
}

TEST_F(WindowsHostTest, NullFlagSecondInitAndUnloadLeaveNothingHeld)
{
    EXPECT_EQ(std::string(d().Init(0, 0, "COM5,38400", nullptr)), kDriverName);
    EXPECT_EQ(std::string(d().Init(0, 0, "COM5,38400", nullptr)), kDriverName);
    EXPECT_EQ(Holders(), 1) << "the earlier port is released first";
    library.reset(); // FreeLibrary with the port still open
    EXPECT_EQ(Holders(), 0);
}

TEST_F(WindowsHostTest, EveryCommandArrivesByteExact)
{
    FarEnd remote(6);
    ASSERT_TRUE(remote.Open());
    unsigned char ok = 0;
    ASSERT_EQ(Init("COM5,38400", ok), kDriverName);
    for (const DisplayCase& c : DisplayCases()) {
        c.call(d());
        EXPECT_EQ(remote.Take(c.bytes.size()), c.bytes) << c.name;
    }
}

TEST_F(WindowsHostTest, LongTextArrivesWhole)
{
    FarEnd remote(6);
    unsigned char ok = 0;
    ASSERT_EQ(Init("COM5,38400", ok), kDriverName);
    const std::string text = LongText(100 * 1024);
    d().Write(text.c_str());
    const Bytes expected = TextCommand(text);
    EXPECT_EQ(remote.Take(expected.size()), expected);
}

TEST_F(WindowsHostTest, NothingArrivesBeforeInitAfterDoneOrAfterAFailedInit)
{
    FarEnd remote(6);
    EXPECT_TRUE(SendOutsideASession(d(), "COM5,38400"));
    EXPECT_EQ(remote.Take(0), Bytes{});
}

TEST_F(WindowsHostTest, DeviceVanishingMidSessionIsSurvived)
{
    unsigned char ok = 0;
    ASSERT_EQ(Init("COM5,38400", ok), kDriverName);
    ASSERT_EQ(AskRunner("unplug"), "unplugged");
    for (int round = 0; round < 3; ++round) {
        SendEveryCommand(d()); // the writes fail; every call returns
        d().Write(LongText(100000).c_str());
    }
    const auto start = std::chrono::steady_clock::now();
    d().Done();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "Done must not hang";
    EXPECT_EQ(Holders(), 0);
    ASSERT_EQ(AskRunner("replug"), "plugged");
    EXPECT_EQ(Init("COM5,38400", ok), kDriverName) << "a new cable works again";
}

TEST_F(WindowsHostTest, TenMegabyteTextGoesOutWhole)
{
    FarEnd remote(6);
    unsigned char ok = 0;
    ASSERT_EQ(Init("COM5,38400", ok), kDriverName);
    const std::string text = LongText(10 * 1024 * 1024);
    d().Write(text.c_str());
    const Bytes received = remote.Take(text.size() + 2);
    ASSERT_EQ(received.size(), text.size() + 2);
    EXPECT_TRUE(std::equal(text.begin(), text.end(), received.begin() + 2,
                           [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
}

// Alternately opening and failing, the driver keeps no handle and no memory.
TEST_F(WindowsHostTest, HundredThousandInitDoneCyclesLeaveNothingBehind)
{
    const char* configured = std::getenv("ZAVVFD_CYCLES");
    const int cycles = configured != nullptr ? std::atoi(configured) : 100000;
    auto cycle = [&](int i) {
        unsigned char ok = 0;
        d().Init(0, 0, i % 2 == 0 ? "COM5,38400" : "COM99,38400", &ok);
        d().Done();
        return ok == (i % 2 == 0 ? 1 : 0);
    };
    // Bytes in use on the C runtime's heap, where the driver's memory comes from.
    auto heapInUse = [] {
        long long used = 0;
        _HEAPINFO entry{};
        while (_heapwalk(&entry) == _HEAPOK)
            if (entry._useflag == _USEDENTRY)
                used += static_cast<long long>(entry._size);
        return used;
    };
    for (int i = 0; i < 1000; ++i) // let the heaps settle first
        ASSERT_TRUE(cycle(i)) << "cycle " << i;
    const long long before = heapInUse();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < cycles; ++i)
        ASSERT_TRUE(cycle(i)) << "cycle " << i;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long long growth = heapInUse() - before;
    std::cout << "[ figures  ] " << cycles << " Init/Done cycles in " << seconds << " s; C heap in use " << before << " bytes, grew by "
              << growth << "; handles left on the port: " << Holders() << "\n";
    EXPECT_EQ(Holders(), 0);
    EXPECT_LE(growth, 0) << "bytes";
}

// The serial module over the Win32 platform layer on its own.
TEST(WindowsPlatformTest, SystemTextsWithInsertsAreNotLost)
{
    // 193 reads "%1 is not a valid Win32 application": without IGNORE_INSERTS the
    // system refuses to format it and the text would come out empty.
    const std::string text = serport::SystemErrorText(ERROR_BAD_EXE_FORMAT);
    EXPECT_NE(text.find("%1"), std::string::npos) << text;
    EXPECT_EQ(text, SystemText(ERROR_BAD_EXE_FORMAT));
    EXPECT_EQ(serport::SystemErrorText(0xDEADBEEF), "") << "a code without a message";
}

// Wine reads the line back from the pseudo-terminal, which forces 8 data bits and
// no parity: the speed and the stop bits are what shows of the line record here.
TEST(WindowsPlatformTest, LineRecordReachesTheDevice)
{
    struct Case { DWORD baud; BYTE dataBits, parity, stopBits; };
    for (const Case& c : {Case{9600, 7, EVENPARITY, TWOSTOPBITS}, Case{115200, 8, ODDPARITY, ONESTOPBIT},
                          Case{19200, 6, NOPARITY, ONESTOPBIT}}) {
        serport::TSerialPort port;
        ASSERT_TRUE(port.Open("\\\\.\\COM5", c.baud, c.dataBits, c.parity, c.stopBits, 0));
        HANDLE look = OpenCom(5); // Wine lets a second handle in
        DCB line{};
        line.DCBlength = sizeof(line);
        ASSERT_TRUE(GetCommState(look, &line));
        CloseHandle(look);
        EXPECT_EQ(line.BaudRate, c.baud);
        EXPECT_EQ(line.StopBits, c.stopBits);
        EXPECT_FALSE(line.fOutxCtsFlow || line.fOutX || line.fInX);
    }
}

} // namespace
