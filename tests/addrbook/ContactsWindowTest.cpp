#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

#include "addrbook/contacts/ui/ContactEditDlg.h"
#include "addrbook/contacts/ui/ContactsWindow.h"
#include "support/TempFolder.h"
#include "tests/support/ScriptedMessageBox.h"

namespace {

class Window : public ::testing::Test {
  protected:
    Window() {
        folder.Write("addrbook.ldif", "dn: a\r\ncn: Ann\r\n\r\ndn: b\r\ncn: Bob\r\n\r\n");
        window = std::make_unique<ContactsWindow>(folder.path(), folder.file("columns"), boxes);
        window->SetEditor([this](QWidget*, const Contact& c) -> std::optional<Contact> {
            shown.push_back(c.cn);
            if (!next) return std::nullopt;
            return *std::exchange(next, std::nullopt);
        });
    }
    void Select(std::initializer_list<int> rows) const {
        QTreeView* list = window->contactsList();
        list->clearSelection();
        for (int r : rows)
            list->selectionModel()->select(list->model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    [[nodiscard]] std::vector<std::string> OnDisk() const {
        ContactBook book(folder.path());
        (void)book.Open();
        std::vector<std::string> names;
        for (int i = 0; i < book.book().size(); ++i) names.push_back(book.book().At(i)->cn);
        return names;
    }

    TempFolder folder;
    ScriptedMessageBox boxes;
    std::unique_ptr<ContactsWindow> window;
    std::optional<Contact> next;
    std::vector<std::string> shown;
};

Contact Named(const char* cn) {
    Contact c;
    c.cn = cn;
    return c;
}

// New, edit and delete (asked first, several as one change) reach the disk.
TEST_F(Window, NewEditAndDeleteAreSaved) {
    next = Named("Cy");
    window->NewContact();
    Select({1});
    next = Named("Robert");
    window->EditSelected();
    EXPECT_EQ(shown, (std::vector<std::string>{"", "Bob"}));
    EXPECT_EQ(OnDisk(), (std::vector<std::string>{"Ann", "Robert", "Cy"}));

    Select({0, 2});
    boxes.Answer(MbResult::No);
    window->DeleteSelected();
    EXPECT_EQ(OnDisk().size(), 3u);
    window->DeleteSelected();
    EXPECT_EQ(boxes.Texts().back(), "Delete the 2 selected contacts from the address book?");
    EXPECT_EQ(OnDisk(), std::vector<std::string>{"Robert"});
    EXPECT_EQ(window->contactsList()->model()->rowCount(), 1);
}

// A change another program saved shows, and is told.
TEST_F(Window, ABookChangedUnderneathIsReadAgain) {
    ContactBook other(folder.path());
    ASSERT_TRUE(other.Open() && other.Add(Named("Cy")).ok());
    window->CheckDisk();
    EXPECT_EQ(window->contactsList()->model()->rowCount(), 3);
    EXPECT_TRUE(window->statusLine()->text().contains("changed by another program"));
}

// A CSV's columns are shown before import; lists and export use the selection.
TEST_F(Window, ImportListsAndExport) {
    folder.Write("in.csv", "Name,Fax\r\nCarol,1\r\n");
    std::vector<std::string> offered;
    window->SetMappingChooser([&](QWidget*, const QString&, CsvMapping m) {
        offered = m.fields;
        return std::optional<CsvMapping>(m);
    });
    ASSERT_TRUE(window->ImportFiles({QString::fromStdString(folder.file("in.csv"))}));
    EXPECT_EQ(offered, (std::vector<std::string>{"cn", "facsimiletelephonenumber"}));
    EXPECT_EQ(boxes.Texts().back(),
              "1 contacts added. 0 merged, 0 already in the book, 0 kept "
              "beside a contact of the same name and fax number, 0 skipped.");
    Select({0, 2});
    window->SetNameAsker([](QWidget*, const QString&) { return std::optional<QString>("Team"); });
    window->MakeList();
    ASSERT_EQ(window->listsBox()->count(), 1);
    EXPECT_EQ(window->listsBox()->item(0)->text(), "Team (2 contacts)");
    Select({});
    window->listsBox()->setCurrentRow(0);
    window->ShowList();
    EXPECT_EQ(window->contactsList()->selectionModel()->selectedRows().size(), 2);
    ASSERT_TRUE(window->ExportTo(QString::fromStdString(folder.file("out.vcf"))));
    const ImportResult back = ContactImport::ReadVCards(folder.Read("out.vcf"));
    ASSERT_EQ(back.contacts.size(), 2u);
    EXPECT_EQ(back.contacts[1].cn, "Carol");
}

// The editor needs a name and keeps what it does not show.
TEST(ContactEditor, KeepsIdentifiersAndNeedsAName) {
    Contact c = Named("");
    c.xqrvuid = "u1";
    ContactEditDlg dialog(c);
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    dialog.edit(&Contact::givenname)->setText(" Ann\t");
    dialog.edit(&Contact::sn)->setText("Lee");
    dialog.noteEdit()->setPlainText("one\n\nmail: two");
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    const Contact made = dialog.contact();
    EXPECT_EQ(std::tie(made.cn, made.xqrvuid), std::make_tuple("Ann Lee", "u1"));
    EXPECT_EQ(made.xqrvnote, "one\r\n> mail: two\r\n");
}

}  // namespace
