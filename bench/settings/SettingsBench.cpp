// settings_bench: times the start-up load of the three settings blocks and
// the connection block's load before each send, from a generated store of
// about 10 MB (the product's keys and many others), against one plain read
// and parse of the same file, and prints the medians.
//
//   settings_bench [megabytes] [rounds]        (defaults 10 and 5)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/AppSettings.h"
#include "app/core/RegistryStore.h"
#include "bench/support/Growth.h"

namespace fs = std::filesystem;
using bench::Median;
using bench::Seconds;

namespace {

void WriteStore(const fs::path& file, std::size_t bytes) {
    std::ofstream out(file, std::ios::binary);
    out << "Windows Registry Editor Version 5.00\r\n\r\n";
    out << "[HKEY_LOCAL_MACHINE\\" << kGeneralKeyPath << "]\r\n"
        << "\"Gateway\"=\"gw_1\"\r\n\"WebmailUserName\"=\"user\"\r\n\"AutoStart\"=dword:"
           "00000001\r\n\r\n"
        << "[HKEY_LOCAL_MACHINE\\" << kConnectionKeyPath << "]\r\n"
        << "\"ConnectionType\"=\"LAN\"\r\n\r\n"
        << "[HKEY_LOCAL_MACHINE\\" << kDirectoryKeyPath << "]\r\n"
        << "\"InstallPath\"=\"/opt/corvinaport/\"\r\n\r\n";
    std::size_t written = 0;
    for (int k = 0; written < bytes; ++k) {
        const std::string section =
            "[HKEY_CURRENT_USER\\Software\\Other\\Key" + std::to_string(k) + "]\r\n";
        out << section;
        written += section.size();
        for (int v = 0; v < 20; ++v) {
            const std::string line = "\"Value" + std::to_string(v) + "\"=\"" +
                                     std::string(40, static_cast<char>('a' + v)) + "\"\r\n";
            out << line;
            written += line.size();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 10;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const fs::path dir =
        fs::temp_directory_path() / ("settings-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "registry.reg";
    WriteStore(file, static_cast<std::size_t>(megabytes) << 20);
    SetRegistryStorePath(file.string());

    std::vector<double> plain, startup, send;
    for (int r = 0; r < rounds; ++r) {
        plain.push_back(Seconds([&] { (void)ReadRegistryStore(); }));
        AppSettings settings;
        startup.push_back(Seconds([&] {
            settings.general.Load();
            settings.connection.Load();
            settings.directory.Load();
        }));
        if (settings.directory.LocalFolders != "/opt/corvinaport/Local Folders/") {
            std::fprintf(stderr, "settings_bench: the store was not read\n");
            return 1;
        }
        send.push_back(Seconds([&] {
            ConnectionSettings connection;
            connection.Load();
        }));
    }
    std::printf("store %.1f MB\n", static_cast<double>(fs::file_size(file)) / (1 << 20));
    std::printf("one read and parse      %8.3f s\n", Median(plain));
    std::printf("start-up load (3 blocks) %7.3f s  (%.1f x one parse)\n", Median(startup),
                Median(startup) / Median(plain));
    std::printf("connection load per send %7.3f s  (%.1f x one parse)\n", Median(send),
                Median(send) / Median(plain));
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
