#include "controls/QtMessageBoxService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "app/Translate.h"

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

// A visible window that stays on top of the others (a progress window), the
// first found when there are several; null when there is none.
QWidget* TopMostWindow() {
    QWidget* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowType() == Qt::Window &&
            (w->windowFlags() & Qt::WindowStaysOnTopHint))
            found = w;
    return found;
}

}  // namespace

MbResult QtMessageBoxService::Show(const std::string& text, const std::string& caption,
                                   MbButtons buttons, MbIcon icon) {
    return ShowDetailed(text, caption, buttons, icon, {});
}

MbResult QtMessageBoxService::ShowDetailed(const std::string& text, const std::string& caption,
                                           MbButtons buttons, MbIcon icon,
                                           const std::string& detail) {
    // Over a top-most window the box would open hidden under it.
    QWidget* owner = TopMostWindow();
    if (!owner) owner = owner_ ? owner_.data() : QApplication::activeWindow();
    QMessageBox box(ToIcon(icon), ShownText(caption), ShownText(text), QMessageBox::NoButton,
                    owner);
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
