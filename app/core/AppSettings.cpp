#include "app/core/AppSettings.h"

#include <cstdio>
#include <filesystem>

#include "app/core/PasswordStore.h"
#include "app/core/RegistryStore.h"
#include "base/FileReplace.h"

namespace {

// The key built into the program for scrambled values.
constexpr char kScrambleKey[] = "tolva";
constexpr int kScrambleKeyLength = 5;

// Root and path of a block; false when the key cannot be opened.
bool OpenBlock(RegistryKey& key, const char* path) {
    if (!key.SetRootKey(HKEY_LOCAL_MACHINE)) return false;
    return key.SetKeyPath(path);
}

std::string Scrambled(RegistryKey& key, const char* name) {
    return DescramblePassword(key.ReadString(name, ""));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One or two digits, the rightmost weighted 1.
int HexNumber(const std::string& text, std::size_t pos, std::size_t count) {
    int value = 0;
    for (std::size_t i = pos; i < pos + count && i < text.size(); ++i) {
        value = value * 16 + HexValue(text[i]);
    }
    return value;
}

}  // namespace

void GeneralSettings::Load() {
    const RegistryKey::ReadOnce once(key);
    if (!OpenBlock(key, kGeneralKeyPath)) return;
    Gateway = key.ReadString("Gateway", "");
    if (auto cut = Gateway.find('_'); cut != std::string::npos) Gateway.erase(cut);
    WebmailServer = key.ReadString("WebmailServer", "");
    WebmailUserName = key.ReadString("WebmailUserName", "");
    WebmailPassword = ResolveAccountPassword(WebmailUserName, Scrambled(key, "WebmailPassword"),
                                             InstalledPasswordStore());
    UserEmail = key.ReadString("UserEmail", "");
    UserPopServer = key.ReadString("UserPopServer", "");
    UserSmtpServer = key.ReadString("UserSmtpServer", "");
    UserPopUserName = key.ReadString("UserPopUserName", "");
    UserPopPassword = Scrambled(key, "UserPopPassword");
    Bundle = key.ReadString("Bundle", "");
    EmailSuffix = key.ReadString("EmailSuffix", "");
    Version = key.ReadString("Version", "");
    UserID = key.ReadString("UserID", "");
    ProductName = key.ReadString("ProductName", "");
    ProductLevel = key.ReadString("ProductLevel", "");
    TechSupport = key.ReadString("TechSupport", "");
    MachineName = key.ReadString("MachineName", "");
    TimeZone = key.ReadString("TimeZone", "");
    Country = key.ReadString("Country", "");
    AutoStart = key.ReadNumber("AutoStart", 1);
    FullWindow = key.ReadNumber("FullWindow", 1);
    LeftNavXml = key.ReadString("LeftNavXml", "");
    TopNavXml = key.ReadString("TopNavXml", "");
    UseSignature = key.ReadNumber("UseSignature", 1);
    BannerString = key.ReadString("BannerString", "");
    Lastcommand = key.ReadString("Lastcommand", "0");
}

void ConnectionSettings::Load() {
    const RegistryKey::ReadOnce once(key);
    if (!OpenBlock(key, kConnectionKeyPath)) return;
    ConnectionType = key.ReadString("ConnectionType", "");
    AOLUserName = key.ReadString("AOLUserName", "");
    AOLPassword = Scrambled(key, "AOLPassword");
    PrimaryDUN = key.ReadString("PrimaryDUN", "");
    PrimaryUserName = key.ReadString("PrimaryUserName", "");
    PrimaryPassword = Scrambled(key, "PrimaryPassword");
    AlternateDUN = key.ReadString("AlternateDUN", "");
    AlternateUserName = key.ReadString("AlternateUserName", "");
    AlternatePassword = Scrambled(key, "AlternatePassword");
}

std::string DefaultInstallPath() { return HomeFolder() + "/Corvinaport/"; }

void DirectorySettings::FillFolderDefaults() {
    if (InstallPath.empty()) InstallPath = DefaultInstallPath();
    if (LocalFolders.empty()) LocalFolders = InstallPath + "Local Folders/";
    if (LocalInboxes.empty()) LocalInboxes = InstallPath + "Local Inboxes/";
    if (PCWelcomeURL.empty()) PCWelcomeURL = LocalFolders + "Html/";
}

void DirectorySettings::Load() {
    const RegistryKey::ReadOnce once(key);
    if (!OpenBlock(key, kDirectoryKeyPath)) {
        FillFolderDefaults();
        return;
    }
    InstallPath = key.ReadString("InstallPath", "");
    if (InstallPath.empty()) InstallPath = DefaultInstallPath();
    LocalFolders = key.ReadString("LocalFolders", "");
    if (LocalFolders.empty()) LocalFolders = InstallPath + "Local Folders/";
    LocalInboxes = key.ReadString("LocalInboxes", "");
    if (LocalInboxes.empty()) LocalInboxes = InstallPath + "Local Inboxes/";
    BcMessages = key.ReadString("BcMessages", "");
    RmMessages = key.ReadString("RmMessages", "");
    PurchasePath = key.ReadString("PurchasePath", "");
    EmailURL = key.ReadString("EmailURL", "");
    WebWelcomeURL = key.ReadString("WebWelcomeURL", "");
    PCWelcomeURL = key.ReadString("PCWelcomeURL", "");
    if (PCWelcomeURL.empty()) PCWelcomeURL = LocalFolders + "Html/";
    WelcomeDownload = key.ReadString("WelcomeDownload", "");
    HelpURL = key.ReadString("HelpURL", "");
}

bool SetupNeeded(const AppSettings& settings) {
    return settings.general.WebmailUserName.empty() || settings.directory.RmMessages.empty();
}

void PrepareUserFolders(const DirectorySettings& directory, const std::string& artworkFolder) {
    namespace fs = std::filesystem;
    for (const std::string* folder : {&directory.InstallPath, &directory.LocalFolders}) {
        if (!folder->empty()) (void)EnsurePrivateFolderPath(*folder);
    }
    std::error_code ec;
    const fs::path art(artworkFolder);
    if (artworkFolder.empty() || directory.LocalFolders.empty() ||
        !fs::is_regular_file(art / "Template.tif", ec))
        return;
    const std::string templates = directory.LocalFolders + "templates/";
    if (fs::exists(templates + "Template.tif", ec)) return;
    const std::string images = directory.LocalFolders + "images/";
    if (!EnsurePrivateFolderPath(templates) || !EnsurePrivateFolderPath(images)) return;
    (void)CopyFileReplacing((art / "Template.tif").string(), templates + "Template.tif");
    for (const auto& entry : fs::directory_iterator(art, ec)) {
        if (entry.path().extension() != ".bmp" || !entry.is_regular_file(ec)) continue;
        const std::string logo = images + entry.path().filename().string();
        if (!fs::exists(logo, ec)) (void)CopyFileReplacing(entry.path().string(), logo);
    }
}

std::string DescramblePassword(const std::string& text) {
    const std::size_t n = text.size();
    if (n < 1) return {};
    for (char c : text) {
        if (HexValue(c) < 0) return {};
    }
    int prev = HexNumber(text, 0, 2);
    if (n <= 2) return {};
    std::string result;
    int k = 0;
    for (std::size_t i = 2; i < n; i += 2, ++k) {
        int cur = HexNumber(text, i, i + 1 == n ? 1 : 2);
        if (k == kScrambleKeyLength) k = 0;
        int c = static_cast<signed char>(kScrambleKey[k]) ^ cur;
        if (c > prev) {
            c = c - prev;
        } else {
            c = c + (255 - prev);
        }
        result.push_back(static_cast<char>(c & 0xFF));
        prev = cur;
    }
    return result;
}

std::optional<std::string> ScramblePassword(const std::string& plain, std::uint8_t seed) {
    std::string out;
    auto appendPair = [&out](int value) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", value & 0xFF);
        out += pair;
    };
    appendPair(seed);
    int prev = seed;
    int k = 0;
    for (char ch : plain) {
        const int p = static_cast<unsigned char>(ch);
        if (p == 0) return std::nullopt;
        if (k == kScrambleKeyLength) k = 0;
        // The descrambler maps x = key ^ cur to x - prev when x > prev and to
        // x + 255 - prev otherwise; pick the x that gives p.
        int x = 0;
        if (prev < 255 && p <= 255 - prev) {
            x = p + prev;  // > prev since p >= 1, and <= 255
        } else {
            x = p + prev - 255;  // in 0..prev
        }
        const int cur = (x ^ static_cast<signed char>(kScrambleKey[k])) & 0xFF;
        appendPair(cur);
        prev = cur;
        ++k;
    }
    return out;
}
