// All dashboard derivations together, as the overview recomputes them on every store change,
// over a digest ten times the usual size and up to 10,000 loaded messages.
#include "ui/overview/logic/DashboardDerivations.h"

#include <benchmark/benchmark.h>

namespace {

// A usual digest has around 20 action items and follow-ups, 10 meeting items and 20 highlights.
constexpr int kScale = 10;

BridgeEvent makeEvent(int i)
{
    BridgeEvent e;
    e.eventId = i;
    e.chatTarget = i % 2 ? QStringLiteral("wecom") : QStringLiteral("wechat");
    e.sessionName = QStringLiteral("项目群%1").arg(i % 97);
    e.senderName = QStringLiteral("同事%1").arg(i % 31);
    e.sentAt = QStringLiteral("2024-05-01 09:%1").arg(i % 60, 2, 10, QLatin1Char('0'));
    e.content = QStringLiteral("第%1条：请把上周的报表\n整理一下发到群里，谢谢").arg(i);
    return e;
}

QStringList summaryLines(const QString& what, int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out.append(
            QStringLiteral("企业微信｜项目群%1｜同事%2 (2024-05-01T10:%3:00+08:00)：%4%5，明天下午前完成")
                .arg(i % 97)
                .arg(i % 31)
                .arg(i % 60, 2, 10, QLatin1Char('0'))
                .arg(what)
                .arg(i));
    return out;
}

// matchAtEnd: the highlights name the last loaded messages, so the whole list is scanned;
// otherwise they name none and the list falls back to the first 8.
dashboard::State makeState(const QList<BridgeEvent>& events, bool matchAtEnd)
{
    SummarySnapshot s;
    s.totalMessages = events.size();
    s.actionItems = summaryLines(QStringLiteral("待办"), 20 * kScale);
    s.followUps = summaryLines(QStringLiteral("跟进"), 20 * kScale) + summaryLines(QStringLiteral("待办"), 5);
    s.meetingItems = summaryLines(QStringLiteral("周会"), 10 * kScale);
    QList<HighlightSnapshot> highlights;
    for (int i = 0; i < 20 * kScale; ++i) {
        HighlightSnapshot h;
        const BridgeEvent& e = events.at(events.size() - 1 - (i % events.size()));
        h.sessionName = e.sessionName;
        h.senderName = e.senderName;
        h.content = matchAtEnd ? e.content : QStringLiteral("不在列表里的消息%1").arg(i);
        highlights.append(h);
    }
    s.highlights = highlights;
    BridgeStateResponse state;
    state.summary = s;
    return state;
}

QList<BridgeEvent> makeEvents(int n)
{
    QList<BridgeEvent> events;
    events.reserve(n);
    for (int i = 0; i < n; ++i)
        events.append(makeEvent(i));
    return events;
}

void runDerive(benchmark::State& st, const dashboard::State& state, const QList<BridgeEvent>& events)
{
    for (auto _ : st) {
        DashboardContent c = dashboard::derive(state, events);
        benchmark::DoNotOptimize(c);
    }
    st.SetComplexityN(events.size());
}

void BM_DeriveHighlightsAtEnd(benchmark::State& st)
{
    const QList<BridgeEvent> events = makeEvents(int(st.range(0)));
    runDerive(st, makeState(events, true), events);
}

void BM_DeriveHighlightsMatchNone(benchmark::State& st)
{
    const QList<BridgeEvent> events = makeEvents(int(st.range(0)));
    runDerive(st, makeState(events, false), events);
}

// No digest yet: to-dos from the messages, meeting rows by scanning every message (none is one).
void BM_DeriveWithoutState(benchmark::State& st)
{
    runDerive(st, std::nullopt, makeEvents(int(st.range(0))));
}

// The parts, to see where the time goes.
void BM_ImportantEventsOnly(benchmark::State& st)
{
    const QList<BridgeEvent> events = makeEvents(int(st.range(0)));
    const dashboard::State state = makeState(events, false);
    for (auto _ : st)
        benchmark::DoNotOptimize(dashboard::importantEvents(state, events));
    st.SetComplexityN(events.size());
}

void BM_SummaryListsOnly(benchmark::State& st)
{
    const QList<BridgeEvent> events = makeEvents(100);
    const dashboard::State state = makeState(events, false);
    for (auto _ : st) {
        benchmark::DoNotOptimize(dashboard::todoItems(state, events));
        benchmark::DoNotOptimize(dashboard::followUpItems(state));
        benchmark::DoNotOptimize(dashboard::meetingRows(state, events));
    }
}

void BM_CleanedText(benchmark::State& st)
{
    const QStringList lines = summaryLines(QStringLiteral("待办"), 200);
    for (auto _ : st) {
        for (const QString& line : lines)
            benchmark::DoNotOptimize(dashboard::cleanedText(line));
    }
    st.SetItemsProcessed(st.iterations() * lines.size());
}

} // namespace

BENCHMARK(BM_DeriveHighlightsAtEnd)
    ->RangeMultiplier(10)
    ->Range(100, 10000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeriveHighlightsMatchNone)
    ->RangeMultiplier(10)
    ->Range(100, 10000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeriveWithoutState)
    ->RangeMultiplier(10)
    ->Range(100, 10000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportantEventsOnly)
    ->RangeMultiplier(10)
    ->Range(100, 10000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SummaryListsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanedText)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
