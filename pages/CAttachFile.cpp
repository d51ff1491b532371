#include "pages/CAttachFile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>

#include "app/Translate.h"
#include "controls/ColorLabel.h"
#include "controls/DocumentOpener.h"
#include "controls/Look.h"
#include "pages/PageLayout.h"
#include "res/wizard/Resources.h"
#include "wizard/FaxJob.h"

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

std::string FileName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

const CAttachFile::Filter CAttachFile::kFilters[7] = {
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

std::string CAttachFile::PickWithDialog(QWidget* parent) {
    QFileDialog dialog(parent, tr("Add File"), QDir::homePath());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    QStringList filters;
    for (const Filter& f : kFilters) filters << QtFilter(f);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
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
        tr("Click the Add button to add the file you wish to fax. We support: "
           "Microsoft Word (Word 97 or greater), Word Perfect (5.x and 6.x), text "
           "files, bitmap files (BMP), and JPEG files. You may attach only one file."),
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
    list_->setIconSize(QSize(16, 16));
    list_->setMinimumHeight(look::DialogUnits(*this, 0, 50).height());
    panel->addWidget(list_, 1, 0, 3, 1);
    NameField(list_, tr("Attached files"), filesLabel_);
    addButton_ = new QPushButton(tr("Add..."), this);
    SetControlId(addButton_, 5408);
    openButton_ = new QPushButton(tr("Open..."), this);
    SetControlId(openButton_, 5435);
    removeButton_ = new QPushButton(tr("Remove"), this);
    SetControlId(removeButton_, 4801);
    panel->addWidget(addButton_, 1, 1);
    panel->addWidget(openButton_, 2, 1);
    panel->addWidget(removeButton_, 3, 1, Qt::AlignTop);
    panel->setColumnStretch(0, 1);
    column->addLayout(panel);
    column->addStretch(1);

    connect(addButton_, &QPushButton::clicked, this, &CAttachFile::AddFile);
    connect(openButton_, &QPushButton::clicked, this, &CAttachFile::OpenSelected);
    connect(removeButton_, &QPushButton::clicked, this, &CAttachFile::RemoveSelected);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { OpenSelected(); });
    connect(list_, &QListWidget::itemSelectionChanged, this, &CAttachFile::UpdateButtons);
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
    list_->insertItem(0, item);
}

void CAttachFile::UpdateButtons() {
    const bool selected = !list_->selectedItems().isEmpty();
    addButton_->setEnabled(job_.AttachmentList.empty());
    removeButton_->setEnabled(selected);
    openButton_->setEnabled(selected);
}

void CAttachFile::AddFile() {
    if (list_->count() >= 1) {
        Warn(tr("You cannot add more than one file.").toStdString());
        return;
    }
    std::string path = picker_ ? picker_(this) : std::string();
    if (!path.empty()) {
        job_.AttachmentList.push_front(path);
        AddItem(&job_.AttachmentList.front());
    }
    UpdateButtons();
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
    return true;
}

QRect CAttachFile::PanelRect() const { return look::PanelRect(*this, *filesLabel_, *list_, 2); }
