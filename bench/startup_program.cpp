// The program's real start, ending after the first paint of its window: the same entry point as
// main(), on the simulated card.
#include "first_paint.h"
#include "program.h"
#include "run_window.h"

#include <QCoreApplication>

#include <array>

using qm5083::bench::quitAfterFirstPaint;
Q_COREAPP_STARTUP_FUNCTION(quitAfterFirstPaint)

int main(int argc, char *argv[])
{
    char simulate[] = "--simulate";
    std::array<char *, 3> arguments {argc > 0 ? argv[0] : simulate, simulate, nullptr};
    return qm5083::commands::runProgram(2, arguments.data(), qm5083::window::windowRunner());
}
