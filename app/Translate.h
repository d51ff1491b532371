#pragma once

#include <QCoreApplication>
#include <QString>
#include <string>

// Texts of message boxes and progress windows are marked where they are
// written, with QT_TRANSLATE_NOOP("Message", ...), and put in the user's
// language where they are shown (the Qt message box and progress window), so
// that libraries without widgets keep plain byte strings. A text with no
// translation, as in the C locale, is shown as it is.
inline constexpr const char* kMessageContext = "Message";

[[nodiscard]] inline QString ShownText(const std::string& text) {
    return QCoreApplication::translate(kMessageContext, text.c_str());
}
