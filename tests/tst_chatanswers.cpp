#include "ChatFixtures.h"
#include "store/ChatRules.h"

#include <QtTest>

Q_DECLARE_METATYPE(BridgeEvent)

using chatfixtures::aliasState;
using chatfixtures::ev;
using chatfixtures::sortedAs;

namespace {

QString lines(const QStringList& list)
{
    return list.join(u'\n');
}

// Meeting fixture.
const BridgeEvent kScheduleMine = ev("wecom", "项目群", "李四", "明天下午3点开会，参会名单：张三、王五");
const BridgeEvent kScheduleOther = ev("wechat", "家长群", "老师", "周五上午开家长会，议程见附件");
const BridgeEvent kReported = ev("wecom", "项目群", "李四", "会议纪要已发，请查收");
const BridgeEvent kChatter = ev("wechat", "朋友", "赵六", "周末吃饭吗");

const QString kMeetingHead =
    QStringLiteral("本地 AI 刚刚连接不稳定，我先按已经读取到的微信和企业微信消息查会议。");
const QString kLineScheduleMine = QStringLiteral("- 企业微信｜项目群：明天下午3点开会，参会名单：张三、王五");
const QString kLineScheduleOther = QStringLiteral("- 微信｜家长群：周五上午开家长会，议程见附件");
const QString kNoMeetings = QStringLiteral("最近 7 天没有识别到明确会议、参会名单或会议纪要。");

} // namespace

// The local answers, compared as whole texts.
class TestChatAnswers : public QObject
{
    Q_OBJECT

private slots:
    void eventLine_data();
    void eventLine();
    void generalAnswer_data();
    void generalAnswer();
    void meetingAnswer_data();
    void meetingAnswer();
    void answerLimitsListsToSix();
};

void TestChatAnswers::eventLine_data()
{
    QTest::addColumn<BridgeEvent>("event");
    QTest::addColumn<QString>("line");

    QTest::newRow("wecom") << ev("wecom", "群A", "甲", "你好") << "- 企业微信｜群A：你好";
    QTest::newRow("no session") << ev("wechat", "", "甲", "你好") << "- 微信｜未命名会话：你好";
    QTest::newRow("empty session stays empty") << [] {
        BridgeEvent e = ev("wechat", "", "甲", "你好");
        e.sessionName = QString();
        return e;
    }() << "- 微信｜：你好";
    QTest::newRow("other client, no text") << ev("qq", "群", "", "") << "- 消息｜群：（暂无正文）";
}

void TestChatAnswers::eventLine()
{
    QFETCH(BridgeEvent, event);
    QFETCH(QString, line);
    QCOMPARE(chatrules::eventLine(event), line);
}

void TestChatAnswers::generalAnswer_data()
{
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("aliases");
    QTest::addColumn<QList<BridgeEvent>>("events");
    QTest::addColumn<QString>("answer");

    BridgeEvent emptySession = ev("wechat", "", "老王", "付款已到账吗");
    emptySession.sessionName = QString();
    const QList<BridgeEvent> mixed{
        ev("wecom", "项目群", "李四", "请10号前提交周报"),
        ev("wechat", "家人", "妈妈", "晚上回家吃饭吗"),
        ev("wecom", "", "王五", "@所有人 通知：周五停电"),
        ev("wecom", "项目群", "李四", "请 11 号前提交周报"),
        emptySession,
    };
    const QString allHead = "本地 AI 刚刚连接不稳定，我先按已经读取到的微信和企业微信消息帮你整理。";

    QTest::newRow("all clients")
        << "今天先处理什么" << QStringList() << mixed
        << lines({allHead, "", "优先处理：", "- 企业微信｜项目群：请10号前提交周报", "- 微信｜：付款已到账吗",
                  "", "最近消息：", "- 企业微信｜项目群：请10号前提交周报", "- 微信｜家人：晚上回家吃饭吗",
                  "- 企业微信｜未命名会话：@所有人 通知：周五停电", "- 微信｜：付款已到账吗"});
    QTest::newRow("wecom scope drops others and untargeted")
        << "企业微信有什么" << QStringList()
        << QList<BridgeEvent>{ev("", "群B", "乙", "在吗"), ev("wecom", "群A", "甲", "你好"),
                              ev("wechat", "群C", "丙", "需要确认")}
        << lines({"本地 AI 刚刚连接不稳定，我先按已经读取到的企业微信消息帮你整理。", "", "优先处理：",
                  "- 最近 7 天没有明显待办或催办。", "", "最近消息：", "- 企业微信｜群A：你好"});
    QTest::newRow("both clients named is wecom")
        << "微信和企业微信最近怎样" << QStringList()
        << QList<BridgeEvent>{ev("wechat", "群C", "丙", "需要确认"), ev("wecom", "群A", "甲", "需要确认")}
        << lines({"本地 AI 刚刚连接不稳定，我先按已经读取到的企业微信消息帮你整理。", "", "优先处理：",
                  "- 企业微信｜群A：需要确认", "", "最近消息：", "- 企业微信｜群A：需要确认"});
    QTest::newRow("empty pool for wechat")
        << "微信有什么消息" << QStringList()
        << QList<BridgeEvent>{ev("wecom", "群A", "甲", "你好"), ev("", "群B", "乙", "在吗")}
        << QString("本地 AI 刚刚连接不稳定，我先检查了当前已加载的消息：这里还没有可用于回答的微信记录。"
                   "请点右上角刷新，或确认对应客户端通知/读取权限已开启。");
    QTest::newRow("no events at all")
        << "有什么" << QStringList() << QList<BridgeEvent>()
        << QString("本地 AI "
                   "刚刚连接不稳定，我先检查了当前已加载的消息：这里还没有可用于回答的微信和企业微信记录。"
                   "请点右上角刷新，或确认对应客户端通知/读取权限已开启。");
    QTest::newRow("personal without aliases")
        << "我有什么要做" << QStringList() << mixed
        << QString("本地 AI 刚刚连接不稳定。我还不知道你的姓名/别名，不能可靠筛出“和我相关”的消息。"
                   "请先到“设置与接入 -> 个人识别”填写姓名和常用简称。");
    QTest::newRow("personal keeps messages about me")
        << "和我相关的消息" << QStringList{"王五"} << mixed
        << lines({allHead, "", "优先处理：", "- 最近 7 天没有明显待办或催办。", "", "最近消息：",
                  "- 企业微信｜未命名会话：@所有人 通知：周五停电"});
    QTest::newRow("personal with nobody named falls back to all")
        << "和我相关的消息" << QStringList{"钱七"} << QList<BridgeEvent>{mixed.at(1)}
        << lines({allHead, "", "优先处理：", "- 最近 7 天没有明显待办或催办。", "", "最近消息：",
                  "- 微信｜家人：晚上回家吃饭吗"});

    // The core's sorting instead of the keywords: to-dos by due time, then follow-ups; nothing done,
    // no scam and nothing excluded; a message without sorting still by the keywords.
    const QList<BridgeEvent> sorted{
        sortedAs(ev("wechat", "楼下咖啡", "店长", "明天买一送一，需要的话回复"), ""),
        sortedAs(ev("wechat", "客服", "客服", "请立即点击链接输入银行卡号"), "suspicious"),
        sortedAs(ev("wecom", "项目群", "张三", "报价单今天下班前发我"), "todo mine",
                 "2026-12-07T18:00:00+08:00"),
        sortedAs(ev("wecom", "财务", "王五", "预算这周批一下"), "todo", "2026-12-07T10:00:00+08:00"),
        sortedAs(ev("wecom", "客户群", "陈总", "方案周五给我"), "follow_up"),
        sortedAs(ev("wecom", "项目群", "李四", "合同明天到期"), "todo done"),
        sortedAs(ev("wechat", "商城", "小助手", "领取优惠券，尽快处理"), "todo excluded"),
        ev("wecom", "老系统", "赵六", "请确认上线时间"),
    };
    QTest::newRow("sorted: most pressing first, never a scam")
        << "今天先处理什么" << QStringList{"李明"} << sorted
        << lines({allHead, "", "优先处理：", "- 企业微信｜财务：预算这周批一下",
                  "- 企业微信｜项目群：报价单今天下班前发我", "- 企业微信｜老系统：请确认上线时间",
                  "- 企业微信｜客户群：方案周五给我", "", "最近消息：",
                  "- 微信｜楼下咖啡：明天买一送一，需要的话回复", "- 企业微信｜项目群：报价单今天下班前发我",
                  "- 企业微信｜财务：预算这周批一下", "- 企业微信｜客户群：方案周五给我",
                  "- 企业微信｜项目群：合同明天到期", "- 企业微信｜老系统：请确认上线时间"});
    QTest::newRow("sorted, personal: what is for the user by the sorting")
        << "今天有什么要我处理的？" << QStringList{"李明"} << sorted
        << lines({allHead, "", "优先处理：", "- 企业微信｜财务：预算这周批一下",
                  "- 企业微信｜项目群：报价单今天下班前发我", "- 企业微信｜客户群：方案周五给我", "",
                  "最近消息：", "- 企业微信｜项目群：报价单今天下班前发我",
                  "- 企业微信｜财务：预算这周批一下", "- 企业微信｜客户群：方案周五给我"});
}

void TestChatAnswers::generalAnswer()
{
    QFETCH(QString, question);
    QFETCH(QStringList, aliases);
    QFETCH(QList<BridgeEvent>, events);
    QFETCH(QString, answer);
    QCOMPARE(chatrules::localFallbackAnswer(question, events, aliasState(aliases)), answer);
}

void TestChatAnswers::meetingAnswer_data()
{
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("aliases");
    QTest::addColumn<QList<BridgeEvent>>("events");
    QTest::addColumn<QString>("answer");

    const QList<BridgeEvent> all{kChatter, kScheduleMine, kReported, kScheduleOther};

    QTest::newRow("mine") << "名单有没有我" << QStringList{"张三"} << all
                          << lines({kMeetingHead, "", "可能与你有关的会议/名单：", kLineScheduleMine});
    QTest::newRow("not mine") << "名单有没有我" << QStringList{"钱七"} << all
                              << lines({kMeetingHead, "",
                                        "没有看到明确点到你的会议名单；先列出最近会议相关消息供你确认：",
                                        kLineScheduleMine, kLineScheduleOther});
    QTest::newRow("personal without aliases")
        << "名单有没有我" << QStringList() << all
        << lines({kMeetingHead, "",
                  "我还不知道你的姓名/别名，不能可靠判断名单里有没有你。请到“设置与接入 -> 个人识别”填一下。",
                  "", "会议相关消息：", kLineScheduleMine, kLineScheduleOther});
    QTest::newRow("not personal lists schedules only")
        << "最近有什么会议" << QStringList{"张三"} << all
        << lines({kMeetingHead, "", "会议相关消息：", kLineScheduleMine, kLineScheduleOther});
    QTest::newRow("reported meetings when nothing is scheduled")
        << "最近有什么会议" << QStringList() << QList<BridgeEvent>{kChatter, kReported}
        << lines({kMeetingHead, "", "会议相关消息：", "- 企业微信｜项目群：会议纪要已发，请查收"});
    QTest::newRow("no meetings") << "最近有什么会议" << QStringList() << QList<BridgeEvent>{kChatter}
                                 << lines({kMeetingHead, "", kNoMeetings});
    QTest::newRow("no meetings, personal, no aliases")
        << "我要开会吗" << QStringList() << QList<BridgeEvent>{kChatter}
        << lines({kMeetingHead, "",
                  "我还不知道你的姓名/别名，不能可靠判断名单里有没有你。请到“设置与接入 -> 个人识别”填一下。",
                  "", kNoMeetings});
    // Nothing to list under "先列出最近会议相关消息": the no-meeting sentence is given instead.
    QTest::newRow("no meetings, personal with aliases")
        << "我要开会吗" << QStringList{"张三"} << QList<BridgeEvent>{kChatter}
        << lines({kMeetingHead, "", kNoMeetings});
    QTest::newRow("sorted: meetings by the sorting, no fraud mentioning 开会")
        << "最近有什么会议" << QStringList()
        << QList<BridgeEvent>{sortedAs(ev("wechat", "王总", "王总", "我在开会不方便接电话，急需转一笔款"),
                                       "suspicious"),
                              sortedAs(ev("wecom", "客户群", "陈总", "下周一来访，你参加"), "meeting"),
                              sortedAs(kReported, ""), kScheduleOther}
        << lines({kMeetingHead, "", "会议相关消息：", "- 企业微信｜客户群：下周一来访，你参加",
                  kLineScheduleOther});
    QTest::newRow("meeting question scoped to wechat")
        << "微信里开什么会" << QStringList() << all
        << lines({"本地 AI 刚刚连接不稳定，我先按已经读取到的微信消息查会议。", "", "会议相关消息：",
                  kLineScheduleOther});
}

void TestChatAnswers::meetingAnswer()
{
    QFETCH(QString, question);
    QFETCH(QStringList, aliases);
    QFETCH(QList<BridgeEvent>, events);
    QFETCH(QString, answer);
    QCOMPARE(chatrules::localFallbackAnswer(question, events, aliasState(aliases)), answer);
}

void TestChatAnswers::answerLimitsListsToSix()
{
    const QStringList names{"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛"};
    QList<BridgeEvent> todos, meetings;
    for (const QString& n : names) {
        todos.append(ev("wecom", "群", n, "请处理" + n));
        meetings.append(ev("wecom", "群", n, "参会名单：" + n));
    }
    const QString general = chatrules::localFallbackAnswer("今天先处理什么", todos, std::nullopt);
    QCOMPARE(general,
             lines({"本地 AI 刚刚连接不稳定，我先按已经读取到的微信和企业微信消息帮你整理。", "",
                    "优先处理：", "- 企业微信｜群：请处理甲", "- 企业微信｜群：请处理乙",
                    "- 企业微信｜群：请处理丙", "- 企业微信｜群：请处理丁", "- 企业微信｜群：请处理戊",
                    "- 企业微信｜群：请处理己", "", "最近消息：", "- 企业微信｜群：请处理甲",
                    "- 企业微信｜群：请处理乙", "- 企业微信｜群：请处理丙", "- 企业微信｜群：请处理丁",
                    "- 企业微信｜群：请处理戊", "- 企业微信｜群：请处理己"}));

    // Mine, and the generic meeting list, stop at six as well.
    const QString mine = chatrules::localFallbackAnswer(
        "名单有没有我", meetings, aliasState({"甲", "乙", "丙", "丁", "戊", "己", "庚"}));
    QCOMPARE(mine.count(u'\n'), 2 + 6);
    QVERIFY(mine.endsWith("- 企业微信｜群：参会名单：己"));
    const QString generic = chatrules::localFallbackAnswer("有什么会议", meetings, std::nullopt);
    QCOMPARE(generic.count(u'\n'), 2 + 6);
    QVERIFY(generic.endsWith("- 企业微信｜群：参会名单：己"));
}

QTEST_GUILESS_MAIN(TestChatAnswers)
#include "tst_chatanswers.moc"
