#include "controls/QtMessageBoxService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "app/Translate.h"
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
    QMessageBox box(ToIcon(icon), ShownText(caption), ShownText(text), QMessageBox::NoButton,
                    OwnerWindow(owner_.data()));
    if (!detail.empty()) box.setInformativeText(ShownText(detail));
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
    box.setDefaultButton(choices.front().button);
    // Closing the box with Escape or the title bar answers like its last
    // button (Cancel or No), or OK when there is only one.
    box.setEscapeButton(choices.back().button);
    box.exec();
    auto pressed = box.standardButton(box.clickedButton());
    for (const auto& c : choices)
        if (c.button == pressed) return c.result;
    return choices.back().result;
}
