#include "ui/messages/logic/EventListModel.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

namespace {

BridgeEvent withId(qint64 id, const QString& text = QString())
{
    BridgeEvent e;
    e.eventId = id;
    e.chatTarget = QStringLiteral("wechat");
    e.content = text.isEmpty() ? QStringLiteral("消息 %1").arg(id) : text;
    return e;
}

QList<BridgeEvent> ids(std::initializer_list<int> list)
{
    QList<BridgeEvent> out;
    for (int id : list)
        out << withId(id);
    return out;
}

QStringList stableIds(const EventListModel& model)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r)
        out << model.index(r).data(EventListModel::StableIdRole).toString();
    return out;
}

} // namespace

using Stats = EventListModel::ApplyStats;

class TestEventListModel : public QObject
{
    Q_OBJECT

private slots:
    void appliesMinimalChange_data();
    void appliesMinimalChange();
    void persistentIndexesFollowTheirMessage_data();
    void persistentIndexesFollowTheirMessage();
    void duplicateIdentitiesAreKeptApart();
    void changedMessageUpdatesInPlace();
    void rowsExposeTheirText();
};

void TestEventListModel::appliesMinimalChange_data()
{
    QTest::addColumn<QList<BridgeEvent>>("before");
    QTest::addColumn<QList<BridgeEvent>>("after");
    QTest::addColumn<Stats>("expected");

    QTest::newRow("first load") << QList<BridgeEvent>{} << ids({1, 2, 3}) << Stats{0, 3, 0, 0, false};
    QTest::newRow("unchanged") << ids({1, 2, 3}) << ids({1, 2, 3}) << Stats{};
    QTest::newRow("one new on top") << ids({1, 2, 3}) << ids({9, 1, 2, 3}) << Stats{0, 1, 0, 0, false};
    QTest::newRow("window slides") << ids({1, 2, 3, 4}) << ids({9, 1, 2, 3}) << Stats{1, 1, 0, 0, false};
    QTest::newRow("removed in the middle")
        << ids({1, 2, 3, 4, 5}) << ids({1, 3, 5}) << Stats{2, 0, 0, 0, false};
    QTest::newRow("one moved to the end")
        << ids({1, 2, 3, 4}) << ids({2, 3, 4, 1}) << Stats{0, 0, 1, 0, false};
    QTest::newRow("one moved to the top")
        << ids({1, 2, 3, 4}) << ids({4, 1, 2, 3}) << Stats{0, 0, 1, 0, false};
    QTest::newRow("swap") << ids({1, 2, 3, 4}) << ids({1, 3, 2, 4}) << Stats{0, 0, 1, 0, false};
    QTest::newRow("everything replaced") << ids({1, 2}) << ids({3, 4}) << Stats{2, 2, 0, 0, false};
    QTest::newRow("cleared") << ids({1, 2}) << QList<BridgeEvent>{} << Stats{2, 0, 0, 0, false};

    QList<BridgeEvent> many, reversed, interleaved;
    for (int i = 0; i < 400; ++i) {
        many << withId(i);
        reversed.prepend(withId(i));
        interleaved << withId(i) << withId(1000 + i);
    }
    QTest::newRow("reversed: one re-ordering") << many << reversed << Stats{0, 0, 399, 0, false};
    QTest::newRow("scattered inserts: reset") << many << interleaved << Stats{0, 400, 0, 0, true};
}

void TestEventListModel::appliesMinimalChange()
{
    QFETCH(QList<BridgeEvent>, before);
    QFETCH(QList<BridgeEvent>, after);
    QFETCH(Stats, expected);

    EventListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setEvents(before);
    const Stats stats = model.setEvents(after);
    QCOMPARE(stats.removed, expected.removed);
    QCOMPARE(stats.inserted, expected.inserted);
    QCOMPARE(stats.moved, expected.moved);
    QCOMPARE(stats.changed, expected.changed);
    QCOMPARE(stats.reset, expected.reset);
    QCOMPARE(model.events(), after);
}

void TestEventListModel::persistentIndexesFollowTheirMessage_data()
{
    QTest::addColumn<int>("changes"); // how many edits the random refresh makes
    for (int changes : {1, 3, 10, 40, 120})
        QTest::addRow("%d random edits", changes) << changes;
}

void TestEventListModel::persistentIndexesFollowTheirMessage()
{
    QFETCH(int, changes);
    QRandomGenerator rng(4242 + changes);
    for (int round = 0; round < 30; ++round) {
        QList<BridgeEvent> before;
        for (int i = 0; i < 150; ++i)
            before << withId(i);
        QList<BridgeEvent> after = before;
        int fresh = 10000;
        for (int c = 0; c < changes; ++c) {
            switch (rng.bounded(3)) {
            case 0:
                if (!after.isEmpty())
                    after.removeAt(rng.bounded(int(after.size())));
                break;
            case 1:
                after.insert(rng.bounded(int(after.size()) + 1), withId(fresh++));
                break;
            default:
                if (after.size() > 1)
                    after.move(rng.bounded(int(after.size())), rng.bounded(int(after.size())));
            }
        }

        EventListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setEvents(before);
        QList<QPersistentModelIndex> held;
        for (int r = 0; r < model.rowCount(); ++r)
            held << QPersistentModelIndex(model.index(r));
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        model.setEvents(after);
        QCOMPARE(model.events(), after);
        QCOMPARE(resets.count(), 0);
        for (int r = 0; r < held.size(); ++r) {
            const QString id = before[r].stableId();
            const int expectedRow = model.rowOf(id);
            if (expectedRow < 0) {
                QVERIFY2(!held[r].isValid(), qPrintable(id));
            } else {
                QVERIFY2(held[r].isValid(), qPrintable(id));
                QCOMPARE(held[r].data(EventListModel::StableIdRole).toString(), id);
            }
        }
    }
}

void TestEventListModel::duplicateIdentitiesAreKeptApart()
{
    // Two messages without id and with equal fields share a stableId; both must stay rows.
    BridgeEvent twin;
    twin.chatTarget = QStringLiteral("wecom");
    twin.content = QStringLiteral("好的");
    EventListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setEvents({twin, twin});
    const Stats stats = model.setEvents({withId(1), twin, twin, twin});
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(stats.inserted, 2);
    QCOMPARE(stats.removed, 0);
    QCOMPARE(stableIds(model), (QStringList{"1", twin.stableId(), twin.stableId(), twin.stableId()}));
}

void TestEventListModel::changedMessageUpdatesInPlace()
{
    EventListModel model;
    model.setEvents(ids({1, 2, 3}));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    const Stats stats = model.setEvents({withId(1), withId(2, QStringLiteral("改过的正文")), withId(3)});
    QCOMPARE(stats.changed, 1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).value<QModelIndex>().row(), 1);
    QCOMPARE(inserted.count() + removed.count(), 0);
    QCOMPARE(model.index(1).data(EventListModel::MessageRole).toString(), QStringLiteral("改过的正文"));
}

void TestEventListModel::rowsExposeTheirText()
{
    BridgeEvent full = withId(7, QStringLiteral("明天开会"));
    full.chatTarget = QStringLiteral("wecom");
    full.sessionName = QStringLiteral("项目群");
    full.senderName = QStringLiteral("张三");
    full.sentAt = QStringLiteral("2024-05-01 09:30");
    BridgeEvent bare;
    bare.content = QStringLiteral("你好");

    EventListModel model;
    model.setEvents({full, bare});
    const QModelIndex a = model.index(0), b = model.index(1);
    QCOMPARE(a.data(Qt::DisplayRole).toString(),
             QStringLiteral("企业微信，项目群，张三，2024-05-01 09:30，明天开会"));
    QCOMPARE(a.data(Qt::AccessibleTextRole), a.data(Qt::DisplayRole));
    QCOMPARE(a.data(EventListModel::IsWeComRole).toBool(), true);
    QCOMPARE(a.data(EventListModel::SentAtRole).toString(), QStringLiteral("2024-05-01 09:30"));
    QCOMPARE(b.data(Qt::DisplayRole).toString(), QStringLiteral("消息，未知会话，你好"));
    QCOMPARE(b.data(EventListModel::SessionRole).toString(), QStringLiteral("未知会话"));
    QCOMPARE(b.data(EventListModel::SenderRole).toString(), QString());
    QCOMPARE(b.data(EventListModel::IsWeComRole).toBool(), false);
}

QTEST_GUILESS_MAIN(TestEventListModel)
#include "tst_eventlistmodel.moc"
