#pragma once

#include <memory>
#include <string>

// What waiting code needs of the progress window: texts, an optional bar, a
// pump that keeps the interface alive, and the user's confirmed stop. The
// widget (CTaskProgressWnd) implements it; code that waits on the network
// depends only on this interface and so links no widgets.
class TaskProgress {
  public:
    virtual ~TaskProgress() = default;
    virtual void SetConfirmPrompt(const std::string& prompt) = 0;
    // Text of up to four lines; longer than 1,031 bytes is cut.
    virtual void SetText(const std::string& text) = 0;
    virtual void SetRange(int lower, int upper, int step) = 0;
    virtual int StepIt() = 0;
    virtual int SetPos(int n) = 0;
    // Handles pending events; Escape (when asked) runs the cancel procedure.
    virtual void PumpMessages(bool cancelOnEscape) = 0;
    [[nodiscard]] virtual bool cancelled() const = 0;
    virtual void Hide() = 0;
    virtual void Show() = 0;
};

// Makes progress windows for the code that owns a wait.
class TaskProgressFactory {
  public:
    virtual ~TaskProgressFactory() = default;
    [[nodiscard]] virtual std::unique_ptr<TaskProgress> Create(const std::string& title,
                                                               bool smooth, bool showBar) = 0;
};
