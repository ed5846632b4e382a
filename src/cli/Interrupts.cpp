#include "Interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "TWFolderMove.h"

namespace twcli {

namespace {

std::atomic<int> gInterrupts{0};

void onInterrupt(int) {
    if (gInterrupts.fetch_add(1) < 1) return;
    TWFolderMove::removePartialCopies();
    _exit(130);
}

}  // namespace

void installInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a read at the prompt returns at the first signal
    for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
}

int interruptCount() {
    return gInterrupts.load();
}

}  // namespace twcli
