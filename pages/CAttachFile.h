#pragma once

#include <functional>
#include <string>

#include "controls/WizardPage.h"

class ColorLabel;
class DocumentOpener;
class QListWidget;
class QListWidgetItem;
class QPushButton;
struct FaxJob;

// The document page: the one file to be faxed, shown with its icon, opened
// in its program on request, kept in the job's AttachmentList.
class CAttachFile : public WizardPage {
    Q_OBJECT
  public:
    explicit CAttachFile(FaxJob& job, QWidget* parent = nullptr);

    // Asks the user for a file; the full path, or empty when cancelled.
    using FilePicker = std::function<std::string(QWidget* parent)>;
    void SetFilePicker(FilePicker picker) { picker_ = std::move(picker); }
    void SetOpener(DocumentOpener* opener) { opener_ = opener; }

    // The system's file-open dialog with the page's title, folder and filters.
    [[nodiscard]] static std::string PickWithDialog(QWidget* parent);
    // The dialog's filters: description and patterns, in order.
    struct Filter {
        const char* description;
        const char* patterns;
    };
    static const Filter kFilters[7];
    // A filter as the Qt file dialog reads it.
    [[nodiscard]] static QString QtFilter(const Filter& filter);

    void AddFile();
    void RemoveSelected();
    void OpenSelected();
    void UpdateButtons();

    bool OnSetActive() override;
    bool OnWizardBack() override;
    bool OnWizardNext() override;

    [[nodiscard]] QListWidget* list() const { return list_; }
    [[nodiscard]] QPushButton* addButton() const { return addButton_; }
    [[nodiscard]] QPushButton* openButton() const { return openButton_; }
    [[nodiscard]] QPushButton* removeButton() const { return removeButton_; }
    [[nodiscard]] ColorLabel* titleLabel() const { return titleLabel_; }
    [[nodiscard]] ColorLabel* filesLabel() const { return filesLabel_; }
    // The AttachmentList entry an item stands for.
    [[nodiscard]] static std::string* PathOf(const QListWidgetItem* item);

  protected:
    void OnInitDialog() override;
    [[nodiscard]] QRect PanelRect() const override;

  private:
    void AddItem(std::string* path);

    FaxJob& job_;
    FilePicker picker_;
    DocumentOpener* opener_ = nullptr;
    ColorLabel *titleLabel_, *filesLabel_;
    QListWidget* list_;
    QPushButton *addButton_, *openButton_, *removeButton_;
};
