// Fixtures for the Linux end-to-end tests: a pseudo-terminal pair standing in for
// the serial cable, and a copy of the library with its own dosdevices folder.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "display_library.h"

namespace fixtures {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// A pseudo-terminal pair: the driver opens the slave as its serial port, the test
// reads the master, draining it all the time so that the driver's writes never block.
class PtyPair {
public:
    PtyPair()
    {
        char name[256];
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        slaveName_ = name;
        reader_ = std::thread([this] { Drain(); });
    }
    ~PtyPair()
    {
        HangUp();
        close(slave_);
    }
    // The other end goes away, as when a USB adapter is pulled: writes then fail.
    void HangUp()
    {
        stop_ = true;
        if (reader_.joinable())
            reader_.join();
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }

    const std::string& SlaveName() const { return slaveName_; }
    int SlaveFd() const { return slave_; }
    // Whether what arrives is thrown away rather than kept for Take.
    void Discard(bool discard) { discard_ = discard; }
    // The line settings of the device as the driver left them.
    termios Settings() const
    {
        termios settings{};
        tcgetattr(slave_, &settings);
        return settings;
    }
    // Waits until at least count bytes arrived (or a time-out), then a moment more
    // for stray ones, and takes everything received.
    Bytes Take(std::size_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (Size() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(30ms);
        std::lock_guard<std::mutex> lock(mutex_);
        Bytes taken;
        taken.swap(received_);
        return taken;
    }
    // Whether the terminal is in exclusive mode (TIOCEXCL).
    bool Exclusive() const
    {
        int exclusive = 0;
        ioctl(slave_, TIOCGEXCL, &exclusive);
        return exclusive != 0;
    }
    // How many descriptors of this process, besides the pair's own, refer to the slave.
    int Holders() const
    {
        int holders = 0;
        for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const fs::path target = fs::read_symlink(entry.path(), error);
            if (!error && target == slaveName_ && std::stoi(entry.path().filename()) != slave_)
                ++holders;
        }
        return holders;
    }
    // The descriptor flags (FD_CLOEXEC) of the one other holder.
    int HolderFlags() const
    {
        for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const int fd = std::stoi(entry.path().filename());
            if (fs::read_symlink(entry.path(), error) == slaveName_ && fd != slave_)
                return fcntl(fd, F_GETFD);
        }
        return -1;
    }

private:
    std::size_t Size()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_.size();
    }
    void Drain()
    {
        unsigned char buffer[65536];
        while (!stop_) {
            pollfd ready{master_, POLLIN, 0};
            if (poll(&ready, 1, 10) <= 0)
                continue;
            const ssize_t got = read(master_, buffer, sizeof(buffer));
            if (got > 0 && !discard_) {
                std::lock_guard<std::mutex> lock(mutex_);
                received_.insert(received_.end(), buffer, buffer + got);
            }
        }
    }

    int master_ = -1, slave_ = -1;
    std::string slaveName_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> discard_{false};
    std::mutex mutex_;
    Bytes received_;
};

// A copy of the library in a folder of its own, with a dosdevices folder that maps
// COM numbers to devices.
class InstalledLibrary {
public:
    InstalledLibrary()
    {
        char pattern[] = "/tmp/zavvfd-host-XXXXXX";
        folder_ = mkdtemp(pattern);
        fs::create_directory(folder_ / "dosdevices");
        fs::copy_file(ZAVVFD_LINUX_LIBRARY, folder_ / "libzavvfd.so");
    }
    ~InstalledLibrary() { fs::remove_all(folder_); }
    void Map(int com, const std::string& device) const
    {
        fs::create_symlink(device, folder_ / "dosdevices" / ("com" + std::to_string(com)));
    }
    const fs::path& Folder() const { return folder_; }
    std::string LibraryPath() const { return (folder_ / "libzavvfd.so").string(); }
    std::unique_ptr<DisplayLibrary> Load() const
    {
        auto library = std::make_unique<DisplayLibrary>((folder_ / "libzavvfd.so").string());
        if (!library->Usable())
            throw std::runtime_error("library not usable: " + library->LoadError());
        return library;
    }

private:
    fs::path folder_;
};

} // namespace fixtures
