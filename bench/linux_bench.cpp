// The cost of each display command on the Linux library, beside a baseline that
// makes the same system calls on the same descriptor directly: the least any driver
// of this protocol can cost. The far end of the pseudo-terminal is drained all the time.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "display_cases.h"
#include "linux_fixtures.h"

namespace {

// Heap allocations made by this process (the library's operator new resolves here).
std::atomic<long> allocations{0};

struct Session {
    fixtures::PtyPair port;
    fixtures::InstalledLibrary installed;
    std::unique_ptr<DisplayLibrary> library;
    int driverFd = -1; // the descriptor the driver writes to

    Session()
    {
        installed.Map(5, port.SlaveName());
        port.Discard(true);
        library = installed.Load();
        unsigned char ok = 0;
        library->api.Init(0, 0, "COM5,38400", &ok);
        if (!ok)
            std::abort();
        driverFd = DriverDescriptor();
    }
    ~Session() { library->api.Done(); }

    int DriverDescriptor() const
    {
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const int fd = std::stoi(entry.path().filename());
            if (std::filesystem::read_symlink(entry.path(), error) == port.SlaveName() && fd != port.SlaveFd())
                return fd;
        }
        std::abort();
    }
    std::string LinkPath() const { return (installed.Folder() / "dosdevices" / "com5").string(); }
};

Session& TheSession()
{
    static Session session;
    return session;
}

void Write1(int fd, std::uint8_t byte) { benchmark::DoNotOptimize(write(fd, &byte, 1)); }

// Runs a driver call or its baseline, counting allocations per call.
template <typename Call>
void Measure(benchmark::State& state, Call call)
{
    const long before = allocations.load();
    for (auto _ : state)
        call();
    state.counters["allocs/call"] = static_cast<double>(allocations.load() - before) / state.iterations();
}

void Write(benchmark::State& state, bool driver)
{
    const std::string text = LongText(static_cast<std::size_t>(state.range(0)));
    Session& s = TheSession();
    Measure(state, [&] {
        if (driver) {
            s.library->api.Write(text.c_str());
        } else {
            Write1(s.driverFd, 0x00);
            Write1(s.driverFd, 0xA7);
            benchmark::DoNotOptimize(write(s.driverFd, text.data(), text.size()));
        }
    });
    state.SetBytesProcessed(state.iterations() * static_cast<long>(text.size() + 2));
}

void SetPosition(benchmark::State& state, bool driver)
{
    Session& s = TheSession();
    Measure(state, [&] {
        if (driver) {
            s.library->api.SetPosition(0, 2);
        } else {
            Write1(s.driverFd, 0x00);
            Write1(s.driverFd, 0xA2);
        }
    });
}

void SetBrightness(benchmark::State& state, bool driver)
{
    Session& s = TheSession();
    Measure(state, [&] {
        if (driver) {
            s.library->api.SetBrightness(200);
        } else {
            Write1(s.driverFd, 0x00);
            Write1(s.driverFd, 0xA5);
            Write1(s.driverFd, 0x38);
        }
    });
}

void CustomChar(benchmark::State& state, bool driver)
{
    static const unsigned char rows[8] = {0x00, 0x0A, 0x1F, 0x1F, 0x0E, 0x04, 0x00, 0x00};
    Session& s = TheSession();
    Measure(state, [&] {
        if (driver) {
            s.library->api.CustomChar(1, rows);
        } else {
            Write1(s.driverFd, 0x00);
            for (std::uint8_t row = 0; row < 8; ++row) {
                Write1(s.driverFd, 0xAB);
                Write1(s.driverFd, 0);
                Write1(s.driverFd, row);
                Write1(s.driverFd, rows[row] & 0x1F);
            }
        }
    });
}

// No system call at all: the floor is an empty call through a function pointer.
void CustomCharIndex(benchmark::State& state, bool driver)
{
    Session& s = TheSession();
    unsigned char (*volatile bare)(unsigned int) = [](unsigned int n) { return static_cast<unsigned char>(n + 7); };
    Measure(state, [&] { benchmark::DoNotOptimize(driver ? s.library->api.CustomCharIndex(1) : bare(1)); });
}

// The system calls of an open, set-up and close of the port, as the driver makes them.
void BareInitDone(const std::string& link)
{
    struct stat info{};
    lstat(link.c_str(), &info);
    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    flock(fd, LOCK_EX | LOCK_NB);
    ioctl(fd, TIOCEXCL);
    termios settings{};
    tcgetattr(fd, &settings);
    settings.c_cflag |= CLOCAL;
    tcsetattr(fd, TCSANOW, &settings);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    termios line{};
    line.c_cflag = CREAD | CLOCAL | CS8;
    cfsetispeed(&line, B38400);
    cfsetospeed(&line, B38400);
    tcsetattr(fd, TCSANOW, &line);
    tcgetattr(fd, &line);
    tcsetattr(fd, TCSANOW, &line);
    tcdrain(fd);
    ioctl(fd, TIOCNXCL);
    close(fd);
}

void InitDone(benchmark::State& state, bool driver)
{
    Session& s = TheSession();
    s.library->api.Done(); // the session's port is closed while this runs
    const std::string link = s.LinkPath();
    Measure(state, [&] {
        if (driver) {
            unsigned char ok = 0;
            s.library->api.Init(0, 0, "COM5,38400", &ok);
            s.library->api.Done();
        } else {
            BareInitDone(link);
        }
    });
    unsigned char ok = 0;
    s.library->api.Init(0, 0, "COM5,38400", &ok);
    s.driverFd = s.DriverDescriptor();
}

void Register(const char* command, void (*bench)(benchmark::State&, bool), std::initializer_list<long> sizes = {})
{
    for (bool driver : {true, false}) {
        const std::string name = std::string(command) + (driver ? "/driver" : "/baseline");
        auto* b = benchmark::RegisterBenchmark(name.c_str(), [bench, driver](benchmark::State& state) {
            bench(state, driver);
        });
        for (long size : sizes)
            b->Arg(size);
        b->MinTime(0.2);
    }
}

} // namespace

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv)
{
    Register("Write", Write, {0, 20, 1024, 100 * 1024});
    Register("SetPosition", SetPosition);
    Register("CustomChar", CustomChar);
    Register("SetBrightness", SetBrightness);
    Register("CustomCharIndex", CustomCharIndex);
    Register("InitDone", InitDone);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
