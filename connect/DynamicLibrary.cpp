#include "connect/DynamicLibrary.h"

#include <dlfcn.h>

#include <utility>

DynamicLibrary DynamicLibrary::Open(const std::string& name, int extraFlags) {
    DynamicLibrary lib;
    if (!name.empty()) lib.handle_ = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | extraFlags);
    return lib;
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

DynamicLibrary::~DynamicLibrary() { Close(); }

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::Close() {
    if (handle_) ::dlclose(std::exchange(handle_, nullptr));
}
