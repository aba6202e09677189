// Faults of the serial line and of the host, on Linux: a device that vanishes, a
// port held by another process, a very long text, and many Init/Done cycles.
#include <gtest/gtest.h>

#include <malloc.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "display_cases.h"
#include "linux_fixtures.h"

using fixtures::Bytes;
using fixtures::InstalledLibrary;
using fixtures::PtyPair;

namespace {

const std::string kDriverName = "ZAV VFD Display DLL v1.0";
const std::string kPrefix = "ZAVVFD.DLL Exception: ";

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd"); it != std::filesystem::directory_iterator(); ++it)
        ++count;
    return count;
}

class LinuxFaultsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        installed.Map(5, port.SlaveName());
        installed.Map(9, "/nonexistent/zavvfd-port");
        library = installed.Load();
    }
    void TearDown() override { d().Done(); }
    const DisplayApi& d() const { return library->api; }

    PtyPair port;
    InstalledLibrary installed;
    std::unique_ptr<DisplayLibrary> library;
};

TEST_F(LinuxFaultsTest, DeviceVanishingMidSessionIsSurvived)
{
    unsigned char ok = 0;
    ASSERT_EQ(std::string(d().Init(0, 0, "COM5,38400", &ok)), kDriverName);
    d().Write("a");
    EXPECT_EQ(port.Take(3), (Bytes{0x00, 0xA7, 'a'}));
    port.HangUp();
    for (int round = 0; round < 3; ++round) {
        SendEveryCommand(d()); // every write fails; every call returns
        d().Write(LongText(100000).c_str());
    }
    const auto start = std::chrono::steady_clock::now();
    d().Done();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "Done must not hang";
    EXPECT_EQ(port.Holders(), 0);
}

TEST_F(LinuxFaultsTest, TenMegabyteTextGoesOutWhole)
{
    unsigned char ok = 0;
    ASSERT_EQ(std::string(d().Init(0, 0, "COM5,38400", &ok)), kDriverName);
    const std::string text = LongText(10 * 1024 * 1024);
    d().Write(text.c_str());
    const Bytes received = port.Take(text.size() + 2);
    ASSERT_EQ(received.size(), text.size() + 2);
    const Bytes sent(text.begin(), text.end());
    const auto mismatch = std::mismatch(sent.begin(), sent.end(), received.begin() + 2);
    EXPECT_EQ(mismatch.first, sent.end()) << "first difference at byte " << (mismatch.first - sent.begin());
    EXPECT_EQ(received[0], 0x00);
    EXPECT_EQ(received[1], 0xA7);
}

// Alternately opening and failing, the driver keeps no descriptor and no memory.
TEST_F(LinuxFaultsTest, HundredThousandInitDoneCyclesLeaveNothingBehind)
{
    const int cycles = 100000;
    auto cycle = [&](int i) {
        unsigned char ok = 0;
        d().Init(0, 0, i % 2 == 0 ? "COM5,38400" : "COM9,38400", &ok);
        d().Done();
        return ok == (i % 2 == 0 ? 1 : 0);
    };
    for (int i = 0; i < 100; ++i) // let the heap settle first
        ASSERT_TRUE(cycle(i)) << "cycle " << i;
    const std::size_t descriptors = OpenDescriptors();
    const std::size_t heap = mallinfo2().uordblks;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < cycles; ++i)
        ASSERT_TRUE(cycle(i)) << "cycle " << i;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long heapGrowth = static_cast<long>(mallinfo2().uordblks) - static_cast<long>(heap);
    std::cout << "[ figures  ] " << cycles << " Init/Done cycles in " << seconds << " s; descriptors "
              << descriptors << " -> " << OpenDescriptors() << "; heap in use grew by " << heapGrowth << " bytes\n";
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_LE(heapGrowth, 0) << "bytes";
    EXPECT_EQ(port.Holders(), 0);
}

} // namespace
