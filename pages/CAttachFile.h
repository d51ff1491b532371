#pragma once

#include <functional>
#include <string>
#include <vector>

#include "controls/WizardPage.h"

class ColorLabel;
class DocumentOpener;
class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;
struct FaxJob;

// The document page: the files to be faxed, in the order they are sent, each
// shown with its icon and opened in its program on request; kept in the
// job's AttachmentList. A box asks for a cover sheet in front of them.
class CAttachFile : public WizardPage {
    Q_OBJECT
  public:
    explicit CAttachFile(FaxJob& job, QWidget* parent = nullptr);

    // Asks the user for files; their full paths, none when cancelled.
    using FilePicker = std::function<std::vector<std::string>(QWidget* parent)>;
    void SetFilePicker(FilePicker picker) { picker_ = std::move(picker); }
    void SetOpener(DocumentOpener* opener) { opener_ = opener; }

    // The system's file-open dialog with the page's title, folder and filters.
    [[nodiscard]] static std::vector<std::string> PickWithDialog(QWidget* parent);
    // The dialog's filters: description and patterns, in order.
    struct Filter {
        const char* description;
        const char* patterns;
    };
    static const Filter kFilters[8];
    // A filter as the Qt file dialog reads it.
    [[nodiscard]] static QString QtFilter(const Filter& filter);

    // Adds the files at the end of the list, in their order. A file attached
    // already, a folder, and a file that cannot be read are not added; one
    // box names them and why. The number of files added.
    int AddFiles(const std::vector<std::string>& paths);
    void AddFile();
    void RemoveSelected();
    void OpenSelected();
    // Moves the selected files one place up (step -1) or down (step 1).
    void MoveSelected(int step);
    void UpdateButtons();

    // The cover-sheet box: offered unless hidden, unchecked at the start.
    void SetCoverSheetOffered(bool on);
    [[nodiscard]] bool coverSheetWanted() const;

    bool OnSetActive() override;
    bool OnWizardBack() override;
    bool OnWizardNext() override;

    [[nodiscard]] QListWidget* list() const { return list_; }
    [[nodiscard]] QPushButton* addButton() const { return addButton_; }
    [[nodiscard]] QPushButton* openButton() const { return openButton_; }
    [[nodiscard]] QPushButton* removeButton() const { return removeButton_; }
    [[nodiscard]] QPushButton* upButton() const { return upButton_; }
    [[nodiscard]] QPushButton* downButton() const { return downButton_; }
    [[nodiscard]] QCheckBox* coverCheck() const { return coverCheck_; }
    [[nodiscard]] ColorLabel* titleLabel() const { return titleLabel_; }
    [[nodiscard]] ColorLabel* filesLabel() const { return filesLabel_; }
    // The AttachmentList entry an item stands for.
    [[nodiscard]] static std::string* PathOf(const QListWidgetItem* item);

  signals:
    // The cover-sheet box was checked or cleared.
    void coverSheetToggled(bool on);

  protected:
    void OnInitDialog() override;
    [[nodiscard]] QRect PanelRect() const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void AddItem(std::string* path);
    // Why path cannot be added; empty when it can.
    [[nodiscard]] QString Refusal(const std::string& path) const;

    FaxJob& job_;
    FilePicker picker_;
    DocumentOpener* opener_ = nullptr;
    ColorLabel *titleLabel_, *filesLabel_;
    QListWidget* list_;
    QPushButton *addButton_, *openButton_, *removeButton_, *upButton_, *downButton_;
    QCheckBox* coverCheck_;
};
