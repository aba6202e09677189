// The far end of a Windows null-modem cable: opens a COM port and reads everything
// that arrives there on a thread of its own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

inline HANDLE OpenCom(int number)
{
    const std::string path = "\\\\.\\COM" + std::to_string(number);
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

class FarEnd {
public:
    explicit FarEnd(int number) : port_(OpenCom(number))
    {
        InitializeCriticalSection(&lock_);
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        dcb.BaudRate = 38400;
        dcb.fBinary = 1;
        dcb.ByteSize = 8;
        SetCommState(port_, &dcb);
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = 20;
        SetCommTimeouts(port_, &timeouts);
        reader_ = CreateThread(nullptr, 0, &FarEnd::Drain, this, 0, nullptr);
    }
    ~FarEnd()
    {
        stop_ = true;
        WaitForSingleObject(reader_, INFINITE);
        CloseHandle(reader_);
        CloseHandle(port_);
        DeleteCriticalSection(&lock_);
    }
    bool Open() const { return port_ != INVALID_HANDLE_VALUE; }
    HANDLE Port() const { return port_; }
    // Whether what arrives is thrown away rather than kept for Take.
    void Discard(bool discard) { discard_ = discard; }
    std::vector<std::uint8_t> Take(std::size_t count)
    {
        for (int waited = 0; Size() < count && waited < 10000; waited += 5)
            Sleep(5);
        Sleep(100);
        EnterCriticalSection(&lock_);
        std::vector<std::uint8_t> taken;
        taken.swap(received_);
        LeaveCriticalSection(&lock_);
        return taken;
    }

private:
    std::size_t Size()
    {
        EnterCriticalSection(&lock_);
        const std::size_t size = received_.size();
        LeaveCriticalSection(&lock_);
        return size;
    }
    static DWORD WINAPI Drain(void* self)
    {
        auto* remote = static_cast<FarEnd*>(self);
        std::uint8_t buffer[65536];
        while (!remote->stop_) {
            DWORD got = 0;
            if (!ReadFile(remote->port_, buffer, sizeof(buffer), &got, nullptr))
                Sleep(5);
            if (remote->discard_)
                continue;
            EnterCriticalSection(&remote->lock_);
            remote->received_.insert(remote->received_.end(), buffer, buffer + got);
            LeaveCriticalSection(&remote->lock_);
        }
        return 0;
    }

    HANDLE port_;
    HANDLE reader_ = nullptr;
    volatile bool stop_ = false;
    volatile bool discard_ = false;
    CRITICAL_SECTION lock_;
    std::vector<std::uint8_t> received_;
};

