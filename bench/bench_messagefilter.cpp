// Timeline filtering and refresh cost over large message lists.
#include "ui/messages/logic/EventListModel.h"
#include "ui/messages/logic/MessageFilter.h"

#include "ui/messages/EventListView.h"
#include "ui/messages/EventRowDelegate.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <benchmark/benchmark.h>

namespace {

const QStringList kTexts{
    QStringLiteral("麻烦今天下班前提交周报"),
    QStringLiteral("收到即可，请确认"),
    QStringLiteral("@所有人 通知：明天提交周报"),
    QStringLiteral("@所有人 明天能否提交？"),
    QStringLiteral("下午三点腾讯会议，会议号稍后发"),
    QStringLiteral("这个问题我稍后跟进一下"),
    QStringLiteral("今天中午吃什么"),
    QStringLiteral("Zoom 链接已经发到邮箱了，大家 Check 一下"),
    QStringLiteral("合同 ＡＢＣ-２０２４ 已归档，财务那边在催付款"),
    QStringLiteral("好的，谢谢！这周的数据我整理完了放在共享盘里，有问题随时找我，另外下周一的评审需要大家提"
                   "前看一下材料，"
                   "特别是第三部分的预算和排期。"),
};
const QStringList kSessions{QStringLiteral("项目例会群"), QStringLiteral("产品讨论"),
                            QStringLiteral("财务部"), QStringLiteral("张三"), QStringLiteral("家人群")};
const QStringList kSenders{QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("Alice"),
                           QStringLiteral("王五")};

QList<BridgeEvent> makeEvents(int count, int firstId = 0)
{
    QList<BridgeEvent> events;
    events.reserve(count);
    for (int i = 0; i < count; ++i) {
        BridgeEvent e;
        e.eventId = firstId + i;
        e.chatTarget = i % 3 == 0 ? QStringLiteral("wecom") : QStringLiteral("wechat");
        e.sessionName = kSessions[i % kSessions.size()];
        e.senderName = kSenders[(i / 3) % kSenders.size()];
        e.sentAt = QStringLiteral("2024-05-%1 09:%2")
                       .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                       .arg(i % 60, 2, 10, QLatin1Char('0'));
        e.content = kTexts[(i * 7) % kTexts.size()] + QStringLiteral(" #%1").arg(i);
        events.append(e);
    }
    return events;
}

// The same messages as a current core sends them, each with its sorting (every fifth a to-do, some
// done, a few scams and excluded ones).
QList<BridgeEvent> withSortings(QList<BridgeEvent> events)
{
    for (qsizetype i = 0; i < events.size(); ++i) {
        EventSorting s;
        s.todo = i % 5 == 0;
        s.followUp = i % 7 == 0;
        s.meeting = i % 9 == 0;
        s.important = i % 4 == 0;
        s.suspicious = i % 50 == 3;
        s.excluded = i % 40 == 1;
        s.done = i % 15 == 0;
        events[i].sorting = s;
    }
    return events;
}

// A digest with 50 highlights, a few of which equal loaded messages.
std::optional<BridgeStateResponse> stateWithHighlights(const QList<BridgeEvent>& events)
{
    QList<HighlightSnapshot> highlights;
    for (int i = 0; i < 50; ++i) {
        const BridgeEvent& e = events[(i * 97) % events.size()];
        HighlightSnapshot h;
        h.sessionName = e.sessionName;
        h.senderName = e.senderName;
        h.content = i % 2 ? e.displayContent() : QStringLiteral("别的内容 %1").arg(i);
        highlights.append(h);
    }
    BridgeStateResponse state;
    state.summary = SummarySnapshot{};
    state.summary->highlights = highlights;
    return state;
}

void filterBench(benchmark::State& st, MessageListPreset preset, bool highlights, const QString& query,
                 const QString& target = QStringLiteral("all"), bool sorted = false)
{
    const QList<BridgeEvent> events =
        sorted ? withSortings(makeEvents(int(st.range(0)))) : makeEvents(int(st.range(0)));
    const auto state = highlights ? stateWithHighlights(events) : std::nullopt;
    qsizetype shown = 0;
    for (auto _ : st) {
        const QList<BridgeEvent> out = messagefilter::filteredEvents(events, state, preset, target, query);
        shown = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    st.counters["shown"] = double(shown);
    st.SetComplexityN(st.range(0));
}

void BM_FilterAll(benchmark::State& st)
{
    filterBench(st, MessageListPreset::All, false, {});
}
void BM_FilterTodo(benchmark::State& st)
{
    filterBench(st, MessageListPreset::Todo, false, {});
}
void BM_FilterImportantNotice(benchmark::State& st)
{
    filterBench(st, MessageListPreset::Important, false, {});
}
void BM_FilterImportantHighlights(benchmark::State& st)
{
    filterBench(st, MessageListPreset::Important, true, {});
}
void BM_FilterMeeting(benchmark::State& st)
{
    filterBench(st, MessageListPreset::Meeting, false, {});
}
void BM_FilterFollowUp(benchmark::State& st)
{
    filterBench(st, MessageListPreset::FollowUp, false, {});
}
void BM_FilterWeComOnly(benchmark::State& st)
{
    filterBench(st, MessageListPreset::All, false, {}, QStringLiteral("wecom"));
}
void BM_SearchChinese(benchmark::State& st)
{
    filterBench(st, MessageListPreset::All, false, QStringLiteral("周报"));
}
void BM_SearchFullWidth(benchmark::State& st)
{
    filterBench(st, MessageListPreset::All, false, QStringLiteral("ＡＢＣ"));
}
void BM_SearchWithPreset(benchmark::State& st)
{
    filterBench(st, MessageListPreset::Todo, false, QStringLiteral("alice"));
}
void BM_FilterTodoSorted(benchmark::State& st)
{
    filterBench(st, MessageListPreset::Todo, false, {}, QStringLiteral("all"), true);
}
void BM_FilterImportantSortedHighlights(benchmark::State& st)
{
    filterBench(st, MessageListPreset::Important, true, {}, QStringLiteral("all"), true);
}

// The search key of one long message made only of characters that normalisation lengthens
// ("…", "ﬃ") or of stacked marks: linear in the length.
void BM_SearchKeyLongText(benchmark::State& st, const QString& unit)
{
    const QString text = unit.repeated(st.range(0) / unit.size());
    for (auto _ : st)
        benchmark::DoNotOptimize(messagefilter::searchKey(text));
    st.SetComplexityN(st.range(0));
}
BENCHMARK_CAPTURE(BM_SearchKeyLongText, ellipses, QStringLiteral("…ﬃ"))
    ->RangeMultiplier(4)
    ->Range(4096, 262144)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchKeyLongText, stacked_marks, QStringLiteral("\u0f73\u0316\u0301"))
    ->RangeMultiplier(4)
    ->Range(4096, 262144)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

#define FILTER_SIZES                                                                                         \
    ->RangeMultiplier(10)->Range(100, 10000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_FilterAll) FILTER_SIZES;
BENCHMARK(BM_FilterTodo) FILTER_SIZES;
BENCHMARK(BM_FilterImportantNotice) FILTER_SIZES;
BENCHMARK(BM_FilterImportantHighlights) FILTER_SIZES;
BENCHMARK(BM_FilterMeeting) FILTER_SIZES;
BENCHMARK(BM_FilterFollowUp) FILTER_SIZES;
BENCHMARK(BM_FilterWeComOnly) FILTER_SIZES;
BENCHMARK(BM_SearchChinese) FILTER_SIZES;
BENCHMARK(BM_SearchFullWidth) FILTER_SIZES;
BENCHMARK(BM_SearchWithPreset) FILTER_SIZES;
BENCHMARK(BM_FilterTodoSorted) FILTER_SIZES;
BENCHMARK(BM_FilterImportantSortedHighlights) FILTER_SIZES;

// A refresh of a 10,000-row model: one new message on top, the oldest one dropped. The two
// lists alternate, so every iteration applies the same kind of change.
void BM_ModelRefreshOneNew(benchmark::State& st)
{
    const int n = int(st.range(0));
    const QList<BridgeEvent> a = makeEvents(n, 1);
    QList<BridgeEvent> b = a;
    b.removeLast();
    b.prepend(makeEvents(1, 0).first());
    EventListModel model;
    model.setEvents(a);
    bool toB = true;
    EventListModel::ApplyStats stats;
    for (auto _ : st) {
        stats = model.setEvents(toB ? b : a);
        toB = !toB;
    }
    st.counters["inserted"] = stats.inserted;
    st.counters["removed"] = stats.removed;
    st.counters["reset"] = stats.reset;
    st.SetComplexityN(n);
}
BENCHMARK(BM_ModelRefreshOneNew)
    ->RangeMultiplier(10)
    ->Range(100, 10000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// The same refresh when nothing changed.
void BM_ModelRefreshUnchanged(benchmark::State& st)
{
    const QList<BridgeEvent> a = makeEvents(int(st.range(0)));
    EventListModel model;
    model.setEvents(a);
    for (auto _ : st)
        benchmark::DoNotOptimize(model.setEvents(a));
}
BENCHMARK(BM_ModelRefreshUnchanged)->Arg(10000)->Unit(benchmark::kMillisecond);

// A preset switch on 10,000 rows (all -> todo -> all): many rows leave and come back.
void BM_ModelPresetSwitch(benchmark::State& st)
{
    const QList<BridgeEvent> all = makeEvents(int(st.range(0)));
    const QList<BridgeEvent> todo =
        messagefilter::filteredEvents(all, std::nullopt, MessageListPreset::Todo, QStringLiteral("all"), {});
    EventListModel model;
    model.setEvents(all);
    bool toTodo = true;
    for (auto _ : st) {
        benchmark::DoNotOptimize(model.setEvents(toTodo ? todo : all));
        toTodo = !toTodo;
    }
}
BENCHMARK(BM_ModelPresetSwitch)->Arg(10000)->Unit(benchmark::kMillisecond);

// The list view's full layout of 10,000 rows: with the text-height cache empty (first show,
// or after a width change) and warm (a refresh that re-lays out the rows).
void listLayoutBench(benchmark::State& st, bool coldCache)
{
    EventListModel model;
    model.setEvents(makeEvents(int(st.range(0))));
    EventListView view;
    view.setEventModel(&model);
    view.resize(900, 700);
    view.doItemsLayout();
    for (auto _ : st) {
        if (coldCache)
            view.rowDelegate()->clearCache();
        view.doItemsLayout();
    }
    st.SetComplexityN(st.range(0));
}
void BM_ListLayoutColdCache(benchmark::State& st)
{
    listLayoutBench(st, true);
}
void BM_ListLayoutWarmCache(benchmark::State& st)
{
    listLayoutBench(st, false);
}
BENCHMARK(BM_ListLayoutColdCache)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListLayoutWarmCache)->Arg(10000)->Unit(benchmark::kMillisecond);

// One scroll step through 10,000 rows and the repaint of the viewport (one frame).
void BM_ListScrollFrame(benchmark::State& st)
{
    EventListModel model;
    model.setEvents(makeEvents(int(st.range(0))));
    EventListView view;
    view.setEventModel(&model);
    view.rowDelegate()->setSearchQuery(QStringLiteral("周报"));
    view.resize(900, 700);
    view.doItemsLayout();
    QImage frame(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QScrollBar* bar = view.verticalScrollBar();
    int value = 0;
    for (auto _ : st) {
        value = (value + 97) % std::max(1, bar->maximum());
        bar->setValue(value);
        frame.fill(Qt::white);
        view.viewport()->render(&frame);
    }
}
BENCHMARK(BM_ListScrollFrame)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
