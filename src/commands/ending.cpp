#include "ending.h"

#include <csignal>
#include <cstring>

namespace qm5083::commands {

namespace {

volatile std::sig_atomic_t gEndingSignal = 0;

extern "C" void noteEndingSignal(int signal)
{
    gEndingSignal = signal;
}

} // namespace

void endAfterTheOperationInProgress()
{
    struct sigaction action
    { };
    action.sa_handler = noteEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a read of the next line returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int endingSignal()
{
    return gEndingSignal;
}

QString signalName(int signal)
{
    return QStringLiteral("SIG%1").arg(QString::fromLatin1(sigabbrev_np(signal)));
}

} // namespace qm5083::commands
