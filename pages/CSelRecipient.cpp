#include "pages/CSelRecipient.h"

#include <QAbstractListModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "controls/ColorLabel.h"
#include "controls/HyperLink.h"
#include "controls/IconButton.h"
#include "controls/Look.h"
#include "pages/PageLayout.h"
#include "res/Resources.h"
#include "wizard/job/FaxJob.h"

namespace {

std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }

struct RadixEntry {
    std::uint64_t key;
    Recipient* record;
};

// The lower-case bytes of an ASCII line from depth on, eight of them as one
// number that orders as they do; bytes past the end count as zero.
std::uint64_t KeyAt(const std::string& line, std::size_t depth) {
    std::uint64_t key = 0;
    for (std::size_t n = depth; n < depth + 8; ++n) {
        const auto c = n < line.size() ? static_cast<unsigned char>(line[n]) : 0U;
        key = key << 8 | (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return key;
}

// Sorts [first, last) by key, keeping the order of equal keys: a byte at a
// time from the lowest, skipping the bytes all keys share; spare has room
// for as many entries. One pass counts every byte.
void RadixSort(std::vector<RadixEntry>::iterator first, std::vector<RadixEntry>::iterator last,
               std::vector<RadixEntry>::iterator spare) {
    const auto n = static_cast<std::size_t>(last - first);
    std::array<std::array<std::size_t, 256>, 8> count{};
    for (auto e = first; e != last; ++e)
        for (std::size_t b = 0; b < 8; ++b) ++count[b][(e->key >> (8 * b)) & 0xff];
    auto from = first, to = spare;
    bool inSpare = false;
    for (std::size_t b = 0; b < 8; ++b) {
        if (std::find(count[b].begin(), count[b].end(), n) != count[b].end()) continue;
        std::array<std::size_t, 256> start{};
        for (std::size_t d = 1; d < start.size(); ++d) start[d] = start[d - 1] + count[b][d - 1];
        for (auto e = from; e != from + static_cast<std::ptrdiff_t>(n); ++e)
            *(to + static_cast<std::ptrdiff_t>(start[(e->key >> (8 * b)) & 0xff]++)) = *e;
        std::swap(from, to);
        inSpare = !inSpare;
    }
    if (inSpare) std::copy(from, from + static_cast<std::ptrdiff_t>(n), first);
}

// Calls f on each element of [first, last) with the record it stands for,
// asking memory for the records eight elements ahead and their lines' text
// four ahead: a line is three pointers away, and a long list's lines are out
// of the cache, so a walk that waits on each would take most of the time.
template <class It, class Record, class F>
void EachAhead(It first, It last, Record record, F&& f) {
    It recordAhead = first, textAhead = first;
    for (int k = 0; k < 8 && recordAhead != last; ++k, ++recordAhead)
        if (k >= 4) ++textAhead;
    for (; first != last; ++first) {
        if (recordAhead != last) __builtin_prefetch(&record(*recordAhead++)->displayLine);
        if (textAhead != last) __builtin_prefetch(record(*textAhead++)->displayLine.data());
        f(*first, record(*first));
    }
}

const auto kRecordOf = [](const std::unique_ptr<Recipient>& r) { return r.get(); };

}  // namespace

// The lines as one vector: a fill hands the view the whole sorted vector as
// one reset, with no object or allocation per line beyond its text.
class CSelRecipient::Lines final : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(lines_.size());
    }
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override {
        const Line* line = At(index.row());
        if (!index.isValid() || !line) return {};
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return line->text();
        if (role == kRecipientRole)
            return QVariant::fromValue(reinterpret_cast<quintptr>(line->record));
        return {};
    }
    [[nodiscard]] const Line* At(int row) const {
        return row >= 0 && static_cast<std::size_t>(row) < lines_.size()
                   ? &lines_[static_cast<std::size_t>(row)]
                   : nullptr;
    }
    [[nodiscard]] std::vector<Line>& lines() { return lines_; }

    // Shows exactly these lines; the selection goes with the old ones.
    void Show(std::vector<Line> lines) {
        beginResetModel();
        lines_ = std::move(lines);
        endResetModel();
    }
    // Sorted into place before the lines equal to it, as the platform's
    // sorted list box puts a line added later; its row.
    int Insert(Line line) {
        const auto at = std::lower_bound(
            lines_.begin(), lines_.end(), line.text(),
            [](const Line& l, const QString& text) { return ShownBefore(l.text(), text); });
        const int row = static_cast<int>(at - lines_.begin());
        beginInsertRows({}, row, row);
        lines_.insert(at, line);
        endInsertRows();
        return row;
    }

  private:
    std::vector<Line> lines_;
};

// Every line is one line of text in one font, so the list box lays its lines
// out from one size (uniform item sizes) instead of measuring each, which a
// list of many thousands would wait for. That size is as wide as the widest
// line, so the horizontal scroll bar reaches the end of every line. A line is
// measured by the advances of its characters, each measured once: shaping
// every line would cost more than the rest of the fill.
class CSelRecipient::WidestLine final : public QStyledItemDelegate {
  public:
    explicit WidestLine(QListView& list) : QStyledItemDelegate(&list), list_(list) {}

    void Add(const std::string& line) {
        FollowFont();
        Take(line);
    }
    // Many lines: Start, then Take each; the font is looked at once.
    void Start() {
        widest_ = 0;
        FollowFont();
    }
    void Take(const std::string& line) { widest_ = std::max(widest_, Width(line)); }

    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override {
        // The room the style gives the sample line, less its text, around the widest.
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int sample = option.fontMetrics.horizontalAdvance(index.data().toString());
        size.setWidth(std::max(size.width(), size.width() - sample + widest_));
        return size;
    }

  private:
    // Characters below this are measured one by one; a line with any other
    // (combining marks, scripts shaped as a whole) is measured whole.
    static constexpr char16_t kTable = 0x300;

    // Measured again from scratch when the list box's font has changed.
    void FollowFont() {
        if (list_.font() != font_ || advances_.empty()) {
            font_ = list_.font();
            metrics_ = QFontMetricsF(font_);
            advances_.assign(kTable, -1);
        }
    }

    // An ASCII line is measured from its bytes, any other as text. Advances
    // are whole 64ths of a pixel, so they add up exactly as integers.
    int Width(const std::string& line) {
        std::int64_t sum = 0;
        for (const char c : line) {
            const auto u = static_cast<unsigned char>(c);
            if (u >= 0x80) return Width(QString::fromStdString(line));
            sum += Advance(u);
        }
        return Pixels(sum);
    }

    int Width(const QString& line) {
        std::int64_t sum = 0;
        for (const QChar c : line) {
            if (c.unicode() >= kTable)
                return static_cast<int>(std::ceil(metrics_.horizontalAdvance(line)));
            sum += Advance(c.unicode());
        }
        return Pixels(sum);
    }

    std::int64_t Advance(char16_t c) {
        std::int32_t& advance = advances_[c];
        if (advance < 0)
            advance =
                static_cast<std::int32_t>(std::lround(metrics_.horizontalAdvance(QChar(c)) * 64));
        return advance;
    }

    // A pixel more for kerning, which the sum leaves out.
    static int Pixels(std::int64_t sum64) { return static_cast<int>((sum64 + 63) / 64) + 1; }

    QListView& list_;
    QFont font_;
    QFontMetricsF metrics_{font_};
    // In 64ths of a pixel, of each character below kTable; -1 until measured.
    std::vector<std::int32_t> advances_;
    int widest_ = 0;
};

CSelRecipient::CSelRecipient(FaxJob& job, QWidget* parent)
    : WizardPage(753, tr("Select Recipients - Send a Fax"), parent), job_(job) {
    QVBoxLayout* column = pagelayout::Frame(this, 5441, res::IDB_RECIPIENTS_SIDE);
    column_ = column;

    titleLabel_ = new ColorLabel(tr("Enter Fax Number"), this, 1027);
    SetControlId(titleLabel_, 1027);
    column->addWidget(titleLabel_);
    // The "Get Zephrim Now" link goes under the title at initialisation.
    column->addSpacing(look::DialogUnits(*this, 0, 6).height());

    auto* grid = new QGridLayout;
    grid->setContentsMargins(3 * look::kFrame, 2 * look::kFrame, 3 * look::kFrame,
                             3 * look::kFrame);
    AddNumberRows(*grid);
    AddNameRows(*grid);
    AddListRows(*grid);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    column->addLayout(grid);
    column->addStretch(1);

    ConnectControls();
}

void CSelRecipient::AddNumberRows(QGridLayout& grid) {
    numberLabel_ = new ColorLabel(tr("Fax Number:"), this, 7001);
    SetControlId(numberLabel_, 7001);
    grid.addWidget(numberLabel_, 0, 0, 1, 3);
    auto* hint = pagelayout::Static(tr(" (All numbers require 1 plus area code)"), this);
    grid.addWidget(hint, 0, 3, 1, 2);

    toLabel_ = new ColorLabel(tr("To:"), this, 1022);
    SetControlId(toLabel_, 1022);
    grid.addWidget(toLabel_, 1, 0);
    numberEdit_ = new QLineEdit(this);
    SetControlId(numberEdit_, 1603);
    grid.addWidget(numberEdit_, 1, 1, 1, 3);
    bookButton_ = new IconButton(QString(), this, 5448);
    SetControlId(bookButton_, 5448);
    grid.addWidget(bookButton_, 1, 4);
    NameField(numberEdit_, tr("Fax number"), numberLabel_);
    NameField(bookButton_, tr("Address book"));
    toLabel_->setAccessibleName(tr("To: open the address book"));
    // The keyboard's way to the address book, beside the "To:" link.
    auto* bookKey = new QShortcut(QKeySequence(tr("Ctrl+B")), this);
    bookKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(bookKey, &QShortcut::activated, this, &CSelRecipient::OpenAddressBook);
}

void CSelRecipient::AddNameRows(QGridLayout& grid) {
    nameLabel_ = new ColorLabel(tr("Recipient name:"), this, 1023);
    SetControlId(nameLabel_, 1023);
    grid.addWidget(nameLabel_, 2, 0, 1, 3);
    grid.addWidget(pagelayout::Static(tr("(Optional)"), this), 2, 3);
    firstLabel_ = new ColorLabel(tr("First:"), this, 7012);
    SetControlId(firstLabel_, 7012);
    grid.addWidget(firstLabel_, 3, 0);
    // First and last name share the number field's width equally and keep
    // room for a name however small the window gets.
    auto* names = new QHBoxLayout;
    firstEdit_ = new QLineEdit(this);
    SetControlId(firstEdit_, 5432);
    lastLabel_ = new ColorLabel(tr("Last:"), this, 1016);
    SetControlId(lastLabel_, 1016);
    lastEdit_ = new QLineEdit(this);
    SetControlId(lastEdit_, 5004);
    for (QLineEdit* e : {firstEdit_, lastEdit_})
        e->setMinimumWidth(look::DialogUnits(*this, 40, 0).width());
    names->addWidget(firstEdit_, 1);
    names->addWidget(lastLabel_);
    names->addWidget(lastEdit_, 1);
    grid.addLayout(names, 3, 1, 1, 3);
    NameField(firstEdit_, tr("Recipient first name"), firstLabel_);
    NameField(lastEdit_, tr("Recipient last name"), lastLabel_);

    // The e-mail field is hidden in the layout; a preset address still uses it.
    emailLabel_ = pagelayout::Static(tr("Email Address:"), this, 7011);
    emailEdit_ = new QLineEdit(this);
    SetControlId(emailEdit_, 1006);
    NameField(emailEdit_, tr("Email address"), static_cast<QLabel*>(emailLabel_));
    emailLabel_->hide();
    emailEdit_->hide();
}

void CSelRecipient::AddListRows(QGridLayout& grid) {
    addButton_ = new QPushButton(tr("Add &to Recipient List  "), this);
    SetControlId(addButton_, 5426);
    grid.addWidget(addButton_, 4, 1, 1, 3, Qt::AlignLeft);

    listLabel_ = new ColorLabel(tr("Recipients:"), this, 1026);
    SetControlId(listLabel_, 1026);
    grid.addWidget(listLabel_, 5, 0, 1, 3);
    list_ = new QListView(this);
    SetControlId(list_, 5436);
    lines_ = new Lines(list_);
    list_->setModel(lines_);
    list_->setUniformItemSizes(true);
    widest_ = new WidestLine(*list_);
    list_->setItemDelegate(widest_);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    list_->setSelectionMode(QAbstractItemView::MultiSelection);
    list_->setMinimumHeight(look::DialogUnits(*this, 0, 40).height());
    grid.addWidget(list_, 6, 0, 1, 4);
    NameField(list_, tr("Recipients"), listLabel_);
    removeButton_ = new QPushButton(tr("&Remove"), this);
    SetControlId(removeButton_, 4801);
    grid.addWidget(removeButton_, 6, 4, Qt::AlignTop);
    listButton_ = new QPushButton(tr("Add a &Distribution List..."), this);
    grid.addWidget(listButton_, 7, 0, 1, 4, Qt::AlignLeft);
    listButton_->hide();
}

void CSelRecipient::ConnectControls() {
    connect(numberEdit_, &QLineEdit::textEdited, this, [this] {
        ReadFields();
        addButton_->setEnabled(!number.empty());
    });
    connect(emailEdit_, &QLineEdit::textEdited, this, [this] {
        ReadFields();
        addButton_->setEnabled(!email.empty());
    });
    connect(addButton_, &QPushButton::clicked, this, [this] { (void)AddRecipient(); });
    connect(removeButton_, &QPushButton::clicked, this, &CSelRecipient::RemoveSelected);
    connect(listButton_, &QPushButton::clicked, this, &CSelRecipient::AddDistributionList);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { removeButton_->setEnabled(list_->selectionModel()->hasSelection()); });
    connect(toLabel_, &ColorLabel::clicked, this, &CSelRecipient::OpenAddressBook);
    connect(bookButton_, &QPushButton::clicked, this, &CSelRecipient::OpenAddressBook);
}

MbResult CSelRecipient::PageBoxes::Show(const std::string& text, const std::string& caption,
                                        MbButtons buttons, MbIcon icon) {
    MessageBoxService* box = page_.messageBox();
    return box ? box->Show(text, caption, buttons, icon) : MbResult::Ok;
}

void CSelRecipient::OnInitDialog() {
    WriteFields();
    bookButton_->SetIcon(res::IDI_ADDRESS_BOOK);
    bookButton_->hide();
    bookButton_->setEnabled(false);

    look::StyleTitle(*titleLabel_);
    toLabel_->SetFontName(look::kFace);
    toLabel_->SetFontSize(9);
    toLabel_->SetTextColor(look::kLabelText);
    toLabel_->SetBkColor(look::kPanel);
    toLabel_->SetFontBold(true);
    toLabel_->SetFontUnderline(true);
    toLabel_->SetLink(true);
    toLabel_->SetLinkCursor(QCursor(Qt::PointingHandCursor));
    for (ColorLabel* l : {numberLabel_, nameLabel_, firstLabel_, lastLabel_, listLabel_})
        look::StyleLabel(*l);

    // Without fax numbers the number field is disabled and the link to the
    // service is offered instead.
    if (job_.faxNumbersAllowed) {
        serviceLink_ = nullptr;
    } else {
        numberEdit_->setEnabled(false);
        numberLabel_->setEnabled(false);
        serviceLink_ = new HyperLink(tr("Get Zephrim Now"), this, linkBoxes_, launcher_);
        SetControlId(serviceLink_, 7000);
        // It stands on the white part of the page.
        QPalette pal = serviceLink_->palette();
        pal.setColor(QPalette::Button, look::kPageBackground);
        serviceLink_->setPalette(pal);
        serviceLink_->SetURL(kServiceSite);
        column_->insertWidget(1, serviceLink_, 0, Qt::AlignLeft);
    }

    if (!job_.presetEmail.empty()) email = job_.presetEmail;
    if (!job_.presetFirstName.empty()) firstName = job_.presetFirstName;
    if (!job_.presetLastName.empty()) lastName = job_.presetLastName;
    if (!job_.presetFaxNumber.empty()) {
        number = job_.presetFaxNumber;
        addButton_->setEnabled(true);
        WriteFields();
    }
    // Records already in the list (the page may be made again) are shown.
    RefillList();
}

void CSelRecipient::ReadFields() {
    firstName = Text(firstEdit_);
    number = Text(numberEdit_);
    lastName = Text(lastEdit_);
    email = Text(emailEdit_);
}

void CSelRecipient::WriteFields() {
    firstEdit_->setText(QString::fromStdString(firstName));
    numberEdit_->setText(QString::fromStdString(number));
    lastEdit_->setText(QString::fromStdString(lastName));
    emailEdit_->setText(QString::fromStdString(email));
}

Recipient* CSelRecipient::RecipientAt(int row) const {
    const Line* line = lines_->At(row);
    return line ? line->record : nullptr;
}

int CSelRecipient::lineCount() const { return lines_->rowCount(); }

bool CSelRecipient::ShownBefore(const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

QString CSelRecipient::Line::text() const { return QString::fromStdString(record->displayLine); }

void CSelRecipient::AddLine(Recipient* record) {
    widest_->Add(record->displayLine);
    (void)lines_->Insert(Line{record});
}

std::vector<CSelRecipient::Line> CSelRecipient::SortedLines(
    const std::list<std::unique_ptr<Recipient>>& records,
    const std::function<void(const std::string&)>& eachLine) {
    // One sort gives the order of adding the lines one at a time: the list
    // box puts a line before the equal ones already there, so equal lines
    // stand in the reverse of list order. An ASCII line is compared by its
    // lower-case bytes, which orders as the comparison without regard to case
    // does, at a fraction of its cost: eight of them at a time, as one key of
    // a radix sort that moves small entries, lines equal in those bytes going
    // on to the next eight. Any other line is compared as text, made once,
    // and merged in. The lines are read where they are: on a long list,
    // scratch memory costs more than the reading (each fresh page faults).
    struct Other {
        QString text;
        Recipient* record;
    };
    std::vector<RadixEntry> ascii;
    ascii.reserve(records.size());
    std::vector<Other> other;
    EachAhead(records.rbegin(), records.rend(), kRecordOf,
              [&](const std::unique_ptr<Recipient>&, Recipient* record) {
                  const std::string& line = record->displayLine;
                  if (eachLine) eachLine(line);
                  if (std::all_of(line.begin(), line.end(),
                                  [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
                      ascii.push_back(RadixEntry{KeyAt(line, 0), record});
                  else
                      other.push_back(Other{QString::fromStdString(line), record});
              });
    std::vector<RadixEntry> spare(ascii.size());
    // Sorts ascii[from, to), whose lines agree in their first depth bytes
    // and whose keys hold the next eight.
    const auto sortRun = [&](const auto& self, std::size_t from, std::size_t to,
                             std::size_t depth) -> void {
        const auto first = ascii.begin() + static_cast<std::ptrdiff_t>(from);
        RadixSort(first, ascii.begin() + static_cast<std::ptrdiff_t>(to), spare.begin());
        for (std::size_t i = from; i < to;) {
            std::size_t end = i + 1;
            while (end < to && ascii[end].key == ascii[i].key) ++end;
            if (end - i > 1) {
                bool longer = false;
                EachAhead(
                    ascii.begin() + static_cast<std::ptrdiff_t>(i),
                    ascii.begin() + static_cast<std::ptrdiff_t>(end),
                    [](const RadixEntry& e) { return e.record; },
                    [&](RadixEntry& e, const Recipient* record) {
                        longer = longer || record->displayLine.size() > depth + 8;
                        e.key = KeyAt(record->displayLine, depth + 8);
                    });
                if (longer)
                    self(self, i, end, depth + 8);
                else  // all ended within these bytes: equal but for case
                    std::stable_sort(ascii.begin() + static_cast<std::ptrdiff_t>(i),
                                     ascii.begin() + static_cast<std::ptrdiff_t>(end),
                                     [](const RadixEntry& a, const RadixEntry& b) {
                                         return a.record->displayLine < b.record->displayLine;
                                     });
            }
            i = end;
        }
    };
    if (ascii.size() > 1) sortRun(sortRun, 0, ascii.size(), 0);
    std::stable_sort(other.begin(), other.end(),
                     [](const Other& a, const Other& b) { return ShownBefore(a.text, b.text); });
    // An ASCII line and another are never equal, so the merge needs no
    // list order.
    std::vector<Line> lines;
    lines.reserve(ascii.size() + other.size());
    std::size_t a = 0, o = 0;
    while (a < ascii.size() || o < other.size()) {
        const bool takeAscii =
            o == other.size() ||
            (a < ascii.size() &&
             ShownBefore(QString::fromStdString(ascii[a].record->displayLine), other[o].text));
        lines.push_back(Line{takeAscii ? ascii[a++].record : other[o++].record});
    }
    return lines;
}

void CSelRecipient::MeasureLines() {
    // In the job's order, which is about the records' order in memory: in
    // the list's order every line read would be a cache miss.
    widest_->Start();
    EachAhead(job_.RecipientList.begin(), job_.RecipientList.end(), kRecordOf,
              [this](const auto&, const Recipient* r) { widest_->Take(r->displayLine); });
}

bool CSelRecipient::AddRecipient() {
    ReadFields();
    auto record = std::make_unique<Recipient>();
    const bool named = !firstName.empty() && !lastName.empty();
    const std::string namedPrefix = "\"" + firstName + " " + lastName + "\" <";
    auto isAddress = [](const std::string& s) {
        return s.find('@') != std::string::npos && s.find('.') != std::string::npos;
    };
    // An address typed where the number goes is taken as the e-mail address.
    if (isAddress(number)) {
        email = QString::fromStdString(number).trimmed().toStdString();
        number.clear();
    } else if (!number.empty()) {
        record->SetFaxNumber(number);
        // Without a digit the typed text stays, to be refused below.
        if (!record->faxNumber.empty()) number = record->faxNumber;
    }

    const bool faxNumber = !number.empty() && !record->faxNumber.empty();
    std::string line;
    if (faxNumber)
        line = (named ? namedPrefix : std::string("\"Fax Recipient\" <")) + number + ">";
    else if (number.empty() && !email.empty())
        line = (named ? namedPrefix : std::string("\"Email Recipient\" <")) + email + ">";

    const bool accepted = faxNumber || (number.empty() && isAddress(email));
    if (!accepted) {
        if (!number.empty() || !email.empty())
            Warn(tr("Please enter valid Fax number or Email address!").toStdString());
        return false;
    }

    record->displayLine = line;
    record->name = firstName + " " + lastName;
    record->businessFax = number;
    record->email = email;
    Recipient* raw = record.get();
    job_.RecipientList.push_front(std::move(record));
    AddLine(raw);

    firstName.clear();
    lastName.clear();
    number.clear();
    email.clear();
    WriteFields();
    addButton_->setEnabled(false);
    // The next number is typed where the last one was, not in "Last".
    if (numberEdit_->isEnabled()) numberEdit_->setFocus(Qt::OtherFocusReason);
    return true;
}

void CSelRecipient::RemoveSelected() {
    // One pass over the list whatever is selected: the lines that stay are
    // put back in their (sorted) order, the records of the others leave
    // RecipientList together. The selection is read as ranges: an index
    // made for each selected line would cost more than the removal.
    const QItemSelection picked = list_->selectionModel()->selection();
    std::vector<Line>& lines = lines_->lines();
    std::vector<char> drop(lines.size(), 0);
    std::size_t dropped = 0;
    for (const QItemSelectionRange& range : picked) {
        const int last = std::min(range.bottom(), static_cast<int>(lines.size()) - 1);
        for (int row = std::max(range.top(), 0); row <= last; ++row) {
            auto& d = drop[static_cast<std::size_t>(row)];
            dropped += d == 0;
            d = 1;
        }
    }
    if (dropped == 0) return;
    // Scrolled by whole lines: the scroll bar tells the top line.
    const int firstRow = list_->verticalScrollBar()->value();
    if (dropped == lines.size()) {
        lines_->Show({});
        job_.RecipientList.clear();
    } else {
        // The records to go, sorted by address for the walk over the job.
        std::vector<const Recipient*> gone;
        gone.reserve(dropped);
        std::vector<Line> kept;
        kept.reserve(lines.size() - dropped);
        for (std::size_t row = 0; row < lines.size(); ++row) {
            if (drop[row])
                gone.push_back(lines[row].record);
            else
                kept.push_back(lines[row]);
        }
        std::sort(gone.begin(), gone.end(), std::less<>());
        lines_->Show(std::move(kept));
        job_.RecipientList.remove_if([&gone](const std::unique_ptr<Recipient>& r) {
            return std::binary_search(gone.begin(), gone.end(), r.get(), std::less<>());
        });
    }
    MeasureLines();
    // The view stays about where it was.
    if (firstRow > 0 && lineCount() > 0)
        list_->scrollTo(lines_->index(std::min(firstRow, lineCount() - 1)),
                        QAbstractItemView::PositionAtTop);
    removeButton_->setEnabled(false);
}

void CSelRecipient::RefillList() {
    // Measured while sorted: one pass over the records, which a long list
    // holds out of the cache.
    widest_->Start();
    lines_->Show(
        SortedLines(job_.RecipientList, [this](const std::string& line) { widest_->Take(line); }));
    removeButton_->setEnabled(list_->selectionModel()->hasSelection());
}

void CSelRecipient::OpenAddressBook() {
    if (!addressBook_) return;
    if (addressBook_(this, job_)) RefillList();
}

void CSelRecipient::SetListRunner(AddressBookRunner runner) {
    listRunner_ = std::move(runner);
    listButton_->setVisible(static_cast<bool>(listRunner_));
}

void CSelRecipient::AddDistributionList() {
    if (listRunner_ && listRunner_(this, job_)) RefillList();
}

bool CSelRecipient::OnSetActive() {
    SetButtons(PSWIZB_NEXT);
    // Typing starts in the number field.
    if (numberEdit_->isEnabled()) numberEdit_->setFocus(Qt::OtherFocusReason);
    addButton_->setEnabled(!number.empty());
    removeButton_->setEnabled(list_->selectionModel()->hasSelection());
    return true;
}

bool CSelRecipient::OnWizardNext() {
    // A typed entry is taken along. One that was refused keeps the page, so
    // that the user can correct it instead of losing it.
    ReadFields();
    const bool typed = !number.empty() || !email.empty();
    if (!AddRecipient() && typed) return false;
    if (lineCount() == 0) {
        Warn(tr("Please enter at least one recipient!").toStdString());
        return false;
    }
    return true;
}

QRect CSelRecipient::PanelRect() const { return look::PanelRect(*this, *numberLabel_, *list_, 3); }
