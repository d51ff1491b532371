#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/core/RegistryKey.h"

// The product's settings, read-only, from three keys under HKEY_LOCAL_MACHINE.
// Each block's Load() overwrites its fields only when its key opens.

struct GeneralSettings {
    std::string Gateway;
    std::string WebmailServer;
    std::string WebmailUserName;
    std::string WebmailPassword;  // stored scrambled, held in plain text
    std::string UserEmail;
    std::string UserPopServer;
    std::string UserSmtpServer;
    std::string UserPopUserName;
    std::string UserPopPassword;  // stored scrambled
    std::string Bundle;
    std::string EmailSuffix;
    std::string Version;
    std::string UserID;
    std::string ProductName;
    std::string ProductLevel;
    std::string TechSupport;
    std::string Lastcommand;
    std::string LeftNavXml;
    std::string TopNavXml;
    std::string BannerString;
    std::uint32_t UseSignature = 0;
    std::string MachineName;
    std::string TimeZone;
    std::string Country;
    std::uint32_t AutoStart = 1;
    std::uint32_t FullWindow = 1;
    RegistryKey key;

    void Load();
};

struct ConnectionSettings {
    std::string ConnectionType;
    std::string AOLUserName;
    std::string AOLPassword;  // stored scrambled
    std::string PrimaryDUN;
    std::string PrimaryUserName;
    std::string PrimaryPassword;  // stored scrambled
    std::string AlternateDUN;
    std::string AlternateUserName;
    std::string AlternatePassword;  // stored scrambled
    RegistryKey key;

    void Load();
};

struct DirectorySettings {
    std::string InstallPath;
    std::string LocalFolders;
    std::string LocalInboxes;
    std::string BcMessages;
    std::string RmMessages;
    std::string PurchasePath;
    std::string EmailURL;
    std::string PCWelcomeURL;
    std::string WebWelcomeURL;
    std::string WelcomeDownload;
    std::string HelpURL;
    RegistryKey key;

    // An empty InstallPath (the address-book folder) is ~/Corvinaport/, and
    // the folders derived from it follow, also when the key is missing.
    void Load();
    void FillFolderDefaults();
};

// ~/Corvinaport/: the folder of the address book, with "Local Folders/" in it.
[[nodiscard]] std::string DefaultInstallPath();

struct AppSettings {
    GeneralSettings general;
    ConnectionSettings connection;
    DirectorySettings directory;
};

// True when no fax can be sent yet: no account name or no service address.
[[nodiscard]] bool SetupNeeded(const AppSettings& settings);

// Makes the address-book folder (InstallPath) and LocalFolders, 0700, when
// they are missing, and puts the cover artwork of artworkFolder in place
// where LocalFolders has none: Template.tif into "templates/", the logos
// into "images/" (a logo of the same name is kept).
void PrepareUserFolders(const DirectorySettings& directory, const std::string& artworkFolder);

// Registry paths of the three blocks, under HKEY_LOCAL_MACHINE.
inline constexpr const char* kGeneralKeyPath = "Software\\Quorvane\\Corvinaport\\General";
inline constexpr const char* kConnectionKeyPath = "Software\\Quorvane\\Corvinaport\\Connection";
inline constexpr const char* kDirectoryKeyPath = "Software\\Quorvane\\Corvinaport\\Directory";

// Turns a scrambled registry value (hex pairs, first pair the seed) into text.
// A value holding anything but hexadecimal digits is not a scrambled value and
// gives the empty text.
[[nodiscard]] std::string DescramblePassword(const std::string& text);

// The inverse of DescramblePassword: the seed and one hex pair per byte, in
// capitals. Every byte but NUL can be stored (NUL is reachable only after a
// pair of value 255, and a stored text ends at NUL anyway): a text holding a
// NUL byte gives nullopt.
[[nodiscard]] std::optional<std::string> ScramblePassword(const std::string& plain,
                                                          std::uint8_t seed);
