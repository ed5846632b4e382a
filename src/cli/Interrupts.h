#pragma once
// Ctrl-C (SIGINT), SIGTERM and SIGHUP, handled alike by scan and remove: the first asks
// the work to stop after the current file (the count goes up, and a blocking read or
// wait returns early); the second ends the process at once with status 130, after
// removing the hidden partial copy of a move across file systems, if one is being
// written.
//
// The count is safe from any thread and from the handler.

namespace twcli {

// Installs the handlers (again: harmless).
void installInterruptHandlers();
// Signals received since the handlers were installed.
int interruptCount();

}  // namespace twcli
