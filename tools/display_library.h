// Loads a display library with the ten-function DISPLAYDLL_ interface by path, as
// a host does (dlopen / LoadLibraryA), and finds its functions by name.
#pragma once

#include <string>
#include <vector>

#include "zavvfd.h"

struct DisplayApi {
    const char*(ZAVVFD_CALL* Init)(int, int, const char*, unsigned char*) = nullptr;
    void(ZAVVFD_CALL* Done)() = nullptr;
    const char*(ZAVVFD_CALL* DriverName)() = nullptr;
    const char*(ZAVVFD_CALL* Usage)() = nullptr;
    const char*(ZAVVFD_CALL* DefaultParameters)() = nullptr;
    void(ZAVVFD_CALL* SetPosition)(int, unsigned int) = nullptr;
    void(ZAVVFD_CALL* Write)(const char*) = nullptr;
    unsigned char(ZAVVFD_CALL* CustomCharIndex)(unsigned int) = nullptr;
    void(ZAVVFD_CALL* CustomChar)(unsigned int, const unsigned char*) = nullptr;
    void(ZAVVFD_CALL* SetBrightness)(unsigned int) = nullptr;
};

class DisplayLibrary {
public:
    explicit DisplayLibrary(const std::string& path);
    ~DisplayLibrary(); // unloads
    DisplayLibrary(const DisplayLibrary&) = delete;
    DisplayLibrary& operator=(const DisplayLibrary&) = delete;

    // True when the library loaded and has all ten functions.
    bool Usable() const { return handle_ != nullptr && missing_.empty(); }
    // Why the library could not be loaded (the system's words); empty when it loaded.
    const std::string& LoadError() const { return loadError_; }
    // The names of the functions the library lacks.
    const std::vector<std::string>& Missing() const { return missing_; }
    void Unload();

    DisplayApi api;

private:
    void* handle_ = nullptr;
    std::string loadError_;
    std::vector<std::string> missing_;
};
