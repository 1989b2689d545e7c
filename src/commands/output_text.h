#pragma once

#include <QString>

#include <cstdint>
#include <cstdio>

// How the commands write their lines and the card's values.
namespace qm5083::commands {

// Writes text (and a line's end, unless told not to) at once, so that lines interleave in order
// with the other stream and reach a pipe before the next operation.
void print(std::FILE *file, const QString &text, bool newLine = true);

// A problem on its own line, after the program's name: "qm5083-bench: why".
void printProblem(std::FILE *file, const QString &why);

QString hex2(unsigned byte);     // "0D"
QString hex4(unsigned value);    // "E000"
QString codeText(unsigned code); // a DA code as the window shows it: "FFF", "0"

// The time with its offset from UTC, as a station files it: 2026-12-07T15:04:05.123+08:00.
QString timeWithZone();

} // namespace qm5083::commands
