#pragma once
// The similar-image code's report of an internal inconsistency: one line
// "*BUG* File: [<source file>] Line: [<line>]" in the log (standard error), after
// which the caller carries on.

#include <source_location>

void zpReportInternalError(std::source_location where = std::source_location::current());
