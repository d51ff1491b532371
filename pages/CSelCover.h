#pragma once

#include <functional>
#include <string>

#include "controls/WizardPage.h"
#include "imaging/ImagingEnvironment.h"
#include "pages/CPageViewer.h"

class ColorLabel;
class DocumentOpener;
class ImagingEnvironment;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
struct DirectorySettings;
struct FaxJob;

// The cover-sheet page: whether the printed document gets a cover sheet,
// and its logo, sender, company, subject and memo. Next hands subject and
// memo to the job and composes "Cover.tif" in a staging folder of the outbox.
class CSelCover : public WizardPage {
    Q_OBJECT
  public:
    CSelCover(FaxJob& job, const DirectorySettings& directory, ImagingEnvironment& imaging,
              QWidget* parent = nullptr);
    ~CSelCover() override;

    void SetOpener(DocumentOpener* opener) { opener_ = opener; }
    // Where Preview shows the composed cover (the page viewer when none is set).
    void SetPreviewRunner(PreviewRunner runner) { previewRunner_ = std::move(runner); }
    // Runs the logo picker on the images folder (ending with "/"); true on OK
    // with the chosen path in 'chosen'.
    using PickerRunner =
        std::function<bool(QWidget* parent, const std::string& folder, std::string& chosen)>;
    void SetPickerRunner(PickerRunner runner) { pickerRunner_ = std::move(runner); }
    [[nodiscard]] bool RunPicker(const std::string& folder, std::string& chosen);

    // What the wizard reads on Finish.
    [[nodiscard]] bool sendCoverSheet() const { return sendCover_; }
    [[nodiscard]] const std::string& coverFilePath() const { return coverFile_; }

    [[nodiscard]] const std::string& logoPath() const { return logoPath_; }
    // LocalFolders + "images", without a trailing "/".
    [[nodiscard]] std::string ImagesFolder() const;

    void OnCheckClicked();
    void OnLogoSelected(int index);
    void OnLogoButton();
    void OnPreview();

    bool OnSetActive() override;
    bool OnWizardBack() override;
    bool OnWizardNext() override;

    [[nodiscard]] QCheckBox* coverCheck() const { return check_; }
    [[nodiscard]] QLineEdit* senderEdit() const { return sender_; }
    [[nodiscard]] QLineEdit* companyEdit() const { return company_; }
    [[nodiscard]] QLineEdit* subjectEdit() const { return subject_; }
    [[nodiscard]] QPlainTextEdit* memoEdit() const { return memo_; }
    [[nodiscard]] QComboBox* logoCombo() const { return combo_; }
    [[nodiscard]] QPushButton* previewButton() const { return preview_; }
    [[nodiscard]] QPushButton* logoButton() const { return logoButton_; }

  protected:
    void OnInitDialog() override;
    [[nodiscard]] QRect PanelRect() const override;

  private:
    void ReadFields();
    void EnableFields(bool on);
    std::string Compose();

    FaxJob& job_;
    const DirectorySettings& directory_;
    ImagingEnvironment& imaging_;
    DocumentOpener* opener_ = nullptr;
    PickerRunner pickerRunner_;
    PreviewRunner previewRunner_;

    bool sendCover_ = true;
    CoverSheetFields fields_;
    std::string logoPath_;
    std::string coverFile_;
    // The cover last composed for the preview.
    std::string previewFile_;

    QCheckBox* check_;
    ColorLabel *fromLabel_, *companyLabel_, *subjectLabel_, *memoLabel_, *logoLabel_;
    QLineEdit *sender_, *company_, *subject_;
    QPlainTextEdit* memo_;
    QComboBox* combo_;
    QPushButton *preview_, *logoButton_;
};
