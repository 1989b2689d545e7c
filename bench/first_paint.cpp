#include "first_paint.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace qm5083::bench {

namespace {

long long monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void reportShown(int width, int height)
{
    char line[96];
    const int length
        = std::snprintf(line, sizeof line, "shown %lld %dx%d\n", monotonicNs(), width, height);
    int fd = STDERR_FILENO;
    if (const char *given = std::getenv("QM5083_STARTUP_REPORT_FD"))
        fd = std::atoi(given);
    if (::write(fd, line, static_cast<std::size_t>(length)) != length)
        std::_Exit(3);
}

class FirstPaintWatcher final : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!seen_ && event->type() == QEvent::Paint) {
            auto *widget = qobject_cast<QWidget *>(watched);
            if (widget && widget->isWindow()) {
                seen_ = true;
                // Queued: the window's children paint in the same pass; the frame is complete
                // when the event loop gets back to this call.
                QMetaObject::invokeMethod(
                    this,
                    [widget] {
                        reportShown(widget->width(), widget->height());
                        QCoreApplication::exit(0);
                    },
                    Qt::QueuedConnection);
            }
        }
        return false;
    }

private:
    bool seen_ = false;
};

} // namespace

QSize windowSize(int argc, char *argv[])
{
    int width = 0;
    int height = 0;
    if (argc > 1 && std::sscanf(argv[1], "%dx%d", &width, &height) == 2 && width > 0 && height > 0)
        return {width, height};
    return {412, 447};
}

void quitAfterFirstPaint()
{
    QCoreApplication::instance()->installEventFilter(
        new FirstPaintWatcher(QCoreApplication::instance()));
}

} // namespace qm5083::bench
