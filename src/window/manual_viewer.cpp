#include "manual_viewer.h"

#include "command_line.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace qm5083::window {

namespace {

QString trManual(const char *text)
{
    return QCoreApplication::translate("qm5083::window::Manual", text);
}

} // namespace

void showManual(QWidget *parent)
{
    // The options' own help is always the program's: it cannot drift from what the program does.
    const commands::CommandLine help
        = commands::parseCommandLine({QStringLiteral("qm5083-bench"), QStringLiteral("--help")});
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("manualDialog"));
    dialog.setWindowTitle(trManual(QT_TRANSLATE_NOOP("qm5083::window::Manual", "Manual")));
    auto *text = new QPlainTextEdit(&dialog);
    text->setObjectName(QStringLiteral("manualText"));
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setPlainText(
        trManual(QT_TRANSLATE_NOOP("qm5083::window::Manual",
                                   "The full manual: man qm5083-bench. The program's options:"))
        + QStringLiteral("\n\n") + help.output);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.resize(720, 520);
    dialog.exec();
}

} // namespace qm5083::window
