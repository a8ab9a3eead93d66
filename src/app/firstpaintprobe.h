#pragma once

#include <QEvent>
#include <QObject>

#include <cstdio>
#include <cstdlib>
#include <ctime>

// Set only by the start-up benchmark, on the program and on its bare baseline alike: at
// the end of the watched window's first paint, prints the monotonic clock in nanoseconds
// and ends the process at once, writing nothing.
class FirstPaintProbe : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Queued: the rest of the window paints in the same update.
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
