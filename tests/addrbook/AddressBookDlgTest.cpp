#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include "addrbook/ui/CAddressBookDlg.h"
#include "addrbook/ui/CChooseFaxNumberDlg.h"
#include "controls/IconButton.h"
#include "support/TempFolder.h"
#include "tests/support/ScriptedMessageBox.h"
#include "wizard/job/FaxJob.h"

// Designated initializers name only the fields a case sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// Ann: no number; Bob: home fax; Cy: all four; Dee: mobile only; Émile: non-ASCII.
const char* kBook =
    "dn: cn=Ann,mail=ann@example.org\r\ncn: Ann\r\nmail: ann@example.org\r\n\r\n"
    "dn: cn=Bob,mail=\r\ncn: Bob\r\nxqrvhomefax: (212) 555-0101\r\n\r\n"
    "dn: cn=Cy,mail=cy@example.org\r\ncn: Cy\r\nmail: cy@example.org\r\n"
    "homephone: 1\r\ntelephonenumber: 2\r\nxqrvhomefax: 3\r\n"
    "facsimiletelephonenumber: 4-4\r\n\r\n"
    "dn: cn=Dee,mail=\r\ncn: Dee\r\ncellphone: 555 0199\r\n"
    "dn: cn=\xc3\x89mile\r\ncn: \xc3\x89mile\r\n";

FaxJob Job() {
    FaxJob job;
    job.faxNumbersAllowed = 1;
    return job;
}

void Select(CAddressBookDlg& dlg, std::initializer_list<int> rows) {
    dlg.contactsList()->clearSelection();
    for (int r : rows)
        dlg.contactsList()->selectionModel()->select(
            dlg.contactsList()->model()->index(r, 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QString Cell(const QTableView& list, int row, int column) {
    return list.model()->index(row, column).data().toString();
}

// Names of the selected contact rows.
std::vector<std::string> SelectedNames(const QTableView& list) {
    std::vector<std::string> names;
    for (const QModelIndex& i : list.selectionModel()->selectedRows())
        names.push_back(i.data().toString().toStdString());
    return names;
}

std::vector<std::string> Lines(const QListWidget& box) {
    std::vector<std::string> lines;
    for (int i = 0; i < box.count(); ++i) lines.push_back(box.item(i)->text().toStdString());
    return lines;
}

// Lets the event loop run until the dialog has every contact of its book.
void WaitForContacts(const CAddressBookDlg& dlg) {
    QElapsedTimer clock;
    clock.start();
    while (dlg.loading() && clock.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_FALSE(dlg.loading());
}

// The five-contact book in a folder of its own.
struct BookFolder : TempFolder {
    BookFolder() { Write("addrbook.ldif", kBook); }
};

// The address-book dialog over that book, with its job and message boxes.
class AddressBookDlg : public ::testing::Test {
  protected:
    BookFolder dir;
    FaxJob job = Job();
    ScriptedMessageBox boxes;
    CAddressBookDlg dlg{job, dir.path(), boxes};
    void SetUp() override { WaitForContacts(dlg); }
};

TEST_F(AddressBookDlg, ContactsShowTheirColumnsAndNumberlessOnesAreRefused) {
    QTableView& list = *dlg.contactsList();
    ASSERT_EQ(list.model()->rowCount(), 5);
    for (const auto& [column, text] : {std::pair{1, "4-4"}, {2, "3"}, {3, "cy@example.org"}})
        EXPECT_EQ(Cell(list, 2, column).toStdString(), text);
    EXPECT_EQ(SelectedNames(list), std::vector<std::string>{"Ann"});

    std::vector<std::string> asked;
    dlg.SetNumberChooser([&](QWidget*, Recipient& r, const std::string& prompt) {
        asked.push_back(r.name + ":" + prompt);
        r.SetFaxNumber(r.homeFax);
        return true;
    });
    Select(dlg, {0, 1, 3});
    dlg.AddSelected();
    EXPECT_EQ(asked, std::vector<std::string>{"Bob:Choose fax number"});
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, "No fax numbers in address book entry");
    EXPECT_EQ(boxes.boxes[0].caption, "Address Book");
    EXPECT_EQ(boxes.boxes[0].icon, MbIcon::Exclamation);
    EXPECT_EQ(Lines(*dlg.recipientsBox()), std::vector<std::string>{"\"Bob\" <2125550101>"});
    int opened = 0;
    dlg.SetContactsOpener([&] { ++opened; });
    dlg.contactsButton()->click();
    EXPECT_EQ(opened, 1) << "Contacts... opens the window that keeps the book";
}

TEST_F(AddressBookDlg, ContactsAreAskedInRowOrderCancelSkipsOneAndEachChoiceIsKept) {
    std::vector<std::string> order;
    std::vector<std::string> numbers{"777", "", "4", "3"};  // Cy confirmed without a number
    dlg.SetNumberChooser([&](QWidget*, Recipient& r, const std::string&) {
        order.push_back(r.name);
        r.faxNumber = numbers.front();
        numbers.erase(numbers.begin());
        return r.name != "Bob";
    });
    Select(dlg, {2, 1});
    dlg.AddSelected();
    EXPECT_EQ(order, (std::vector<std::string>{"Bob", "Cy"}));
    // Confirmed without a number: the e-mail address is used.
    EXPECT_EQ(Lines(*dlg.recipientsBox()), std::vector<std::string>{"\"Cy\" <cy@example.org>"});
    Select(dlg, {2});
    dlg.AddSelected();
    dlg.AddSelected();
    dlg.accept();
    // Newest entry first; the same contact twice keeps each number chosen.
    std::vector<std::string> lines;
    for (const auto& r : job.RecipientList) lines.push_back(r->displayLine);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"\"Cy\" <3>", "\"Cy\" <4>", "\"Cy\" <cy@example.org>"}));
}

TEST(AddressBookDlgBooks, MissingEmptyOrMalformedBookOpensEmptyWithTheCurrentRecipients) {
    const std::optional<std::string> books[] = {
        std::nullopt, std::string("\x01\xff garbage\r\nno colon here\r\n::\r\n")};
    for (const auto& book : books) {
        TempFolder dir;
        if (book) dir.Write("addrbook.ldif", *book);
        FaxJob job = Job();
        for (const char* n : {"111", "222"}) {
            auto r = std::make_unique<Recipient>();
            r->name = std::string("N") + n;
            r->faxNumber = n;
            r->displayLine = "\"N\" <" + std::string(n) + ">";
            job.RecipientList.push_back(std::move(r));
        }
        ScriptedMessageBox boxes;
        CAddressBookDlg dlg(job, dir.path(), boxes);
        WaitForContacts(dlg);
        EXPECT_EQ(dlg.contactsList()->model()->rowCount(), 0);
        EXPECT_EQ(Lines(*dlg.recipientsBox()),
                  (std::vector<std::string>{"N111 (111)", "N222 (222)"}));
        dlg.accept();
        ASSERT_EQ(job.RecipientList.size(), 2u);
        EXPECT_EQ(job.RecipientList.front()->faxNumber, "222");
        EXPECT_TRUE(boxes.boxes.empty());
    }
}

TEST_F(AddressBookDlg, RecipientsBoxKeysAndCancelLeaveTheJobAlone) {
    dlg.SetNumberChooser([](QWidget*, Recipient& r, const std::string&) {
        r.faxNumber = "9";
        return true;
    });
    Select(dlg, {1, 2});
    dlg.AddSelected();
    QListWidget& box = *dlg.recipientsBox();
    box.setCurrentRow(1);
    QTest::keyClick(&box, Qt::Key_Down);
    EXPECT_EQ(box.currentRow(), 1);
    QTest::keyClick(&box, Qt::Key_A);
    EXPECT_EQ(box.count(), 2);
    QTest::keyClick(&box, Qt::Key_Delete);
    EXPECT_EQ(Lines(box), std::vector<std::string>{"\"Bob\" <9>"});
    EXPECT_EQ(box.currentRow(), 0);

    // Typed, backspaced, retyped: the first name beginning with the text is selected.
    const std::pair<const char*, const char*> typed[] = {{"c", "Cy"},
                                                         {"cZ", "Cy"},
                                                         {"c", "Cy"},
                                                         {"B", "Bob"},
                                                         {"bo", "Bob"},
                                                         {"d", "Dee"},
                                                         {"\xc3\xa9M", "\xc3\x89mile"}};
    for (const auto& [text, name] : typed) {
        dlg.searchEdit()->setText(QString::fromUtf8(text));
        EXPECT_EQ(SelectedNames(*dlg.contactsList()), std::vector<std::string>{name}) << text;
    }

    dlg.reject();
    EXPECT_TRUE(job.RecipientList.empty());
}

// A book arriving in parts: usable at once, typed names found later, OK/Cancel clean.
TEST(AddressBookDlgBooks, TypingOkAndCancelWhileTheBookIsRead) {
    TempFolder dir;
    std::string text;
    constexpr int kContacts = 40000;
    for (int i = 0; i < kContacts; ++i)
        text += "dn: x\r\ncn: Person " + std::to_string(i) +
                "\r\nxqrvhomefax: " + std::to_string(i) + "\r\nxqrvnote: " + std::string(40, 'n') +
                "\r\n\r\n";
    dir.Write("addrbook.ldif", text);
    const std::string last = "person " + std::to_string(kContacts - 1);
    for (int end = 0; end < 3; ++end) {
        FaxJob job = Job();
        auto r = std::make_unique<Recipient>();
        r->name = "Kept";
        r->faxNumber = "1";
        job.RecipientList.push_back(std::move(r));
        ScriptedMessageBox boxes;
        auto dlg = std::make_unique<CAddressBookDlg>(job, dir.path(), boxes);
        ASSERT_TRUE(dlg->loading());
        dlg->searchEdit()->setText(QString::fromStdString(last));
        if (end == 0) {
            WaitForContacts(*dlg);
            EXPECT_EQ(dlg->contactsList()->model()->rowCount(), kContacts);
            EXPECT_EQ(SelectedNames(*dlg->contactsList()),
                      std::vector<std::string>{"Person " + std::to_string(kContacts - 1)});
            dlg->searchEdit()->setText("PERSON 1");
            EXPECT_EQ(SelectedNames(*dlg->contactsList()), std::vector<std::string>{"Person 1"});
            continue;
        }
        QApplication::processEvents();
        if (end == 1) dlg->accept();
        if (end == 2) dlg->reject();
        dlg.reset();  // the worker stops with the dialog
        ASSERT_EQ(job.RecipientList.size(), 1u);
        EXPECT_EQ(job.RecipientList.front()->name, "Kept");
    }
}

TEST(ChooseFaxNumberDlg, ListsNumbersTopDownAndReducesOnOkOnly) {
    Recipient r{
        .homePhone = "1", .homeFax = "3", .businessPhone = "2", .businessFax = "(212) 555-0100"};
    CChooseFaxNumberDlg dlg(r, "Choose fax number");
    QTreeWidget& list = *dlg.numberList();
    ASSERT_EQ(list.topLevelItemCount(), 4);
    const char* order[] = {"Business Fax", "Home Fax", "Business Phone", "Home Phone"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.topLevelItem(i)->text(0).toStdString(), order[i]);
    EXPECT_TRUE(list.selectedItems().isEmpty());
    // The number heading is empty on screen; the locations are never cut short.
    EXPECT_TRUE(list.headerItem()->text(1).isEmpty());
    for (int i = 0; i < 4; ++i)
        EXPECT_GT(list.columnWidth(0),
                  list.fontMetrics().horizontalAdvance(list.topLevelItem(i)->text(0)));

    dlg.show();
    const QRect first = list.visualItemRect(list.topLevelItem(0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(r.faxNumber, "(212) 555-0100");
    dlg.accept();
    EXPECT_EQ(r.faxNumber, "2125550100");

    Recipient d{.homeFax = "55 01-02"};
    CChooseFaxNumberDlg twice(d, "Choose fax number");
    twice.show();
    QTreeWidget& one = *twice.numberList();
    QTest::mouseDClick(one.viewport(), Qt::LeftButton, {},
                       one.visualItemRect(one.topLevelItem(0)).center());
    EXPECT_EQ(twice.result(), QDialog::Accepted);
    // Digits only, as on OK: the gateway address takes nothing else.
    EXPECT_EQ(d.faxNumber, "550102");
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Choose Fax Number"));
    d.name = "Dee";
    EXPECT_EQ(CChooseFaxNumberDlg(d, "Choose fax number").windowTitle(),
              QStringLiteral("Choose Fax Number - Dee"));
}

}  // namespace
