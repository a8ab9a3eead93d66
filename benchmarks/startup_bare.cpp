// The start-up benchmark's baseline: a bare QWidget of the main window's size, shown
// as the program shows its window, printing the monotonic clock at its first paint.
#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

class FirstPaintProbe : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QMetaObject::invokeMethod(
                this,
                [] {
                    timespec now {};
                    clock_gettime(CLOCK_MONOTONIC, &now);
                    std::printf("first paint %lld\n",
                        static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec);
                    std::fflush(stdout);
                    std::_Exit(0);
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Scorelane 1.6"));
    window.setFixedSize(900, 525);
    FirstPaintProbe probe;
    window.installEventFilter(&probe);
    window.show();
    return app.exec();
}
