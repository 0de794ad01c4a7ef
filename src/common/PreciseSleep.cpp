#include "common/PreciseSleep.h"

#include <QTimer>

#include <QCoroTimer>

QCoro::Task<> sleepPrecisely(std::chrono::milliseconds duration, CancelTokenPtr cancel)
{
    if (cancel && cancel->isCancelled())
        co_return;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    if (cancel)
        QObject::connect(cancel.get(), &CancelToken::cancelled, &timer, [&timer] { timer.start(0); });
    timer.start(duration);
    co_await timer;
}
