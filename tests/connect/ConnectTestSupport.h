#pragma once

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/TaskProgress.h"
#include "connect/NetworkState.h"

// Progress windows whose record outlives them, so a test can read what a
// finished wait showed. cancelAfterPumps stands for the user's confirmed stop.
struct ProgressRecord {
    std::string title, prompt;
    std::vector<std::string> texts;
    int lower = 0, upper = 100, step = 1, pos = 0, pumps = 0;
    bool cancelled = false, closed = false;
};

class RecordingProgressFactory final : public TaskProgressFactory {
  public:
    std::unique_ptr<TaskProgress> Create(const std::string& title, bool, bool) override {
        auto record = std::make_shared<ProgressRecord>();
        record->title = title;
        made.push_back(record);
        return std::make_unique<Window>(record, cancelAfterPumps);
    }
    int cancelAfterPumps = 0;
    std::vector<std::shared_ptr<ProgressRecord>> made;

  private:
    class Window final : public TaskProgress {
      public:
        Window(std::shared_ptr<ProgressRecord> r, int cancelAfter)
            : r_(std::move(r)), cancelAfter_(cancelAfter) {}
        ~Window() override { r_->closed = true; }
        void SetConfirmPrompt(const std::string& p) override { r_->prompt = p; }
        void SetText(const std::string& t) override { r_->texts.push_back(t); }
        void SetRange(int l, int u, int s) override {
            r_->lower = l;
            r_->upper = u;
            r_->step = s;
        }
        int StepIt() override { return SetPos(r_->pos + r_->step); }
        int SetPos(int n) override { return r_->pos = n; }
        void PumpMessages(bool) override {
            if (++r_->pumps == cancelAfter_) r_->cancelled = true;
        }
        bool cancelled() const override { return r_->cancelled; }
        void Hide() override {}
        void Show() override {}

      private:
        std::shared_ptr<ProgressRecord> r_;
        int cancelAfter_;
    };
};

// A network whose state and interfaces the test sets.
class FakeNetworkState final : public NetworkState {
  public:
    bool GetConnectedState(std::uint32_t& f) override {
        ++stateQueries;
        f = flags;
        return flags != 0;
    }
    std::vector<InterfaceAddress> Interfaces() override { return interfaces; }

    std::uint32_t flags = 0;
    std::vector<InterfaceAddress> interfaces;
    int stateQueries = 0;
};

// One of the test libraries, opened by the test so that it can script it;
// the code under test opening the same file shares its state.
class FakeLib {
  public:
    explicit FakeLib(const char* path) : handle_(::dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
        EXPECT_NE(handle_, nullptr) << ::dlerror();
    }
    ~FakeLib() {
        if (handle_) ::dlclose(handle_);
    }
    FakeLib(const FakeLib&) = delete;
    FakeLib& operator=(const FakeLib&) = delete;

    template <class F>
    F Fn(const char* name) const {
        void* p = handle_ ? ::dlsym(handle_, name) : nullptr;
        EXPECT_NE(p, nullptr) << name;
        return reinterpret_cast<F>(p);
    }

  private:
    void* handle_;
};

// A registry store file of the test's, named by CORVINAPORT_REGISTRY while
// the object lives.
class ScopedRegistry {
  public:
    ScopedRegistry() {
        char tmpl[] = "/tmp/connect-reg-XXXXXX";
        int fd = ::mkstemp(tmpl);
        if (fd >= 0) ::close(fd);
        path_ = tmpl;
        Write("");
        ::setenv("CORVINAPORT_REGISTRY", path_.c_str(), 1);
    }
    ~ScopedRegistry() {
        ::unsetenv("CORVINAPORT_REGISTRY");
        ::unlink(path_.c_str());
    }
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;

    // Body lines after the header, e.g. "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]".
    void Write(const std::string& body) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << "Windows Registry Editor Version 5.00\r\n\r\n" << body;
    }

  private:
    std::string path_;
};
