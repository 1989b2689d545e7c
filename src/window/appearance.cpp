#include "appearance.h"

#include <QApplication>
#include <QFont>
#include <QIconEngine>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTextDocument>

namespace qm5083::window {

namespace {

// An icon that asks its style for the real one only when it is first drawn. The menu bar makes
// its overflow button's icon as it is built, and loading that icon from its file makes Qt probe
// every image format plug-in on the machine - a cost at every start for a button that shows only
// when the menus do not fit.
class DeferredStandardIcon final : public QIconEngine
{
public:
    DeferredStandardIcon(QStyle *style, QStyle::StandardPixmap which)
        : style_(style)
        , which_(which)
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }

    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }

    QIconEngine *clone() const override { return new DeferredStandardIcon(style_, which_); }

    QString key() const override { return QStringLiteral("DeferredStandardIcon"); }

private:
    const QIcon &icon()
    {
        if (!loaded_ && style_) { // a style replaced since leaves no icon, not a dangling one
            icon_ = style_->standardIcon(which_);
            loaded_ = true;
        }
        return icon_;
    }

    QPointer<QStyle> style_;
    QStyle::StandardPixmap which_;
    QIcon icon_;
    bool loaded_ = false;
};

class BenchStyle final : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap which, const QStyleOption *option,
                       const QWidget *widget) const override
    {
        if (which == SP_ToolBarHorizontalExtensionButton
            || which == SP_ToolBarVerticalExtensionButton)
            return QIcon(new DeferredStandardIcon(baseStyle(), which));
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

} // namespace

void applyAppearance(QApplication &app)
{
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        auto *style = new BenchStyle(fusion); // the proxy owns Fusion, the application the proxy
        style->setParent(&app);
        app.setStyle(style);
    }
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
