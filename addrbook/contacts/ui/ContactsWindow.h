#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "addrbook/contacts/ContactBook.h"

class ContactListModel;
struct FaxJob;
class MessageBoxService;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class QTreeView;

// The window that keeps the address book: search, add, edit and delete
// contacts, distribution lists, import and export. Every change is saved at
// once through ContactBook; a book another program changed is read again and
// the user told.
class ContactsWindow : public QMainWindow {
    Q_OBJECT
  public:
    // Dialogs the window runs, replaceable in tests: the contact editor (the
    // edited contact, or nothing when cancelled), the CSV column mapping, a
    // file name to open or save, and a list name.
    using Editor = std::function<std::optional<Contact>(QWidget*, const Contact&)>;
    using MappingChooser =
        std::function<std::optional<CsvMapping>(QWidget*, const QString& file, CsvMapping)>;
    using FileChooser = std::function<QStringList(QWidget*, bool save)>;
    using NameAsker = std::function<std::optional<QString>(QWidget*, const QString& suggested)>;

    ContactsWindow(const std::string& folder, std::string mappingsPath, MessageBoxService& boxes,
                   QWidget* parent = nullptr);
    ~ContactsWindow() override;

    void SetEditor(Editor editor) { editor_ = std::move(editor); }
    void SetMappingChooser(MappingChooser chooser) { mappingChooser_ = std::move(chooser); }
    void SetFileChooser(FileChooser chooser) { fileChooser_ = std::move(chooser); }
    void SetNameAsker(NameAsker asker) { nameAsker_ = std::move(asker); }

    [[nodiscard]] ContactBook& book() { return book_; }
    [[nodiscard]] QTreeView* contactsList() const { return view_; }
    [[nodiscard]] QListWidget* listsBox() const { return lists_; }
    [[nodiscard]] QLineEdit* searchEdit() const { return search_; }
    [[nodiscard]] QLabel* statusLine() const { return status_; }

    // The actions of the buttons, on the selected rows.
    void NewContact();
    void EditSelected();
    // Asks first; the selected contacts go as one change.
    void DeleteSelected();
    void Import();
    bool ImportFiles(const QStringList& files);
    // The selected contacts, or the whole book when none is selected.
    void Export();
    bool ExportTo(const QString& file);
    // A list of the selected contacts, under a name the user gives.
    void MakeList();
    void DeleteList();
    // Selects the members of the chosen list.
    void ShowList();
    // Reads the book again when another program saved it.
    void CheckDisk();

  private:
    void Refill();
    [[nodiscard]] std::vector<int> SelectedRows() const;
    [[nodiscard]] std::vector<std::pair<int, Contact>> Shown(const std::vector<int>& rows);
    // Tells the user what a save came to; true when it was saved.
    bool Report(const WriteResult& result);
    void Search(const QString& text);

    ContactBook book_;
    std::string mappingsPath_;
    MessageBoxService& boxes_;
    Editor editor_;
    MappingChooser mappingChooser_;
    FileChooser fileChooser_;
    NameAsker nameAsker_;
    QLineEdit* search_;
    ContactListModel* model_;
    QTreeView* view_;
    QListWidget* lists_;
    QPushButton *new_, *edit_, *delete_, *import_, *export_, *makeList_, *deleteList_;
    QLabel* status_;
    QTimer* watch_;
};

// Runs the window on the book in folder until it is closed; the program's
// exit status.
[[nodiscard]] int RunContactsWindow(const std::string& folder, const std::string& mappingsPath);

// Asks which distribution list of the book in folder to send to and adds its
// members to the job's RecipientList; true when any were added. The
// recipients page runs it.
[[nodiscard]] bool RunDistributionListChooser(QWidget* parent, FaxJob& job,
                                              const std::string& folder, MessageBoxService& boxes);
