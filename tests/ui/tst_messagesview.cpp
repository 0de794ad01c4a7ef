// The messages section against a store fed by a loopback stand-in for the core.
#include "FakeHttpServer.h"
#include "StoreTestKit.h"
#include "ViewProbes.h"
#include "ui/common/HeaderRow.h"
#include "ui/common/MainWindow.h"
#include "ui/common/SegmentButton.h"
#include "ui/common/SegmentedControl.h"
#include "ui/messages/EventListView.h"
#include "ui/messages/EventRowDelegate.h"
#include "ui/messages/MessagesView.h"
#include "ui/messages/logic/EventListModel.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <QCoroTask>

namespace {

struct Message
{
    int id;
    QString target; // empty: absent
    QString session;
    QString text;
    QJsonObject sorting = {}; // empty: none (an older core)
};

QByteArray eventsBody(const QList<Message>& messages)
{
    QJsonArray events;
    for (const Message& m : messages) {
        QJsonObject e{{QStringLiteral("id"), m.id},
                      {QStringLiteral("session_name"), m.session},
                      {QStringLiteral("sender_name"), QStringLiteral("张三")},
                      {QStringLiteral("sent_at"),
                       QStringLiteral("05-20 09:%1").arg(m.id % 60, 2, 10, QLatin1Char('0'))},
                      {QStringLiteral("content"), m.text}};
        if (!m.target.isEmpty())
            e.insert(QStringLiteral("chat_target"), m.target);
        if (!m.sorting.isEmpty())
            e.insert(QStringLiteral("sorting"), m.sorting);
        events.append(e);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("events"), events}}).toJson(QJsonDocument::Compact);
}

QByteArray stateBody(const QJsonArray& highlights = {})
{
    QJsonObject summary{{QStringLiteral("total_messages"), 3}};
    if (!highlights.isEmpty())
        summary.insert(QStringLiteral("highlights"), highlights);
    return QJsonDocument(QJsonObject{{QStringLiteral("summary"), summary}}).toJson(QJsonDocument::Compact);
}

const QList<Message> kMessages{
    {1, QStringLiteral("wechat"), QStringLiteral("家人群"), QStringLiteral("周末回家吃饭吗？")},
    {2, QStringLiteral("wecom"), QStringLiteral("项目例会群"), QStringLiteral("麻烦今天提交 ABC 周报")},
    {3, QString(), QStringLiteral("产品讨论"), QStringLiteral("这个需求我稍后跟进")},
};

} // namespace

class TestMessagesView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void headingFollowsPreset_data();
    void headingFollowsPreset();
    void presetControlWritesStore();
    void emptyStateWhenNothingPasses_data();
    void emptyStateWhenNothingPasses();
    void emptyStateSaysWhy_data();
    void emptyStateSaysWhy();
    void sourceFilterResetsWhenViewIsRecreated();
    void searchNarrowsAndIsLocal();
    void searchReachesTheWeekThroughTheCore();
    void selectionSurvivesRefreshWithNewTopMessage();
    void scrolledListKeepsTopMessageInPlace_data();
    void scrolledListKeepsTopMessageInPlace();
    void rowsExposeTheirText();
    void ctrlFFocusesSearchField();
    void requestedSearchFocusIsTakenOnShow();
    void windowOpensSectionWithSearchFocused();
    void showMessageSelectsTheRow_data();
    void showMessageSelectsTheRow();

private:
    void serve(const QList<Message>& messages, const QByteArray& state = stateBody());
    void refresh();

    std::unique_ptr<FakeHttpServer> m_server;
    storetestkit::Fixture m_fixture;
};

void TestMessagesView::init()
{
    m_server = std::make_unique<FakeHttpServer>();
    m_fixture = storetestkit::makeStore(m_server->baseUrl());
    serve(kMessages);
    refresh();
}

void TestMessagesView::cleanup()
{
    m_fixture = {};
    m_server.reset();
}

void TestMessagesView::serve(const QList<Message>& messages, const QByteArray& state)
{
    m_server->reply("GET", QStringLiteral("/api/auth/status"), FakeHttpServer::json(R"({"ok":true})"));
    m_server->reply("GET", QStringLiteral("/api/state"), FakeHttpServer::json(state));
    m_server->reply("GET", QStringLiteral("/api/events"), FakeHttpServer::json(eventsBody(messages)));
}

void TestMessagesView::refresh()
{
    QCoro::waitFor(m_fixture.store->refreshAll());
}

void TestMessagesView::headingFollowsPreset_data()
{
    QTest::addColumn<MessageListPreset>("preset");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("all") << MessageListPreset::All << "最近 7 天消息" << QStringList{"1", "2", "3"};
    QTest::newRow("todo") << MessageListPreset::Todo << "待处理消息" << QStringList{"2"};
    QTest::newRow("important") << MessageListPreset::Important << "重要消息" << QStringList{"1", "2", "3"};
    QTest::newRow("meeting") << MessageListPreset::Meeting << "会议相关" << QStringList{"2"};
    QTest::newRow("followUp") << MessageListPreset::FollowUp << "稍后处理" << QStringList{"3"};
}

void TestMessagesView::headingFollowsPreset()
{
    QFETCH(MessageListPreset, preset);
    QFETCH(QString, heading);
    QFETCH(QStringList, shown);

    MessagesView view(*m_fixture.store);
    m_fixture.store->setMessageListPreset(preset);
    QCOMPARE(view.findChild<HeaderRow*>()->title(), heading);
    auto* control = view.findChild<SegmentedControl*>(QStringLiteral("messagesPresetControl"));
    QCOMPARE(control->currentValue(), messagepreset::rawValue(preset));
    QCOMPARE(shownIds(view), shown);

    // A view created while the preset is set starts on it (the dashboard opens it that way).
    MessagesView fresh(*m_fixture.store);
    QCOMPARE(fresh.findChild<HeaderRow*>()->title(), heading);
    QCOMPARE(shownIds(fresh), shown);
}

void TestMessagesView::presetControlWritesStore()
{
    MessagesView view(*m_fixture.store);
    auto* control = view.findChild<SegmentedControl*>(QStringLiteral("messagesPresetControl"));
    QCOMPARE(control->accessibleName(), QStringLiteral("分类"));
    QCOMPARE(control->options().size(), 5);
    QSignalSpy changed(m_fixture.store.get(), &BridgeStore::messageListPresetChanged);
    control->segment(3)->click();
    QCOMPARE(m_fixture.store->messageListPreset(), MessageListPreset::Meeting);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(view.findChild<HeaderRow*>()->title(), QStringLiteral("会议相关"));
}

void TestMessagesView::emptyStateWhenNothingPasses_data()
{
    QTest::addColumn<QList<Message>>("messages");
    QTest::addColumn<QByteArray>("state");
    QTest::addColumn<MessageListPreset>("preset");
    QTest::addColumn<bool>("empty");

    const QJsonObject other{{QStringLiteral("session_name"), QStringLiteral("别的群")},
                            {QStringLiteral("content"), QStringLiteral("别的话")}};
    const QJsonObject equal{{QStringLiteral("session_name"), QStringLiteral("家人群")},
                            {QStringLiteral("sender_name"), QStringLiteral("张三")},
                            {QStringLiteral("content"), QStringLiteral("周末回家吃饭吗？")}};
    QTest::newRow("no messages") << QList<Message>{} << stateBody() << MessageListPreset::All << true;
    QTest::newRow("messages") << kMessages << stateBody() << MessageListPreset::All << false;
    QTest::newRow("highlights, none equal")
        << kMessages << stateBody({other}) << MessageListPreset::Important << true;
    QTest::newRow("highlights, one equal")
        << kMessages << stateBody({other, equal}) << MessageListPreset::Important << false;
}

void TestMessagesView::emptyStateWhenNothingPasses()
{
    QFETCH(QList<Message>, messages);
    QFETCH(QByteArray, state);
    QFETCH(MessageListPreset, preset);
    QFETCH(bool, empty);

    MessagesView view(*m_fixture.store);
    m_fixture.store->setMessageListPreset(preset);
    serve(messages, state);
    refresh(); // the view follows the store's refresh
    QCOMPARE(view.isShowingEmptyState(), empty);
    QCOMPARE(view.shownEvents().isEmpty(), empty);
    if (empty) {
        QVERIFY(view.findChild<QLabel*>(QStringLiteral("emptyMessageTitle")));
        QCOMPARE(view.findChild<QLabel*>(QStringLiteral("emptyMessageTitle"))->text(),
                 QStringLiteral("还没有消息"));
    }
}

void TestMessagesView::emptyStateSaysWhy_data()
{
    QTest::addColumn<QList<Message>>("messages");
    QTest::addColumn<MessageListPreset>("preset");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("searching");

    QTest::newRow("search finds nothing") << kMessages << MessageListPreset::All << "没有这句" << true;
    QTest::newRow("search within a preset") << kMessages << MessageListPreset::Todo << "家人" << true;
    QTest::newRow("search, no messages") << QList<Message>{} << MessageListPreset::All << "周报" << true;
    QTest::newRow("blank search") << QList<Message>{} << MessageListPreset::All << "  " << false;
    QTest::newRow("no search") << QList<Message>{} << MessageListPreset::Meeting << "" << false;
}

// A search that finds nothing says so; it does not claim that no messages arrived.
void TestMessagesView::emptyStateSaysWhy()
{
    QFETCH(QList<Message>, messages);
    QFETCH(MessageListPreset, preset);
    QFETCH(QString, query);
    QFETCH(bool, searching);

    serve(messages);
    refresh();
    m_fixture.store->setMessageListPreset(preset);
    MessagesView view(*m_fixture.store);
    view.findChild<QLineEdit*>(QStringLiteral("messagesSearchField"))->setText(query);
    QVERIFY(view.isShowingEmptyState());
    const QString title = searching ? QStringLiteral("没有找到匹配的消息") : QStringLiteral("还没有消息");
    const QString hint = searching
                             ? QStringLiteral("换个关键词，或清空搜索框。")
                             : QStringLiteral("保持电脑端运行，新的微信和企业微信消息会自动出现在这里。");
    QCOMPARE(view.findChild<QLabel*>(QStringLiteral("emptyMessageTitle"))->text(), title);
    QCOMPARE(view.findChild<QLabel*>(QStringLiteral("emptyMessageHint"))->text(), hint);
    QCOMPARE(view.findChild<QWidget*>(QStringLiteral("emptyMessageState"))->accessibleName(), title);
}

void TestMessagesView::sourceFilterResetsWhenViewIsRecreated()
{
    m_fixture.store->setMessageListPreset(MessageListPreset::All);
    {
        MessagesView view(*m_fixture.store);
        auto* source = view.findChild<SegmentedControl*>(QStringLiteral("messagesSourceControl"));
        QCOMPARE(source->accessibleName(), QStringLiteral("来源"));
        source->segment(2)->click(); // 企业微信
        QCOMPARE(view.targetFilter(), QStringLiteral("wecom"));
        QCOMPARE(shownIds(view), QStringList{"2"}); // absent and wechat targets drop out
        source->segment(1)->click();                // 微信
        QCOMPARE(shownIds(view), QStringList{"1"});
    }
    MessagesView again(*m_fixture.store);
    QCOMPARE(again.targetFilter(), QStringLiteral("all"));
    QCOMPARE(again.findChild<SegmentedControl*>(QStringLiteral("messagesSourceControl"))->currentValue(),
             QStringLiteral("all"));
    QCOMPARE(shownIds(again), (QStringList{"1", "2", "3"}));
}

void TestMessagesView::searchNarrowsAndIsLocal()
{
    {
        MessagesView view(*m_fixture.store);
        auto* field = view.findChild<QLineEdit*>(QStringLiteral("messagesSearchField"));
        QVERIFY(field);
        QCOMPARE(field->placeholderText(), QStringLiteral("搜索消息"));
        QVERIFY(field->isClearButtonEnabled());
        field->setText(QStringLiteral("ａｂｃ")); // full width, other case
        QCOMPARE(shownIds(view), QStringList{"2"});
        QCOMPARE(view.listView()->rowDelegate()->searchQuery(), QStringLiteral("ａｂｃ"));
        field->setText(QStringLiteral("家人")); // session name
        QCOMPARE(shownIds(view), QStringList{"1"});
        field->setText(QStringLiteral("没有这句"));
        QVERIFY(view.isShowingEmptyState());
        field->clear();
        QCOMPARE(shownIds(view), (QStringList{"1", "2", "3"}));
        field->setText(QStringLiteral("周"));
    }
    MessagesView again(*m_fixture.store);
    QCOMPARE(again.searchQuery(), QString());
    QCOMPARE(again.shownEvents().size(), 3);
}

// Local matches at once, then the core's matches of the week in their place, narrowed by the
// preset like the loaded ones; the list says how far the search reached.
void TestMessagesView::searchReachesTheWeekThroughTheCore()
{
    m_server->reply("GET", QStringLiteral("/api/search"),
                    FakeHttpServer::json(eventsBody({{9, QStringLiteral("wecom"), QStringLiteral("项目群"),
                                                      QStringLiteral("三天前的 ABC 周报")},
                                                     kMessages[1]})));
    MessagesView view(*m_fixture.store);
    view.findChild<QLineEdit*>(QStringLiteral("messagesSearchField"))->setText(QStringLiteral("周报"));
    QCOMPARE(shownIds(view), QStringList{"2"});
    QCOMPARE(view.searchReach(), QStringLiteral("在已加载的 3 条消息中找到 1 条，正在搜索更早的消息…"));
    QTRY_COMPARE(shownIds(view), (QStringList{"9", "2"}));
    QCOMPARE(view.searchReach(), QStringLiteral("在最近 7 天的消息中找到 2 条"));
    m_fixture.store->setMessageListPreset(MessageListPreset::Todo); // only 2 asks for something
    QCOMPARE(shownIds(view), QStringList{"2"});
    QCOMPARE(view.searchReach(), QStringLiteral("在最近 7 天的消息中找到 1 条"));
    view.findChild<QLineEdit*>(QStringLiteral("messagesSearchField"))->clear();
    m_fixture.store->setMessageListPreset(MessageListPreset::All);
    QCOMPARE(shownIds(view), (QStringList{"1", "2", "3"}));
    QVERIFY(view.searchReach().isEmpty());
}

void TestMessagesView::selectionSurvivesRefreshWithNewTopMessage()
{
    MessagesView view(*m_fixture.store);
    view.resize(900, 700);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    EventListView* list = view.listView();
    list->selectStableId(QStringLiteral("2"));
    QCOMPARE(list->selectedStableId(), QStringLiteral("2"));

    QSignalSpy inserted(view.listModel(), &QAbstractItemModel::rowsInserted);
    QSignalSpy resets(view.listModel(), &QAbstractItemModel::modelReset);
    QList<Message> next = kMessages;
    next.prepend({9, QStringLiteral("wecom"), QStringLiteral("新群"), QStringLiteral("新消息")});
    serve(next);
    refresh();

    QCOMPARE(shownIds(view), (QStringList{"9", "1", "2", "3"}));
    QCOMPARE(list->selectedStableId(), QStringLiteral("2"));
    QCOMPARE(list->currentIndex().data(EventListModel::StableIdRole).toString(), QStringLiteral("2"));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 0);
    QCOMPARE(resets.count(), 0);
}

void TestMessagesView::scrolledListKeepsTopMessageInPlace_data()
{
    QTest::addColumn<int>("scrollTo");
    QTest::addColumn<bool>("anchored");
    QTest::newRow("at the top: the new message shows") << 0 << false;
    QTest::newRow("scrolled: the view stays on its message") << 700 << true;
}

void TestMessagesView::scrolledListKeepsTopMessageInPlace()
{
    QFETCH(int, scrollTo);
    QFETCH(bool, anchored);
    QList<Message> many;
    for (int i = 1; i <= 40; ++i)
        many << Message{i, QStringLiteral("wechat"), QStringLiteral("群%1").arg(i),
                        QStringLiteral("第 %1 条").arg(i)};
    serve(many);
    refresh();

    MessagesView view(*m_fixture.store);
    view.resize(900, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    EventListView* list = view.listView();
    list->verticalScrollBar()->setValue(scrollTo);
    const QPoint probe(list->viewport()->width() / 2, 1);
    const QString topBefore = list->indexAt(probe).data(EventListModel::StableIdRole).toString();
    const int offsetBefore = list->visualRect(list->indexAt(probe)).top();

    many.prepend({100, QStringLiteral("wecom"), QStringLiteral("新群"), QStringLiteral("新消息")});
    serve(many);
    refresh();

    const QModelIndex top = list->indexAt(probe);
    if (anchored) {
        QCOMPARE(top.data(EventListModel::StableIdRole).toString(), topBefore);
        QCOMPARE(list->visualRect(top).top(), offsetBefore);
    } else {
        QCOMPARE(list->verticalScrollBar()->value(), 0);
        QCOMPARE(top.data(EventListModel::StableIdRole).toString(), QStringLiteral("100"));
    }
}

void TestMessagesView::rowsExposeTheirText()
{
    // The core sorts message 4 as a scam: a red "疑似诈骗" badge beside the source badge, read first
    // after the source; under 待办 it is not, whatever its words.
    const QJsonObject scam{{"todo", false},
                           {"follow_up", false},
                           {"meeting", false},
                           {"important", false},
                           {"suspicious", true}};
    QList<Message> messages = kMessages;
    messages.append({4, QStringLiteral("wechat"), QStringLiteral("王总"),
                     QStringLiteral("有笔款急需转给供应商，请尽快处理"), scam});
    serve(messages);
    refresh();
    MessagesView view(*m_fixture.store);
    const QModelIndex row = view.listModel()->index(1);
    QCOMPARE(row.data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("企业微信，项目例会群，张三，05-20 09:02，麻烦今天提交 ABC 周报"));
    QCOMPARE(view.listModel()->index(2).data(EventListModel::BadgeRole).toString(), QStringLiteral("消息"));
    const QModelIndex scamRow = view.listModel()->index(3);
    QCOMPARE(scamRow.data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("微信，疑似诈骗，王总，张三，05-20 09:04，有笔款急需转给供应商，请尽快处理"));

    // Red only where the scam's title line begins, right of the source badge's column.
    const EventRowDelegate* delegate = view.listView()->rowDelegate();
    auto redPixels = [&](const QModelIndex& index) {
        QStyleOptionViewItem option;
        option.rect =
            QRect(0, 0, 640, delegate->rowHeight(640, index.data(EventListModel::MessageRole).toString()));
        QImage image(option.rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        delegate->paint(&painter, option, index);
        painter.end();
        int red = 0;
        const int textLeft = 640 - EventRowDelegate::rowPadding - delegate->textColumnWidth(640);
        for (int y = 0; y < image.height(); ++y)
            for (int x = textLeft; x < textLeft + 60; ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() > 200 && c.green() < 120 && c.blue() < 120 ? 1 : 0;
            }
        return red;
    };
    QVERIFY(redPixels(scamRow) > 20);
    QCOMPARE(redPixels(view.listModel()->index(0)), 0);

    m_fixture.store->setMessageListPreset(MessageListPreset::Todo);
    QCOMPARE(shownIds(view), QStringList{"2"});
}

void TestMessagesView::ctrlFFocusesSearchField()
{
    MessagesView view(*m_fixture.store);
    view.show();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    view.listView()->setFocus();
    auto* field = view.findChild<QLineEdit*>(QStringLiteral("messagesSearchField"));
    QVERIFY(!field->hasFocus());
    QTest::keyClick(view.listView(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(field->hasFocus());
}

void TestMessagesView::requestedSearchFocusIsTakenOnShow()
{
    MessagesView::requestSearchFocus();
    QVERIFY(MessagesView::searchFocusRequested());
    MessagesView view(*m_fixture.store);
    view.show();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    auto* field = view.findChild<QLineEdit*>(QStringLiteral("messagesSearchField"));
    QTRY_VERIFY(field->hasFocus());
    QVERIFY(!MessagesView::searchFocusRequested()); // taken once
}

void TestMessagesView::windowOpensSectionWithSearchFocused()
{
    // What the dashboard's "搜索消息" does: preset all, ask for the focus, switch sections.
    m_fixture.store->setMessageListPreset(MessageListPreset::Todo);
    MainWindow window(*m_fixture.store);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    m_fixture.store->setMessageListPreset(MessageListPreset::All);
    MessagesView::requestSearchFocus();
    m_fixture.store->setSelectedSection(AppSection::Messages);
    QTRY_VERIFY(window.findChild<MessagesView*>());
    auto* view = window.findChild<MessagesView*>();
    auto* field = view->findChild<QLineEdit*>(QStringLiteral("messagesSearchField"));
    QTRY_VERIFY(field->hasFocus());
    QCOMPARE(view->findChild<HeaderRow*>()->title(), QStringLiteral("最近 7 天消息"));
    QCOMPARE(view->shownEvents().size(), 3);
}

namespace {

// 40 messages, newest first; every fourth asks for something (a to-do).
QList<Message> manyMessages()
{
    QList<Message> many;
    for (int i = 40; i >= 1; --i)
        many << Message{i, QStringLiteral("wecom"), QStringLiteral("群%1").arg(i),
                        i % 4 ? QStringLiteral("第 %1 条").arg(i)
                              : QStringLiteral("麻烦提交第 %1 份周报").arg(i)};
    return many;
}

} // namespace

// razo --show-message ID (a click on one of the core's notifications) through the store.
void TestMessagesView::showMessageSelectsTheRow_data()
{
    QTest::addColumn<MessageListPreset>("preset");
    QTest::addColumn<QString>("query");
    QTest::addColumn<qint64>("id");
    QTest::addColumn<bool>("arrivesLater"); // stored after the last refresh
    QTest::addColumn<QString>("selected");  // empty: none
    QTest::addColumn<MessageListPreset>("presetAfter");
    QTest::addColumn<bool>("weChatOnly"); // the source filter set to 微信, which none comes from
    QTest::newRow("loaded, far down the list")
        << MessageListPreset::All << "" << qint64(3) << false << "3" << MessageListPreset::All << false;
    QTest::newRow("hidden by the preset")
        << MessageListPreset::Todo << "" << qint64(5) << false << "5" << MessageListPreset::All << false;
    QTest::newRow("hidden by the search") << MessageListPreset::All << "第 40 条" << qint64(6) << false << "6"
                                          << MessageListPreset::All << false;
    QTest::newRow("hidden by the source")
        << MessageListPreset::All << "" << qint64(7) << false << "7" << MessageListPreset::All << true;
    QTest::newRow("hidden by the search and the source") << MessageListPreset::All << "第 40 条" << qint64(8)
                                                         << false << "8" << MessageListPreset::All << true;
    QTest::newRow("stored since the last refresh")
        << MessageListPreset::All << "" << qint64(41) << true << "41" << MessageListPreset::All << false;
    QTest::newRow("unknown or expired")
        << MessageListPreset::Todo << "" << qint64(999) << false << "" << MessageListPreset::Todo << false;
}

void TestMessagesView::showMessageSelectsTheRow()
{
    QFETCH(MessageListPreset, preset);
    QFETCH(QString, query);
    QFETCH(qint64, id);
    QFETCH(bool, arrivesLater);
    QFETCH(QString, selected);
    QFETCH(MessageListPreset, presetAfter);
    QFETCH(bool, weChatOnly);

    QList<Message> messages = manyMessages();
    serve(messages);
    refresh();
    BridgeStore& store = *m_fixture.store;
    store.setMessageListPreset(preset);
    store.setSelectedSection(AppSection::Messages);
    MainWindow window(store);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QLineEdit*>(QStringLiteral("messagesSearchField"))->setText(query);
    if (weChatOnly)
        window.findChild<SegmentedControl*>(QStringLiteral("messagesSourceControl"))->segment(1)->click();
    if (arrivesLater) {
        messages.prepend(
            {int(id), QStringLiteral("wechat"), QStringLiteral("项目群"), QStringLiteral("新到的")});
        serve(messages);
    }

    QCoro::waitFor(store.showMessage(id));
    QCOMPARE(store.selectedSection(), AppSection::Messages);
    auto* view = window.findChild<MessagesView*>();
    QVERIFY(view);
    EventListView* list = view->listView();
    QCOMPARE(list->selectedStableId(), selected);
    QCOMPARE(store.messageListPreset(), presetAfter);
    if (selected.isEmpty()) {
        QCOMPARE(store.toast(), QStringLiteral("没有找到这条消息，它可能已过期或已被排除。"));
        return;
    }
    QCOMPARE(view->searchQuery(), QString());
    QCOMPARE(view->targetFilter(), QStringLiteral("all"));
    QTRY_VERIFY(list->viewport()->rect().contains(list->visualRect(list->currentIndex())));

    // The section's view is built anew on every visit and selects it again, until the user
    // selects another message.
    store.setSelectedSection(AppSection::Overview);
    store.setSelectedSection(AppSection::Messages);
    QTRY_COMPARE(window.findChild<MessagesView*>()->listView()->selectedStableId(), selected);
    window.findChild<MessagesView*>()->listView()->selectStableId(QStringLiteral("1"));
    QCOMPARE(store.messageToShow(), std::nullopt);
}

QTEST_MAIN(TestMessagesView)
#include "tst_messagesview.moc"
