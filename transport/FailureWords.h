#pragma once

#include <string>

#include "transport/HttpRequest.h"

// What a failed fax submission means to someone who does not know HTTP:
// one sentence per cause, in the user's language. The technical cause
// (step, status, libcurl's words) stays with SendOutcome::Detail().
[[nodiscard]] std::string PlainFailure(HttpFailure cause, long httpStatus, bool uncertain);
