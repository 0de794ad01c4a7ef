#include "store/ChatRules.h"

#include <benchmark/benchmark.h>

namespace {

// Mostly distinct messages of both clients: a template plus a letter tag (no digits, so
// the duplicate rule does not fold them), with meetings, requests, notices and chatter.
QList<BridgeEvent> makeEvents(int count)
{
    static const QStringList templates{
        "请大家明天下午3点前提交周报",
        "我已经跟进处理了，稍后同步",
        "@所有人 通知：周五晚上停电",
        "明天上午10点在3楼会议室开会，参会名单：张三、李四",
        "会议纪要已发，请查收",
        "客户问付款进度，麻烦尽快回复",
        "今日新增订单12笔",
        "收到即可，无需回复",
        "晚上一起吃饭吗？",
        "腾讯会议 123-456-789 周二下午",
        "审批流程到达你处，请处理",
        "这个需求我们正在协调资源",
    };
    QList<BridgeEvent> events;
    events.reserve(count);
    for (int i = 0; i < count; ++i) {
        BridgeEvent e;
        e.eventId = i;
        e.chatTarget = (i % 3 == 0) ? QStringLiteral("wechat") : QStringLiteral("wecom");
        e.sessionName = QStringLiteral("项目群") + QChar(u'A' + i % 20);
        e.senderName = QStringLiteral("同事") + QChar(u'a' + i % 26);
        QString tag;
        for (int n = i; n > 0; n /= 10)
            tag.prepend(QChar(u'a' + n % 10));
        e.content = templates.at(i % templates.size()) + QStringLiteral(" #") + tag;
        events.append(e);
    }
    return events;
}

std::optional<BridgeStateResponse> profile()
{
    BridgeStateResponse state;
    state.config = ConfigSnapshot{};
    state.config->userProfile = UserProfileSnapshot{QStringLiteral("王五"), QStringList{"wangwu", "小王"}};
    return state;
}

void run(benchmark::State& st, const QString& question)
{
    const QList<BridgeEvent> events = makeEvents(int(st.range(0)));
    const auto state = profile();
    for (auto _ : st)
        benchmark::DoNotOptimize(chatrules::localFallbackAnswer(question, events, state));
    st.SetComplexityN(st.range(0));
}

void BM_GeneralAnswer(benchmark::State& st)
{
    run(st, QStringLiteral("今天先处理什么"));
}

void BM_PersonalAnswer(benchmark::State& st)
{
    run(st, QStringLiteral("企业微信里和我相关的消息"));
}

void BM_MeetingAnswer(benchmark::State& st)
{
    run(st, QStringLiteral("名单有没有我"));
}

void BM_DedupedEvents(benchmark::State& st)
{
    const QList<BridgeEvent> events = makeEvents(int(st.range(0)));
    for (auto _ : st)
        benchmark::DoNotOptimize(chatrules::dedupedEvents(events));
    st.SetComplexityN(st.range(0));
}

void BM_NormalizedContentKey(benchmark::State& st)
{
    const QList<BridgeEvent> events = makeEvents(int(st.range(0)));
    for (auto _ : st) {
        for (const BridgeEvent& e : events)
            benchmark::DoNotOptimize(chatrules::normalizedContentKey(*e.content));
    }
    st.SetComplexityN(st.range(0));
}

} // namespace

BENCHMARK(BM_NormalizedContentKey)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DedupedEvents)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GeneralAnswer)->Arg(120)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Complexity();
BENCHMARK(BM_PersonalAnswer)->Arg(120)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Complexity();
BENCHMARK(BM_MeetingAnswer)->Arg(120)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond)->Complexity();

BENCHMARK_MAIN();
