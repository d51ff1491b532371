#pragma once

#include <optional>

// The version of the product's programs.
[[nodiscard]] const char* ProductVersion();

// Answers "--help" (help on standard output) and "--version" ("program
// version") wherever they stand among the arguments: the exit status (0)
// when one was given, else nothing.
[[nodiscard]] std::optional<int> AnswerHelpOrVersion(int argc, char** argv, const char* program,
                                                     const char* help);
