#include "ChatFixtures.h"
#include "ui/messages/logic/MessageFilter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace messagefilter;

namespace {

BridgeEvent message(const QString& text, std::optional<QString> target = QStringLiteral("wechat"),
                    std::optional<QString> session = QStringLiteral("群A"),
                    std::optional<QString> sender = QStringLiteral("张三"))
{
    BridgeEvent e;
    e.chatTarget = std::move(target);
    e.sessionName = std::move(session);
    e.senderName = std::move(sender);
    e.content = text;
    return e;
}

HighlightSnapshot highlight(std::optional<QString> session, std::optional<QString> sender,
                            std::optional<QString> content)
{
    HighlightSnapshot h;
    h.sessionName = std::move(session);
    h.senderName = std::move(sender);
    h.content = std::move(content);
    return h;
}

std::optional<BridgeStateResponse> stateWithHighlights(std::optional<QList<HighlightSnapshot>> highlights)
{
    BridgeStateResponse state;
    state.summary = SummarySnapshot{};
    state.summary->highlights = std::move(highlights);
    return state;
}

// A message whose text may open with the core's sorting, the flags that hold in brackets:
// "[todo done]麻烦提交" ("[]": every flag false); without brackets it carries none.
BridgeEvent sortedMessage(const QString& spec, const QString& session)
{
    const qsizetype end = spec.startsWith(u'[') ? spec.indexOf(u']') : -1;
    const BridgeEvent e = message(spec.mid(end + 1), "wechat", session);
    return end < 0 ? e : chatfixtures::sortedAs(e, spec.mid(1, end - 1));
}

QStringList contentsOf(const QList<BridgeEvent>& events)
{
    QStringList out;
    for (const BridgeEvent& e : events)
        out << e.displayContent();
    return out;
}

} // namespace

class TestMessageFilter : public QObject
{
    Q_OBJECT

private slots:
    void containsAnyCases_data();
    void containsAnyCases();
    void keywordListsAreExact();
    void sourceFilter_data();
    void sourceFilter();
    void presetOnText_data();
    void presetOnText();
    void meetingThroughSessionName_data();
    void meetingThroughSessionName();
    void importantWithHighlights_data();
    void importantWithHighlights();
    void importantFallsBackWithoutHighlights_data();
    void importantFallsBackWithoutHighlights();
    void searchNarrows_data();
    void searchNarrows();
    void searchMatchRanges_data();
    void searchMatchRanges();
    void searchRuleSharedWithCore_data();
    void searchRuleSharedWithCore();
    void searchKeyOfLongText_data();
    void searchKeyOfLongText();
    void orderIsKept();
};

void TestMessageFilter::containsAnyCases_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("tokens");
    QTest::addColumn<bool>("expected");

    QTest::newRow("empty list") << QStringLiteral("任何文字") << QStringList{} << false;
    QTest::newRow("one of several") << QStringLiteral("明天开会") << QStringList{"吃饭", "开会"} << true;
    QTest::newRow("none") << QStringLiteral("明天开会") << QStringList{"吃饭", "睡觉"} << false;
    QTest::newRow("ignores case") << QStringLiteral("Please REVIEW") << QStringList{"review"} << true;
    QTest::newRow("ignores case of token") << QStringLiteral("zoom link") << QStringList{"ZOOM"} << true;
    QTest::newRow("full-width token ignores case") << QStringLiteral("ａｂ站") << QStringList{"ＡＢ"} << true;
    QTest::newRow("punctuation token") << QStringLiteral("真的？") << QStringList{"？"} << true;
    QTest::newRow("empty text") << QString() << QStringList{"会议"} << false;
}

void TestMessageFilter::containsAnyCases()
{
    QFETCH(QString, text);
    QFETCH(QStringList, tokens);
    QFETCH(bool, expected);
    QCOMPARE(containsAny(text, tokens), expected);
}

void TestMessageFilter::keywordListsAreExact()
{
    // A word dropped or added here silently changes what a preset shows.
    QCOMPARE(requestWords(), (QStringList{"需要", "麻烦", "尽快", "截止", "请于", "流程到达", "待处理",
                                          "待确认", "待回复", "确认", "安排", "处理", "提交", "回复"}));
    QCOMPARE(noReplyWords(), (QStringList{"无需回复", "不用回复", "无需回", "不用回", "收到即可"}));
    QCOMPARE(broadcastWords(), (QStringList{"@所有人", "@全体", "所有人", "全体", "通知", "公告"}));
    QCOMPARE(questionWords(), (QStringList{"吗", "？", "?", "是否", "有没有", "要不要"}));
    QCOMPARE(meetingWords(), (QStringList{"会议", "开会", "参会", "与会", "例会", "纪要", "议程", "会议室",
                                          "腾讯会议", "飞书会议", "参会名单"}));
    QCOMPARE(followUpWords(),
             (QStringList{"稍后", "跟进", "催", "提醒", "确认", "核实", "待处理", "待确认", "待回复"}));
}

void TestMessageFilter::sourceFilter_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("all keeps every source, absent included") << "all" << QStringList{"甲", "乙", "丙", "丁"};
    QTest::newRow("wecom drops absent and wechat") << "wecom" << QStringList{"乙"};
    QTest::newRow("wechat drops absent and others") << "wechat" << QStringList{"甲"};
    QTest::newRow("exact, case-sensitive") << "WeCom" << QStringList{"丁"};
}

void TestMessageFilter::sourceFilter()
{
    QFETCH(QString, target);
    QFETCH(QStringList, expected);
    const QList<BridgeEvent> events{message("甲", "wechat"), message("乙", "wecom"),
                                    message("丙", std::nullopt), message("丁", "WeCom")};
    QCOMPARE(contentsOf(filteredEvents(events, std::nullopt, MessageListPreset::All, target, QString())),
             expected);
}

void TestMessageFilter::presetOnText_data()
{
    QTest::addColumn<MessageListPreset>("preset");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    const auto todo = MessageListPreset::Todo;
    QTest::newRow("todo: request word") << todo << "麻烦明天提交周报" << true;
    QTest::newRow("todo: no request word") << todo << "今天天气不错" << false;
    QTest::newRow("todo: no-reply words win") << todo << "收到即可，请确认" << false;
    QTest::newRow("todo: 无需回 wins") << todo << "已安排，无需回" << false;
    QTest::newRow("todo: broadcast without question") << todo << "@所有人 通知：明天提交周报" << false;
    QTest::newRow("todo: broadcast with full-width question mark")
        << todo << "@所有人 明天能否提交？" << true;
    QTest::newRow("todo: broadcast with ascii question mark") << todo << "公告 需要确认?" << true;
    QTest::newRow("todo: broadcast with 是否") << todo << "全体同事是否已提交" << true;
    QTest::newRow("todo: 不需回复 is no no-reply word") << todo << "请确认，不需回复" << true;
    QTest::newRow("todo: question alone is no request") << todo << "吃了吗？" << false;

    const auto later = MessageListPreset::FollowUp;
    QTest::newRow("followUp: 跟进") << later << "这个需求你跟进一下" << true;
    QTest::newRow("followUp: 催") << later << "财务在催报销" << true;
    QTest::newRow("followUp: 核实") << later << "请核实数据" << true;
    QTest::newRow("followUp: 待回复") << later << "客户待回复" << true;
    QTest::newRow("followUp: no-reply words do not matter") << later << "收到即可，稍后看" << true;
    QTest::newRow("followUp: request word only") << later << "需要提交报告" << false;

    const auto meeting = MessageListPreset::Meeting;
    QTest::newRow("meeting: 腾讯会议") << meeting << "腾讯会议号 123" << true;
    QTest::newRow("meeting: 纪要") << meeting << "纪要已发" << true;
    QTest::newRow("meeting: Zoom alone") << meeting << "Zoom 链接稍后发" << false;
    QTest::newRow("meeting: plain text") << meeting << "午饭吃什么" << false;

    QTest::newRow("all: anything") << MessageListPreset::All << "随便一句" << true;

    // The core's sorting decides over the keywords; only 全部 shows scams and excluded messages.
    const auto important = MessageListPreset::Important;
    QTest::newRow("sorted todo without request word") << todo << "[todo]报价单今天下班前发我" << true;
    QTest::newRow("sorted non-todo with request words") << todo << "[]尽快脱单啊兄弟们，需要确认" << false;
    QTest::newRow("sorted todo done") << todo << "[todo done]麻烦提交周报" << false;
    QTest::newRow("scam never a todo") << todo << "[todo suspicious]请立即点击链接输入银行卡号" << false;
    QTest::newRow("excluded never a todo") << todo << "[todo excluded]领取优惠券，尽快处理" << false;
    QTest::newRow("sorted follow-up") << later << "[follow_up]我周五前把方案发你" << true;
    QTest::newRow("sorted non-follow-up with 跟进") << later << "[todo]这个需求你跟进一下" << false;
    QTest::newRow("sorted important") << important << "[important]服务器宕机，客户投诉" << true;
    QTest::newRow("scam never important") << important << "[important suspicious]账户异常" << false;
    QTest::newRow("sorted meeting without meeting word")
        << meeting << "[meeting]下周一客户来访，你参加" << true;
    QTest::newRow("done meeting still a meeting") << meeting << "[meeting done]周三例会" << true;
    QTest::newRow("fraud mentioning 开会 is no meeting")
        << meeting << "[suspicious]我在开会不方便接电话，急需转一笔款" << false;
    QTest::newRow("all: excluded") << MessageListPreset::All << "[excluded]领取优惠券" << true;
}

void TestMessageFilter::presetOnText()
{
    QFETCH(MessageListPreset, preset);
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(matchesPreset(sortedMessage(text, QStringLiteral("普通群")), preset, std::nullopt), expected);
    // The list agrees with the single test.
    QCOMPARE(
        filteredEvents({sortedMessage(text, QStringLiteral("群A"))}, std::nullopt, preset, "all", QString())
            .size(),
        expected ? 1 : 0);
}

void TestMessageFilter::meetingThroughSessionName_data()
{
    QTest::addColumn<std::optional<QString>>("session");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    QTest::newRow("session 项目例会群") << std::optional<QString>("项目例会群") << "今天谁带电脑" << true;
    QTest::newRow("ordinary session") << std::optional<QString>("项目群") << "今天谁带电脑" << false;
    QTest::newRow("absent session, text") << std::optional<QString>() << "下午开会" << true;
    QTest::newRow("absent session, no word") << std::optional<QString>() << "今天谁带电脑" << false;
}

void TestMessageFilter::meetingThroughSessionName()
{
    QFETCH(std::optional<QString>, session);
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(matchesPreset(message(text, "wecom", session), MessageListPreset::Meeting, std::nullopt),
             expected);
}

void TestMessageFilter::importantWithHighlights_data()
{
    QTest::addColumn<QList<HighlightSnapshot>>("highlights");
    QTest::addColumn<QStringList>("expected");

    // Loaded messages: "A" (群A/张三), "B" (群A/absent sender), "C" (absent session/李四), "@所有人 通知",
    // and, sorted by the core as neither important nor anything else, "D" and the scam "E" (群C/钱七).
    QTest::newRow("exact equality") << QList<HighlightSnapshot>{highlight("群A", "张三", "A")}
                                    << QStringList{"A"};
    QTest::newRow("content must be exact")
        << QList<HighlightSnapshot>{highlight("群A", "张三", "A ")} << QStringList{};
    QTest::newRow("sender differs") << QList<HighlightSnapshot>{highlight("群A", "王五", "A")}
                                    << QStringList{};
    QTest::newRow("absent sender equals absent")
        << QList<HighlightSnapshot>{highlight("群A", std::nullopt, "B")} << QStringList{"B"};
    QTest::newRow("present sender never equals absent")
        << QList<HighlightSnapshot>{highlight("群A", "张三", "B")} << QStringList{};
    QTest::newRow("empty sender is not absent")
        << QList<HighlightSnapshot>{highlight("群A", "", "B")} << QStringList{};
    QTest::newRow("absent session equals absent")
        << QList<HighlightSnapshot>{highlight(std::nullopt, "李四", "C")} << QStringList{"C"};
    QTest::newRow("highlight without content matches nothing")
        << QList<HighlightSnapshot>{highlight("群A", std::nullopt, std::nullopt)} << QStringList{};
    QTest::newRow("no keyword test: a broadcast highlight shows")
        << QList<HighlightSnapshot>{highlight("群B", "赵六", "@所有人 通知")} << QStringList{"@所有人 通知"};
    QTest::newRow("none matching: empty")
        << QList<HighlightSnapshot>{highlight("别的群", "别人", "别的话")} << QStringList{};
    QTest::newRow("several, order of messages")
        << QList<HighlightSnapshot>{highlight(std::nullopt, "李四", "C"), highlight("群A", "张三", "A")}
        << QStringList{"A", "C"};
    QTest::newRow("sorted: a highlight is important too")
        << QList<HighlightSnapshot>{highlight("群C", "钱七", "D")} << QStringList{"D"};
    QTest::newRow("sorted: a scam never, highlighted or not")
        << QList<HighlightSnapshot>{highlight("群C", "钱七", "E")} << QStringList{};
}

void TestMessageFilter::importantWithHighlights()
{
    QFETCH(QList<HighlightSnapshot>, highlights);
    QFETCH(QStringList, expected);
    const QList<BridgeEvent> events{
        message("A", "wechat", "群A", "张三"),
        message("B", "wechat", "群A", std::nullopt),
        message("C", "wecom", std::nullopt, "李四"),
        message("@所有人 通知", "wecom", "群B", "赵六"),
        chatfixtures::sortedAs(message("D", "wecom", "群C", "钱七"), ""),
        chatfixtures::sortedAs(message("E", "wecom", "群C", "钱七"), "suspicious")};
    const auto state = stateWithHighlights(highlights);
    QCOMPARE(contentsOf(filteredEvents(events, state, MessageListPreset::Important, "all", QString())),
             expected);
    for (const BridgeEvent& e : events)
        QCOMPARE(matchesPreset(e, MessageListPreset::Important, state),
                 expected.contains(e.displayContent()));
}

void TestMessageFilter::importantFallsBackWithoutHighlights_data()
{
    QTest::addColumn<std::optional<BridgeStateResponse>>("state");

    QTest::newRow("no state") << std::optional<BridgeStateResponse>();
    QTest::newRow("no summary") << std::optional<BridgeStateResponse>(BridgeStateResponse{});
    QTest::newRow("absent highlights") << stateWithHighlights(std::nullopt);
    QTest::newRow("empty highlights") << stateWithHighlights(QList<HighlightSnapshot>{});
}

void TestMessageFilter::importantFallsBackWithoutHighlights()
{
    QFETCH(std::optional<BridgeStateResponse>, state);
    // The notice test alone: no request word needed, no-reply and bare broadcasts excluded.
    const QList<BridgeEvent> events{message("今天天气不错"), message("收到即可"),
                                    message("@所有人 通知：周五团建"), message("@全体 周五团建去吗")};
    QCOMPARE(contentsOf(filteredEvents(events, state, MessageListPreset::Important, "all", QString())),
             (QStringList{"今天天气不错", "@全体 周五团建去吗"}));
}

void TestMessageFilter::searchNarrows_data()
{
    QTest::addColumn<MessageListPreset>("preset");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");

    const auto all = MessageListPreset::All;
    QTest::newRow("blank query: no narrowing") << all << "all"
                                               << "  \t" << QStringList{"1", "2", "3", "4", "5"};
    QTest::newRow("by text") << all << "all"
                             << "周报" << QStringList{"1", "3"};
    QTest::newRow("by session name") << all << "all"
                                     << "产品" << QStringList{"2"};
    QTest::newRow("by sender name") << all << "all"
                                    << "Alice" << QStringList{"4"};
    QTest::newRow("case-insensitive") << all << "all"
                                      << "alice" << QStringList{"4"};
    QTest::newRow("full-width query finds ascii") << all << "all"
                                                  << "ＡＢＣ" << QStringList{"5"};
    QTest::newRow("ascii query finds full-width") << all << "all"
                                                  << "xyz" << QStringList{"3"};
    QTest::newRow("trimmed") << all << "all"
                             << " 周报 " << QStringList{"1", "3"};
    QTest::newRow("with source") << all << "wecom"
                                 << "周报" << QStringList{"3"};
    QTest::newRow("with preset") << MessageListPreset::Todo << "all"
                                 << "周报" << QStringList{"1"};
    QTest::newRow("preset, source and query") << MessageListPreset::Todo << "wecom"
                                              << "周报" << QStringList{};
    QTest::newRow("nothing") << all << "all"
                             << "不存在的词" << QStringList{};
    QTest::newRow("every word, in any order") << all << "all"
                                              << "文档 周报" << QStringList{"3"};
    QTest::newRow("one word missing") << all << "all"
                                      << "周报 天气" << QStringList{};
    QTest::newRow("words in different fields") << all << "all"
                                               << "alice\t部门群  好的" << QStringList{"4"};
}

void TestMessageFilter::searchNarrows()
{
    QFETCH(MessageListPreset, preset);
    QFETCH(QString, target);
    QFETCH(QString, query);
    QFETCH(QStringList, expected);

    auto tagged = [](const QString& tag, const QString& text, const QString& targetName,
                     const QString& session, const QString& sender) {
        BridgeEvent e = message(text, targetName, session, sender);
        e.eventId = tag.toLongLong();
        return e;
    };
    const QList<BridgeEvent> events{
        tagged("1", "麻烦提交周报", "wechat", "部门群", "张三"),
        tagged("2", "今天天气不错", "wechat", "产品讨论", "李四"),
        tagged("3", "周报模板见 ＸＹＺ 文档", "wecom", "部门群", "王五"),
        tagged("4", "好的", "wecom", "部门群", "ALICE"),
        tagged("5", "项目 abc 上线", "wechat", "部门群", "赵六"),
    };
    QStringList ids;
    for (const BridgeEvent& e : filteredEvents(events, std::nullopt, preset, target, query))
        ids << e.stableId();
    QCOMPARE(ids, expected);
}

void TestMessageFilter::searchKeyOfLongText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // normalised and folded as a whole

    // Long texts are normalised piece by piece; these characters join or reorder across a cut
    // placed anywhere else: conjoining and compatibility jamo, half-width voiced marks, marks.
    const QString joining = QStringLiteral("…ｶﾞㄱㅏ가\u11a8ﬃe\u0316\u0301Ａ会");
    const QString text = joining.repeated(100);
    QTest::newRow("pieces") << text << text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    for (int shift = 1; shift < joining.size(); ++shift)
        QTest::addRow("pieces, shifted %d", shift)
            << text.mid(shift) << text.mid(shift).normalized(QString::NormalizationForm_KC).toCaseFolded();
    // Beyond 30 marks in a row the rest of the run is left out.
    QTest::newRow("stacked marks") << QStringLiteral("a") + QString(100, QChar(0x0301)) + QStringLiteral("b")
                                   << (QStringLiteral("a") + QString(30, QChar(0x0301)) + QStringLiteral("b"))
                                          .normalized(QString::NormalizationForm_KC);
}

void TestMessageFilter::searchKeyOfLongText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(searchKey(text), expected);
}

// The core searches the whole week by the same rule; both read these cases (the core's test is
// test_msgrelay_capture), so the same query finds the same messages in both.
void TestMessageFilter::searchRuleSharedWithCore_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("matches");
    QFile file(QStringLiteral(RAZO_FIXTURES_DIR "/search/rule.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray cases = QJsonDocument::fromJson(file.readAll()).object().value("cases").toArray();
    QVERIFY(cases.size() >= 10);
    for (const QJsonValue& c : cases) {
        const QJsonArray row = c.toArray();
        QTest::addRow("%s / %s", qPrintable(row[0].toString()), qPrintable(row[1].toString()))
            << row[0].toString() << row[1].toString() << row[2].toBool();
    }
}

void TestMessageFilter::searchRuleSharedWithCore()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QFETCH(bool, matches);
    // The chat and sender of the core's test messages.
    QCOMPARE(matchesSearch(message(text, "wechat", "项目群", "张三"), searchKeys(query)), matches);
}

void TestMessageFilter::searchMatchRanges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QList<TextRange>>("expected");

    QTest::newRow("blank") << "abc"
                           << " " << QList<TextRange>{};
    QTest::newRow("none") << "abc"
                          << "x" << QList<TextRange>{};
    QTest::newRow("case") << "xABCx abc"
                          << "abc" << QList<TextRange>{{1, 3}, {6, 3}};
    QTest::newRow("full-width text") << "看ＡＢＣ文档"
                                     << "abc" << QList<TextRange>{{1, 3}};
    QTest::newRow("chinese") << "请提交周报，周报截止"
                             << "周报" << QList<TextRange>{{3, 2}, {6, 2}};
    QTest::newRow("expanding compatibility form") << "5㎏重"
                                                  << "kg" << QList<TextRange>{{1, 1}};
    QTest::newRow("outside the BMP") << "𝐀b"
                                     << "ab" << QList<TextRange>{{0, 3}};
    QTest::newRow("every word, in text order") << "合同今天下午签名"
                                               << "签名 今天" << QList<TextRange>{{2, 2}, {6, 2}};
    QTest::newRow("overlapping words joined") << "xabcdx"
                                              << "bcd abc" << QList<TextRange>{{1, 4}};
}

void TestMessageFilter::searchMatchRanges()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QFETCH(QList<TextRange>, expected);
    QCOMPARE(searchMatches(text, query), expected);
}

void TestMessageFilter::orderIsKept()
{
    QList<BridgeEvent> events;
    for (int i = 0; i < 20; ++i)
        events << message(QStringLiteral("需要处理 %1").arg(19 - i));
    const QList<BridgeEvent> shown =
        filteredEvents(events, std::nullopt, MessageListPreset::Todo, "all", QString());
    QCOMPARE(shown, events);
}

QTEST_GUILESS_MAIN(TestMessageFilter)
#include "tst_messagefilter.moc"
