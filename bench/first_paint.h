#pragma once

#include <QSize>

namespace qm5083::bench {

// Makes the running application end right after its first window has painted its first frame,
// and reports when that was: a line "shown <CLOCK_MONOTONIC ns> <width>x<height>" on the
// descriptor named by QM5083_STARTUP_REPORT_FD (standard error without it). Call it from a
// Q_COREAPP_STARTUP_FUNCTION, so that it needs nothing from the program it measures.
void quitAfterFirstPaint();

// The baseline windows' size: WIDTHxHEIGHT as the first argument (the measuring program passes
// the size the program's window reported), else the program's at 96 dpi.
QSize windowSize(int argc, char *argv[]);

} // namespace qm5083::bench
