// The cost of each display command on the Windows build, beside a baseline that
// makes the same WriteFile calls on the driver's own handle. Run under wine64 by
// tests/wine/run.sh (COM5 <-> COM6); Wine adds its own cost to both sides.
// Prints one line per command: "RESULT <command> <driver ns> <baseline ns>" (medians).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "display_cases.h"
#include "display_library.h"
#include "win_far_end.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

// Handles of character devices open in this process.
std::set<HANDLE> CharacterHandles()
{
    std::set<HANDLE> handles;
    for (std::uintptr_t value = 4; value < 65536; value += 4) {
        const HANDLE handle = reinterpret_cast<HANDLE>(value);
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        if (GetCommState(handle, &dcb))
            handles.insert(handle);
    }
    return handles;
}

void Write1(HANDLE port, std::uint8_t byte)
{
    DWORD written = 0;
    WriteFile(port, &byte, 1, &written, nullptr);
}

// Median time per call, in ns, of `driver` and `baseline`. Wine's own cost comes
// and goes in phases, so the two alternate in small batches (about 200 us each)
// for about two seconds, and each side's median is taken over all its batches.
void Compare(const char* command, const std::function<void()>& driver, const std::function<void()>& baseline)
{
    int calls = 1;
    for (;; calls *= 2) {
        const double start = Now();
        for (int i = 0; i < calls; ++i)
            driver();
        if (Now() - start >= 200e3 || calls >= (1 << 20))
            break;
    }
    std::vector<double> driverTimes, baselineTimes;
    for (double begin = Now(); Now() - begin < 2e9;) {
        for (bool isDriver : {driverTimes.size() % 2 == 0, driverTimes.size() % 2 != 0}) {
            const std::function<void()>& call = isDriver ? driver : baseline;
            const double start = Now();
            for (int i = 0; i < calls; ++i)
                call();
            (isDriver ? driverTimes : baselineTimes).push_back((Now() - start) / calls);
        }
    }
    auto median = [](std::vector<double>& times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    std::printf("RESULT %s %.1f %.1f\n", command, median(driverTimes), median(baselineTimes));
    std::fflush(stdout);
}

} // namespace

int main()
{
    FarEnd remote(6);
    remote.Discard(true);
    DisplayLibrary library("zavvfd.dll");
    if (!library.Usable() || !remote.Open()) {
        std::fprintf(stderr, "win_bench: zavvfd.dll or COM6 not available\n");
        return 1;
    }
    const DisplayApi& d = library.api;
    const std::set<HANDLE> before = CharacterHandles();
    unsigned char ok = 0;
    d.Init(0, 0, "COM5,38400", &ok);
    HANDLE port = INVALID_HANDLE_VALUE;
    for (HANDLE handle : CharacterHandles())
        if (!before.count(handle))
            port = handle;
    if (!ok || port == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "win_bench: the driver did not open COM5\n");
        return 1;
    }

    for (std::size_t size : {std::size_t{0}, std::size_t{20}, std::size_t{1024}, std::size_t{100 * 1024}}) {
        const std::string text = LongText(size);
        const std::string name = "Write/" + std::to_string(size);
        Compare(name.c_str(), [&] { d.Write(text.c_str()); },
                [&] {
                    Write1(port, 0x00);
                    Write1(port, 0xA7);
                    DWORD written = 0;
                    WriteFile(port, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
                });
    }
    Compare("SetPosition", [&] { d.SetPosition(0, 2); },
            [&] {
                Write1(port, 0x00);
                Write1(port, 0xA2);
            });
    static const unsigned char rows[8] = {0x00, 0x0A, 0x1F, 0x1F, 0x0E, 0x04, 0x00, 0x00};
    Compare("CustomChar", [&] { d.CustomChar(1, rows); },
            [&] {
                Write1(port, 0x00);
                for (std::uint8_t row = 0; row < 8; ++row) {
                    Write1(port, 0xAB);
                    Write1(port, 0);
                    Write1(port, row);
                    Write1(port, rows[row] & 0x1F);
                }
            });
    Compare("SetBrightness", [&] { d.SetBrightness(200); },
            [&] {
                Write1(port, 0x00);
                Write1(port, 0xA5);
                Write1(port, 0x38);
            });
    unsigned char (*volatile bare)(unsigned int) = [](unsigned int n) { return static_cast<unsigned char>(n + 7); };
    Compare("CustomCharIndex", [&] { d.CustomCharIndex(1); }, [&] { bare(1); });

    d.Done();
    Compare("InitDone",
            [&] {
                d.Init(0, 0, "COM5,38400", &ok);
                d.Done();
            },
            [&] {
                SECURITY_ATTRIBUTES security{sizeof(security), nullptr, FALSE};
                const HANDLE bareport = CreateFileA("\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, &security,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                DCB dcb{};
                dcb.DCBlength = sizeof(dcb);
                dcb.BaudRate = 38400;
                dcb.fBinary = 1;
                dcb.ByteSize = 8;
                SetCommState(bareport, &dcb);
                COMMTIMEOUTS timeouts{};
                timeouts.ReadIntervalTimeout = MAXDWORD;
                SetCommTimeouts(bareport, &timeouts);
                FlushFileBuffers(bareport);
                CloseHandle(bareport);
            });
    return 0;
}
