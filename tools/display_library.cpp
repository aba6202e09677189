#include "display_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#if defined(_WIN32)
void* LoadByPath(const std::string& path, std::string& error)
{
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        char text[256] = "";
        const DWORD code = GetLastError();
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                       sizeof(text), nullptr);
        error = "error " + std::to_string(code) + ": " + text;
        while (!error.empty() && (error.back() == '\n' || error.back() == '\r'))
            error.pop_back();
    }
    return reinterpret_cast<void*>(module);
}
void* FindFunction(void* handle, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void Release(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* LoadByPath(const std::string& path, std::string& error)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        error = dlerror();
    return handle;
}
void* FindFunction(void* handle, const char* name) { return dlsym(handle, name); }
void Release(void* handle) { dlclose(handle); }
#endif

template <typename Function>
void Resolve(void* handle, const char* name, Function& function, std::vector<std::string>& missing)
{
    function = reinterpret_cast<Function>(FindFunction(handle, name));
    if (function == nullptr)
        missing.push_back(name);
}

} // namespace

DisplayLibrary::DisplayLibrary(const std::string& path)
{
    handle_ = LoadByPath(path, loadError_);
    if (handle_ == nullptr)
        return;
    Resolve(handle_, "DISPLAYDLL_Init", api.Init, missing_);
    Resolve(handle_, "DISPLAYDLL_Done", api.Done, missing_);
    Resolve(handle_, "DISPLAYDLL_DriverName", api.DriverName, missing_);
    Resolve(handle_, "DISPLAYDLL_Usage", api.Usage, missing_);
    Resolve(handle_, "DISPLAYDLL_DefaultParameters", api.DefaultParameters, missing_);
    Resolve(handle_, "DISPLAYDLL_SetPosition", api.SetPosition, missing_);
    Resolve(handle_, "DISPLAYDLL_Write", api.Write, missing_);
    Resolve(handle_, "DISPLAYDLL_CustomCharIndex", api.CustomCharIndex, missing_);
    Resolve(handle_, "DISPLAYDLL_CustomChar", api.CustomChar, missing_);
    Resolve(handle_, "DISPLAYDLL_SetBrightness", api.SetBrightness, missing_);
}

DisplayLibrary::~DisplayLibrary() { Unload(); }

void DisplayLibrary::Unload()
{
    if (handle_ != nullptr)
        Release(handle_);
    handle_ = nullptr;
    api = DisplayApi();
}
