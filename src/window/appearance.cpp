#include "appearance.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTextDocument>

namespace qm5083::window {

void applyAppearance(QApplication &app)
{
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    QFont font(QStringLiteral("Noto Sans Mono CJK SC"), 9);
    font.setFamilies({QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("WenQuanYi Micro Hei Mono"), QStringLiteral("monospace")});
    font.setStyleHint(QFont::TypeWriter);
    app.setFont(font);
}

void showAsPlainText(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
    // The informative text's label is made by the box, with Qt's automatic format and links
    // that open on a click.
    for (QLabel *label : box.findChildren<QLabel *>()) {
        label->setTextFormat(Qt::PlainText);
        label->setOpenExternalLinks(false);
        label->setTextInteractionFlags(label->textInteractionFlags() & ~Qt::LinksAccessibleByMouse
                                       & ~Qt::LinksAccessibleByKeyboard);
    }
}

QString plainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre'>%1</p>")
        .arg(text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
}

} // namespace qm5083::window
