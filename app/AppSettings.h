#pragma once

#include <cstdint>
#include <string>

#include "app/RegistryKey.h"

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

    void Load();
};

struct AppSettings {
    GeneralSettings general;
    ConnectionSettings connection;
    DirectorySettings directory;
};

// Turns a scrambled registry value (hex pairs, first pair the seed) into text.
[[nodiscard]] std::string DescramblePassword(const std::string& text);
