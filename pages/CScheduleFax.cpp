#include "pages/CScheduleFax.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "controls/ColorLabel.h"
#include "controls/Look.h"
#include "pages/PageLayout.h"
#include "res/Resources.h"

CScheduleFax::CScheduleFax(QWidget* parent)
    : WizardPage(756, tr("Schedule the Fax - Send a Fax"), parent) {
    QVBoxLayout* column = pagelayout::Frame(this, 761, res::IDB_SCHEDULE_SIDE);
    titleLabel_ = new ColorLabel(tr("Send Fax"), this, 1028);
    SetControlId(titleLabel_, 1028);
    column->addWidget(titleLabel_);
    column->addWidget(pagelayout::Static(
        tr("Your fax is ready to be sent.  If you would like to go back and make "
           "changes before sending the fax, click the Back button.  Click the "
           "Finish button to send the fax."),
        this, 0, true));
    column->addSpacing(look::DialogUnits(*this, 0, 6).height());

    auto* panel = new QVBoxLayout;
    panel->setContentsMargins(3 * look::kFrame, 2 * look::kFrame, 3 * look::kFrame,
                              2 * look::kFrame);
    promptLabel_ = new ColorLabel(tr("Select when you would like to send this fax:"), this, 1025);
    SetControlId(promptLabel_, 1025);
    panel->addWidget(promptLabel_);
    sendNowButton_ = new QRadioButton(tr("Send this &fax immediately"), this);
    SetControlId(sendNowButton_, 5420);
    outboxButton_ = new QRadioButton(tr("&Place fax in \"outbox\""), this);
    SetControlId(outboxButton_, 5423);
    auto* group = new QButtonGroup(this);
    group->addButton(sendNowButton_);
    group->addButton(outboxButton_);
    panel->addWidget(sendNowButton_);
    panel->addWidget(outboxButton_);
    column->addLayout(panel);
    // The whole fax as it will be sent, in the program's page viewer.
    previewButton_ = new QPushButton(tr("Pre&view"), this);
    previewButton_->setAccessibleName(tr("Preview the fax"));
    column->addSpacing(look::DialogUnits(*this, 0, 6).height());
    column->addWidget(previewButton_, 0, Qt::AlignRight);
    column->addStretch(1);

    connect(sendNowButton_, &QRadioButton::clicked, this, [this] { sendNow = 1; });
    connect(outboxButton_, &QRadioButton::clicked, this, [this] { sendNow = 0; });
    connect(previewButton_, &QPushButton::clicked, this, &CScheduleFax::OnPreview);
}

void CScheduleFax::OnPreview() {
    const std::vector<std::string> files = documents_ ? documents_() : std::vector<std::string>{};
    if (previewRunner_)
        previewRunner_(this, files);
    else
        RunPageViewer(this, files);
}

void CScheduleFax::OnInitDialog() {
    sendNow = 1;
    sendNowButton_->setChecked(true);
    look::StyleTitle(*titleLabel_);
    look::StyleLabel(*promptLabel_);
}

bool CScheduleFax::OnSetActive() {
    SetButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return true;
}

QRect CScheduleFax::PanelRect() const {
    return look::PanelRect(*this, *promptLabel_, *outboxButton_, 2);
}
