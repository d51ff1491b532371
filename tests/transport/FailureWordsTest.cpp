#include <gtest/gtest.h>

#include "transport/FailureWords.h"

namespace {

// Each cause has a sentence of its own a non-technical user understands.
TEST(PlainFailure, EveryCauseHasItsSentence) {
    const struct {
        HttpFailure cause;
        long status;
        bool uncertain;
        const char* words;
    } kCases[] = {
        {HttpFailure::Refused, 0, false, "The fax service is not answering."},
        {HttpFailure::TimedOut, 0, false, "The fax service is not answering."},
        {HttpFailure::NameNotFound, 0, false, "The fax service could not be found."},
        {HttpFailure::Certificate, 0, false, "The fax service could not prove who it is"},
        {HttpFailure::HttpStatus, 500, false, "The fax service has a problem of its own"},
        {HttpFailure::HttpStatus, 499, false, "The fax service turned the fax down."},
        {HttpFailure::NoSuccessMark, 0, false, "The fax service did not confirm the fax."},
        {HttpFailure::TooSlow, 0, false, "The connection to the fax service was too slow."},
        {HttpFailure::Stopped, 0, false, "You stopped the sending."},
        {HttpFailure::BadAddress, 0, false, "The address of the fax service is not usable."},
        {HttpFailure::BodyFile, 0, false, "The fax could not be prepared for sending."},
        {HttpFailure::Other, 0, false, "The fax service did not take the fax."},
        {HttpFailure::Broken, 0, true, "The whole fax went out but no answer came"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(PlainFailure(c.cause, c.status, c.uncertain).rfind(c.words, 0), 0u)
            << static_cast<int>(c.cause) << " " << c.status;
}

// The technical cause names what happened, with its numbers; libcurl's words
// stand only where no class fits, and never an empty cause.
TEST(TechnicalCause, EveryClassHasItsWordsAndOnlyTheRestTakeLibcurls) {
    const struct {
        HttpFailure cause;
        long status;
        const char* detail;
        const char* words;
    } kCases[] = {
        {HttpFailure::None, 0, "ignored", ""},
        {HttpFailure::Refused, 0, "", "the connection was refused"},
        {HttpFailure::NameNotFound, 0, "", "the server's name was not found"},
        {HttpFailure::Certificate, 0, "", "the server's certificate was refused"},
        {HttpFailure::HttpStatus, 503, "", "the service answered with HTTP status 503"},
        {HttpFailure::NoSuccessMark, 0, "",
         "the service did not confirm the fax (no success mark)"},
        {HttpFailure::TimedOut, 0, "", "no reply within the time limit"},
        {HttpFailure::TooSlow, 0, "",
         "the transfer stalled (below 10 bytes a second for 20 seconds)"},
        {HttpFailure::Broken, 0, "curl: recv failure", "the connection broke off"},
        {HttpFailure::Stopped, 0, "", "stopped by the user"},
        {HttpFailure::BadAddress, 0, "URL using bad/illegal format",
         "URL using bad/illegal format"},
        {HttpFailure::BodyFile, 0, "cannot read body", "cannot read body"},
        {HttpFailure::Other, 0, "", "unexpected failure"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(TechnicalCause(c.cause, c.status, 10, 20, c.detail), c.words)
            << static_cast<int>(c.cause);
}

}  // namespace
