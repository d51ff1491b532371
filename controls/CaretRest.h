#pragma once

#include <QObject>
#include <QTimer>

// Stops the text caret's blinking once the user has left the program alone
// for a while, as desktops do to save power: an idle window then has no
// reason to wake up at all. The next key press or mouse click lets it blink
// again. One for the application, living as long as its windows.
class CaretRest : public QObject {
    Q_OBJECT
  public:
    // Desktops rest the caret after ten seconds without input.
    static constexpr int kRestAfterMs = 10000;

    explicit CaretRest(int restAfterMs = kRestAfterMs, QObject* parent = nullptr);
    ~CaretRest() override;
    CaretRest(const CaretRest&) = delete;
    CaretRest& operator=(const CaretRest&) = delete;

    [[nodiscard]] bool resting() const { return resting_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Rest();
    void Wake();

    QTimer rest_;
    int flashTime_;
    bool resting_ = false;
};
