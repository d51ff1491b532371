#include "app/core/RegistryKey.h"

#include <cstring>

#include "app/core/RegistryStore.h"

namespace {

// The buffer the string query uses: the text and its terminator must fit.
constexpr std::size_t kStringBuffer = 255;

const char* RootName(HKEY root) {
    switch (root) {
        case HKEY_CLASSES_ROOT:
            return "HKEY_CLASSES_ROOT";
        case HKEY_CURRENT_USER:
            return "HKEY_CURRENT_USER";
        case HKEY_LOCAL_MACHINE:
            return "HKEY_LOCAL_MACHINE";
        case HKEY_USERS:
            return "HKEY_USERS";
        default:
            return nullptr;
    }
}

std::string FullPath(HKEY root, const std::string& keyPath) {
    std::string full = RootName(root);
    if (!keyPath.empty()) full += "\\" + keyPath;
    return full;
}

// Opening a key: the store must be readable, the path well formed and the
// key present (it is never created).
std::int32_t OpenKey(const RegistrySnapshot& snap, HKEY root, const std::string& keyPath) {
    if (snap.error != RegError::Success) return snap.error;
    if (!RootName(root)) return RegError::InvalidHandle;
    std::string full = FullPath(root, keyPath);
    if (!NormalizeKeyPath(full)) return RegError::BadPathname;
    if (!snap.KeyExists(full)) return RegError::FileNotFound;
    return RegError::Success;
}

// Opens the key and finds the value; sets error on the way.
const RegistryValue* QueryValue(const RegistrySnapshot& snap, HKEY root, const std::string& keyPath,
                                const std::string& name, std::int32_t& error) {
    error = OpenKey(snap, root, keyPath);
    if (error != RegError::Success) return nullptr;
    const RegistryValue* v = snap.FindValue(FullPath(root, keyPath), name);
    if (!v) error = RegError::FileNotFound;
    return v;
}

}  // namespace

RegistryKey::ReadOnce::ReadOnce(RegistryKey& key) : key_(key) {
    key_.held_ = std::make_shared<const RegistrySnapshot>(ReadRegistryStore());
}

RegistryKey::ReadOnce::~ReadOnce() { key_.held_.reset(); }

std::shared_ptr<const RegistrySnapshot> RegistryKey::Snapshot() const {
    if (held_) return held_;
    return std::make_shared<const RegistrySnapshot>(ReadRegistryStore());
}

bool RegistryKey::SetRootKey(HKEY root) {
    if (!RootName(root)) return false;
    root_ = root;
    return true;
}

bool RegistryKey::SetKeyPath(const std::string& path) {
    if (path.empty()) {
        keyPath_.clear();
        return true;
    }
    lastError = OpenKey(*Snapshot(), root_, path);
    if (lastError != RegError::Success) return false;
    keyPath_ = path;
    return true;
}

std::uint32_t RegistryKey::GetValueType(const std::string& name) {
    const auto snap = Snapshot();
    const RegistryValue* v = QueryValue(*snap, root_, keyPath_, name, lastError);
    return v ? v->type : REG_NONE;
}

std::string RegistryKey::ReadString(const std::string& name, const std::string& def) {
    const auto snap = Snapshot();
    const RegistryValue* v = QueryValue(*snap, root_, keyPath_, name, lastError);
    if (!v) return def;
    if (v->type != REG_SZ && v->type != REG_EXPAND_SZ) {
        lastError = RegError::DatatypeMismatch;
        return def;
    }
    // data holds the terminator, so 254 bytes of text is the longest that fits.
    if (v->data.size() > kStringBuffer) {
        lastError = RegError::MoreData;
        return def;
    }
    lastError = RegError::Success;
    return v->Text();  // an expandable string is returned as stored
}

std::uint32_t RegistryKey::ReadNumber(const std::string& name, std::uint32_t def) {
    const auto snap = Snapshot();
    const RegistryValue* v = QueryValue(*snap, root_, keyPath_, name, lastError);
    if (!v) return def;
    if (v->data.size() > 4) {
        lastError = RegError::MoreData;
        return def;
    }
    // Whatever the type: the stored bytes, little-endian, into a zeroed
    // buffer, so data shorter than four bytes gives its value zero-extended.
    unsigned char buf[4] = {0, 0, 0, 0};
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): bytes, not text
    std::memcpy(buf, v->data.data(), v->data.size());
    lastError = RegError::Success;
    return static_cast<std::uint32_t>(buf[0]) | (static_cast<std::uint32_t>(buf[1]) << 8) |
           (static_cast<std::uint32_t>(buf[2]) << 16) | (static_cast<std::uint32_t>(buf[3]) << 24);
}
