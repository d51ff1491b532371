#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/RegistryStore.h"

// A temporary folder that holds a registry store file; the store path points
// at it while the object lives.
class TempStore {
  public:
    TempStore() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "corvreg-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
        dir = tmpl;
        path = dir + "/registry.reg";
        SetRegistryStorePath(path);
    }
    ~TempStore() {
        SetRegistryStorePath(std::nullopt);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    TempStore(const TempStore&) = delete;
    TempStore& operator=(const TempStore&) = delete;

    // Writes the file; lines are joined with CR LF as the export format has them.
    void Write(const std::string& body) const { WriteBytes(body); }
    void WriteBytes(const std::string& bytes) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    [[nodiscard]] std::string Read() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string dir;
    std::string path;
};

inline constexpr const char* kRegHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
