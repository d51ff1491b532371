#pragma once

#include <string>

#include "app/core/Translate.h"

// The one way the program talks to the user in modal boxes. The program uses a
// QMessageBox implementation; tests use a scripted one that records each box.
enum class MbButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MbIcon { None, Exclamation, Question, Information, Stop };
// Values follow the platform's IDOK.. IDNO codes.
enum class MbResult { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

class MessageBoxService {
  public:
    virtual ~MessageBoxService() = default;
    [[nodiscard]] virtual MbResult Show(const std::string& text, const std::string& caption,
                                        MbButtons buttons, MbIcon icon) = 0;
    // The same box with a line of detail under its text (the cause of a
    // failure, say); without support for it, the plain box.
    [[nodiscard]] virtual MbResult ShowDetailed(const std::string& text, const std::string& caption,
                                                MbButtons buttons, MbIcon icon,
                                                const std::string& detail) {
        (void)detail;
        return Show(text, caption, buttons, icon);
    }
    // An OK box that also offers one more step beside its text (a button
    // labelled offer, say "Open Outbox"; none when empty) and keeps the
    // technical cause one click away; true when the user took the offer.
    // Without support for it, the plain detailed box, and false.
    [[nodiscard]] virtual bool ShowOffering(const std::string& text, const std::string& caption,
                                            MbIcon icon, const std::string& detail,
                                            const std::string& technical,
                                            const std::string& offer) {
        (void)offer;
        (void)technical;
        (void)ShowDetailed(text, caption, MbButtons::Ok, icon, detail);
        return false;
    }
};

// The offer beside the boxes that say a fax is kept in the outbox.
inline constexpr const char* kOpenOutboxText = QT_TRANSLATE_NOOP("Message", "Open Outbox");

// String resource 102: the caption of the program's message boxes.
inline constexpr const char* kMessageCaption =
    QT_TRANSLATE_NOOP("Message", "Send a Fax - Corvinaport");
