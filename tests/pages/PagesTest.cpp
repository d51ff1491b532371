#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "controls/ColorLabel.h"
#include "controls/HyperLink.h"
#include "pages/CAttachFile.h"
#include "pages/CScheduleFax.h"
#include "pages/CSelRecipient.h"
#include "support/FakeShellLauncher.h"
#include "support/RecordingOpener.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempFolder.h"
#include "support/TempStore.h"
#include "wizard/job/FaxJob.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kInvalid = "Please enter valid Fax number or Email address!";
constexpr const char* kNoRecipient = "Please enter at least one recipient!";

struct SheetButtons final : WizardSheet {
    void SetWizardButtons(unsigned f) override { flags = f; }
    unsigned flags = 0;
};

// Every refusal is the page's warning box.
void ExpectWarnings(const ScriptedMessageBox& boxes, const std::vector<std::string>& texts) {
    EXPECT_EQ(boxes.Texts(), texts);
    for (const auto& b : boxes.boxes) {
        EXPECT_EQ(b.caption, "Send a Fax - Corvinaport") << b.text;
        EXPECT_EQ(b.icon, MbIcon::Exclamation) << b.text;
        EXPECT_EQ(b.buttons, MbButtons::Ok) << b.text;
    }
}

// Adds the line at row to the list box's selection, as a click does.
void Select(QAbstractItemView& list, int row) {
    list.selectionModel()->select(list.model()->index(row, 0), QItemSelectionModel::Select);
}

class RecipientsPage : public testing::Test {
  protected:
    void SetUp() override {
        job.faxNumbersAllowed = 1;
        page = std::make_unique<CSelRecipient>(job);
        page->SetMessageBox(&boxes);
        page->SetSheet(&sheet);
        page->EnsureInitialized();
        page->OnSetActive();
    }
    void Type(const char* number, const char* first = "", const char* last = "") {
        page->numberEdit()->clear();
        QTest::keyClicks(page->numberEdit(), QString::fromUtf8(number));
        page->firstNameEdit()->setText(QString::fromUtf8(first));
        page->lastNameEdit()->setText(QString::fromUtf8(last));
    }
    void Add() { QTest::mouseClick(page->addButton(), Qt::LeftButton); }

    FaxJob job;
    ScriptedMessageBox boxes;
    SheetButtons sheet;
    std::unique_ptr<CSelRecipient> page;
};

TEST_F(RecipientsPage, NumbersBecomeNamedOrGenericLinesAndRemovalTakesTheChosenOnes) {
    EXPECT_EQ(sheet.flags, PSWIZB_NEXT);
    Type("1 (212) 555-0100", "Ann", "Lee");
    Add();
    for (int i = 0; i < 2; ++i) {  // the same number twice gives two lines
        Type("+1-212-555-0199", "Ann");
        Add();
    }
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(job.RecipientList.size(), 3u);
    const Recipient& newest = *job.RecipientList.front();
    EXPECT_EQ(newest.displayLine, "\"Fax Recipient\" <12125550199>");
    EXPECT_EQ(newest.name, "Ann ");
    const Recipient& first = *job.RecipientList.back();
    EXPECT_EQ(std::tie(first.displayLine, first.businessFax, first.name),
              std::make_tuple("\"Ann Lee\" <12125550100>", "12125550100", "Ann Lee"));
    // The fields are cleared and Add waits for the next number.
    EXPECT_TRUE(page->numberEdit()->text().isEmpty() && !page->addButton()->isEnabled());
    // The list box sorts the lines; each line carries its record.
    ASSERT_EQ(page->lineCount(), 3);
    EXPECT_EQ(page->RecipientAt(0), &first);
    // Remove takes exactly the chosen records.
    EXPECT_FALSE(page->removeButton()->isEnabled());
    Select(*page->list(), 0);
    Select(*page->list(), 2);
    EXPECT_TRUE(page->removeButton()->isEnabled());
    Recipient* kept = page->RecipientAt(1);
    QTest::mouseClick(page->removeButton(), Qt::LeftButton);
    ASSERT_EQ(job.RecipientList.size(), 1u);
    EXPECT_EQ(job.RecipientList.front().get(), kept);
    EXPECT_EQ(page->lineCount(), 1);
    EXPECT_FALSE(page->removeButton()->isEnabled());
}

// A typed entry is a number (its digits), an address (with "@" and "."), or refused and kept.
TEST_F(RecipientsPage, TypedEntriesBecomeNumbersAddressesOrAreRefused) {
    struct Case {
        const char* number;
        const char* email;
        bool next;            // Next instead of Add
        std::string outcome;  // the recipient's line, or the refusal
    };
    const Case cases[] = {
        {"55-12", "", false, "\"Fax Recipient\" <5512>"},
        {"011 44 20 7946 0958 1234", "", false, "\"Fax Recipient\" <0114420794609581234>"},
        {" ann@example.com ", "", false, "\"Email Recipient\" <ann@example.com>"},
        {"", "ann@example.com", false, "\"Email Recipient\" <ann@example.com>"},
        {"12125550100", "", true, "\"Fax Recipient\" <12125550100>"},
        {"FAX-ME", "", false, kInvalid},
        {"   ", "", false, kInvalid},
        {"ann@example", "", false, kInvalid},
        {"", "ann@example", false, kInvalid},
        {"", "ann.example.com", false, kInvalid},
        {"", "ann@example", true, kInvalid},
        {"", "", true, kNoRecipient},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.number) + "|" + c.email;
        const bool accepted = c.outcome.starts_with('"');
        boxes.boxes.clear();
        job.ClearRecipients();
        page->RefillList();
        Type(c.number);
        page->emailEdit()->setText(QString::fromUtf8(c.email));
        EXPECT_EQ(c.next ? page->OnWizardNext() : page->AddRecipient(), accepted) << what;
        if (!accepted) {
            ExpectWarnings(boxes, {c.outcome});
            EXPECT_EQ(page->numberEdit()->text().toStdString(), c.number) << what;
            EXPECT_EQ(page->emailEdit()->text().toStdString(), c.email) << what;
            EXPECT_TRUE(job.RecipientList.empty() && page->lineCount() == 0) << what;
            // Next keeps the page instead of dropping the entry.
            EXPECT_FALSE(page->OnWizardNext()) << what;
            continue;
        }
        EXPECT_TRUE(boxes.boxes.empty()) << what;
        ASSERT_EQ(job.RecipientList.size(), 1u) << what;
        const Recipient& r = *job.RecipientList.front();
        EXPECT_EQ(r.displayLine, c.outcome);
        // The record holds the number (also as the business fax) or the address.
        EXPECT_EQ(r.faxNumber, r.businessFax);
        EXPECT_TRUE(c.outcome.ends_with(" <" + r.faxNumber + r.email + ">")) << what;
        // A refused entry keeps the page even with recipients in the list.
        boxes.boxes.clear();
        Type("FAX-ME");
        EXPECT_FALSE(page->OnWizardNext()) << what;
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kInvalid}) << what;
        EXPECT_EQ(job.RecipientList.size(), 1u) << what;
    }
}

TEST_F(RecipientsPage, ToLabelRefillsTheListOnlyWhenTheAddressBookEndsWithOk) {
    bool answer = false;
    const auto runner = [&](QWidget*, FaxJob& j) {
        auto r = std::make_unique<Recipient>();
        r->displayLine = "\"Bo Kay\" <5551112222>";
        j.RecipientList.push_front(std::move(r));
        return answer;
    };
    page->SetAddressBookRunner(runner);
    QTest::mouseClick(page->toLabel(), Qt::LeftButton);
    EXPECT_EQ(page->lineCount(), 0);
    answer = true;
    QTest::mouseClick(page->toLabel(), Qt::LeftButton);
    EXPECT_EQ(page->lineCount(), 2);
    // A distribution list is added the same way, by its own button.
    EXPECT_TRUE(page->listButton()->isHidden());
    page->SetListRunner(runner);
    page->listButton()->click();
    EXPECT_EQ(page->lineCount(), 3);
}

// Numbers not allowed: the preset shows locked, and the service link opens the site.
TEST(RecipientsPageLink, PresetAndServiceLinkWhileNumbersAreNotAllowed) {
    const TempStore noAssociation;
    ScriptedMessageBox boxes;
    FakeLauncher launcher;
    launcher.shellResult = 42;  // started
    FaxJob job;
    job.faxNumbersAllowed = 0;
    job.presetFaxNumber = "1 212 555 0100";
    job.presetFirstName = "Ann";
    CSelRecipient page(job);
    page.SetMessageBox(&boxes);
    page.SetShellLauncher(&launcher);
    page.EnsureInitialized();
    page.show();
    EXPECT_EQ(page.numberEdit()->text().toStdString(), "1 212 555 0100");
    EXPECT_EQ(page.firstNameEdit()->text().toStdString(), "Ann");
    EXPECT_TRUE(page.addButton()->isEnabled());
    EXPECT_FALSE(page.numberEdit()->isEnabled());
    HyperLink* link = page.serviceLink();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->text(), "Get Zephrim Now");

    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(launcher.opened, std::vector<std::string>{CSelRecipient::kServiceSite});
    EXPECT_TRUE(link->visited() && boxes.boxes.empty());
    launcher.shellResult = 31;  // a failed open is told through the page's boxes
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

// The list box as it was filled before: each line sorted into place on its own.
class OneByOneItem final : public QListWidgetItem {
  public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        const int c = text().compare(other.text(), Qt::CaseInsensitive);
        return c != 0 ? c < 0 : text() < other.text();
    }
};

// Rows of a list box: their text and record.
std::vector<std::pair<QString, const Recipient*>> Rows(const QAbstractItemView& list) {
    std::vector<std::pair<QString, const Recipient*>> rows;
    const QAbstractItemModel& model = *list.model();
    for (int i = 0; i < model.rowCount(); ++i) {
        const QModelIndex at = model.index(i, 0);
        rows.emplace_back(at.data().toString(),
                          reinterpret_cast<const Recipient*>(
                              at.data(CSelRecipient::kRecipientRole).value<quintptr>()));
    }
    return rows;
}

// Filled at once, lines (and equal lines' records) keep the one-by-one order.
TEST_F(RecipientsPage, FillingAtOnceKeepsTheOrderOfAddingOneByOne) {
    const std::vector<std::string> parts = {"",
                                            "ann",
                                            "Ann",
                                            "ANN",
                                            "\xc3\x84nne",
                                            "\xc3\xa4nne",
                                            "zo\xc3\xab",
                                            "Zo\xc3\xab",
                                            "\xce\xa9",
                                            "\xcf\x89",
                                            " ",
                                            "b",
                                            "B ",
                                            "\"",
                                            "<1>",
                                            "\"Fax Recipient\" <1212555"};
    std::mt19937 random(7);
    for (const int n : {0, 1, 2, 17, 300}) {
        job.ClearRecipients();
        for (int i = 0; i < n; ++i) {
            auto r = std::make_unique<Recipient>();
            // Few distinct lines, so that many are equal or differ in case only,
            // some alike for more than the eight bytes sorted at a time.
            for (int k = static_cast<int>(random() % 3); k > 0; --k)
                r->displayLine += parts[random() % parts.size()];
            job.RecipientList.push_back(std::move(r));
        }
        page->RefillList();
        QListWidget twin;
        twin.setSortingEnabled(true);
        const auto addTwin = [&twin](const Recipient& r) {
            auto* item = new OneByOneItem(QString::fromStdString(r.displayLine));
            item->setData(Qt::UserRole + 1, QVariant::fromValue(reinterpret_cast<quintptr>(&r)));
            twin.addItem(item);
        };
        for (const auto& r : job.RecipientList) addTwin(*r);
        ASSERT_EQ(Rows(*page->list()), Rows(twin)) << n;

        // A line added afterwards is still sorted into place.
        Type("5550100", "\xc3\x84nne", "b");
        Add();
        addTwin(*job.RecipientList.front());
        ASSERT_EQ(Rows(*page->list()), Rows(twin)) << n;

        // Removing some lines, or all, keeps the others in order and their records.
        for (const int step : {3, 1}) {
            std::vector<std::pair<QString, const Recipient*>> left;
            const auto before = Rows(*page->list());
            for (std::size_t row = 0; row < before.size(); ++row) {
                if (row % step == 0)
                    Select(*page->list(), static_cast<int>(row));
                else
                    left.push_back(before[row]);
            }
            page->RemoveSelected();
            ASSERT_EQ(Rows(*page->list()), left) << n << " " << step;
            std::multiset<const Recipient*> records, kept;
            for (const auto& r : job.RecipientList) records.insert(r.get());
            for (const auto& row : left) kept.insert(row.second);
            EXPECT_EQ(records, kept) << n << " " << step;
        }
    }
}

// A line far wider than the list box scrolls into view whole, sorted first,
// between or last, filled at once or typed; once it goes the range shrinks.
TEST_F(RecipientsPage, TheWidestLineScrollsIntoViewWhole) {
    page->resize(480, 360);
    page->show();
    QListView& list = *page->list();
    const auto reach = [&list] {
        list.doItemsLayout();
        return list.horizontalScrollBar()->maximum() + list.viewport()->width();
    };
    const std::string wide = "W" + std::string(300, 'w');
    for (const std::string name : {"A", "C", "E"}) {
        for (const bool typed : {false, true}) {
            job.ClearRecipients();
            const std::vector<std::string> lines = {"\"B\" <1>", "\"D\" <2>",
                                                    "\"" + name + wide + "\" <3>"};
            for (std::size_t i = 0; i < (typed ? 2U : 3U); ++i) {
                job.RecipientList.push_back(std::make_unique<Recipient>());
                job.RecipientList.back()->displayLine = lines[i];
            }
            page->RefillList();
            if (typed) {
                Type("5550100", (name + wide).c_str(), "Lee");
                Add();
            }
            const auto found =
                list.model()->match(list.model()->index(0, 0), Qt::DisplayRole,
                                    QString::fromStdString(wide), -1, Qt::MatchContains);
            ASSERT_EQ(found.size(), 1) << name << typed;
            const int width = list.fontMetrics().horizontalAdvance(found.front().data().toString());
            EXPECT_GE(reach(), width) << name << typed;
            Select(list, found.front().row());
            page->RemoveSelected();
            EXPECT_LT(reach(), width) << name << typed;
        }
    }
}

// Names of the job's attached files, in their order.
std::vector<std::string> Attached(const FaxJob& job) {
    std::vector<std::string> names;
    for (const std::string& p : job.AttachmentList) names.push_back(p.substr(p.rfind('/') + 1));
    return names;
}

TEST(DocumentPage, SeveralFilesKeepTheListOrderThroughAddMoveOpenAndRemove) {
    FaxJob job;
    ScriptedMessageBox boxes;
    SheetButtons sheet;
    RecordingOpener opener;
    opener.works = false;
    TempFolder dir;
    for (const char* name : {"a.pdf", "b.unknownext", "c.txt"}) dir.Write(name, "x");
    CAttachFile page(job);
    page.SetMessageBox(&boxes);
    page.SetSheet(&sheet);
    page.SetOpener(&opener);
    std::vector<std::string> pick;
    page.SetFilePicker([&](QWidget*) { return pick; });
    page.EnsureInitialized();
    page.OnSetActive();
    EXPECT_EQ(sheet.flags, PSWIZB_BACK | PSWIZB_NEXT);
    EXPECT_FALSE(page.coverCheck()->isChecked());

    EXPECT_FALSE(page.OnWizardNext());
    QTest::mouseClick(page.addButton(), Qt::LeftButton);  // dialog cancelled
    EXPECT_TRUE(job.AttachmentList.empty());
    pick = {dir.file("a.pdf"), dir.file("b.unknownext")};
    QTest::mouseClick(page.addButton(), Qt::LeftButton);
    pick = {dir.file("c.txt")};
    QTest::mouseClick(page.addButton(), Qt::LeftButton);
    ASSERT_EQ(Attached(job), (std::vector<std::string>{"a.pdf", "b.unknownext", "c.txt"}));
    EXPECT_FALSE(page.list()->item(1)->icon().isNull());

    // The last file moves to the top; the list view and the job agree.
    page.list()->item(2)->setSelected(true);
    EXPECT_FALSE(page.downButton()->isEnabled());
    QTest::mouseClick(page.upButton(), Qt::LeftButton);
    QTest::mouseClick(page.upButton(), Qt::LeftButton);
    EXPECT_FALSE(page.upButton()->isEnabled());
    ASSERT_EQ(Attached(job), (std::vector<std::string>{"c.txt", "a.pdf", "b.unknownext"}));
    QTest::mouseClick(page.openButton(), Qt::LeftButton);
    EXPECT_EQ(opener.opened, std::vector<std::string>{dir.file("c.txt")});
    QTest::mouseClick(page.downButton(), Qt::LeftButton);
    EXPECT_EQ(Attached(job), (std::vector<std::string>{"a.pdf", "c.txt", "b.unknownext"}));

    EXPECT_TRUE(page.OnWizardNext());
    QTest::mouseClick(page.removeButton(), Qt::LeftButton);
    EXPECT_EQ(Attached(job), (std::vector<std::string>{"a.pdf", "b.unknownext"}));
    // Dropped from a file manager: added at the end.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("c.txt")))});
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
    static_cast<QObject&>(page).event(&drop);  // as the drag manager hands it over
    EXPECT_EQ(Attached(job), (std::vector<std::string>{"a.pdf", "b.unknownext", "c.txt"}));
    ExpectWarnings(boxes, {"Please add a file"});
    // The first filter shows the types people have; the old ones follow.
    EXPECT_EQ(CAttachFile::QtFilter(CAttachFile::kFilters[0]).toStdString(),
              "Fax Documents (*.pdf *.tif *.tiff *.png *.jpg *.jpeg *.txt *.odt *.ods *.odp *.odg "
              "*.doc *.docx)");
}

// A file twice, a folder, a file that cannot be read or is gone: told, not added.
TEST(DocumentPage, RefusedFilesAreToldAndNotAdded) {
    TempFolder dir;
    dir.Write("a.pdf", "x");
    dir.Write("locked.pdf", "x");
    fs::permissions(dir.file("locked.pdf"), fs::perms::none);
    const bool rootReads = std::ifstream(dir.file("locked.pdf")).good();
    fs::create_directories(dir.file("folder"));
    fs::create_symlink(dir.file("a.pdf"), dir.file("link.pdf"));
    struct Case {
        std::string given, why;
    };
    const std::vector<Case> cases = {
        {dir.file("a.pdf"), " is attached already."},
        {dir.file("link.pdf"), " is attached already."},  // the same file by another name
        {dir.file("folder"), " is a folder; please add the files in it."},
        {dir.file("gone.pdf"), " does not exist."},
        {dir.file("locked.pdf"), " cannot be read."},
    };
    for (const Case& c : cases) {
        if (rootReads && c.given == dir.file("locked.pdf")) continue;
        FaxJob job;
        ScriptedMessageBox boxes;
        CAttachFile page(job);
        page.SetMessageBox(&boxes);
        page.EnsureInitialized();
        EXPECT_EQ(page.AddFiles({dir.file("a.pdf"), c.given}), 1) << c.given;
        EXPECT_EQ(Attached(job), std::vector<std::string>{"a.pdf"}) << c.given;
        EXPECT_EQ(page.list()->count(), 1);
        EXPECT_EQ(boxes.Texts(),
                  std::vector<std::string>{"These files were not added:\n" + c.given + c.why});
    }
}

TEST(SchedulePage, StartsWithSendNowAndKeepsTheChoice) {
    SheetButtons sheet;
    CScheduleFax page;
    page.SetSheet(&sheet);
    page.EnsureInitialized();
    page.OnSetActive();
    EXPECT_EQ(sheet.flags, PSWIZB_BACK | PSWIZB_FINISH);
    EXPECT_TRUE(page.sendNowButton()->isChecked());
    page.show();
    page.outboxButton()->click();
    EXPECT_EQ(page.sendNow, 0);
    page.OnSetActive();
    EXPECT_TRUE(page.sendNow == 0 && page.outboxButton()->isChecked());
}

// Each page's side picture is drawn at the size of its place, covered to
// the corners with the picture (its colours run from blue to pale blue).
TEST(SidePicture, CoversItsPlaceOnEveryPage) {
    FaxJob job;
    CSelRecipient recipients(job);
    CAttachFile document(job);
    CScheduleFax schedule;
    const std::vector<std::pair<QWidget*, int>> pages = {
        {&recipients, 5441}, {&document, 762}, {&schedule, 761}};
    for (const auto& [page, pictureId] : pages) {
        page->resize(640, 480);
        page->show();
        const QLabel* picture = nullptr;
        for (const QLabel* l : page->findChildren<QLabel*>())
            if (ControlId(l) == pictureId) picture = l;
        ASSERT_NE(picture, nullptr) << pictureId;
        const QImage image = picture->pixmap().toImage();
        ASSERT_EQ(image.size(), picture->size()) << pictureId;
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(image.width() - 1, 0), QPoint(0, image.height() - 1),
              QPoint(image.width() - 1, image.height() - 1)}) {
            const QColor c = image.pixelColor(corner);
            EXPECT_TRUE(c.alpha() == 255 && c.blue() >= 150 && c.blue() > c.red())
                << pictureId << " " << corner.x() << "," << corner.y() << " "
                << c.name().toStdString();
        }
    }
}

}  // namespace
