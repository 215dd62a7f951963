#pragma once
// A shared library loaded at run time (dlopen on Linux, LoadLibrary on Windows), unloaded
// when the object is destroyed.

#include <filesystem>
#include <string>

namespace tarnel {

class DynamicLibrary {
public:
    using Function = void (*)();

    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads `file`: a bare name is searched for as the system searches for libraries, on
    // Windows only in the executable's own folder and the system folder (never the current
    // folder); a path with a folder loads that file. A path that names something other
    // than a regular file (a FIFO, a directory) is refused without waiting. Returns an
    // empty string on success, else the reason; the object is then left unloaded.
    std::string Load(const std::filesystem::path& file);
    bool Loaded() const { return handle_ != nullptr; }

    // The exported function called `name`, or null.
    Function Find(const char* name) const;

private:
    void Unload();

    void* handle_ = nullptr;
};

}  // namespace tarnel
