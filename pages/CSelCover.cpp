#include "pages/CSelCover.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <utility>
#include <vector>

#include "app/core/AppSettings.h"
#include "base/FileReplace.h"
#include "base/Text.h"
#include "controls/ColorLabel.h"
#include "controls/DocumentOpener.h"
#include "controls/Look.h"
#include "pages/CLogoPickerDlg.h"
#include "pages/PageLayout.h"
#include "res/Resources.h"
#include "wizard/job/FaxJob.h"

namespace {

// The memo field keeps line feeds; the job and the cover use CR LF.
std::string ToCrLf(const QString& text) {
    std::string out;
    for (char c : text.toStdString()) {
        if (c == '\r') continue;
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

QString FromCrLf(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return QString::fromStdString(out);
}

std::string RightTrimmed(std::string s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    return s;
}

ColorLabel* Label(const QString& text, QWidget* parent, int id) {
    auto* label = new ColorLabel(text, parent, id);
    SetControlId(label, id);
    return label;
}

}  // namespace

CSelCover::CSelCover(FaxJob& job, const DirectorySettings& directory, ImagingEnvironment& imaging,
                     QWidget* parent)
    : WizardPage(754, tr("Cover Sheet - Send a Fax"), parent),
      job_(job),
      directory_(directory),
      imaging_(imaging) {
    QVBoxLayout* column = pagelayout::Frame(this, 761, res::IDB_SCHEDULE_SIDE);
    check_ = new QCheckBox(tr("I want to send a coversheet"), this);
    SetControlId(check_, 3305);
    column->addWidget(check_);
    column->addSpacing(look::DialogUnits(*this, 0, 4).height());

    auto* panel = new QGridLayout;
    panel->setContentsMargins(3 * look::kFrame, 2 * look::kFrame, 3 * look::kFrame,
                              2 * look::kFrame);
    logoLabel_ = Label(tr("Logo:"), this, 7007);
    combo_ = new QComboBox(this);
    SetControlId(combo_, 4201);
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    logoButton_ = new QPushButton(tr("Logo"), this);
    SetControlId(logoButton_, 1012);
    logoButton_->setMaximumWidth(look::DialogUnits(*this, 30, 0).width());
    fromLabel_ = Label(tr("From:"), this, 7008);
    sender_ = new QLineEdit(this);
    SetControlId(sender_, 5429);
    companyLabel_ = Label(tr("Company"), this, 7004);
    company_ = new QLineEdit(this);
    SetControlId(company_, 1013);
    subjectLabel_ = Label(tr("Subject:"), this, 7009);
    subject_ = new QLineEdit(this);
    SetControlId(subject_, 4922);
    memoLabel_ = Label(tr("Memo:"), this, 7010);
    memo_ = new QPlainTextEdit(this);
    SetControlId(memo_, 4300);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setTabChangesFocus(true);
    preview_ = new QPushButton(tr("Preview"), this);
    SetControlId(preview_, 4606);

    NameField(combo_, tr("Logo"), logoLabel_);
    // The box's text part is what a screen reader meets when typing.
    combo_->lineEdit()->setAccessibleName(tr("Logo name"));
    NameField(sender_, tr("From"), fromLabel_);
    NameField(company_, tr("Company"), companyLabel_);
    NameField(subject_, tr("Subject"), subjectLabel_);
    NameField(memo_, tr("Memo"), memoLabel_);
    panel->addWidget(logoLabel_, 0, 0);
    panel->addWidget(combo_, 0, 1);
    panel->addWidget(logoButton_, 0, 2);
    panel->addWidget(fromLabel_, 1, 0);
    panel->addWidget(sender_, 1, 1, 1, 2);
    panel->addWidget(companyLabel_, 2, 0);
    panel->addWidget(company_, 2, 1, 1, 2);
    panel->addWidget(subjectLabel_, 3, 0);
    panel->addWidget(subject_, 3, 1, 1, 2);
    panel->addWidget(memoLabel_, 4, 0, Qt::AlignTop);
    panel->addWidget(memo_, 4, 1, 1, 2);
    panel->addWidget(preview_, 5, 2);
    panel->setColumnStretch(1, 1);
    column->addLayout(panel);
    column->addStretch(1);

    connect(check_, &QCheckBox::clicked, this, &CSelCover::OnCheckClicked);
    connect(combo_, &QComboBox::activated, this, &CSelCover::OnLogoSelected);
    connect(logoButton_, &QPushButton::clicked, this, &CSelCover::OnLogoButton);
    connect(preview_, &QPushButton::clicked, this, &CSelCover::OnPreview);
}

std::string CSelCover::ImagesFolder() const {
    std::string folders = directory_.LocalFolders;
    if (!folders.empty() && folders.back() != '/') folders += '/';
    return folders + "images";
}

void CSelCover::OnInitDialog() {
    for (ColorLabel* l : {logoLabel_, fromLabel_, companyLabel_, subjectLabel_, memoLabel_})
        look::StyleLabel(*l);
    coverFile_.clear();
    combo_->clear();
    // The entries are the logo names up to their first "."; each remembers
    // its file, so a name in other case or with more dots still finds it.
    QDir dir(QString::fromStdString(ImagesFolder()));
    // A sorted list, as the platform's combo box sorts: without regard to case.
    std::vector<std::pair<QString, QString>> entries{{tr("none"), QString()}};
    const QStringList names =
        dir.entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names)
        entries.emplace_back(name.section(QLatin1Char('.'), 0, 0), name);
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    for (const auto& [shown, file] : entries)
        combo_->addItem(shown, file.isEmpty() ? QVariant() : QVariant(file));
    combo_->setCurrentIndex(combo_->findText(tr("none")));
    logoPath_.clear();
    check_->setChecked(true);
    sendCover_ = true;
    EnableFields(true);
}

QRect CSelCover::PanelRect() const { return look::PanelRect(*this, *logoLabel_, *preview_, 2); }

void CSelCover::ReadFields() {
    sendCover_ = check_->isChecked();
    fields_.sender = sender_->text().toStdString();
    fields_.company = company_->text().toStdString();
    fields_.subject = subject_->text().toStdString();
    fields_.memo = ToCrLf(memo_->toPlainText());
}

void CSelCover::EnableFields(bool on) {
    for (QLineEdit* e : {sender_, company_, subject_}) e->setReadOnly(!on);
    memo_->setReadOnly(!on);
    // Read-only fields look it: greyed background and text, as disabled
    // fields do, while their text can still be selected and copied.
    for (QWidget* field : std::initializer_list<QWidget*>{sender_, company_, subject_, memo_}) {
        QPalette pal = palette();
        if (!on) {
            pal.setColor(QPalette::Base, pal.color(QPalette::Disabled, QPalette::Window));
            pal.setColor(QPalette::Text, pal.color(QPalette::Disabled, QPalette::Text));
        }
        field->setPalette(pal);
    }
    combo_->setEnabled(on);
    preview_->setEnabled(on);
    logoButton_->setEnabled(on);
}

void CSelCover::OnCheckClicked() {
    ReadFields();
    EnableFields(sendCover_);
}

void CSelCover::OnLogoSelected(int index) {
    if (index < 0) return;
    const std::string text = Lower(combo_->itemText(index).toStdString());
    if (text == "none" || text == Lower(tr("none").toStdString())) {
        logoPath_.clear();
        return;
    }
    const QString file = combo_->itemData(index).toString();
    if (!file.isEmpty()) {
        logoPath_ = ImagesFolder() + "/" + file.toStdString();
        return;
    }
    std::string name = text;
    if (name.find(".bmp") == std::string::npos) name += ".bmp";
    logoPath_ = ImagesFolder() + "/" + name;
}

bool CSelCover::RunPicker(const std::string& folder, std::string& chosen) {
    if (pickerRunner_) return pickerRunner_(this, folder, chosen);
    CLogoPickerDlg picker(folder, this, opener_);
    picker.SetHelpService(help());
    if (picker.exec() != QDialog::Accepted) return false;
    chosen = picker.chosenPath();
    return true;
}

void CSelCover::OnLogoButton() {
    std::string folder = RightTrimmed(ImagesFolder());
    if (folder.empty() || folder.back() != '/') folder += '/';
    std::string chosen;
    if (!RunPicker(folder, chosen)) return;
    logoPath_ = chosen;
    combo_->setEditText(QString::fromStdString(chosen));
}

std::string CSelCover::Compose() {
    fields_.logoPath = logoPath_;
    return imaging_.ComposeCoverSheet(fields_, job_, directory_);
}

CSelCover::~CSelCover() { RemoveStaged(previewFile_); }

void CSelCover::OnPreview() {
    ReadFields();
    RemoveStaged(previewFile_);
    previewFile_ = Compose();
    if (previewFile_.empty()) return;
    if (previewRunner_)
        previewRunner_(this, {previewFile_});
    else
        RunPageViewer(this, {previewFile_});
}

bool CSelCover::OnSetActive() {
    SetButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return true;
}

bool CSelCover::OnWizardBack() {
    SetButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return true;
}

bool CSelCover::OnWizardNext() {
    ReadFields();
    job_.message.subject = fields_.subject;
    job_.message.memo = fields_.memo;
    if (sendCover_) {
        // A cover composed on an earlier visit is replaced by this one.
        RemoveStaged(coverFile_);
        coverFile_ = Compose();
        // Composing wrapped the memo: the page shows it as it went out.
        memo_->setPlainText(FromCrLf(fields_.memo));
    }
    return true;
}
