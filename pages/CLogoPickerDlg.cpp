#include "pages/CLogoPickerDlg.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "controls/HelpService.h"
#include "controls/WizardPage.h"

namespace {

std::unique_ptr<PictureItem> LoadItem(const std::string& bitmapFile, const std::string& path) {
    auto item = std::make_unique<PictureItem>();
    // An unreadable file leaves the bitmap null and its cell empty.
    (void)item->bitmap.load(QString::fromStdString(bitmapFile));
    item->path = path;
    return item;
}

bool Fits(const std::string& path, std::size_t buffer) { return path.size() < buffer; }

}  // namespace

CLogoPickerDlg::CLogoPickerDlg(std::string imagesFolder, QWidget* parent, DocumentOpener* opener)
    : QDialog(parent), imagesFolder_(std::move(imagesFolder)), picker_(&PickWithDialog) {
    setWindowTitle(tr("Select Logo Image"));
    SetControlId(this, 130);

    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    frame_ = new QFrame(this);
    SetControlId(frame_, 1002);
    frame_->setFixedSize(kFrameWidth, kFrameHeight);
    left->addWidget(frame_);
    left->addWidget(new QLabel(tr("Double click to view the original image."), this));
    outer->addLayout(left);
    auto* buttons = new QVBoxLayout;
    ok_ = new QPushButton(tr("OK"), this);
    ok_->setDefault(true);
    cancel_ = new QPushButton(tr("Cancel"), this);
    browse_ = new QPushButton(tr("Browse..."), this);
    SetControlId(browse_, 1003);
    delete_ = new QPushButton(tr("Delete"), this);
    SetControlId(delete_, 1004);
    help_ = new QPushButton(tr("Help"), this);
    SetControlId(help_, 1021);
    for (QPushButton* b : {ok_, cancel_, browse_, delete_, help_}) buttons->addWidget(b);
    buttons->addStretch(1);
    outer->addLayout(buttons);

    // The pictures of the folder, in name order; paths too long to keep are
    // left out.
    QDir dir(QString::fromStdString(imagesFolder_));
    const QStringList names = dir.entryList({QStringLiteral("*.bmp")}, QDir::Files | QDir::Readable,
                                            QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) {
        const std::string path = imagesFolder_ + name.toStdString();
        if (!Fits(path, kMaxPath)) continue;
        items_.push_back(LoadItem(path, path));
    }

    // The thumbnail window fills the frame.
    thumbs_ = new CTitledPicsWnd(QRect(QPoint(0, 0), frame_->size()), frame_, 1234);
    NameField(thumbs_, tr("Logo images"));
    auto* frameLayout = new QVBoxLayout(frame_);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->addWidget(thumbs_);
    thumbs_->SetOpener(opener);
    thumbs_->SetStretch(true);
    thumbs_->SetCellSize(kFrameWidth - 50, kFrameWidth - 50);
    for (const auto& item : items_) thumbs_->AddPicture(*item);
    connect(thumbs_, &CTitledPicsWnd::notify, this, &CLogoPickerDlg::OnNotify);
    if (!items_.empty()) thumbs_->Select(0);

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(browse_, &QPushButton::clicked, this, &CLogoPickerDlg::Browse);
    connect(delete_, &QPushButton::clicked, this, &CLogoPickerDlg::DeleteSelected);
    auto showHelp = [this] {
        if (helpService_) helpService_->ShowControlPopup(1021);
    };
    connect(help_, &QPushButton::clicked, this, showHelp);
    auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
    connect(helpKey, &QShortcut::activated, this, showHelp);
}

CLogoPickerDlg::~CLogoPickerDlg() {
    // The window refers to the items' bitmaps: it goes first.
    delete thumbs_;
}

std::string CLogoPickerDlg::PickWithDialog(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    dialog.setNameFilters({tr("Image (*.bmp)"), tr("All Files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

void CLogoPickerDlg::OnNotify(int controlId, int code) {
    if (controlId == 1234 && code == CTitledPicsWnd::kSelChanged)
        chosenPath_ = thumbs_->SelectedPath();
}

void CLogoPickerDlg::Browse() {
    const std::string source = picker_ ? picker_(this) : std::string();
    if (source.empty() || !Fits(source, kMaxSourcePath)) return;
    const auto slash = source.find_last_of('/');
    const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    const std::string destination = imagesFolder_ + name;
    if (name.empty() || !Fits(name, kMaxPath) || !Fits(destination, kMaxPath)) return;
    // QFile::copy refuses an existing destination.
    if (!QFile::copy(QString::fromStdString(source), QString::fromStdString(destination))) return;
    items_.push_back(LoadItem(source, destination));
    thumbs_->AddPicture(*items_.back());
    thumbs_->viewport()->repaint();
}

void CLogoPickerDlg::DeleteSelected() { thumbs_->DeleteSelected(); }
