// The bare window of the program's size (as the empty window takes it) with the program's
// appearance (style and CJK font) and one label of Chinese text, ending after its first paint:
// what any window that shows these texts pays the toolkit's font system, to tell it apart from
// what the program adds.
#include "appearance.h"
#include "first_paint.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

using qm5083::bench::quitAfterFirstPaint;
Q_COREAPP_STARTUP_FUNCTION(quitAfterFirstPaint)

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    qm5083::window::applyAppearance(app);
    QWidget window;
    window.resize(qm5083::bench::windowSize(argc, argv));
    QLabel label(QString::fromUtf8("qm5083测试程序"), &window);
    label.move(8, 8);
    window.show();
    return QApplication::exec();
}
