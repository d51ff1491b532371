#pragma once

#include <QPointer>
#include <QWidget>

#include "app/core/MessageBoxService.h"

// Modal boxes of the program, shown with QMessageBox over the given owner, or
// over a top-most window (a progress window) while one is shown.
class QtMessageBoxService final : public MessageBoxService {
  public:
    explicit QtMessageBoxService(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }
    MbResult Show(const std::string& text, const std::string& caption, MbButtons buttons,
                  MbIcon icon) override;
    MbResult ShowDetailed(const std::string& text, const std::string& caption, MbButtons buttons,
                          MbIcon icon, const std::string& detail) override;
    bool ShowOffering(const std::string& text, const std::string& caption, MbIcon icon,
                      const std::string& detail, const std::string& technical,
                      const std::string& offer) override;

  private:
    MbResult Run(const std::string& text, const std::string& caption, MbButtons buttons,
                 MbIcon icon, const std::string& detail, const std::string& technical,
                 const std::string& offer, bool* offerTaken);

    QPointer<QWidget> owner_;
};
