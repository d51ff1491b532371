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

// A marked text with its %1, %2... filled in, in the user's language, for
// texts composed before they reach a box (the cause of a failure, say).
template <typename... Args>
[[nodiscard]] std::string TranslatedText(const char* text, const Args&... args) {
    if constexpr (sizeof...(Args) == 0)
        return ShownText(text).toStdString();
    else
        return ShownText(text).arg(QString::fromStdString(args)...).toStdString();
}

// A marked text holding a count (%n, marked with QT_TRANSLATE_N_NOOP), in the
// user's language with the count's plural form; in the C locale as written.
[[nodiscard]] inline std::string CountedText(const char* text, int count) {
    return QCoreApplication::translate(kMessageContext, text, nullptr, count).toStdString();
}
