#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>

// How the commands write their lines and the card's values.
namespace qm5083::commands {

// Writes one line (and its end, unless told not to) at once, so that lines interleave in order
// with the other stream and reach a pipe before the next operation. Every control character in
// it is shown escaped (\x1B, \n): a file name, a typed text or another program's command line
// quoted in it can neither move the cursor nor forge a line.
void print(std::FILE *file, const QString &text, bool newLine = true);

// Several lines, each as print writes it.
void printLines(std::FILE *file, const QStringList &lines);

// A problem on its own line, after the program's name: "qm5083-bench: why".
void printProblem(std::FILE *file, const QString &why);

QString hex2(unsigned byte);     // "0D"
QString hex4(unsigned value);    // "E000"
QString codeText(unsigned code); // a DA code as the window shows it: "FFF", "0"

// The time with its offset from UTC, as a station files it: 2026-12-07T15:04:05.123+08:00.
QString timeWithZone();

} // namespace qm5083::commands
