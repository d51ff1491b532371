#pragma once

#include <cstdint>
#include <string>

#include "transport/HttpRequest.h"

// The two wordings of a failed exchange with the service, kept together:
// the technical cause (for the box's details, send.state and standard error)
// and the plain sentence that tells anyone what went wrong.

// The technical cause, in the user's language: "the connection was refused",
// "the service answered with HTTP status 500"; for causes no class fits,
// libcurl's own words (detail).
[[nodiscard]] std::string TechnicalCause(HttpFailure cause, long httpStatus,
                                         std::int32_t lowSpeedBytes, std::int32_t lowSpeedSeconds,
                                         const std::string& detail);

// What a failed fax submission means to someone who does not know HTTP:
// one sentence per cause, in the user's language. The technical cause
// (step, status, libcurl's words) stays with SendOutcome::Detail().
[[nodiscard]] std::string PlainFailure(HttpFailure cause, long httpStatus, bool uncertain);
