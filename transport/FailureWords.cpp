#include "transport/FailureWords.h"

#include "app/core/Translate.h"

std::string PlainFailure(HttpFailure cause, long httpStatus, bool uncertain) {
    if (uncertain)
        return TranslatedText(QT_TRANSLATE_NOOP(
            "Message",
            "The whole fax went out but no answer came, so it may have reached the service."));
    const char* text = nullptr;
    switch (cause) {
        case HttpFailure::Refused:
        case HttpFailure::TimedOut:
        case HttpFailure::Broken:
            text = QT_TRANSLATE_NOOP("Message", "The fax service is not answering.");
            break;
        case HttpFailure::NameNotFound:
            text = QT_TRANSLATE_NOOP("Message",
                                     "The fax service could not be found. Check that this "
                                     "computer is connected to the Internet.");
            break;
        case HttpFailure::Certificate:
            text = QT_TRANSLATE_NOOP("Message",
                                     "The fax service could not prove who it is, so nothing was "
                                     "sent to it.");
            break;
        case HttpFailure::HttpStatus:
            text = httpStatus >= 500
                       ? QT_TRANSLATE_NOOP("Message",
                                           "The fax service has a problem of its "
                                           "own at the moment.")
                       : QT_TRANSLATE_NOOP("Message", "The fax service turned the fax down.");
            break;
        case HttpFailure::NoSuccessMark:
            text = QT_TRANSLATE_NOOP("Message", "The fax service did not confirm the fax.");
            break;
        case HttpFailure::TooSlow:
            text = QT_TRANSLATE_NOOP("Message", "The connection to the fax service was too slow.");
            break;
        case HttpFailure::Stopped:
            text = QT_TRANSLATE_NOOP("Message", "You stopped the sending.");
            break;
        case HttpFailure::BadAddress:
            text = QT_TRANSLATE_NOOP("Message",
                                     "The address of the fax service is not usable. Check it "
                                     "in the settings.");
            break;
        case HttpFailure::BodyFile:
            text = QT_TRANSLATE_NOOP("Message", "The fax could not be prepared for sending.");
            break;
        case HttpFailure::None:
        case HttpFailure::Other:
            text = QT_TRANSLATE_NOOP("Message", "The fax service did not take the fax.");
            break;
    }
    return TranslatedText(text);
}

std::string TechnicalCause(HttpFailure kind, long status, std::int32_t lowSpeedBytes,
                           std::int32_t lowSpeedSeconds, const std::string& detail) {
    switch (kind) {
        case HttpFailure::None:
            return {};
        case HttpFailure::Refused:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "the connection was refused"));
        case HttpFailure::NameNotFound:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "the server's name was not found"));
        case HttpFailure::Certificate:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message", "the server's certificate was refused"));
        case HttpFailure::HttpStatus:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message", "the service answered with HTTP status %1"),
                std::to_string(status));
        case HttpFailure::NoSuccessMark:
            return TranslatedText(QT_TRANSLATE_NOOP(
                "Message", "the service did not confirm the fax (no success mark)"));
        case HttpFailure::TimedOut:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "no reply within the time limit"));
        case HttpFailure::TooSlow:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message",
                                  "the transfer stalled (below %1 bytes a second for %2 seconds)"),
                std::to_string(lowSpeedBytes), std::to_string(lowSpeedSeconds));
        case HttpFailure::Broken:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "the connection broke off"));
        case HttpFailure::Stopped:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "stopped by the user"));
        case HttpFailure::BadAddress:
        case HttpFailure::BodyFile:
        case HttpFailure::Other:
            break;
    }
    return detail.empty() ? TranslatedText(QT_TRANSLATE_NOOP("Message", "unexpected failure"))
                          : detail;
}
