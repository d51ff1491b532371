#include "base/DynamicLibrary.h"

#include <dlfcn.h>

#include <cstddef>
#include <utility>
#include <vector>

namespace {

// The program's own library search path (its run path first). dlopen uses
// the run path of the object that calls it, which is not the program when a
// sanitizer runtime intercepts dlopen; searching it here keeps the order.
std::vector<std::string> ProgramSearchPath() {
    std::vector<std::string> folders;
    void* self = ::dlopen(nullptr, RTLD_NOW);
    if (self == nullptr) return folders;
    Dl_serinfo size{};
    if (::dlinfo(self, RTLD_DI_SERINFOSIZE, &size) == 0 && size.dls_size >= sizeof(Dl_serinfo)) {
        std::vector<std::max_align_t> buffer(size.dls_size / sizeof(std::max_align_t) + 1);
        auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
        if (::dlinfo(self, RTLD_DI_SERINFOSIZE, info) == 0 &&
            ::dlinfo(self, RTLD_DI_SERINFO, info) == 0)
            for (unsigned i = 0; i < info->dls_cnt; ++i)
                folders.emplace_back(info->dls_serpath[i].dls_name);
    }
    ::dlclose(self);
    return folders;
}

}  // namespace

DynamicLibrary DynamicLibrary::Open(const std::string& name, int extraFlags) {
    DynamicLibrary lib;
    if (name.empty()) return lib;
    const int flags = RTLD_NOW | RTLD_LOCAL | extraFlags;
    lib.handle_ = ::dlopen(name.c_str(), flags);
    if (lib.handle_ != nullptr || name.find('/') != std::string::npos) return lib;
    for (const std::string& folder : ProgramSearchPath()) {
        lib.handle_ = ::dlopen((folder + "/" + name).c_str(), flags);
        if (lib.handle_ != nullptr) break;
    }
    return lib;
}

DynamicLibrary DynamicLibrary::OpenForRun(const std::string& name) {
    return Open(name, RTLD_NODELETE);
}

std::jthread DynamicLibrary::LoadAhead(std::vector<std::string> names) {
    return std::jthread([names = std::move(names)](const std::stop_token& stop) {
        for (const std::string& name : names) {
            if (stop.stop_requested()) return;
            (void)OpenForRun(name);
        }
    });
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
