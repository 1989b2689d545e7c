#pragma once

#include <QString>

namespace qm5083::commands {

// SIGINT and SIGTERM end a command or a batch after the operation in progress, never inside a
// register sequence: from now on they only note the signal, and cut short a wait for input.
void endAfterTheOperationInProgress();

// The signal that asked the program to end; 0 while none has.
int endingSignal();

// "SIGINT", "SIGTERM": a signal as a record and a message name it.
QString signalName(int signal);

} // namespace qm5083::commands
