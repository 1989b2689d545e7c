#include "output_text.h"

#include "hex_text.h"
#include "text_lines.h"
#include "value.h"

#include <QDateTime>

namespace qm5083::commands {

void print(std::FILE *file, const QString &text, bool newLine)
{
    std::string line = convert::escapeControls(text.toStdString());
    if (newLine)
        line += '\n';
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
}

void printLines(std::FILE *file, const QStringList &lines)
{
    for (const QString &line : lines)
        print(file, line);
}

void printProblem(std::FILE *file, const QString &why)
{
    print(file, QStringLiteral("qm5083-bench: %1").arg(why));
}

QString hex2(unsigned byte)
{
    return QString::fromStdString(convert::hex2(static_cast<std::uint8_t>(byte)));
}

QString hex4(unsigned value)
{
    return QString::fromStdString(convert::hex4(static_cast<std::uint16_t>(value)));
}

QString codeText(unsigned code)
{
    return QString::fromStdString(convert::FormatHex(static_cast<std::int16_t>(code)));
}

QString timeWithZone()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace qm5083::commands
