// An empty Qt window of the program's size (given as WIDTHxHEIGHT; 412 x 447 at 96 dpi by
// default), ending after its first paint: what the toolkit alone costs to start.
#include "first_paint.h"

#include <QApplication>
#include <QWidget>

using qm5083::bench::quitAfterFirstPaint;
Q_COREAPP_STARTUP_FUNCTION(quitAfterFirstPaint)

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(qm5083::bench::windowSize(argc, argv));
    window.show();
    return QApplication::exec();
}
