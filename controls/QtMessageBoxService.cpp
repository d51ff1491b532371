#include "controls/QtMessageBoxService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "app/core/Translate.h"
#include "controls/Placement.h"

namespace {

QMessageBox::Icon ToIcon(MbIcon icon) {
    switch (icon) {
        case MbIcon::Exclamation:
            return QMessageBox::Warning;
        case MbIcon::Question:
            return QMessageBox::Question;
        case MbIcon::Information:
            return QMessageBox::Information;
        case MbIcon::Stop:
            return QMessageBox::Critical;
        case MbIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MbResult QtMessageBoxService::Show(const std::string& text, const std::string& caption,
                                   MbButtons buttons, MbIcon icon) {
    return ShowDetailed(text, caption, buttons, icon, {});
}

MbResult QtMessageBoxService::ShowDetailed(const std::string& text, const std::string& caption,
                                           MbButtons buttons, MbIcon icon,
                                           const std::string& detail) {
    return Run(text, caption, buttons, icon, detail, {}, {}, nullptr);
}

bool QtMessageBoxService::ShowOffering(const std::string& text, const std::string& caption,
                                       MbIcon icon, const std::string& detail,
                                       const std::string& technical, const std::string& offer) {
    bool taken = false;
    (void)Run(text, caption, MbButtons::Ok, icon, detail, technical, offer, &taken);
    return taken;
}

MbResult QtMessageBoxService::Run(const std::string& text, const std::string& caption,
                                  MbButtons buttons, MbIcon icon, const std::string& detail,
                                  const std::string& technical, const std::string& offer,
                                  bool* offerTaken) {
    QMessageBox box(ToIcon(icon), ShownText(caption), ShownText(text), QMessageBox::NoButton,
                    OwnerWindow(owner_.data()));
    if (!detail.empty()) box.setInformativeText(ShownText(detail));
    // The technical cause, one click away ("Show Details...").
    if (!technical.empty()) box.setDetailedText(ShownText(technical));
    struct Choice {
        QMessageBox::StandardButton button;
        MbResult result;
    };
    std::vector<Choice> choices;
    switch (buttons) {
        case MbButtons::Ok:
            choices = {{QMessageBox::Ok, MbResult::Ok}};
            break;
        case MbButtons::OkCancel:
            choices = {{QMessageBox::Ok, MbResult::Ok}, {QMessageBox::Cancel, MbResult::Cancel}};
            break;
        case MbButtons::YesNo:
            choices = {{QMessageBox::Yes, MbResult::Yes}, {QMessageBox::No, MbResult::No}};
            break;
        case MbButtons::YesNoCancel:
            choices = {{QMessageBox::Yes, MbResult::Yes},
                       {QMessageBox::No, MbResult::No},
                       {QMessageBox::Cancel, MbResult::Cancel}};
            break;
        case MbButtons::RetryCancel:
            choices = {{QMessageBox::Retry, MbResult::Retry},
                       {QMessageBox::Cancel, MbResult::Cancel}};
            break;
    }
    for (const auto& c : choices) box.addButton(c.button);
    QPushButton* offered =
        offer.empty() ? nullptr : box.addButton(ShownText(offer), QMessageBox::ActionRole);
    box.setDefaultButton(choices.front().button);
    // Closing the box with Escape or the title bar answers like its last
    // button (Cancel or No), or OK when there is only one.
    box.setEscapeButton(choices.back().button);
    box.exec();
    if (offerTaken) *offerTaken = offered && box.clickedButton() == offered;
    auto pressed = box.standardButton(box.clickedButton());
    for (const auto& c : choices)
        if (c.button == pressed) return c.result;
    return choices.back().result;
}
