#pragma once

#include <deque>
#include <string>
#include <vector>

#include "app/core/MessageBoxService.h"

// Records every box the code under test shows and answers from a queue. With
// the queue empty it answers the first button's natural choice (OK or Yes), so
// a test never blocks on a modal box.
class ScriptedMessageBox final : public MessageBoxService {
  public:
    struct Box {
        std::string text;
        std::string caption;
        MbButtons buttons;
        MbIcon icon;
        std::string detail;
        std::string technical = {};  // one click away
    };

    MbResult Show(const std::string& text, const std::string& caption, MbButtons buttons,
                  MbIcon icon) override {
        return ShowDetailed(text, caption, buttons, icon, {});
    }
    MbResult ShowDetailed(const std::string& text, const std::string& caption, MbButtons buttons,
                          MbIcon icon, const std::string& detail) override {
        boxes.push_back({text, caption, buttons, icon, detail});
        if (!answers.empty()) {
            MbResult r = answers.front();
            answers.pop_front();
            return r;
        }
        switch (buttons) {
            case MbButtons::YesNo:
            case MbButtons::YesNoCancel:
                return MbResult::Yes;
            case MbButtons::RetryCancel:
                return MbResult::Retry;
            default:
                return MbResult::Ok;
        }
    }

    // Records the offer beside the box (empty for boxes without one) and
    // takes it when takeOffers is set.
    bool ShowOffering(const std::string& text, const std::string& caption, MbIcon icon,
                      const std::string& detail, const std::string& technical,
                      const std::string& offer) override {
        (void)ShowDetailed(text, caption, MbButtons::Ok, icon, detail);
        offers.resize(boxes.size());
        offers.back() = offer;
        boxes.back().technical = technical;
        return takeOffers && !offer.empty();
    }

    void Answer(MbResult r) { answers.push_back(r); }
    [[nodiscard]] std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& b : boxes) t.push_back(b.text);
        return t;
    }

    std::vector<Box> boxes;
    std::deque<MbResult> answers;
    std::vector<std::string> offers;
    bool takeOffers = false;
};
