#include <gtest/gtest.h>

#include "transport/FailureWords.h"

namespace {

// Statuses from 500 are the service's own problem; an upload left unanswered says so.
TEST(PlainFailure, EveryCauseHasItsSentence) {
    const struct {
        HttpFailure cause;
        long status;
        bool uncertain;
        const char* words;
    } kCases[] = {
        {HttpFailure::Refused, 0, false, "The fax service is not answering."},
        {HttpFailure::Broken, 0, false, "The fax service is not answering."},
        {HttpFailure::HttpStatus, 500, false, "The fax service has a problem of its own"},
        {HttpFailure::HttpStatus, 499, false, "The fax service turned the fax down."},
        {HttpFailure::Other, 0, false, "The fax service did not take the fax."},
        {HttpFailure::Broken, 0, true, "The whole fax went out but no answer came"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(PlainFailure(c.cause, c.status, c.uncertain).rfind(c.words, 0), 0u)
            << static_cast<int>(c.cause) << " " << c.status;
}

// The cause names what happened with its numbers; libcurl's words only as a fallback.
TEST(TechnicalCause, EveryClassHasItsWordsAndOnlyTheRestTakeLibcurls) {
    const struct {
        HttpFailure cause;
        long status;
        const char* detail;
        const char* words;
    } kCases[] = {
        {HttpFailure::None, 0, "ignored", ""},
        {HttpFailure::HttpStatus, 503, "", "the service answered with HTTP status 503"},
        {HttpFailure::TooSlow, 0, "",
         "the transfer stalled (below 10 bytes a second for 20 seconds)"},
        {HttpFailure::Broken, 0, "curl: recv failure", "the connection broke off"},
        {HttpFailure::BadAddress, 0, "URL using bad/illegal format",
         "URL using bad/illegal format"},
        {HttpFailure::Other, 0, "", "unexpected failure"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(TechnicalCause(c.cause, c.status, 10, 20, c.detail), c.words)
            << static_cast<int>(c.cause);
}

}  // namespace
