// Nothing that waits fires early: request time-outs, the retry pause, the spacing of the
// start-up polls and the refresh timer run on precise timers. Qt's default coarse timers
// move their due time to a nearby multiple of 25 ms (by up to 5 % of the interval) and were
// measured firing up to 5 % early. Each wait below starts just after such a multiple would
// have it round down, so a coarse timer is caught every time.
#include "AwaitTask.h"
#include "StoreTestKit.h"

#include <QElapsedTimer>
#include <QTest>

#include <QCoroTask>

#include <time.h>

using namespace storetestkit;
using namespace std::chrono_literals;

namespace {
constexpr auto kInterval = 260ms; // 5 % of it reaches beyond half the 25 ms step
constexpr int kRuns = 3;

// Busy-waits until a timer of kInterval started now would be due 9 ms after a multiple of
// 25 ms (the timers run on the monotonic clock, like this one).
void alignDueTime()
{
    constexpr qint64 step = 25'000'000;
    const qint64 interval = std::chrono::nanoseconds(kInterval).count();
    for (;;) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const qint64 due = (now.tv_nsec + interval) % step;
        if (due >= 9'000'000 && due < 9'500'000)
            return;
    }
}
} // namespace

class TestTimers : public QObject
{
    Q_OBJECT

private slots:
    void neverEarly_data()
    {
        QTest::addColumn<QString>("wait");
        for (const char* wait : {"request time-out", "retry pause", "poll spacing", "refresh timer"})
            QTest::newRow(wait) << QString::fromLatin1(wait);
    }

    void neverEarly()
    {
        QFETCH(QString, wait);
        ApiTimeouts timeouts = fastTimeouts();
        timeouts.getTimeout = kInterval;
        timeouts.retryPause = kInterval;
        StoreTiming timing = fastTiming();
        timing.pollAttempts = 1;
        timing.pollInterval = kInterval;
        timing.refreshInterval = kInterval;
        FakeHttpServer server;
        serveHealthyCore(server);

        for (int run = 0; run < kRuns; ++run) {
            // Each clock starts before the timer it measures and stops when that timer acts.
            QElapsedTimer clock;
            qint64 elapsed = 0;
            if (wait == QLatin1String("request time-out") || wait == QLatin1String("retry pause")) {
                server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::Action::stall());
                const bool timesOut = wait == QLatin1String("request time-out");
                const BridgeAPI api(timesOut ? server.baseUrl() : FakeHttpServer::refusingUrl(), timeouts);
                alignDueTime();
                clock.start();
                const auto reply = razotest::awaitTask(api.state());
                elapsed = clock.nsecsElapsed();
                QVERIFY(reply && !reply->ok());
                QCOMPARE(reply->error().kind(),
                         timesOut ? BridgeAPIError::Kind::TimedOut : BridgeAPIError::Kind::Refused);
            } else if (wait == QLatin1String("poll spacing")) {
                // Launch, one refused poll, its pause, then start-up gives up.
                auto f = makeStore(FakeHttpServer::refusingUrl(), timing);
                BridgeStore* store = f.store.get();
                f.launcher->onStart = [&clock](int) {
                    alignDueTime();
                    clock.start();
                };
                connect(store, &BridgeStore::serviceStatusChanged, store, [&, store] {
                    if (store->serviceStatus() == QStringLiteral("启动失败"))
                        elapsed = clock.nsecsElapsed();
                });
                QCoro::waitFor(store->start());
            } else {
                // The first refresh ends, then the timer starts; its first tick starts the next.
                auto f = makeStore(server.baseUrl(), timing);
                BridgeStore* store = f.store.get();
                connect(store, &BridgeStore::isRefreshingChanged, store, [&, store] {
                    if (!store->isRefreshing()) {
                        alignDueTime();
                        clock.start();
                    } else if (clock.isValid() && elapsed == 0)
                        elapsed = clock.nsecsElapsed();
                });
                QCoro::waitFor(store->start());
                QTRY_VERIFY(elapsed > 0);
            }
            QVERIFY2(
                elapsed >= std::chrono::nanoseconds(kInterval).count(),
                qPrintable(QStringLiteral("run %1 ended after %2 ms").arg(run).arg(double(elapsed) / 1e6)));
        }
    }
};

QTEST_GUILESS_MAIN(TestTimers)
#include "tst_timers.moc"
