// The program's real start, ending after the first paint of its window: the same entry point as
// main(), on the simulated card.
#include "application.h"
#include "first_paint.h"

#include <QCoreApplication>

#include <array>

using qm5083::bench::quitAfterFirstPaint;
Q_COREAPP_STARTUP_FUNCTION(quitAfterFirstPaint)

int main(int argc, char *argv[])
{
    char simulate[] = "--simulate";
    std::array<char *, 3> arguments {argc > 0 ? argv[0] : simulate, simulate, nullptr};
    return qm5083::window::runBench(2, arguments.data());
}
