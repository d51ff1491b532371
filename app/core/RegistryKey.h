#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Predefined roots of the registry store (the platform's handle values).
using HKEY = std::uintptr_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;

inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;

struct RegistrySnapshot;

// Read access to one key of the registry store. No handle is held between
// calls: every read opens the store, reads, and closes it again, unless a
// ReadOnce is alive for the key.
class RegistryKey {
  public:
    // While it lives, the key's calls share one reading of the store, so a
    // settings block is read and parsed once per load, not once per value.
    class ReadOnce {
      public:
        explicit ReadOnce(RegistryKey& key);
        ~ReadOnce();
        ReadOnce(const ReadOnce&) = delete;
        ReadOnce& operator=(const ReadOnce&) = delete;

      private:
        RegistryKey& key_;
    };

    std::int32_t lastError = 0;

    [[nodiscard]] bool SetRootKey(HKEY root);
    [[nodiscard]] bool SetKeyPath(const std::string& path);
    [[nodiscard]] std::uint32_t GetValueType(const std::string& name);
    [[nodiscard]] std::string ReadString(const std::string& name, const std::string& def);
    [[nodiscard]] std::uint32_t ReadNumber(const std::string& name, std::uint32_t def);

    [[nodiscard]] HKEY root() const { return root_; }
    [[nodiscard]] const std::string& keyPath() const { return keyPath_; }

  private:
    // The store as read now: the held reading, or a fresh one.
    [[nodiscard]] std::shared_ptr<const RegistrySnapshot> Snapshot() const;

    HKEY root_ = HKEY_CURRENT_USER;
    std::string keyPath_;
    std::shared_ptr<const RegistrySnapshot> held_;
};
