#include "transport/FailureWords.h"

#include "app/Translate.h"

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
