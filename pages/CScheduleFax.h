#pragma once

#include <functional>
#include <string>
#include <vector>

#include "controls/WizardPage.h"
#include "pages/CPageViewer.h"

class ColorLabel;
class QPushButton;
class QRadioButton;

// The last page: send the fax now, or place it in the outbox.
class CScheduleFax : public WizardPage {
    Q_OBJECT
  public:
    explicit CScheduleFax(QWidget* parent = nullptr);

    // 1 = send immediately, 0 = place in the outbox.
    int sendNow = 1;

    // The files of the fax as it will be sent, cover first, for Preview.
    using DocumentsSource = std::function<std::vector<std::string>()>;
    void SetPreviewDocuments(DocumentsSource source) { documents_ = std::move(source); }
    // Where Preview shows them (the page viewer when none is set).
    void SetPreviewRunner(PreviewRunner runner) { previewRunner_ = std::move(runner); }
    void OnPreview();

    bool OnSetActive() override;
    bool OnWizardFinish() override { return true; }

    [[nodiscard]] QRadioButton* sendNowButton() const { return sendNowButton_; }
    [[nodiscard]] QRadioButton* outboxButton() const { return outboxButton_; }
    [[nodiscard]] ColorLabel* titleLabel() const { return titleLabel_; }
    [[nodiscard]] ColorLabel* promptLabel() const { return promptLabel_; }
    [[nodiscard]] QPushButton* previewButton() const { return previewButton_; }

  protected:
    void OnInitDialog() override;
    [[nodiscard]] QRect PanelRect() const override;

  private:
    ColorLabel *titleLabel_, *promptLabel_;
    QRadioButton *sendNowButton_, *outboxButton_;
    QPushButton* previewButton_;
    DocumentsSource documents_;
    PreviewRunner previewRunner_;
};
