#include "FakeHttpServer.h"
#include "StoreTestKit.h"
#include "store/BridgeStore.h"
#include "ui/common/MiniSpinner.h"
#include "ui/messages/MessagesView.h"
#include "ui/overview/AISummaryCard.h"
#include "ui/overview/CardTitleRow.h"
#include "ui/overview/DashboardCircleButton.h"
#include "ui/overview/DashboardGrid.h"
#include "ui/overview/DashboardIconButton.h"
#include "ui/overview/DashboardRowButton.h"
#include "ui/overview/DashboardTopBar.h"
#include "ui/overview/ImportantMessagesCard.h"
#include "ui/overview/MiniInsightCard.h"
#include "ui/overview/MoreRowsButton.h"
#include "ui/overview/OverviewView.h"
#include "ui/overview/TaskCompleteButton.h"
#include "ui/overview/TodoCard.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTest>

#include <QCoroTask>

namespace {

QByteArray stateWith(const QJsonObject& summary)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("summary"), summary}}).toJson(QJsonDocument::Compact);
}

QJsonArray texts(const QStringList& list)
{
    return QJsonArray::fromStringList(list);
}

QStringList numbered(const QString& stem, int n)
{
    QStringList out;
    for (int i = 1; i <= n; ++i)
        out.append(stem + QString::number(i));
    return out;
}

// A store whose core is a FakeHttpServer; the view is built on it.
struct Harness
{
    FakeHttpServer server;
    storetestkit::Fixture fixture;
    std::unique_ptr<OverviewView> view;

    Harness()
    {
        storetestkit::serveHealthyCore(server);
        fixture = storetestkit::makeStore(server.baseUrl());
        view = std::make_unique<OverviewView>(store());
        view->resize(1100, 900);
    }
    BridgeStore* store() const { return fixture.store.get(); }
    DashboardGrid* grid() const { return view->grid(); }

    void serve(const QJsonObject& summary, const QStringList& events = {})
    {
        server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::json(stateWith(summary)));
        server.reply("GET", QStringLiteral("/api/events"),
                     FakeHttpServer::json(storetestkit::eventsBody(events)));
    }
    // One refresh, then one turn of the event loop for the deferred recompute.
    void refresh()
    {
        QCoro::waitFor(store()->refreshAll());
        QCoreApplication::processEvents();
    }
};

int visibleRows(const TodoCard* card)
{
    int n = 0;
    for (int i = 0; i < TodoCard::kVisibleRows; ++i)
        n += card->rowButton(i)->isVisibleTo(card) ? 1 : 0;
    return n;
}

} // namespace

class TestOverview : public QObject
{
    Q_OBJECT

private slots:
    void todoRowsAndMoreButton_data();
    void todoRowsAndMoreButton();
    void completingTasksShowSpinnersAndAreDisabled();
    void completeButtonSendsTheRawText();
    void statusLineRefreshingBeatsError();
    void beforeTheFirstLoad();
    void importantRow_data();
    void importantRow();
    void smallCardWithEqualRows();
    void clickOpensTimeline_data();
    void clickOpensTimeline();
    void layoutMatchesTheDashboard();
};

void TestOverview::todoRowsAndMoreButton_data()
{
    QTest::addColumn<int>("todos");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("more");      // -1: no MoreRowsButton
    QTest::addColumn<int>("coreCount"); // the digest's to-do count; -1: an older core sends none
    QTest::newRow("none") << 0 << 0 << -1 << -1;
    QTest::newRow("exactly 4") << 4 << 4 << -1 << -1;
    QTest::newRow("5") << 5 << 4 << 1 << -1;
    QTest::newRow("6 (the most the derivation gives)") << 6 << 4 << 2 << -1;
    QTest::newRow("6 of the core's 16") << 6 << 4 << 12 << 16;
}

void TestOverview::todoRowsAndMoreButton()
{
    QFETCH(int, todos);
    QFETCH(int, rows);
    QFETCH(int, more);
    QFETCH(int, coreCount);

    Harness h;
    QJsonObject summary{{"action_items", texts(numbered(QStringLiteral("待办"), todos))}};
    if (coreCount >= 0)
        summary.insert(
            "counts",
            QJsonObject{
                {"todo", coreCount}, {"follow_up", 0}, {"important", 0}, {"meeting", 0}, {"needs_you", 21}});
    h.serve(summary, {"消息一", "消息二"});
    h.refresh();

    const TodoCard* card = h.grid()->todoCard();
    QCOMPARE(visibleRows(card), rows);
    const int count = coreCount >= 0 ? coreCount : todos;
    QCOMPARE(card->titleRow()->count(), count);
    QCOMPARE(
        h.grid()->summaryCard()->digestTexts().first(),
        QStringLiteral("你有 %1 件待处理事项，其中 %2 件适合今天推进。").arg(count).arg(std::min(count, 3)));
    QCOMPARE(h.grid()->summaryCard()->digestTexts().at(1),
             QStringLiteral("有 %1 条最近消息需要关注。").arg(coreCount >= 0 ? 21 : 2));
    QCOMPARE(card->moreButton()->isVisibleTo(card), more >= 0);
    if (more >= 0) {
        QCOMPARE(card->moreButton()->count(), more);
        QCOMPARE(card->moreButton()->text(), QStringLiteral("更多 %1 条").arg(more));
    }
    const bool empty = todos == 0;
    QCOMPARE(card->emptyLine()->isVisibleTo(card), empty);
    if (empty) {
        QCOMPARE(card->emptyLine()->findChild<QLabel*>(QStringLiteral("todoEmptyText"))->text(),
                 QStringLiteral("当前没有待处理事项"));
        // The digest counts the empty list as 0 twice; the suggestions fall back.
        QCOMPARE(h.grid()->summaryCard()->digestTexts().first(),
                 QStringLiteral("你有 0 件待处理事项，其中 0 件适合今天推进。"));
        QCOMPARE(h.grid()->summaryCard()->suggestionTexts(),
                 (QStringList{"先刷新消息，再查看最近重点", "确认微信和企业微信读取规则"}));
    }
}

void TestOverview::completingTasksShowSpinnersAndAreDisabled()
{
    Harness h;
    h.serve({{"action_items", texts({"甲", "乙", "丙", "丁"})}});
    h.refresh();
    // The core answers only after a while, so both completions are in flight together.
    h.server.reply("POST", QStringLiteral("/api/tasks/complete"),
                   FakeHttpServer::json(QByteArray(R"({"ok":true})")).delayed(400));
    auto first = h.store()->completeTask(QStringLiteral("甲"), QStringLiteral("甲"));
    auto third = h.store()->completeTask(QStringLiteral("丙"), QStringLiteral("丙"));
    QCoreApplication::processEvents();

    const TodoCard* card = h.grid()->todoCard();
    for (int i = 0; i < 4; ++i) {
        const bool busy = i == 0 || i == 2;
        TaskCompleteButton* button = card->completeButton(i);
        QCOMPARE(button->isCompleting(), busy);
        QCOMPARE(button->isEnabled(), !busy);
        QCOMPARE(button->findChild<MiniSpinner*>()->isVisibleTo(button), busy);
        QVERIFY(card->rowButton(i)->isEnabled()); // the row itself still opens the timeline
    }
    QCoro::waitFor(std::move(first));
    QCoro::waitFor(std::move(third));
    QCoreApplication::processEvents();
    for (int i = 0; i < 4; ++i)
        QVERIFY(card->completeButton(i)->isEnabled());
}

void TestOverview::completeButtonSendsTheRawText()
{
    Harness h;
    const QString raw = QStringLiteral("企业微信｜项目群｜张三 (2024-05-01T10:00:00+08:00)：请明天提交");
    h.serve({{"action_items", texts({raw})}});
    h.refresh();
    h.server.reply("POST", QStringLiteral("/api/tasks/complete"),
                   FakeHttpServer::json(QByteArray(R"({"ok":true})")));
    const TodoCard* card = h.grid()->todoCard();
    QCOMPARE(card->rowButton(0)->mainText(), QStringLiteral("请明天提交"));
    QCOMPARE(card->rowButton(0)->trailingText(), QStringLiteral("明天"));

    QTest::mouseClick(card->completeButton(0), Qt::LeftButton);
    QTRY_COMPARE(h.server.requests(QStringLiteral("/api/tasks/complete")).size(), 1);
    QCOMPARE(
        h.server.requests(QStringLiteral("/api/tasks/complete")).first().json().value("item_text").toString(),
        raw);
    QTRY_VERIFY(h.store()->completingTaskIds().isEmpty());
}

void TestOverview::statusLineRefreshingBeatsError()
{
    Harness h;
    DashboardTopBar* bar = h.view->topBar();
    QCOMPARE(bar->statusText(), QStringLiteral("本地监听运行中，重点消息会自动进入工作台"));

    h.server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::Action::reply(500, "boom"));
    QCoro::waitFor(h.store()->refreshAll());
    QVERIFY(!h.store()->lastError().isEmpty());
    QCOMPARE(bar->statusText(), QStringLiteral("需要检查：") + h.store()->lastError());

    // While the next refresh runs, the refresh wins over the error still on record.
    h.server.reply("GET", QStringLiteral("/api/state"),
                   FakeHttpServer::json(storetestkit::stateBody()).delayed(300));
    auto refresh = h.store()->refreshAll();
    QVERIFY(h.store()->isRefreshing());
    QCoreApplication::processEvents();
    QCOMPARE(bar->statusText(), QStringLiteral("正在更新本地消息和摘要"));
    // The summary's refresh button spins but stays clickable.
    DashboardCircleButton* refreshButton = h.grid()->summaryCard()->refreshButton();
    QVERIFY(refreshButton->isBusy());
    QVERIFY(refreshButton->isEnabled());
    QCoro::waitFor(std::move(refresh));
    QCoreApplication::processEvents();
    QVERIFY(!refreshButton->isBusy());
}

void TestOverview::beforeTheFirstLoad()
{
    // No state and no messages yet: every count is 0 and every card shows its placeholder.
    Harness h;
    QCoreApplication::processEvents();
    QVERIFY(!h.store()->state().has_value());
    QCOMPARE(h.grid()->summaryCard()->digestTexts(),
             (QStringList{"你有 0 件待处理事项，其中 0 件适合今天推进。", "有 0 条最近消息需要关注。",
                          "还有 0 件稍后处理的事项。"}));
    QVERIFY(h.grid()->todoCard()->emptyLine()->isVisibleTo(h.grid()->todoCard()));
    QCOMPARE(h.grid()->followUpCard()->rowButton(0)->mainText(), QStringLiteral("最近没有明确稍后处理事项"));
    QCOMPARE(h.grid()->followUpCard()->titleRow()->count(), 0);
    QVERIFY(!h.grid()->importantCard()->rowButton(0)->isVisibleTo(h.grid()->importantCard()));
}

void TestOverview::importantRow_data()
{
    QTest::addColumn<QJsonObject>("event");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("time");
    QTest::newRow("sender name") << QJsonObject{{"sender_name", "张三"},
                                                {"content", "你好"},
                                                {"sent_at", "09:30"}}
                                 << "张三"
                                 << "你好"
                                 << "09:30";
    QTest::newRow("empty sender: client label")
        << QJsonObject{{"sender_name", ""}, {"chat_target", "wecom"}, {"content", "x"}} << "企业微信"
        << "x"
        << "";
    QTest::newRow("absent sender, unknown client")
        << QJsonObject{{"chat_target", "WeChat"}, {"content", "x"}} << "消息"
        << "x"
        << "";
    QTest::newRow("line breaks become spaces") << QJsonObject{{"sender_name", "李四"},
                                                              {"chat_target", "wechat"},
                                                              {"transcript", "第一行\n第二行\r\n第三行"}}
                                               << "李四"
                                               << "第一行 第二行 第三行"
                                               << "";
}

void TestOverview::importantRow()
{
    QFETCH(QJsonObject, event);
    QFETCH(QString, sender);
    QFETCH(QString, text);
    QFETCH(QString, time);

    Harness h;
    h.server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::json(stateWith({})));
    const QByteArray events = QJsonDocument(QJsonObject{{"events", QJsonArray{event}}}).toJson();
    h.server.reply("GET", QStringLiteral("/api/events"), FakeHttpServer::json(events));
    h.refresh();

    const DashboardRowButton* row = h.grid()->importantCard()->rowButton(0);
    QVERIFY(row->isVisibleTo(h.grid()->importantCard()));
    QCOMPARE(row->leadingText(), sender);
    QCOMPARE(row->leadingWidth(), 76);
    QCOMPARE(row->mainText(), text);
    QCOMPARE(row->trailingText(), time);
}

void TestOverview::smallCardWithEqualRows()
{
    Harness h;
    h.serve({{"follow_ups", texts({"甲：回电话", "乙：回电话", "丙：回电话"})}});
    h.refresh();
    const MiniInsightCard* card = h.grid()->followUpCard();
    QCOMPARE(card->rowButton(0)->mainText(), QStringLiteral("回电话"));
    QCOMPARE(card->rowButton(1)->mainText(), QStringLiteral("回电话"));
    QVERIFY(card->moreButton()->isVisibleTo(card));
    QCOMPARE(card->moreButton()->count(), 1);
    QCOMPARE(card->titleRow()->count(), 3);

    // No meetings and no meeting message: the placeholder row, counted as 0.
    const MiniInsightCard* meetings = h.grid()->meetingCard();
    QCOMPARE(meetings->rowButton(0)->mainText(), QStringLiteral("还没有会议记录"));
    QCOMPARE(meetings->titleRow()->count(), 0);
    QVERIFY(!meetings->moreButton()->isVisibleTo(meetings));
}

void TestOverview::clickOpensTimeline_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("preset"); // empty: the preset is not touched
    QTest::addColumn<QString>("section");
    QTest::newRow("to-do title") << "todoTitleRow"
                                 << "todo"
                                 << "messages";
    QTest::newRow("to-do row") << "todoRow0"
                               << "todo"
                               << "messages";
    QTest::newRow("to-do more") << "todoMoreButton"
                                << "todo"
                                << "messages";
    QTest::newRow("important row") << "importantRow1"
                                   << "important"
                                   << "messages";
    QTest::newRow("meeting title") << "meetingTitleRow"
                                   << "meeting"
                                   << "messages";
    QTest::newRow("meeting row") << "meetingRow0"
                                 << "meeting"
                                 << "messages";
    QTest::newRow("follow-up more") << "followUpMoreButton"
                                    << "followUp"
                                    << "messages";
    QTest::newRow("summary: assistant") << "summaryAssistantButton"
                                        << ""
                                        << "chat";
    QTest::newRow("top bar: settings") << "dashboardSettingsButton"
                                       << ""
                                       << "settings";
    QTest::newRow("top bar: search") << "dashboardSearchButton"
                                     << "all"
                                     << "messages";
}

void TestOverview::clickOpensTimeline()
{
    QFETCH(QString, button);
    QFETCH(QString, preset);
    QFETCH(QString, section);

    Harness h;
    h.serve({{"action_items", texts(numbered("待办", 6))}, {"follow_ups", texts(numbered("稍后", 3))}},
            {"明天开会", "会议纪要", "三", "四", "五"});
    h.refresh();
    h.view->show();

    // Start away from every target preset so that each change shows up.
    h.store()->setMessageListPreset(preset == "all" ? MessageListPreset::Todo : MessageListPreset::All);
    QStringList order;
    connect(h.store(), &BridgeStore::messageListPresetChanged, this, [&] { order.append("preset"); });
    connect(h.store(), &BridgeStore::selectedSectionChanged, this, [&] { order.append("section"); });
    auto* target = h.view->findChild<QAbstractButton*>(button);
    QVERIFY2(target, qPrintable(button));
    QVERIFY(target->isVisible());
    QVERIFY(!target->objectName().isEmpty() && !target->accessibleName().isEmpty());
    QTest::mouseClick(target, Qt::LeftButton);

    QCOMPARE(order, preset.isEmpty() ? QStringList{"section"} : (QStringList{"preset", "section"}));
    if (!preset.isEmpty())
        QCOMPARE(messagepreset::rawValue(h.store()->messageListPreset()), preset);
    QCOMPARE(appsection::identifier(h.store()->selectedSection()), section);
    // Only the search button asks the timeline to focus its search field.
    QCOMPARE(MessagesView::searchFocusRequested(), button == QStringLiteral("dashboardSearchButton"));
    if (MessagesView::searchFocusRequested()) {
        MessagesView consumer(*h.store());
        consumer.show(); // the next timeline shown takes the request
    }
    QVERIFY(!MessagesView::searchFocusRequested());
}

void TestOverview::layoutMatchesTheDashboard()
{
    Harness h;
    auto message = [](const char* target, const char* session, const char* sender, const char* time,
                      const char* text) {
        return QJsonObject{{"chat_target", target},
                           {"session_name", session},
                           {"sender_name", sender},
                           {"sent_at", time},
                           {"content", text}};
    };
    const QJsonArray events{
        message("wecom", "产品评审群", "张三", "09:12", "明天 10:00 开会，记得带电脑"),
        message("wechat", "财务", "李四", "10:05", "报销单已经提交\n请查收"),
        message("wecom", "发布群", "", "11:40", "今晚上线，请各位留意告警"),
        message("wecom", "客户群", "王五", "13:20", "客户回复了，方案基本认可，预算需要再谈"),
        message("wechat", "家人", "妈妈", "18:02", "周末回家吃饭吗"),
    };
    h.server.reply(
        "GET", QStringLiteral("/api/state"),
        FakeHttpServer::json(stateWith(
            {{"total_messages", 128},
             {"action_items", texts({"提醒：明天上午提交周报",
                                     "企业微信｜项目群｜张三 (2024-05-01T10:00:00+08:00)：下午评审方案",
                                     "确认报销单", "回复客户邮件", "整理发票"})},
             {"follow_ups", texts({"王五：下周再看预算", "跟进合同"})},
             {"meeting_items", texts({"周会纪要：10 点开始", "季度评审"})}})));
    h.server.reply("GET", QStringLiteral("/api/events"),
                   FakeHttpServer::json(QJsonDocument(QJsonObject{{"events", events}}).toJson()));
    h.refresh();
    h.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.view.get()));

    const QWidget* content = h.view->widget();
    const QRect bar = h.view->topBar()->geometry();
    const QRect grid = h.grid()->geometry();
    QCOMPARE(bar.topLeft(), QPoint(28, 24));
    QCOMPARE(grid.top(), bar.bottom() + 1 + 18);
    QCOMPARE(grid.right(), content->width() - 28 - 1);

    const QWidget* summary = h.grid()->summaryCard();
    QCOMPARE(summary->width(), 285);
    QCOMPARE(summary->geometry().right(), grid.width() - 1);
    QVERIFY(summary->height() >= 402);
    const QWidget* todo = h.grid()->todoCard();
    QCOMPARE(todo->geometry().left(), 0);
    QCOMPARE(summary->geometry().left() - todo->geometry().right() - 1, 18);
    QCOMPARE(h.grid()->importantCard()->geometry().top(), todo->geometry().bottom() + 1 + 18);
    QVERIFY(h.grid()->meetingCard()->height() >= 104);
    // No card is squeezed below what its rows need (stale size hints once did that).
    for (const QWidget* card : std::initializer_list<const QWidget*>{todo, h.grid()->importantCard(),
                                                                     h.grid()->meetingCard(), summary})
        QVERIFY2(card->height() >= card->minimumSizeHint().height(), qPrintable(card->objectName()));
    QVERIFY(qAbs(h.grid()->meetingCard()->width() - h.grid()->followUpCard()->width()) <= 1);

    for (const QString& name :
         QStringList{"dashboardRefreshButton", "dashboardSearchButton", "dashboardSettingsButton"}) {
        const auto* b = h.view->findChild<DashboardIconButton*>(name);
        QCOMPARE(b->size(), QSize(34, 34));
        QVERIFY(!b->toolTip().isEmpty());
    }
    QCOMPARE(h.grid()->summaryCard()->assistantButton()->size(), QSize(38, 38));
    QCOMPARE(h.grid()->summaryCard()->refreshButton()->size(), QSize(32, 32));
    QCOMPARE(h.grid()->todoCard()->completeButton(0)->size(), QSize(28, 28));

    // Every button can be found and read out.
    for (const QAbstractButton* b : h.view->findChildren<QAbstractButton*>()) {
        if (b->isVisible())
            QVERIFY2(!b->objectName().isEmpty() && !b->accessibleName().isEmpty(),
                     qPrintable(b->objectName()));
    }

    // RAZO_OVERVIEW_PNG=<file> keeps a picture of the dashboard for a look by eye.
    const QString png = qEnvironmentVariable("RAZO_OVERVIEW_PNG");
    if (!png.isEmpty())
        QVERIFY(h.view->grab().save(png));
}

QTEST_MAIN(TestOverview)
#include "tst_overview.moc"
