#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/TaskProgress.h"

// A progress window without a window, for code that waits: records what it is
// told and can stand for the user's confirmed stop after a number of pumps.
class FakeProgress final : public TaskProgress {
  public:
    void SetConfirmPrompt(const std::string&) override {}
    void SetText(const std::string& t) override { texts.push_back(t); }
    void SetRange(int, int, int s) override { step = s; }
    int StepIt() override { return SetPos(pos + step); }
    int SetPos(int n) override {
        pos = n;
        return n;
    }
    void PumpMessages(bool) override {
        ++pumps;
        if (onPump) onPump(*this);
        if (cancelAfterPumps > 0 && pumps >= cancelAfterPumps) isCancelled = true;
    }
    bool cancelled() const override { return isCancelled; }
    void Hide() override {}
    void Show() override {}

    std::string title;
    std::vector<std::string> texts;
    int step = 1, pos = 0;
    int pumps = 0;
    int cancelAfterPumps = 0;
    bool isCancelled = false;
    std::function<void(FakeProgress&)> onPump;
};

// Hands out windows that record into FakeProgress objects the factory keeps,
// so that a test can read what a window showed after it closed.
class FakeProgressFactory final : public TaskProgressFactory {
  public:
    std::unique_ptr<TaskProgress> Create(const std::string& title, bool, bool) override {
        FakeProgress& p = *kept_.emplace_back(std::make_unique<FakeProgress>());
        p.title = title;
        p.cancelAfterPumps = cancelAfterPumps;
        p.onPump = onPump;
        made.push_back(&p);
        return std::make_unique<Window>(p);
    }
    int cancelAfterPumps = 0;
    std::function<void(FakeProgress&)> onPump;
    std::vector<FakeProgress*> made;  // valid while the factory lives

  private:
    class Window final : public TaskProgress {
      public:
        explicit Window(FakeProgress& p) : p_(p) {}
        void SetConfirmPrompt(const std::string& t) override { p_.SetConfirmPrompt(t); }
        void SetText(const std::string& t) override { p_.SetText(t); }
        void SetRange(int l, int u, int s) override { p_.SetRange(l, u, s); }
        int StepIt() override { return p_.StepIt(); }
        int SetPos(int n) override { return p_.SetPos(n); }
        void PumpMessages(bool b) override { p_.PumpMessages(b); }
        bool cancelled() const override { return p_.cancelled(); }
        void Hide() override { p_.Hide(); }
        void Show() override { p_.Show(); }

      private:
        FakeProgress& p_;
    };
    std::vector<std::unique_ptr<FakeProgress>> kept_;
};
