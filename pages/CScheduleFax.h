#pragma once

#include "controls/WizardPage.h"

class ColorLabel;
class QRadioButton;

// The last page: send the fax now, or place it in the outbox.
class CScheduleFax : public WizardPage {
    Q_OBJECT
  public:
    explicit CScheduleFax(QWidget* parent = nullptr);

    // 1 = send immediately, 0 = place in the outbox.
    int sendNow = 1;

    bool OnSetActive() override;
    bool OnWizardFinish() override { return true; }

    [[nodiscard]] QRadioButton* sendNowButton() const { return sendNowButton_; }
    [[nodiscard]] QRadioButton* outboxButton() const { return outboxButton_; }
    [[nodiscard]] ColorLabel* titleLabel() const { return titleLabel_; }
    [[nodiscard]] ColorLabel* promptLabel() const { return promptLabel_; }

  protected:
    void OnInitDialog() override;
    [[nodiscard]] QRect PanelRect() const override;

  private:
    ColorLabel *titleLabel_, *promptLabel_;
    QRadioButton *sendNowButton_, *outboxButton_;
};
