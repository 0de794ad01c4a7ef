#include "ChatFixtures.h"
#include "store/ChatRules.h"

#include <QRegularExpression>
#include <QtTest>

Q_DECLARE_METATYPE(BridgeEvent)
Q_DECLARE_METATYPE(std::optional<BridgeStateResponse>)

using chatfixtures::ev;
using chatfixtures::stateWith;

// The predicates behind the local answer.
class TestChatRules : public QObject
{
    Q_OBJECT

private slots:
    void chatTargetIntent_data();
    void chatTargetIntent();
    void questionKinds_data();
    void questionKinds();
    void currentUserAliases_data();
    void currentUserAliases();
    void normalizedContentKey_data();
    void normalizedContentKey();
    void contentKeyAgreesWithRegexOnEveryCodePoint();
    void hanKeywordsIgnoringCase_data();
    void hanKeywordsIgnoringCase();
    void dedupedEvents_data();
    void dedupedEvents();
    void meetingEvents_data();
    void meetingEvents();
    void eventMentionsUser_data();
    void eventMentionsUser();
    void explicitRequest_data();
    void explicitRequest();
    void selfProgress_data();
    void selfProgress();
    void todoTest_data();
    void todoTest();
};

void TestChatRules::chatTargetIntent_data()
{
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("intent"); // empty: none

    QTest::newRow("wecom by name") << "最近企业微信有什么消息"
                                   << "wecom";
    QTest::newRow("both clients: wecom first") << "微信和企业微信都看看"
                                               << "wecom";
    QTest::newRow("short form") << "企微群里说了啥"
                                << "wecom";
    QTest::newRow("WeCom any case") << "WECOM 最近"
                                    << "wecom";
    QTest::newRow("wework any case") << "WeWork 有消息吗"
                                     << "wecom";
    QTest::newRow("wechat") << "微信里有什么"
                            << "wechat";
    QTest::newRow("latin wechat is no intent") << "wechat news"
                                               << "";
    QTest::newRow("none") << "今天先处理什么"
                          << "";
}

void TestChatRules::chatTargetIntent()
{
    QFETCH(QString, question);
    QFETCH(QString, intent);
    QCOMPARE(chatrules::chatTargetIntent(question).value_or(QString()), intent);
}

void TestChatRules::questionKinds_data()
{
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("meeting");
    QTest::addColumn<bool>("personal");

    QTest::newRow("list has me") << "名单有没有我" << true << true;
    QTest::newRow("meeting to hold") << "这周会要开吗" << true << false;
    QTest::newRow("which meeting") << "明天开什么会" << true << false;
    QTest::newRow("attend") << "谁参会" << true << false;
    QTest::newRow("single 我 is personal") << "今天我先处理什么" << false << true;
    QTest::newRow("oneself") << "本人有事吗" << false << true;
    QTest::newRow("self") << "自己的待办" << false << true;
    QTest::newRow("neither") << "今天先处理什么" << false << false;
}

void TestChatRules::questionKinds()
{
    QFETCH(QString, question);
    QFETCH(bool, meeting);
    QFETCH(bool, personal);
    QCOMPARE(chatrules::isMeetingQuery(question), meeting);
    QCOMPARE(chatrules::isPersonalQuery(question), personal);
}

void TestChatRules::currentUserAliases_data()
{
    QTest::addColumn<std::optional<BridgeStateResponse>>("state");
    QTest::addColumn<QStringList>("aliases");

    QTest::newRow("no state") << std::optional<BridgeStateResponse>() << QStringList();
    QTest::newRow("no config") << std::optional<BridgeStateResponse>(BridgeStateResponse{}) << QStringList();
    QTest::newRow("no profile") << stateWith(std::nullopt, std::nullopt) << QStringList();
    QTest::newRow("name first, trimmed, deduped")
        << stateWith(" 张三 ", QStringList{"zs", " 张三", "", " \n", "zs", "Zhang\t"})
        << QStringList{"张三", "zs", "Zhang"};
    QTest::newRow("aliases only") << stateWith(std::nullopt, QStringList{"a"}) << QStringList{"a"};
    QTest::newRow("blank name") << stateWith("  ", std::nullopt) << QStringList();
    QTest::newRow("repeats differ in case")
        << stateWith("Zhang", QStringList{"zhang"}) << QStringList{"Zhang", "zhang"};
}

void TestChatRules::currentUserAliases()
{
    QFETCH(std::optional<BridgeStateResponse>, state);
    QFETCH(QStringList, aliases);
    QCOMPARE(chatrules::currentUserAliases(state), aliases);
}

void TestChatRules::normalizedContentKey_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");

    QTest::newRow("digit runs") << "明天 10:30 开会"
                                << "明天#:#开会";
    QTest::newRow("full-width digits") << "１２点到"
                                       << "#点到";
    QTest::newRow("ideographic space") << QString::fromUtf8("开\u3000会") << "开会";
    QTest::newRow("no-break space") << QString::fromUtf8("开\u00a0会") << "开会";
    QTest::newRow("line breaks and tabs") << "a \n\t b"
                                          << "ab";
    QTest::newRow("untouched") << "会议"
                               << "会议";
}

void TestChatRules::normalizedContentKey()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QCOMPARE(chatrules::normalizedContentKey(text), key);
}

// The content key is computed without the regex engine; it must still be exactly
// "replace \\d+ by #, then delete \\s+" with Unicode properties, for every character.
void TestChatRules::contentKeyAgreesWithRegexOnEveryCodePoint()
{
    const QRegularExpression digits("\\d+", QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpression spaces("\\s+", QRegularExpression::UseUnicodePropertiesOption);
    int checked = 0;
    for (char32_t block = 0; block < 0x110000; block += 1024) {
        QString text;
        for (char32_t c = block; c < block + 1024; ++c) {
            if (c >= 0xd800 && c <= 0xdfff)
                continue;
            text += u'a';
            text += QString::fromUcs4(&c, 1);
            ++checked;
        }
        QString expected = text;
        expected.replace(digits, "#");
        expected.remove(spaces);
        QCOMPARE(chatrules::normalizedContentKey(text), expected);
    }
    QCOMPARE(checked, 0x110000 - 0x800);
}

void TestChatRules::hanKeywordsIgnoringCase_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("todo");

    // The action words are tested ignoring case; next to Latin text of any case they
    // must still be found.
    QTest::newRow("after latin") << "PO 已审批" << true;
    QTest::newRow("full-width latin around") << "ＡＢ回款ＣＤ" << true;
    QTest::newRow("no action") << "OK 好的" << false;
}

void TestChatRules::hanKeywordsIgnoringCase()
{
    QFETCH(QString, text);
    QFETCH(bool, todo);
    QCOMPARE(chatrules::isTodoText(text), todo);
}

void TestChatRules::dedupedEvents_data()
{
    QTest::addColumn<QList<BridgeEvent>>("events");
    QTest::addColumn<QList<int>>("kept");

    QTest::newRow("digit variant, first survives")
        << QList<BridgeEvent>{ev("wecom", "群", "甲", "明天10点开会"), ev("wecom", "群", "乙", "你好"),
                              ev("wecom", "群", "甲", "明天 11 点开会")}
        << QList<int>{0, 1};
    QTest::newRow("other sender, other client kept")
        << QList<BridgeEvent>{ev("wecom", "群", "甲", "收到"), ev("wecom", "群", "乙", "收到"),
                              ev("wechat", "群", "甲", "收到")}
        << QList<int>{0, 1, 2};
    QTest::newRow("absent and empty session are the same")
        << QList<BridgeEvent>{ev("wecom", "", "甲", "收到"),
                              [] {
                                  BridgeEvent e = ev("wecom", "", "甲", "收到");
                                  e.sessionName = QString();
                                  return e;
                              }()}
        << QList<int>{0};
    QTest::newRow("transcript is the content")
        << QList<BridgeEvent>{[] {
                                  BridgeEvent e = ev("wecom", "群", "甲", "[语音]");
                                  e.transcript = "今天3点";
                                  return e;
                              }(),
                              ev("wecom", "群", "甲", "今天 4 点")}
        << QList<int>{0};
    QTest::newRow("hyphen in names does not merge chats")
        << QList<BridgeEvent>{ev("wecom", "a-b", "c", "收到"), ev("wecom", "a", "b-c", "收到")}
        << QList<int>{0, 1};
}

void TestChatRules::dedupedEvents()
{
    QFETCH(QList<BridgeEvent>, events);
    QFETCH(QList<int>, kept);
    QList<BridgeEvent> expected;
    for (int i : kept)
        expected.append(events.at(i));
    QCOMPARE(chatrules::dedupedEvents(events), expected);
}

void TestChatRules::meetingEvents_data()
{
    QTest::addColumn<QString>("session");
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("meeting");
    QTest::addColumn<bool>("schedule");

    QTest::newRow("time and meeting") << ""
                                      << "明天下午3点开会" << true << true;
    QTest::newRow("lower-case zoom") << ""
                                     << "zoom 链接明天发" << false << false;
    QTest::newRow("Zoom without time") << ""
                                       << "Zoom 链接发群里了" << true << false;
    QTest::newRow("minutes reported") << ""
                                      << "会议纪要已发，明天看" << true << false;
    QTest::newRow("already met") << ""
                                 << "昨天已开会讨论，下午继续" << true << false;
    QTest::newRow("over wins over list") << ""
                                         << "会议纪要 参会名单" << true << false;
    QTest::newRow("tencent meeting") << ""
                                     << "腾讯会议 123" << true << true;
    QTest::newRow("attendees") << ""
                               << "参会人员：张三" << true << true;
    QTest::newRow("session counts") << "周例会群"
                                    << "收到" << true << false;
    QTest::newRow("session with time word") << "周例会群"
                                            << "下午见" << true << true;
    QTest::newRow("colon is a time mark") << ""
                                          << "会议室预订:A" << true << true;
    QTest::newRow("no meeting word") << ""
                                     << "明天吃饭" << false << false;
    // Each announcement alone schedules, each report alone does not.
    for (const char* word : {"参会名单", "与会人员", "参会人员", "会议通知", "腾讯会议", "飞书会议"})
        QTest::addRow("announce %s", word) << "" << QString::fromUtf8(word) << true << true;
    for (const char* word : {"昨天刚开会", "已开会", "已经开会", "开会推动", "会议纪要", "纪要已"})
        QTest::addRow("over %s", word) << "" << QString::fromUtf8(word) + "明天" << true << false;
}

void TestChatRules::meetingEvents()
{
    QFETCH(QString, session);
    QFETCH(QString, content);
    QFETCH(bool, meeting);
    QFETCH(bool, schedule);
    const BridgeEvent e = ev("wecom", session, "某人", content);
    QCOMPARE(chatrules::isMeetingEvent(e), meeting);
    QCOMPARE(chatrules::isMeetingScheduleEvent(e), schedule);
}

void TestChatRules::eventMentionsUser_data()
{
    QTest::addColumn<QString>("session");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("aliases");
    QTest::addColumn<bool>("mentions");

    QTest::newRow("alias ignoring case") << "群"
                                         << "李四"
                                         << "ZhangSan 确认下" << QStringList{"zhangsan"} << true;
    QTest::newRow("own message") << "群"
                                 << "张三"
                                 << "好的" << QStringList{"张三"} << true;
    QTest::newRow("session name") << "张三的群"
                                  << "李四"
                                  << "好的" << QStringList{"张三"} << true;
    QTest::newRow("at me without aliases") << "群"
                                           << "李四"
                                           << "@我 看下" << QStringList() << true;
    QTest::newRow("at you") << "群"
                            << "李四"
                            << "李四@了你" << QStringList() << true;
    QTest::newRow("someone else") << "群"
                                  << "李四"
                                  << "王五看下" << QStringList{"张三"} << false;
    QTest::newRow("empty alias matches nothing") << "群"
                                                 << "李四"
                                                 << "好的" << QStringList{""} << false;
}

void TestChatRules::eventMentionsUser()
{
    QFETCH(QString, session);
    QFETCH(QString, sender);
    QFETCH(QString, content);
    QFETCH(QStringList, aliases);
    QFETCH(bool, mentions);
    QCOMPARE(chatrules::eventMentionsUser(ev("wecom", session, sender, content), aliases), mentions);
}

void TestChatRules::explicitRequest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("request");

    QTest::newRow("请 at start") << "请大家看下" << true;
    QTest::newRow("after full-width comma") << "收到，请确认" << true;
    QTest::newRow("after full stop") << "好。请回电" << true;
    QTest::newRow("after ascii semicolon") << "好;请回电" << true;
    QTest::newRow("after ascii colon") << "注意:请回电" << true;
    QTest::newRow("after full-width colon") << "注意：请回电" << true;
    QTest::newRow("after line break") << "周末\n请带电脑" << true;
    QTest::newRow("after ideographic space") << QString::fromUtf8("大家\u3000请带电脑") << true;
    QTest::newRow("leave alone") << "请假" << false;
    QTest::newRow("leave after comma") << "明早，请假一天" << false;
    QTest::newRow("invitation card") << "请柬已发" << false;
    QTest::newRow("invitation") << "请帖到了" << false;
    QTest::newRow("petition") << "请愿书" << false;
    QTest::newRow("inside a word") << "邀请大家" << false;
    QTest::newRow("keyword") << "流程到达你处" << true;
    QTest::newRow("deadline") << "周五截止" << true;
    QTest::newRow("half an emoji further on") << QStringLiteral("请确认报价") + QChar(0xd83d) << true;
}

void TestChatRules::explicitRequest()
{
    QFETCH(QString, text);
    QFETCH(bool, request);
    QCOMPARE(chatrules::hasExplicitRequestMarker(text), request);
}

void TestChatRules::selfProgress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("progress");

    QTest::newRow("we are following") << "我们已经在跟进" << true;
    QTest::newRow("six characters between") << "我一二三四五六已跟进" << true;
    QTest::newRow("seven characters between") << "我一二三四五六七已跟进" << false;
    QTest::newRow("emoji are one character each") << QString::fromUtf8("我😀😀😀😀😀😀已跟进") << true;
    QTest::newRow("line break stops it") << "我\n已跟进" << false;
    // Every line terminator does, not only the line feed.
    for (const char16_t terminator : {u'\r', u'\v', u'\f', u'\u0085', u'\u2028', u'\u2029'})
        QTest::addRow("U+%04X stops it", unsigned(terminator))
            << QStringLiteral("我已经") + QChar(terminator) + QStringLiteral("处理") << false;
    QTest::newRow("no verb") << "我已经吃饭了" << false;
    QTest::newRow("not about me") << "他已经跟进" << false;
    QTest::newRow("half an emoji between")
        << QStringLiteral("我") + QChar(0xde00) + QStringLiteral("已跟进") << true;
}

void TestChatRules::selfProgress()
{
    QFETCH(QString, text);
    QFETCH(bool, progress);
    QCOMPARE(chatrules::isSelfProgress(text), progress);
}

void TestChatRules::todoTest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("todo");

    QTest::newRow("请 at start") << "请大家明天提交周报" << true;
    QTest::newRow("，请确认") << "方案已发，请确认" << true;
    QTest::newRow("only leave") << "请假" << false;
    QTest::newRow("self progress") << "我已经跟进处理" << false;
    QTest::newRow("self progress with request") << "我已经跟进处理，麻烦再看下" << true;
    QTest::newRow("self progress with hurry word") << "本人会尽快处理" << true;
    QTest::newRow("we coordinate") << "我们正在协调资源" << false;
    QTest::newRow("receipt is enough") << "收到即可，需要的话明天处理" << false;
    QTest::newRow("broadcast") << "@所有人 通知：周五停电" << false;
    QTest::newRow("broadcast with request still notice") << "@全体 公告：请周五前提交" << false;
    QTest::newRow("broadcast with question") << "@所有人 明天的会议室有没有人订？" << true;
    QTest::newRow("broadcast question, no action") << "@所有人 吃了吗" << false;
    QTest::newRow("daily report") << "今日新增订单5笔，已安排发货" << false;
    QTest::newRow("daily report with request") << "日报：请于周五前提交" << true;
    QTest::newRow("action word") << "客户问付款进度" << true;
    QTest::newRow("request via line break") << "周末\n请带电脑" << true;
    QTest::newRow("nothing to do") << "项目进度更新" << false;
}

void TestChatRules::todoTest()
{
    QFETCH(QString, text);
    QFETCH(bool, todo);
    QCOMPARE(chatrules::isTodoText(text), todo);
}

QTEST_GUILESS_MAIN(TestChatRules)
#include "tst_chatrules.moc"
