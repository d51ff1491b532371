#pragma once

#include <string>
#include <vector>

#include "controls/DocumentOpener.h"

// Records what the code under test opens and answers with `works`.
struct RecordingOpener final : DocumentOpener {
    bool Open(const std::string& target) override {
        opened.push_back(target);
        return works;
    }
    bool works = true;
    std::vector<std::string> opened;
};
