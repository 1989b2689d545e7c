#include "appearance.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

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

} // namespace qm5083::window
