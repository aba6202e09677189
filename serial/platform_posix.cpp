// Linux (POSIX) serial ports behind TSerialPort: open, termios, write, close.
#include "platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace serport::platform {

namespace {

// The error of the last failed call; kept per thread like errno and GetLastError.
thread_local std::uint32_t lastError = 0;

bool Fail(int code)
{
    lastError = static_cast<std::uint32_t>(code);
    return false;
}

// A handle is the descriptor plus one, so that 0 keeps meaning "no device".
Handle ToHandle(int fd) { return static_cast<Handle>(fd) + 1; }
int ToFd(Handle device) { return device == 0 ? -1 : static_cast<int>(device - 1); }

// "\\.\COMn" names port n as Wine does: a link "comN" in a "dosdevices" folder
// beside this library (or the program it is linked into), or else /dev/ttyS<n-1>.
// Any other path is used as it is. The result is built in `buffer`, without
// allocating: an open is short, and this is most of its own work.
const char* DevicePath(const std::string& path, char (&buffer)[PATH_MAX])
{
    static const std::string_view kPrefix = "\\\\.\\COM";
    const std::string_view whole = path;
    if (whole.substr(0, kPrefix.size()) != kPrefix)
        return path.c_str();
    const std::string_view number = whole.substr(kPrefix.size());
    if (number.empty() || number.size() > 3 || number.find_first_not_of("0123456789") != std::string_view::npos)
        return path.c_str();

    Dl_info info{};
    const char* file = dladdr(reinterpret_cast<void*>(&OpenDevice), &info) != 0 ? info.dli_fname : nullptr;
    const char* slash = file != nullptr ? std::strrchr(file, '/') : nullptr;
    const std::string_view folder = slash != nullptr ? std::string_view(file, slash - file) : ".";
    const std::string_view parts[] = {folder, "/dosdevices/com", number};
    char* end = buffer;
    bool fits = true;
    for (std::string_view part : parts) {
        fits = fits && part.size() < static_cast<std::size_t>(buffer + sizeof(buffer) - end);
        if (fits)
            end = std::copy(part.begin(), part.end(), end);
    }
    *end = '\0';
    struct stat link{};
    if (fits && lstat(buffer, &link) == 0)
        return buffer;
    std::snprintf(buffer, sizeof(buffer), "/dev/ttyS%d", std::atoi(path.c_str() + kPrefix.size()) - 1);
    return buffer;
}

speed_t SpeedFor(std::uint32_t baud, bool& known)
{
    struct Rate { std::uint32_t baud; speed_t speed; };
    static const Rate kRates[] = {
        {0, B0}, {50, B50}, {75, B75}, {110, B110}, {134, B134}, {150, B150}, {200, B200},
        {300, B300}, {600, B600}, {1200, B1200}, {1800, B1800}, {2400, B2400}, {4800, B4800},
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
        {230400, B230400}, {460800, B460800}, {500000, B500000}, {576000, B576000},
        {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000},
        {4000000, B4000000},
    };
    for (const Rate& rate : kRates)
        if (rate.baud == baud) {
            known = true;
            return rate.speed;
        }
    known = false;
    return B0;
}

} // namespace

Handle OpenDevice(const std::string& path, const OpenRequest& request)
{
    const int flags = O_RDWR | O_NOCTTY | O_NONBLOCK | (request.inheritHandle ? 0 : O_CLOEXEC);
    char device[PATH_MAX];
    const int fd = open(DevicePath(path, device), flags);
    if (fd < 0)
        return Fail(errno), 0;

    bool exclusive = false;
    auto failAndClose = [fd, &exclusive](int code) {
        if (exclusive)
            CloseDevice(ToHandle(fd)); // leaves the exclusive mode, as every close does
        else
            close(fd); // exclusive mode may be another holder's: leave it alone
        Fail(code);
        return Handle{0};
    };
    // flock keeps out every other opener, TIOCEXCL those that do not lock.
    if (request.shareMode == 0) {
        if (flock(fd, LOCK_EX | LOCK_NB) != 0)
            return failAndClose(errno == EWOULDBLOCK ? EBUSY : errno);
        if (ioctl(fd, TIOCEXCL) != 0)
            return failAndClose(errno);
        exclusive = true;
    }
    // Ignore the carrier, so that neither this open nor later writes wait for it,
    // then block again: every write is to finish before it returns.
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return failAndClose(errno);
    settings.c_cflag |= CLOCAL;
    if (tcsetattr(fd, TCSANOW, &settings) != 0)
        return failAndClose(errno);
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        return failAndClose(errno);
    return ToHandle(fd);
}

bool ApplyLineRecord(Handle device, const LineRecord& line)
{
    bool knownRate = false;
    const speed_t speed = SpeedFor(line.baudRate, knownRate);
    if (!knownRate || line.byteSize < 5 || line.byteSize > 8 || line.parity > 4 || line.stopBits == 1 ||
        line.stopBits > 2)
        return Fail(EINVAL);

    // Raw, 8-bit clean, no flow control; built from nothing like the line record.
    termios settings{};
    settings.c_cflag = CREAD | CLOCAL;
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    settings.c_cflag |= kSizes[line.byteSize - 5];
    static const tcflag_t kParities[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR,
                                         PARENB | CMSPAR};
    settings.c_cflag |= kParities[line.parity];
    if (line.stopBits == 2)
        settings.c_cflag |= CSTOPB;
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0)
        return Fail(errno);
    if (tcsetattr(ToFd(device), TCSANOW, &settings) != 0)
        return Fail(errno);
    return true;
}

bool ApplyTimeouts(Handle device, const TimeoutRecord& timeouts)
{
    // Only "reads return at once with what has arrived" is asked for; it is
    // VMIN 0, VTIME 0, which the raw line record already holds.
    const bool returnAtOnce = timeouts.readIntervalTimeout == kMaxDword &&
                              timeouts.readTotalTimeoutMultiplier == 0 &&
                              timeouts.readTotalTimeoutConstant == 0;
    if (!returnAtOnce)
        return Fail(EINVAL);
    termios settings{};
    if (tcgetattr(ToFd(device), &settings) != 0)
        return Fail(errno);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (tcsetattr(ToFd(device), TCSANOW, &settings) != 0)
        return Fail(errno);
    return true;
}

bool Write(Handle device, const void* data, std::uint32_t count, std::uint32_t& written)
{
    // One call to the caller, as WriteFile is: a short write or a signal goes on
    // until the whole run is out or the device fails.
    const auto* bytes = static_cast<const unsigned char*>(data);
    written = 0;
    while (written < count) {
        const ssize_t done = write(ToFd(device), bytes + written, count - written);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        if (done == 0)
            return Fail(EIO);
        written += static_cast<std::uint32_t>(done);
    }
    if (count == 0 && write(ToFd(device), bytes, 0) < 0)
        return Fail(errno);
    return true;
}

bool Flush(Handle device) { return tcdrain(ToFd(device)) == 0 || Fail(errno); }

bool CloseDevice(Handle device)
{
    // The exclusive mode belongs to the terminal, not to this descriptor: clear it,
    // or a terminal that another process keeps open stays closed to the next user.
    // (Every device here was opened exclusively: the driver never shares.)
    ioctl(ToFd(device), TIOCNXCL);
    return close(ToFd(device)) == 0 || Fail(errno);
}

std::uint32_t LastError() { return lastError; }

std::string SystemText(std::uint32_t code)
{
    char buffer[256];
    return strerror_r(static_cast<int>(code), buffer, sizeof(buffer));
}

} // namespace serport::platform
