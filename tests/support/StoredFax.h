#pragma once

// Faxes stored by the wizard's own writer in a user's outbox, and the
// registry store the outbox command reads, for the outbox's tests.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/Command.h"
#include "support/FakeClock.h"
#include "support/RegText.h"
#include "wizard/job/Outbox.h"

// Makes a file or folder look written an hour ago, past the writing grace.
inline void Age(const std::string& path) {
    const timeval old[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    ::lutimes(path.c_str(), old);
}

// Stores m in local's outbox as the wizard does, aged; the folder's name.
inline std::string StoreFax(const std::string& local, const FaxMessage& m, std::time_t when,
                            const SendState* state = nullptr) {
    const std::string folder =
        SaveToOutbox(local, "outbox", m, FakeClock(when), kFaxGatewayDomain, state).value_or({});
    EXPECT_FALSE(folder.empty());
    Age(folder + "/msg.qvm");
    Age(folder);
    return std::filesystem::path(folder).filename();
}

// Writes the store at path: user jane, her local folders and the relay.
inline void WriteOutboxRegistry(const std::string& path, const std::string& local,
                                const std::string& relayUrl) {
    std::ofstream(path, std::ios::binary)
        << kRegHeader << ProductKey("General") << Sz("WebmailUserName", "jane")
        << ProductKey("Directory") << Sz("LocalFolders", local) << Sz("RmMessages", relayUrl);
}
