#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/core/AppSettings.h"
#include "app/core/RegistryStore.h"
#include "support/RegText.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

std::string Store(const std::string& name, const std::string& suffix = {},
                  const std::string& service = {}) {
    std::string text = kRegHeader + ProductKey("General") + Sz("WebmailUserName", name);
    if (!suffix.empty()) text += Sz("EmailSuffix", suffix);
    if (!service.empty()) text += ProductKey("Directory") + Sz("RmMessages", service);
    return text;
}

fs::perms Mode(const std::string& path) { return fs::status(path).permissions() & fs::perms::all; }

// The user's store over the system's; CORVINAPORT_REGISTRY names the one store.
TEST(StoreLayers, UserOverSystemAndTheOverrideWins) {
    TempFolder dir;
    const ScopedEnv system("CORVINAPORT_SYSTEM_REGISTRY", dir.file("etc.reg"));
    dir.Write("etc.reg", Store("sys", "corp.example", "https://relay.corp/r"));
    for (const char* user : {"ann", "bob"}) {
        fs::create_directories(dir.file(std::string(user) + "/corvinaport"));
        dir.Write(std::string(user) + "/corvinaport/registry.reg", Store(user));
    }
    dir.Write("one.reg", Store("one"));
    struct Case {
        const char *config, *override, *name, *suffix, *service;
    };
    const Case cases[] = {
        {"ann", "", "ann", "corp.example", "https://relay.corp/r"},
        {"bob", "", "bob", "corp.example", "https://relay.corp/r"},
        {"nobody", "", "sys", "corp.example", "https://relay.corp/r"},
        {"ann", "one.reg", "one", "", ""},
    };
    for (const Case& c : cases) {
        const ScopedEnv config("XDG_CONFIG_HOME", dir.file(c.config));
        const ScopedEnv one("CORVINAPORT_REGISTRY", *c.override ? dir.file(c.override) : "");
        AppSettings s;
        s.general.Load();
        s.directory.Load();
        EXPECT_EQ(s.general.WebmailUserName, c.name) << c.config << c.override;
        EXPECT_EQ(s.general.EmailSuffix, c.suffix) << c.config << c.override;
        EXPECT_EQ(s.directory.RmMessages, c.service) << c.config << c.override;
        EXPECT_EQ(RegistryStorePath(),
                  dir.file(*c.override ? c.override
                                       : std::string(c.config) + "/corvinaport/registry.reg"));
    }
}

// A new user's folders are made private with the cover artwork; changes stay.
TEST(UserFolders, MadePrivateWithTheArtworkOnFirstUse) {
    TempFolder dir;
    const ScopedEnv home("HOME", dir.file("home"));
    dir.Write("Template.tif", "template");
    dir.Write("Logo.bmp", "logo");
    DirectorySettings d;
    d.FillFolderDefaults();
    const std::string folders = dir.file("home/Corvinaport/Local Folders/");
    ASSERT_EQ(d.LocalFolders, folders);
    PrepareUserFolders(d, dir.path());
    for (const std::string& made : {dir.file("home"), d.InstallPath, folders})
        EXPECT_EQ(Mode(made), fs::perms::owner_all) << made;
    EXPECT_EQ(dir.Read("home/Corvinaport/Local Folders/images/Logo.bmp"), "logo");
    dir.Write("home/Corvinaport/Local Folders/templates/Template.tif", "mine");
    PrepareUserFolders(d, dir.path());
    EXPECT_EQ(dir.Read("home/Corvinaport/Local Folders/templates/Template.tif"), "mine");
}

}  // namespace
