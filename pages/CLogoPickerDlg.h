#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pages/CTitledPicsWnd.h"

class DocumentOpener;
class HelpService;
class QFrame;
class QPushButton;

// "Select Logo Image": the logo images of the images folder as thumbnails;
// Browse... copies another image into the folder, Delete removes the
// selected one from disk. On OK chosenPath() is the selected image.
class CLogoPickerDlg : public QDialog {
    Q_OBJECT
  public:
    // Longest paths the picker keeps, terminator included (the chosen source
    // path of Browse... may be a little longer); longer ones are refused.
    static constexpr std::size_t kMaxPath = 128;
    static constexpr std::size_t kMaxSourcePath = 132;
    // Side of the thumbnail frame in pixels.
    static constexpr int kFrameWidth = 230;
    static constexpr int kFrameHeight = 200;

    // imagesFolder ends with "/".
    explicit CLogoPickerDlg(std::string imagesFolder, QWidget* parent = nullptr,
                            DocumentOpener* opener = nullptr);
    ~CLogoPickerDlg() override;

    // Asks for the image to add; the full path, or empty when cancelled.
    using FilePicker = std::function<std::string(QWidget* parent)>;
    void SetFilePicker(FilePicker picker) { picker_ = std::move(picker); }
    [[nodiscard]] static std::string PickWithDialog(QWidget* parent);

    void Browse();
    void DeleteSelected();
    // Help and F1 open the help of this window.
    void SetHelpService(HelpService* help) { helpService_ = help; }

    [[nodiscard]] const std::string& chosenPath() const { return chosenPath_; }
    [[nodiscard]] const std::string& imagesFolder() const { return imagesFolder_; }
    [[nodiscard]] CTitledPicsWnd* thumbnails() const { return thumbs_; }
    [[nodiscard]] const std::vector<std::unique_ptr<PictureItem>>& items() const { return items_; }
    [[nodiscard]] QPushButton* browseButton() const { return browse_; }
    [[nodiscard]] QPushButton* deleteButton() const { return delete_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }

  private:
    void OnNotify(int controlId, int code);

    std::string imagesFolder_;
    std::string chosenPath_;
    std::vector<std::unique_ptr<PictureItem>> items_;
    FilePicker picker_;
    HelpService* helpService_ = nullptr;
    QFrame* frame_;
    CTitledPicsWnd* thumbs_;
    QPushButton *browse_, *delete_, *ok_, *cancel_, *help_;
};
