#include "pages/CAttachFile.h"

#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/core/Translate.h"
#include "controls/ColorLabel.h"
#include "controls/DocumentOpener.h"
#include "controls/Look.h"
#include "pages/PageLayout.h"
#include "pages/PreviewPages.h"
#include "res/Resources.h"
#include "wizard/job/FaxJob.h"

namespace {

constexpr int kItemPath = Qt::UserRole + 1;

// File icons come from the desktop's icon theme; one provider serves every
// window of the program.
QIcon FileIcon(const std::string& path) {
    static QFileIconProvider provider;
    QFileInfo info(QString::fromStdString(path));
    QIcon icon = provider.icon(info);
    return icon.isNull() ? provider.icon(QFileIconProvider::File) : icon;
}

// The local files among dropped or pasted addresses, in their order.
std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
    return files;
}

std::string FileName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

const CAttachFile::Filter CAttachFile::kFilters[8] = {
    {QT_TRANSLATE_NOOP("CAttachFile",
                       "Fax Documents (*.pdf; *.tif; *.tiff; *.png; *.jpg; *.jpeg; *.txt; *.odt; "
                       "*.ods; *.odp; *.odg; *.doc; *.docx)"),
     "*.pdf; *.tif; *.tiff; *.png; *.jpg; *.jpeg; *.txt; *.odt; *.ods; *.odp; *.odg; *.doc; "
     "*.docx"},
    {QT_TRANSLATE_NOOP("CAttachFile", "Zephrim Files (*.doc; *.wps; *.txt; *.bmp; *.jpg; *.jpeg)"),
     "*.doc; *.wps; *.txt; *.bmp; *.jpg; *.jpeg"},
    {QT_TRANSLATE_NOOP("CAttachFile", "Word Documents (*.doc)"), "*.doc"},
    {QT_TRANSLATE_NOOP("CAttachFile", "Word Perfect (*.doc; *.wpd)"), "*.doc;*.wpd"},
    {QT_TRANSLATE_NOOP("CAttachFile", "Text Files (*.txt)"), "*.txt"},
    {QT_TRANSLATE_NOOP("CAttachFile", "Bitmap (*.bmp)"), "*.bmp"},
    {QT_TRANSLATE_NOOP("CAttachFile", "JPEG Files (*.jpg; *.jpeg)"), "*.jpg;*.jpeg"},
    {QT_TRANSLATE_NOOP("CAttachFile", "All Files (*.*)"), "*.*"},
};

QString CAttachFile::QtFilter(const Filter& filter) {
    // The dialog takes the patterns from the last parentheses, separated by
    // blanks: the description keeps its words, the patterns their order.
    QString description = tr(filter.description);
    description.remove(QRegularExpression(QStringLiteral("\\s*\\([^()]*\\)$")));
    QStringList patterns =
        QString::fromLatin1(filter.patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    if (patterns == QStringList{QStringLiteral("*.*")}) patterns = {QStringLiteral("*")};
    return description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

std::vector<std::string> CAttachFile::PickWithDialog(QWidget* parent) {
    QFileDialog dialog(parent, tr("Add File"), QDir::homePath());
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::ReadOnly, false);
    QStringList filters;
    for (const Filter& f : kFilters) filters << QtFilter(f);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    std::vector<std::string> files;
    if (dialog.exec() != QDialog::Accepted) return files;
    for (const QString& file : dialog.selectedFiles()) files.push_back(file.toStdString());
    return files;
}

CAttachFile::CAttachFile(FaxJob& job, QWidget* parent)
    : WizardPage(755, tr("File Attachment - Send a Fax"), parent),
      job_(job),
      picker_(&CAttachFile::PickWithDialog) {
    QVBoxLayout* column = pagelayout::Frame(this, 762, res::IDB_DOCUMENT_SIDE);
    titleLabel_ = new ColorLabel(tr("Add File"), this, 1028);
    SetControlId(titleLabel_, 1028);
    column->addWidget(titleLabel_);
    column->addWidget(pagelayout::Static(
        tr("Click the Add button to add the files you wish to fax, or drop them on the list. "
           "You may attach several files; they are sent in the order of the list. We support: "
           "PDF documents, TIFF, PNG and JPEG pictures, text files, and OpenDocument and "
           "Microsoft Word documents."),
        this, 1018, true));
    column->addSpacing(look::DialogUnits(*this, 0, 6).height());

    auto* panel = new QGridLayout;
    panel->setContentsMargins(3 * look::kFrame, 2 * look::kFrame, 3 * look::kFrame,
                              2 * look::kFrame);
    filesLabel_ = new ColorLabel(tr("Files:"), this, 1017);
    SetControlId(filesLabel_, 1017);
    panel->addWidget(filesLabel_, 0, 0);
    list_ = new QListWidget(this);
    SetControlId(list_, 5434);
    list_->setViewMode(QListView::ListMode);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setIconSize(QSize(16, 16));
    list_->setMinimumHeight(look::DialogUnits(*this, 0, 50).height());
    panel->addWidget(list_, 1, 0, 5, 1);
    NameField(list_, tr("Attached files"), filesLabel_);
    addButton_ = new QPushButton(tr("Add..."), this);
    SetControlId(addButton_, 5408);
    openButton_ = new QPushButton(tr("Open..."), this);
    SetControlId(openButton_, 5435);
    removeButton_ = new QPushButton(tr("Remove"), this);
    SetControlId(removeButton_, 4801);
    upButton_ = new QPushButton(tr("Move &Up"), this);
    upButton_->setAccessibleName(tr("Move the selected files up"));
    downButton_ = new QPushButton(tr("Move &Down"), this);
    downButton_->setAccessibleName(tr("Move the selected files down"));
    panel->addWidget(addButton_, 1, 1);
    panel->addWidget(openButton_, 2, 1);
    panel->addWidget(removeButton_, 3, 1);
    panel->addWidget(upButton_, 4, 1);
    panel->addWidget(downButton_, 5, 1, Qt::AlignTop);
    panel->setColumnStretch(0, 1);
    column->addLayout(panel);
    coverCheck_ = new QCheckBox(tr("Send a &cover sheet in front of the files"), this);
    coverCheck_->setAccessibleName(tr("Send a cover sheet"));
    column->addWidget(coverCheck_);
    column->addStretch(1);
    setAcceptDrops(true);

    connect(addButton_, &QPushButton::clicked, this, &CAttachFile::AddFile);
    connect(openButton_, &QPushButton::clicked, this, &CAttachFile::OpenSelected);
    connect(removeButton_, &QPushButton::clicked, this, &CAttachFile::RemoveSelected);
    connect(upButton_, &QPushButton::clicked, this, [this] { MoveSelected(-1); });
    connect(downButton_, &QPushButton::clicked, this, [this] { MoveSelected(1); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { OpenSelected(); });
    connect(list_, &QListWidget::itemSelectionChanged, this, &CAttachFile::UpdateButtons);
    connect(coverCheck_, &QCheckBox::toggled, this, &CAttachFile::coverSheetToggled);
}

void CAttachFile::OnInitDialog() {
    look::StyleTitle(*titleLabel_);
    look::StyleLabel(*filesLabel_);
    // The list mirrors AttachmentList, which outlives the page's window.
    list_->clear();
    for (std::string& path : job_.AttachmentList) AddItem(&path);
    UpdateButtons();
}

std::string* CAttachFile::PathOf(const QListWidgetItem* item) {
    return item ? reinterpret_cast<std::string*>(item->data(kItemPath).value<quintptr>()) : nullptr;
}

void CAttachFile::AddItem(std::string* path) {
    auto* item = new QListWidgetItem(FileIcon(*path), QString::fromStdString(FileName(*path)));
    item->setData(kItemPath, QVariant::fromValue(reinterpret_cast<quintptr>(path)));
    item->setToolTip(QString::fromStdString(*path));
    list_->addItem(item);
}

void CAttachFile::UpdateButtons() {
    std::vector<int> rows;
    for (const QListWidgetItem* item : list_->selectedItems()) rows.push_back(list_->row(item));
    const bool selected = !rows.empty();
    const auto [low, high] = std::minmax_element(rows.begin(), rows.end());
    addButton_->setEnabled(true);
    removeButton_->setEnabled(selected);
    openButton_->setEnabled(selected);
    upButton_->setEnabled(selected && *low > 0);
    downButton_->setEnabled(selected && *high + 1 < list_->count());
}

QString CAttachFile::Refusal(const std::string& path) const {
    namespace fs = std::filesystem;
    const QString shown = QString::fromStdString(path);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return tr("%1 does not exist.").arg(shown);
    if (fs::is_directory(status))
        return tr("%1 is a folder; please add the files in it.").arg(shown);
    if (!fs::is_regular_file(status) || !std::ifstream(path, std::ios::binary).good())
        return tr("%1 cannot be read.").arg(shown);
    for (const std::string& attached : job_.AttachmentList) {
        std::error_code same;
        if (attached == path || fs::equivalent(attached, path, same))
            return tr("%1 is attached already.").arg(shown);
    }
    return {};
}

int CAttachFile::AddFiles(const std::vector<std::string>& paths) {
    QStringList refused;
    int added = 0;
    for (const std::string& given : paths) {
        if (given.empty()) continue;
        std::error_code ec;
        const std::string path = std::filesystem::absolute(given, ec).lexically_normal().string();
        if (QString why = Refusal(path); !why.isEmpty()) {
            refused << why;
            continue;
        }
        job_.AttachmentList.push_back(path);
        AddItem(&job_.AttachmentList.back());
        ++added;
    }
    UpdateButtons();
    if (!refused.isEmpty())
        Warn((tr("These files were not added:") + QLatin1Char('\n') +
              refused.join(QLatin1Char('\n')))
                 .toStdString());
    return added;
}

void CAttachFile::AddFile() {
    (void)AddFiles(picker_ ? picker_(this) : std::vector<std::string>());
}

void CAttachFile::RemoveSelected() {
    while (!list_->selectedItems().isEmpty()) {
        QListWidgetItem* item = list_->selectedItems().front();
        std::string* path = PathOf(item);
        job_.AttachmentList.remove_if([path](const std::string& p) { return &p == path; });
        delete item;
    }
    UpdateButtons();
}

void CAttachFile::MoveSelected(int step) {
    const int count = list_->count();
    std::vector<QListWidgetItem*> order;
    for (int i = 0; i < count; ++i) order.push_back(list_->item(i));
    // Each selected file trades places with the unselected one beside it;
    // a block of selected files moves as one.
    auto selected = [&order](int i) { return order[static_cast<std::size_t>(i)]->isSelected(); };
    bool moved = false;
    for (int n = 0; n < count; ++n) {
        const int i = step < 0 ? n : count - 1 - n;
        const int to = i + step;
        if (!selected(i) || to < 0 || to >= count || selected(to)) continue;
        std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(to)]);
        moved = true;
    }
    if (!moved) return;
    // The job's list takes the new order; its entries stay where they are
    // in memory, so every item still points at its own.
    std::list<std::string> reordered;
    for (QListWidgetItem* item : order) {
        const std::string* path = PathOf(item);
        auto it = std::find_if(job_.AttachmentList.begin(), job_.AttachmentList.end(),
                               [path](const std::string& p) { return &p == path; });
        if (it != job_.AttachmentList.end())
            reordered.splice(reordered.end(), job_.AttachmentList, it);
    }
    job_.AttachmentList.splice(job_.AttachmentList.begin(), reordered);
    QListWidgetItem* current = list_->currentItem();
    std::vector<bool> chosen;
    for (QListWidgetItem* item : order) chosen.push_back(item->isSelected());
    {
        const QSignalBlocker quiet(list_);
        while (list_->count() > 0) (void)list_->takeItem(0);
        for (std::size_t i = 0; i < order.size(); ++i) {
            list_->addItem(order[i]);
            order[i]->setSelected(chosen[i]);
        }
        if (current) list_->setCurrentItem(current, QItemSelectionModel::NoUpdate);
    }
    UpdateButtons();
}

void CAttachFile::OpenSelected() {
    QList<QListWidgetItem*> chosen = list_->selectedItems();
    if (chosen.isEmpty()) return;
    const std::string* path = PathOf(chosen.front());
    for (const std::string& p : job_.AttachmentList) {
        if (&p == path && !p.empty()) {
            // The desktop reports its own failures; the page does not.
            if (opener_) (void)opener_->Open(p);
            break;
        }
    }
}

void CAttachFile::SetCoverSheetOffered(bool on) {
    if (!on) coverCheck_->setChecked(false);
    coverCheck_->setVisible(on);
}

bool CAttachFile::coverSheetWanted() const { return coverCheck_->isChecked(); }

void CAttachFile::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void CAttachFile::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = LocalFiles(event->mimeData());
    if (files.empty()) return;
    event->acceptProposedAction();
    (void)AddFiles(files);
}

bool CAttachFile::OnSetActive() {
    SetButtons(PSWIZB_BACK | PSWIZB_NEXT);
    UpdateButtons();
    return true;
}

bool CAttachFile::OnWizardBack() {
    SetButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return true;
}

bool CAttachFile::OnWizardNext() {
    if (list_->count() == 0) {
        Warn(tr("Please add a file").toStdString());
        return false;
    }
    if (coverSheetWanted()) {
        // The cover names the pages that follow it: the sum when every file
        // can be counted, else unknown (0) as for a document never counted.
        std::uint32_t pages = 0;
        for (const std::string& path : job_.AttachmentList) {
            const std::optional<int> n = PreviewPages::CountPages(path);
            if (!n) {
                pages = 0;
                break;
            }
            pages += static_cast<std::uint32_t>(*n);
        }
        job_.message.pageCount = pages;
    }
    return true;
}

QRect CAttachFile::PanelRect() const { return look::PanelRect(*this, *filesLabel_, *list_, 2); }
