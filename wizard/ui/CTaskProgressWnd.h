#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "app/core/TaskProgress.h"
#include "app/core/Translate.h"

class MessageBoxService;
class QLabel;
class QProgressBar;
class QPushButton;

// The small top-most progress window shown while the program waits on the
// network: up to four lines of text, an optional bar and a Cancel button.
// The waiting code pumps it and reads cancelled() after each pump; the stop
// is asked for with a confirm box (opened above this window) and, once
// given, never resets.
class CTaskProgressWnd final : public QWidget, public TaskProgress {
    Q_OBJECT
  public:
    // owner: the window the box is centred over and that comes to the front
    // after a confirmed stop (the application's active window when null). The window is not owned
    // by it: whoever creates it deletes it.
    CTaskProgressWnd(QWidget* owner, const std::string& title, bool smooth, bool showBar,
                     MessageBoxService& messageBox);
    ~CTaskProgressWnd() override;

    void SetConfirmPrompt(const std::string& prompt) override;
    void SetText(const std::string& text) override;
    void SetRange(int lower, int upper, int step) override;
    int StepIt() override;
    int SetPos(int n) override;
    void PumpMessages(bool cancelOnEscape) override;
    [[nodiscard]] bool cancelled() const override { return cancelled_; }
    void Hide() override;
    void Show() override;

    // The Cancel procedure (Cancel button, Escape or the close button):
    // confirm, then stop; the window then shows "Stopping..." with Cancel
    // disabled until its owner destroys it.
    void OnCancel();

    [[nodiscard]] std::string Title() const { return title_; }
    [[nodiscard]] std::string ConfirmPrompt() const { return prompt_; }

    static constexpr int kTextId = 11;
    static constexpr int kBarId = 12;
    static constexpr int kCancelId = 10;
    static constexpr int kMaxTextBytes = 1031;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Layout(int lines, int width);

    MessageBoxService& messageBox_;
    QPointer<QWidget> owner_;
    std::string title_ = QT_TRANSLATE_NOOP("Message", "Download Progress");
    std::string prompt_ = QT_TRANSLATE_NOOP("Message", "Do you want to stop the task?");
    bool cancelled_ = false;
    bool showBar_;
    bool smooth_;
    bool mayShow_ = true;
    int position_ = 0;
    int percent_ = 0;
    int step_ = 1;
    int upper_ = 100;
    int lower_ = 0;
    int textLines_ = 4;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    // Set by the event filter while pumping, acted on after the pump.
    bool pumping_ = false;
    bool escapeOnPump_ = false;
    bool escapePressed_ = false;
    bool inCancel_ = false;
};

// Makes CTaskProgressWnd windows for waiting code.
class QtTaskProgressFactory final : public TaskProgressFactory {
  public:
    explicit QtTaskProgressFactory(MessageBoxService& messageBox, QWidget* owner = nullptr)
        : messageBox_(messageBox), owner_(owner) {}
    // The window the next progress windows stand over.
    void SetOwner(QWidget* owner) { owner_ = owner; }
    [[nodiscard]] std::unique_ptr<TaskProgress> Create(const std::string& title, bool smooth,
                                                       bool showBar) override;

  private:
    MessageBoxService& messageBox_;
    QPointer<QWidget> owner_;
};
