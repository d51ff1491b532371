#pragma once

#include <string>
#include <thread>
#include <vector>

// An owned handle of a library loaded at run time. Closing happens when the
// object goes; a library that failed to load gives a null handle and every
// look-up then yields null.
class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    // Loads by name: a path as given, a bare file name from the program's own
    // library search path (its run path first). extraFlags are added to
    // RTLD_NOW | RTLD_LOCAL.
    [[nodiscard]] static DynamicLibrary Open(const std::string& name, int extraFlags = 0);
    // The same for a library loaded on first use and kept for the rest of the
    // run: never unloaded, as its global state, the threads it started or a
    // call that overran may outlive whoever loaded it.
    [[nodiscard]] static DynamicLibrary OpenForRun(const std::string& name);
    // Loads these for the run on a thread of their own, so that their first
    // use later finds them in memory; joined when the thread object goes.
    // Nothing changes but when the loading happens.
    [[nodiscard]] static std::jthread LoadAhead(std::vector<std::string> names);

    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    ~DynamicLibrary();

    [[nodiscard]] bool loaded() const { return handle_ != nullptr; }
    explicit operator bool() const { return loaded(); }

    // The entry point of that name as a function pointer of type F, or null.
    template <class F>
    [[nodiscard]] F Function(const char* name) const {
        return reinterpret_cast<F>(Symbol(name));
    }
    [[nodiscard]] void* Symbol(const char* name) const;
    // Sets function to the entry point of that name; false when it is missing.
    template <class F>
    [[nodiscard]] bool Bind(F& function, const char* name) const {
        function = Function<F>(name);
        return function != nullptr;
    }

    void Close();

  private:
    void* handle_ = nullptr;
};
