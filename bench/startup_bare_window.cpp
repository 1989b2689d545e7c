// An empty Qt window of the program's size (412 x 424 at 96 dpi), ending after its first paint:
// what the toolkit alone costs to start.
#include "first_paint.h"

#include <QApplication>
#include <QWidget>

namespace {
void endAfterFirstPaint()
{
    qm5083::bench::quitAfterFirstPaint();
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(endAfterFirstPaint)

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(412, 424);
    window.show();
    return QApplication::exec();
}
