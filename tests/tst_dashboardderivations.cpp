#include "ChatFixtures.h"
#include "ui/overview/logic/DashboardDerivations.h"
#include "ui/overview/logic/OverviewTexts.h"

#include <QTest>

using chatfixtures::sortedAs;
using dashboard::State;

namespace {

BridgeEvent message(const QString& session, const QString& sender, const QString& content,
                    std::optional<QString> sentAt = std::nullopt)
{
    BridgeEvent e;
    if (!session.isNull())
        e.sessionName = session;
    if (!sender.isNull())
        e.senderName = sender;
    e.content = content;
    e.sentAt = sentAt;
    return e;
}

QList<BridgeEvent> numberedMessages(int n)
{
    QList<BridgeEvent> out;
    for (int i = 0; i < n; ++i)
        out.append(message(QStringLiteral("群%1").arg(i), QStringLiteral("人%1").arg(i),
                           QStringLiteral("消息%1").arg(i),
                           QStringLiteral("09:%1").arg(i, 2, 10, QLatin1Char('0'))));
    return out;
}

State withSummary(const SummarySnapshot& summary)
{
    BridgeStateResponse s;
    s.summary = summary;
    return s;
}

QStringList texts(const QList<DashboardTask>& tasks)
{
    QStringList out;
    for (const DashboardTask& t : tasks)
        out.append(t.text);
    return out;
}

QStringList contents(const QList<BridgeEvent>& events)
{
    QStringList out;
    for (const BridgeEvent& e : events)
        out.append(e.displayContent());
    return out;
}

} // namespace

class TestDashboardDerivations : public QObject
{
    Q_OBJECT

private slots:
    void cleanedText_data();
    void cleanedText();
    void dueLabel_data();
    void dueLabel();
    void todoSource_data();
    void todoSource();
    void todoFromSummary();
    void importantEvents_data();
    void importantEvents();
    void importantEventsKeyUsesDisplayText();
    void meetingRows_data();
    void meetingRows();
    void followUps_data();
    void followUps();
    void suggestions_data();
    void suggestions();
    void totalMessages_data();
    void totalMessages();
    void uniqueKeepsFirstOccurrence();
    void deriveAgreesWithTheSingleFunctions();
    void cardsFollowTheCoreSorting_data();
    void cardsFollowTheCoreSorting();
    void title_data();
    void title();
    void digestSentences_data();
    void digestSentences();
    void singleLine_data();
    void singleLine();
};

void TestDashboardDerivations::cleanedText_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("client prefix + ISO time with offset")
        << QStringLiteral("企业微信｜项目群｜张三 (2024-05-01T10:00:00+08:00)：请明天提交")
        << QStringLiteral("请明天提交");
    QTest::newRow("ISO time with Z and half-width colon")
        << QStringLiteral("微信｜家庭群 李四 (2024-05-01T10:00:00Z): 周末回家") << QStringLiteral("周末回家");
    QTest::newRow("ISO time offset without colon")
        << QStringLiteral("群 (2024-05-01T10:00:00-0500) ： 发票") << QStringLiteral("发票");
    QTest::newRow("ISO time only removes one part, then one label")
        << QStringLiteral("甲 (2024-05-01T10:00:00)：备注：内容") << QStringLiteral("内容");
    QTest::newRow("short label") << QStringLiteral("提醒：明天开会") << QStringLiteral("明天开会");
    QTest::newRow("half-width label + spaces")
        << QStringLiteral("  Note:   send it ") << QStringLiteral("send it");
    QTest::newRow("no colon is only trimmed")
        << QStringLiteral("  请尽快处理 \n") << QStringLiteral("请尽快处理");
    QTest::newRow("line feeds become spaces")
        << QStringLiteral("第一行\n第二行\n第三行") << QStringLiteral("第一行 第二行 第三行");
    QTest::newRow("line feed inside label still a label")
        << QStringLiteral("项目\n群：内容") << QStringLiteral("内容");
    QTest::newRow("clock-time colon is no label")
        << QStringLiteral("明天10:00开会") << QStringLiteral("明天10:00开会");
    QTest::newRow("label before a clock time")
        << QStringLiteral("提醒：10:30 开会") << QStringLiteral("10:30 开会");
    QTest::newRow("digit before a label colon") << QStringLiteral("第2期: 内容") << QStringLiteral("内容");
    QTest::newRow("24-character label removed")
        << QString(24, QChar(0x4E00)) + QStringLiteral("：正文") << QStringLiteral("正文");
    QTest::newRow("25-character label kept") << QString(25, QChar(0x4E00)) + QStringLiteral("：正文")
                                             << QString(25, QChar(0x4E00)) + QStringLiteral("：正文");
    QTest::newRow("leading colon has no label") << QStringLiteral("：正文") << QStringLiteral("：正文");
    QTest::newRow("only the first label goes") << QStringLiteral("A：B：C") << QStringLiteral("B：C");
    QTest::newRow("both client prefixes anywhere")
        << QStringLiteral("来自企业微信｜和微信｜的消息") << QStringLiteral("来自和的消息");
    QTest::newRow("half-width bar is not a prefix") << QStringLiteral("微信|群") << QStringLiteral("微信|群");
    QTest::newRow("ISO without closing paren falls to the label rule")
        << QStringLiteral("张三 2024-05-01T10:00:00：正文") << QStringLiteral("张三 2024-05-01T10:00:00：正文");
    QTest::newRow("ISO part does not reach across a line separator")
        << QStringLiteral("张三\u2028(2024-05-01T10:00:00Z)：正文")
        << QStringLiteral("张三\u2028(2024-05-01T10:00:00Z)：正文");
    QTest::newRow("ISO part does not reach across a carriage return")
        << QStringLiteral("张三\r(2024-05-01T10:00:00Z)：正文")
        << QStringLiteral("张三\r(2024-05-01T10:00:00Z)：正文");
    QTest::newRow("ideographic space trimmed")
        << QStringLiteral("\u3000提醒：\u3000正文\u3000") << QStringLiteral("正文");
    QTest::newRow("half an emoji in the text")
        << QStringLiteral("提醒：明天开会") + QChar(0xd83d) << QStringLiteral("明天开会") + QChar(0xd83d);
    QTest::newRow("empty") << QString() << QString();
}

void TestDashboardDerivations::cleanedText()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(dashboard::cleanedText(input), expected);
}

void TestDashboardDerivations::dueLabel_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("due");
    QTest::newRow("明天 before 下午") << QStringLiteral("明天下午三点前提交") << QStringLiteral("明天");
    QTest::newRow("今天 before 明天 and 上午")
        << QStringLiteral("上午说明天，今天必须") << QStringLiteral("今天");
    QTest::newRow("下午 before 上午") << QStringLiteral("上午开会，下午交") << QStringLiteral("下午");
    QTest::newRow("上午 alone") << QStringLiteral("周三上午") << QStringLiteral("上午");
    QTest::newRow("no time word") << QStringLiteral("请尽快处理") << QStringLiteral("待确认");
    QTest::newRow("tested on the raw item, not the cleaned one")
        << QStringLiteral("明天提醒：提交报告") << QStringLiteral("明天");
}

void TestDashboardDerivations::dueLabel()
{
    QFETCH(QString, item);
    QFETCH(QString, due);
    SummarySnapshot summary;
    summary.actionItems = QStringList{item};
    const QList<DashboardTask> tasks = dashboard::todoItems(withSummary(summary), {});
    QCOMPARE(tasks.size(), 1);
    QCOMPARE(tasks.first().due, due);
    QCOMPARE(tasks.first().rawText, item);
}

void TestDashboardDerivations::todoSource_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<int>("messageCount");
    QTest::addColumn<QStringList>("expectedTexts");
    QTest::addColumn<QStringList>("expectedDues");

    QTest::newRow("no state: first 3 messages, due = sent time")
        << State() << 5 << QStringList{"消息0", "消息1", "消息2"} << QStringList{"09:00", "09:01", "09:02"};
    QTest::newRow("no state, 2 messages")
        << State() << 2 << QStringList{"消息0", "消息1"} << QStringList{"09:00", "09:01"};
    QTest::newRow("no state, no messages") << State() << 0 << QStringList() << QStringList();
    QTest::newRow("state without summary falls back")
        << State(BridgeStateResponse()) << 4 << QStringList{"消息0", "消息1", "消息2"}
        << QStringList{"09:00", "09:01", "09:02"};
    QTest::newRow("empty summary: no fall-back to messages")
        << withSummary(SummarySnapshot()) << 5 << QStringList() << QStringList();
    SummarySnapshot emptyLists;
    emptyLists.actionItems = QStringList();
    emptyLists.followUps = QStringList();
    QTest::newRow("empty lists: no fall-back")
        << withSummary(emptyLists) << 5 << QStringList() << QStringList();
}

void TestDashboardDerivations::todoSource()
{
    QFETCH(State, state);
    QFETCH(int, messageCount);
    QFETCH(QStringList, expectedTexts);
    QFETCH(QStringList, expectedDues);

    const QList<DashboardTask> tasks = dashboard::todoItems(state, numberedMessages(messageCount));
    QCOMPARE(texts(tasks), expectedTexts);
    QStringList dues;
    for (const DashboardTask& t : tasks) {
        dues.append(t.due);
        QCOMPARE(t.rawText, t.text); // messages carry no line feeds here
    }
    QCOMPARE(dues, expectedDues);
}

void TestDashboardDerivations::todoFromSummary()
{
    // Messages: a line feed is shown as a space but the raw text (the completion id) keeps it;
    // a message without send time is due "最近".
    BridgeEvent voice = message(QStringLiteral("群"), QStringLiteral("人"), QStringLiteral("原文"));
    voice.transcript = QStringLiteral("第一行\n第二行");
    QList<DashboardTask> fromMessages = dashboard::todoItems(State(), {voice});
    QCOMPARE(fromMessages, (QList<DashboardTask>{{"第一行\n第二行", "第一行 第二行", "最近"}}));

    // Summary: action items then follow-ups, duplicates across both dropped, at most 6.
    SummarySnapshot summary;
    summary.actionItems = QStringList{"A", "提醒：B", "A", "C"};
    summary.followUps = QStringList{"C", "D", "提醒：B", "E", "F", "G"};
    const QList<DashboardTask> tasks = dashboard::todoItems(withSummary(summary), numberedMessages(3));
    QCOMPARE(texts(tasks), (QStringList{"A", "B", "C", "D", "E", "F"}));
    QCOMPARE(tasks.at(1).rawText, QStringLiteral("提醒：B"));

    // Two raw items that clean to the same text stay two tasks (identity is the raw text).
    SummarySnapshot twins;
    twins.actionItems = QStringList{"甲：开会", "乙：开会"};
    QCOMPARE(texts(dashboard::todoItems(withSummary(twins), {})), (QStringList{"开会", "开会"}));
}

void TestDashboardDerivations::importantEvents_data()
{
    QTest::addColumn<QList<HighlightSnapshot>>("highlights");
    QTest::addColumn<bool>("highlightsPresent");
    QTest::addColumn<QStringList>("expected");

    auto hl = [](const QString& session, const QString& sender, const QString& content) {
        HighlightSnapshot h;
        h.sessionName = session;
        h.senderName = sender;
        h.content = content;
        h.sentAt = QStringLiteral("ignored");
        return h;
    };
    const QStringList firstEight{"消息0", "消息1", "消息2", "消息3", "消息4", "消息5", "消息6", "消息7"};

    QTest::newRow("absent highlights: first 8") << QList<HighlightSnapshot>() << false << firstEight;
    QTest::newRow("empty highlights: first 8") << QList<HighlightSnapshot>() << true << firstEight;
    QTest::newRow("matching none: first 8")
        << QList<HighlightSnapshot>{hl("群1", "人2", "消息1"), hl("无", "无", "无")} << true << firstEight;
    QTest::newRow("matches kept in message order")
        << QList<HighlightSnapshot>{hl("群9", "人9", "消息9"), hl("群3", "人3", "消息3")} << true
        << QStringList{"消息3", "消息9"};
    QTest::newRow("sent time is not part of the key")
        << QList<HighlightSnapshot>{hl("群4", "人4", "消息4")} << true << QStringList{"消息4"};
}

void TestDashboardDerivations::importantEvents()
{
    QFETCH(QList<HighlightSnapshot>, highlights);
    QFETCH(bool, highlightsPresent);
    QFETCH(QStringList, expected);

    SummarySnapshot summary;
    if (highlightsPresent)
        summary.highlights = highlights;
    QCOMPARE(contents(dashboard::importantEvents(withSummary(summary), numberedMessages(12))), expected);
}

void TestDashboardDerivations::importantEventsKeyUsesDisplayText()
{
    // The message's side of the key is its display text (transcript first); repeated messages
    // are all kept, and the list stops at 8.
    BridgeEvent voice = message("群", "甲", "[语音]");
    voice.transcript = QStringLiteral("转写的文字");
    QList<BridgeEvent> events{message("群", "甲", "[语音]"), voice};
    for (int i = 0; i < 9; ++i)
        events.append(message("群", "乙", "同一句"));
    HighlightSnapshot byTranscript;
    byTranscript.sessionName = QStringLiteral("群");
    byTranscript.senderName = QStringLiteral("甲");
    byTranscript.content = QStringLiteral("转写的文字");
    HighlightSnapshot repeated = byTranscript;
    repeated.senderName = QStringLiteral("乙");
    repeated.content = QStringLiteral("同一句");
    SummarySnapshot summary;
    summary.highlights = QList<HighlightSnapshot>{repeated, byTranscript};

    const QList<BridgeEvent> important = dashboard::importantEvents(withSummary(summary), events);
    QCOMPARE(important.size(), 8);
    QCOMPARE(important.first(), voice);
    QCOMPARE(contents(important.mid(1)), QStringList(7, QStringLiteral("同一句")));

    // A highlight without sender or session matches a message without them.
    HighlightSnapshot bare;
    bare.content = QStringLiteral("只有正文");
    summary.highlights = QList<HighlightSnapshot>{bare};
    BridgeEvent anonymous;
    anonymous.content = QStringLiteral("只有正文");
    QCOMPARE(dashboard::importantEvents(withSummary(summary), {events.first(), anonymous}),
             QList<BridgeEvent>{anonymous});

    // Session and sender stay apart: a "-" inside a name does not move the boundary.
    HighlightSnapshot meeting;
    meeting.sessionName = QStringLiteral("项目-周会");
    meeting.senderName = QStringLiteral("张三");
    meeting.content = QStringLiteral("改期");
    summary.highlights = QList<HighlightSnapshot>{meeting};
    const BridgeEvent lookalike = message("项目", "周会-张三", "改期");
    const BridgeEvent same = message("项目-周会", "张三", "改期");
    QCOMPARE(dashboard::importantEvents(withSummary(summary), {lookalike, same}), QList<BridgeEvent>{same});
}

void TestDashboardDerivations::meetingRows_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QList<BridgeEvent>>("events");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("count");

    SummarySnapshot items;
    items.meetingItems = QStringList{"提醒：周会", "提醒：周会", "微信｜群：评审", "三", "四"};
    QTest::newRow("summary items: unique, cleaned, first 3")
        << withSummary(items) << QList<BridgeEvent>() << QStringList{"周会", "评审", "三"} << 3;

    const QList<BridgeEvent> oneGroup{message("项目群", "甲", "明天开会"),
                                      message("项目群", "乙", "会议纪要发了"),
                                      message("项目群", "丙", "参会名单")};
    QTest::newRow("three meetings in one group: one row")
        << State() << oneGroup << QStringList{"项目群"} << 1;

    SummarySnapshot noItems;
    noItems.meetingItems = QStringList();
    QList<BridgeEvent> mixed{message("群A", "甲", "今天例会"), message("群B", "乙", "吃饭"),
                             message(QString(), "丙", "会议室已订"), message("例会群", "丁", "收到"),
                             message("群C", "戊", "议程更新")};
    QTest::newRow("fallback: only the first 3 meeting messages, unnamed session")
        << withSummary(noItems) << mixed << QStringList{"群A", "未命名会话", "例会群"} << 3;
    BridgeEvent emptySession = message(QString(), "甲", "开会");
    emptySession.sessionName = QString();
    QTest::newRow("empty session name counts as unnamed")
        << State() << QList<BridgeEvent>{emptySession} << QStringList{"未命名会话"} << 1;
    QTest::newRow("Zoom alone is not a meeting here")
        << State()
        << QList<BridgeEvent>{message("群", "甲", "Zoom 链接发你了"), message("群", "乙", "meeting")}
        << QStringList{"还没有会议记录"} << 0;
    QTest::newRow("no items, no messages: placeholder")
        << withSummary(noItems) << QList<BridgeEvent>() << QStringList{"还没有会议记录"} << 0;
}

void TestDashboardDerivations::meetingRows()
{
    QFETCH(State, state);
    QFETCH(QList<BridgeEvent>, events);
    QFETCH(QStringList, expected);
    QFETCH(int, count);

    const QStringList rows = dashboard::meetingRows(state, events);
    QCOMPARE(rows, expected);
    QCOMPARE(dashboard::meetingCount(rows), count);
}

void TestDashboardDerivations::followUps_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("count");

    SummarySnapshot summary;
    summary.followUps = QStringList{"甲：回电话", "乙：回电话", "甲：回电话", "a", "b", "c", "d", "e", "f"};
    QTest::newRow("unique before cleaning, no limit")
        << withSummary(summary) << QStringList{"回电话", "回电话", "a", "b", "c", "d", "e", "f"} << 8;
    QTest::newRow("no state") << State() << QStringList{"最近没有明确稍后处理事项"} << 0;
    SummarySnapshot empty;
    empty.followUps = QStringList();
    QTest::newRow("empty follow-ups") << withSummary(empty) << QStringList{"最近没有明确稍后处理事项"} << 0;
}

void TestDashboardDerivations::followUps()
{
    QFETCH(State, state);
    QFETCH(QStringList, expected);
    QFETCH(int, count);

    const QStringList rows = dashboard::followUpItems(state);
    QCOMPARE(rows, expected);
    QCOMPARE(dashboard::followUpCount(rows), count);
}

void TestDashboardDerivations::suggestions_data()
{
    QTest::addColumn<QList<DashboardTask>>("todos");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no to-dos: the two placeholders")
        << QList<DashboardTask>() << QStringList{"先刷新消息，再查看最近重点", "确认微信和企业微信读取规则"};
    QTest::newRow("one to-do") << QList<DashboardTask>{{"r1", "t1", "d"}} << QStringList{"t1"};
    QTest::newRow("display texts of the first two")
        << QList<DashboardTask>{{"r1", "t1", "d"}, {"r2", "t2", "d"}, {"r3", "t3", "d"}}
        << QStringList{"t1", "t2"};
}

void TestDashboardDerivations::suggestions()
{
    QFETCH(QList<DashboardTask>, todos);
    QFETCH(QStringList, expected);
    QCOMPARE(dashboard::suggestionItems(todos), expected);
}

void TestDashboardDerivations::totalMessages_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<qint64>("expected");
    SummarySnapshot withTotal;
    withTotal.totalMessages = 0;
    QTest::newRow("digest total, even 0") << withSummary(withTotal) << qint64(0);
    withTotal.totalMessages = 1234;
    QTest::newRow("digest total") << withSummary(withTotal) << qint64(1234);
    QTest::newRow("summary without total") << withSummary(SummarySnapshot()) << qint64(7);
    QTest::newRow("no state") << State() << qint64(7);
}

void TestDashboardDerivations::totalMessages()
{
    QFETCH(State, state);
    QFETCH(qint64, expected);
    QCOMPARE(dashboard::totalMessages(state, numberedMessages(7)), expected);
}

void TestDashboardDerivations::uniqueKeepsFirstOccurrence()
{
    QCOMPARE(dashboard::unique({"b", "a", "B", "b", "a", ""}), (QStringList{"b", "a", "B", ""}));
}

void TestDashboardDerivations::deriveAgreesWithTheSingleFunctions()
{
    SummarySnapshot summary;
    summary.actionItems = QStringList{"提醒：明天开会", "请尽快处理"};
    summary.followUps = QStringList{"回电话"};
    summary.totalMessages = 42;
    const State state = withSummary(summary);
    const QList<BridgeEvent> events = numberedMessages(10);

    const DashboardContent c = dashboard::derive(state, events);
    QCOMPARE(c.todoItems, dashboard::todoItems(state, events));
    QCOMPARE(c.suggestionItems, (QStringList{"明天开会", "请尽快处理"}));
    QCOMPARE(c.importantEvents.size(), 8);
    QCOMPARE(c.meetingRows, QStringList{"还没有会议记录"});
    QCOMPARE(c.meetingCount, 0);
    QCOMPARE(c.followUpCount, 1);
    QCOMPARE(c.totalMessages, qint64(42));
}

// With the digest's counts (a current core) the cards show what the presets hold: the to-do card
// the action items alone, the important card the highlights themselves (loaded or not), the
// titles the true counts. Scams and excluded messages are in no card.
void TestDashboardDerivations::cardsFollowTheCoreSorting_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QList<BridgeEvent>>("events");
    QTest::addColumn<QStringList>("cards"); // to-dos | important | meetings
    QTest::addColumn<QString>("counts"); // the titles of to-dos/important/meetings/follow-ups, 需要关注

    SummarySnapshot older;
    older.totalMessages = 42;
    older.actionItems = QStringList{"甲：报价单"};
    older.followUps = QStringList{"乙：回电话"};
    older.highlights = QList<HighlightSnapshot>{{{}, {}, "群1", "人1", {}, "消息1", {}},
                                                {{}, {}, "群X", "人1", {}, "上周的高亮", {}}};
    QTest::newRow("older core: rows counted, loaded highlights")
        << withSummary(older) << numberedMessages(12)
        << QStringList{"报价单 回电话", "消息1", "还没有会议记录"} << "2/1/0/1/42";
    SummarySnapshot current = older;
    current.counts = SummaryCounts{16, 5, 9, 7, 21};
    current.meetingItems = QStringList{"丙：周会"};
    QTest::newRow("current core: action items alone, the highlights themselves, true counts")
        << withSummary(current) << numberedMessages(12) << QStringList{"报价单", "消息1 上周的高亮", "周会"}
        << "16/9/7/5/21";
    current.counts = SummaryCounts{};
    current.meetingItems = QStringList();
    QTest::newRow("current core: no keyword guess at meetings; counts below the rows")
        << withSummary(current) << QList<BridgeEvent>{message("群", "甲", "明天开会")}
        << QStringList{"报价单", "消息1 上周的高亮", "还没有会议记录"} << "1/2/0/1/0";
    QTest::newRow("no state: scams and excluded messages in no card")
        << State()
        << QList<BridgeEvent>{sortedAs(message("群A", "甲", "我在开会，急需转一笔款"), "suspicious"),
                              sortedAs(message("群B", "乙", "会议室优惠"), "excluded"),
                              sortedAs(message("群C", "丙", "例会改到周四"), "")}
        << QStringList{"例会改到周四", "例会改到周四", "群C"} << "1/1/1/0/3";
}

void TestDashboardDerivations::cardsFollowTheCoreSorting()
{
    QFETCH(State, state);
    QFETCH(QList<BridgeEvent>, events);
    QFETCH(QStringList, cards);
    QFETCH(QString, counts);
    const DashboardContent c = dashboard::derive(state, events);
    QCOMPARE((QStringList{texts(c.todoItems).join(u' '), contents(c.importantEvents).join(u' '),
                          c.meetingRows.join(u' ')}),
             cards);
    QCOMPARE(QStringLiteral("%1/%2/%3/%4/%5")
                 .arg(c.todoCount)
                 .arg(c.importantCount)
                 .arg(c.meetingCount)
                 .arg(c.followUpCount)
                 .arg(c.attentionCount),
             counts);
}

void TestDashboardDerivations::title_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zh_CN") << QLocale(QLocale::Chinese, QLocale::China) << QDate(2024, 5, 1)
                           << QStringLiteral("今天 · 5月1日 星期三");
    QTest::newRow("zh_CN, two-digit month") << QLocale(QLocale::Chinese, QLocale::China) << QDate(2026, 12, 7)
                                            << QStringLiteral("今天 · 12月7日 星期一");
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << QDate(2024, 5, 1)
                           << QStringLiteral("今天 · Wednesday, May 1");
}

void TestDashboardDerivations::title()
{
    QFETCH(QLocale, locale);
    QFETCH(QDate, date);
    QFETCH(QString, expected);
    QCOMPARE(overviewtext::title(date, locale), expected);
}

void TestDashboardDerivations::digestSentences_data()
{
    QTest::addColumn<int>("todos");
    QTest::addColumn<QString>("first");
    QTest::newRow("none") << 0 << QStringLiteral("你有 0 件待处理事项，其中 0 件适合今天推进。");
    QTest::newRow("two") << 2 << QStringLiteral("你有 2 件待处理事项，其中 2 件适合今天推进。");
    QTest::newRow("six: at most 3 for today")
        << 6 << QStringLiteral("你有 6 件待处理事项，其中 3 件适合今天推进。");
}

void TestDashboardDerivations::digestSentences()
{
    QFETCH(int, todos);
    QFETCH(QString, first);
    const QStringList sentences = overviewtext::digestSentences(123456789012, todos, 7);
    QCOMPARE(sentences,
             (QStringList{first, "有 123456789012 条最近消息需要关注。", "还有 7 件稍后处理的事项。"}));
}

void TestDashboardDerivations::singleLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("every kind of line break")
        << QStringLiteral("a\r\nb\nc\rd\u2028e\u2029f") << QStringLiteral("a b c d e f");
    QTest::newRow("two line feeds") << QStringLiteral("a\n\nb") << QStringLiteral("a  b");
    QTest::newRow("half an emoji") << QStringLiteral("a\nb") + QChar(0xd83d)
                                   << QStringLiteral("a b") + QChar(0xd83d);
}

void TestDashboardDerivations::singleLine()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(overviewtext::singleLine(text), expected);
}

QTEST_GUILESS_MAIN(TestDashboardDerivations)
#include "tst_dashboardderivations.moc"
