#pragma once

// The relay's own multipart reader, enough to check what a relay receives.
#include "tools/relay/FormParts.h"
