#pragma once

namespace qm5083::commands {

// SIGINT and SIGTERM end a command or a batch after the operation in progress, never inside a
// register sequence: from now on they only note the signal, and cut short a wait for input.
void endAfterTheOperationInProgress();

// The signal that asked the program to end; 0 while none has.
int endingSignal();

} // namespace qm5083::commands
