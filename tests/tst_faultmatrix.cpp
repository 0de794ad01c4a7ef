// The fault matrix: the store against the stand-in core with one injected fault at a time,
// for every endpoint razo calls. Each row asserts what the user sees: the status line,
// lastError, the toast or the assistant's answer, and that data loaded before is kept.
// A dropped connection is sent once more (every request but the start-up probe), so a
// connection dropped once must look exactly like no fault at all, and one dropped twice
// must put exactly two requests on the wire. Time-outs are injected (600 ms) and the
// core's delay exceeds them only a little.
#include "AwaitTask.h"
#include "FakeCoreLauncher.h"
#include "StandInCore.h"
#include "store/BridgeStore.h"
#include "store/ChatRules.h"
#include "ui/settings/logic/NativeSettingsDraft.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;

namespace {

const QString kQuestion = QStringLiteral("今天先处理什么");
const QString kHttp500 = QStringLiteral("本地接口返回 HTTP 500：注入的故障：HTTP 500");
const QString kLost = QStringLiteral("与本地核心的连接中断 (The network connection was lost.)");
const QString kTimedOut = QStringLiteral("本地核心响应超时 (The request timed out.)");
const QString kNotJson =
    QStringLiteral("本地核心返回的数据无法解析：回复不是有效的 JSON（第 7 字节：无效的字面量）");
const QString kEmpty =
    QStringLiteral("本地核心返回的数据无法解析：回复不是有效的 JSON（第 0 字节：内容不完整）");
const QString kWrongOk = QStringLiteral("本地核心返回的数据无法解析：ok 应为布尔值（true 或 false）");
// A failing chat is never shown: the question endpoint answers in its place.
const QString kAskAnswers = QStringLiteral("(the question endpoint answers)");
const QString kNotFound = QStringLiteral("没有找到 msgrelay 项目目录，无法启动本地核心服务。");
const QString kDelay = QStringLiteral("delay:0.9"); // past the 600 ms time-outs, only a little

// The faults of each row, by their column name.
const QList<QPair<QString, QString>> kFaults = {
    {QStringLiteral("500"), QStringLiteral("status:500")},
    {QStringLiteral("dropped once"), QStringLiteral("refuse-first:1")},
    {QStringLiteral("dropped twice"), QStringLiteral("refuse-first:2")},
    {QStringLiteral("delay"), kDelay},
    {QStringLiteral("malformed"), QStringLiteral("malformed")},
    {QStringLiteral("wrong types"), QStringLiteral("wrong-types")},
    {QStringLiteral("204"), QStringLiteral("no-content")},
};

struct Endpoint
{
    QString name; // the core's fault target
    QByteArray method;
    QString path;
    QString prefix; // of an action's toast when its request fails
};

const QList<Endpoint> kEndpoints = {
    {QStringLiteral("auth"), "GET", QStringLiteral("/api/auth/status"), {}},
    {QStringLiteral("state"), "GET", QStringLiteral("/api/state"), {}},
    {QStringLiteral("events"), "GET", QStringLiteral("/api/events"), {}},
    {QStringLiteral("ask"), "GET", QStringLiteral("/api/ask"), {}},
    {QStringLiteral("chat"), "POST", QStringLiteral("/api/chat"), {}},
    {QStringLiteral("scan"), "POST", QStringLiteral("/api/scan/wecom/visible"),
     QStringLiteral("企业微信读取失败：")},
    {QStringLiteral("save"), "POST", QStringLiteral("/api/config/native/save"),
     QStringLiteral("设置保存失败：")},
    {QStringLiteral("push"), "POST", QStringLiteral("/api/remote/context/push"),
     QStringLiteral("网站桥接同步失败：")},
    {QStringLiteral("complete"), "POST", QStringLiteral("/api/tasks/complete"),
     QStringLiteral("完成事项失败：")},
    {QStringLiteral("open-config-dir"), "POST", QStringLiteral("/api/desktop/open-config-dir"),
     QStringLiteral("打开配置目录失败：")},
};

const Endpoint& endpointNamed(const QString& name)
{
    return *std::find_if(kEndpoints.begin(), kEndpoints.end(),
                         [&](const Endpoint& e) { return e.name == name; });
}

ApiTimeouts matrixTimeouts()
{
    ApiTimeouts t;
    t.getTimeout = t.postTimeout = t.probeTimeout = t.pollTimeout = 600ms;
    t.overallTimeout = 3s;
    t.retryPause = 50ms;
    return t;
}

StoreTiming matrixTiming()
{
    StoreTiming t;
    t.pollAttempts = 4;
    t.pollInterval = 25ms;
    t.refreshInterval = 10min; // no tick during a row
    t.toastDuration = 10min;   // a toast stays until it is read
    return t;
}

// Runs a task to its end, bounded; false when it did not end in time.
bool finish(QCoro::Task<> task)
{
    return razotest::awaitTask([](QCoro::Task<> t) -> QCoro::Task<bool> {
               co_await std::move(t);
               co_return true;
           }(std::move(task)))
        .has_value();
}

// What the user sees after one operation.
struct Seen
{
    QString status;
    QString lastError;
    QString toast;  // the first one shown
    QString answer; // the assistant's latest bubble
    QString bridgeStatus;
    bool stateKept = false;
    bool eventsKept = false;

    bool looksLike(const Seen& o) const
    {
        return status == o.status && lastError == o.lastError && toast == o.toast && answer == o.answer &&
               bridgeStatus == o.bridgeStatus;
    }
};

QString describe(const Seen& s)
{
    return QStringLiteral("status=%1 | lastError=%2 | toast=%3 | bridge=%4 | answer=%5")
        .arg(s.status, s.lastError, s.toast, s.bridgeStatus, s.answer.left(40));
}

std::unique_ptr<BridgeStore> makeStore(const QUrl& base)
{
    return std::make_unique<BridgeStore>(BridgeAPI(base, matrixTimeouts()),
                                         std::make_unique<FakeCoreLauncher>(), matrixTiming());
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_core = std::make_unique<StandInCore>();
        QVERIFY2(m_core->start(), "the stand-in core did not come up");
    }

    void cleanupTestCase() { m_core.reset(); }

    void matrix_data()
    {
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QString>("fault");
        // The error the row shows (the client's description); empty: exactly what the user
        // sees without the fault. For the start-up probe: the start-up failure text.
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("launches"); // start-up only

        const auto row = [](const QString& endpoint, int fault, const QString& shown, int launches = 0) {
            QTest::addRow("%s %s", qPrintable(endpoint), qPrintable(kFaults[fault].first))
                << endpoint << kFaults[fault].second << shown << launches;
        };
        // Start-up: the probe has no retry; the polls after a launch take over. A reply
        // other than 200 means "not ready", whatever its body.
        row("auth", 0, kNotFound, 2);
        row("auth", 1, QString(), 1);
        row("auth", 2, QString(), 1);
        row("auth", 3,
            QStringLiteral("端口 %1 被一个不响应的程序占用，无法启动本地核心。")
                .arg(m_core->baseUrl().port()),
            1);
        row("auth", 4, QString(), 0);
        row("auth", 5, QString(), 0);
        row("auth", 6, kNotFound, 2);

        // The first value of another type that each reply's decoder meets.
        const QString wrong = QStringLiteral("本地核心返回的数据无法解析：%1 应为%2");
        const QHash<QString, QString> wrongTypes = {
            {"state", wrong.arg("config", "对象")},
            {"events", wrong.arg("events", "列表")},
            {"ask", wrong.arg("title", "文本")},
            {"chat", kAskAnswers},
        };
        for (const Endpoint& e : kEndpoints) {
            if (e.name == u"auth")
                continue;
            const bool chat = e.name == u"chat";
            row(e.name, 0, chat ? kAskAnswers : kHttp500);
            row(e.name, 1, QString());
            row(e.name, 2, chat ? kAskAnswers : kLost);
            row(e.name, 3, chat ? kAskAnswers : kTimedOut);
            row(e.name, 4, chat ? kAskAnswers : kNotJson);
            row(e.name, 5, wrongTypes.value(e.name, kWrongOk));
            row(e.name, 6, chat ? kAskAnswers : kEmpty);
        }
    }

    void matrix()
    {
        QFETCH(QString, endpoint);
        QFETCH(QString, fault);
        QFETCH(QString, shown);
        if (endpoint == u"auth") {
            QFETCH(int, launches);
            startUp(fault, shown, launches);
            return;
        }
        const Endpoint& e = endpointNamed(endpoint);

        // Where the fault must not show, first what the user sees when nothing goes wrong.
        const Seen clean = shown.isEmpty() ? perform(e, QString()) : Seen{};
        if (QTest::currentTestFailed())
            return;
        const Seen seen = perform(e, fault);
        if (QTest::currentTestFailed())
            return;

        if (fault.startsWith(u"refuse-first"))
            QTRY_COMPARE(m_core->requestCount(e.method, e.path), 2); // resent once, never twice
        if (shown.isEmpty()) {
            QVERIFY2(seen.looksLike(clean),
                     qPrintable(describe(seen) + QStringLiteral("\nwithout the fault: ") + describe(clean)));
            return;
        }
        QVERIFY2(seen.eventsKept, "the messages loaded before are gone");
        QVERIFY2(seen.stateKept || endpoint == u"events", "the state loaded before is gone");
        QCOMPARE(seen.status, QStringLiteral("运行中"));
        if (endpoint == u"state" || endpoint == u"events") {
            QCOMPARE(seen.lastError, shown);
        } else if (endpoint == u"chat") {
            // The question endpoint answers instead, silently.
            QCOMPARE(seen.lastError, QString());
            QCOMPARE(seen.answer, m_askAnswer);
        } else if (endpoint == u"ask") {
            // The chat failed as well: the local answer, and one sentence for both failures.
            QCOMPARE(seen.lastError, BridgeStore::friendlyNetworkMessage(kHttp500, shown));
            QCOMPARE(seen.answer, m_localAnswer);
        } else {
            QCOMPARE(seen.lastError, shown);
            QCOMPARE(seen.toast, e.prefix + shown);
            if (endpoint == u"push")
                QCOMPARE(seen.bridgeStatus, e.prefix + shown);
        }
    }

private:
    // Loads a fresh store, injects `fault` on the endpoint (and a failing chat for the
    // question endpoint, which is only asked when the chat fails), performs the operation.
    Seen perform(const Endpoint& e, const QString& fault)
    {
        m_core->setFaults(QString());
        auto store = makeStore(m_core->baseUrl());
        if (!finish(store->refreshAll()) || store->serviceStatus() != u"运行中") {
            QTest::qFail("the first load failed", __FILE__, __LINE__);
            return {};
        }
        // The automatic website-bridge push after the first load ends before any fault is set.
        if (store->isSyncingWebsiteBridge() &&
            !QSignalSpy(store.get(), &BridgeStore::isSyncingWebsiteBridgeChanged).wait(5000)) {
            QTest::qFail("the automatic push did not end", __FILE__, __LINE__);
            return {};
        }
        const std::optional<BridgeStateResponse> stateBefore = store->state();
        const QList<BridgeEvent> eventsBefore = store->events();
        if (e.name == u"chat")
            m_askAnswer = askedDirectly();
        if (e.name == u"ask")
            m_localAnswer = chatrules::localFallbackAnswer(kQuestion, store->events(), store->state());

        QString toast;
        QObject::connect(store.get(), &BridgeStore::toastChanged, store.get(), [&] {
            if (toast.isEmpty())
                toast = store->toast();
        });
        QString rules;
        if (!fault.isEmpty())
            rules = e.name + u'=' + fault;
        if (e.name == u"ask")
            rules = QStringLiteral("chat=status:500") + (fault.isEmpty() ? QString() : u';' + rules);
        m_core->setFaults(rules);

        if (!finish(operation(*store, e.name))) {
            QTest::qFail("the operation did not end", __FILE__, __LINE__);
            return {};
        }
        Seen seen;
        seen.status = store->serviceStatus();
        seen.lastError = store->lastError();
        seen.toast = toast;
        seen.answer = store->chatMessages().last().text;
        seen.bridgeStatus = store->websiteBridgeStatus();
        seen.stateKept = store->state() == stateBefore;
        seen.eventsKept = store->events() == eventsBefore;
        // No busy marker outlives its action.
        if (store->isSending() || store->isScanningWeCom() || store->isSavingSettings() ||
            store->isSyncingWebsiteBridge() || !store->completingTaskIds().isEmpty() || store->isRefreshing())
            QTest::qFail("a busy marker stayed set", __FILE__, __LINE__);
        return seen;
    }

    static QCoro::Task<> operation(BridgeStore& store, const QString& name)
    {
        if (name == u"state" || name == u"events")
            return store.refreshAll();
        if (name == u"chat" || name == u"ask")
            return store.sendChat(kQuestion);
        if (name == u"scan")
            return store.scanVisibleWeCom();
        if (name == u"save") {
            NativeSettingsDraft draft;
            draft.load(store.state());
            return store.saveNativeSettings(draft.payload());
        }
        if (name == u"push")
            return store.syncWebsiteBridge(false);
        if (name == u"complete") {
            const QString item = store.state()->summary->actionItems->value(0);
            return store.completeTask(item, item);
        }
        return store.openConfigDir();
    }

    // The core's own answer to the question at its question endpoint.
    QString askedDirectly() const
    {
        const BridgeAPI api(m_core->baseUrl(), matrixTimeouts());
        const auto reply = razotest::awaitTask(api.ask(kQuestion, 168));
        return reply && reply->ok() ? reply->value().answer.value_or(QString()) : QString();
    }

    // Start-up with a fault on the probe and the polls: how many launches, the start-up
    // failure text (none when the core is found), then the first refresh succeeds.
    void startUp(const QString& fault, const QString& failure, int launches)
    {
        m_core->setFaults(QStringLiteral("auth=") + fault);
        auto launcher = std::make_unique<FakeCoreLauncher>();
        const auto counters = launcher->counters();
        BridgeStore store(BridgeAPI(m_core->baseUrl(), matrixTimeouts()), std::move(launcher),
                          matrixTiming());
        QStringList statuses, errors;
        connect(&store, &BridgeStore::serviceStatusChanged, &store,
                [&] { statuses << store.serviceStatus(); });
        connect(&store, &BridgeStore::lastErrorChanged, &store, [&] { errors << store.lastError(); });

        QVERIFY(finish(store.start()));

        QCOMPARE(counters->starts, launches);
        QCOMPARE(statuses.contains(QStringLiteral("启动失败")), !failure.isEmpty());
        QCOMPARE(errors.value(0), failure);
        QCOMPARE(store.serviceStatus(), QStringLiteral("运行中"));
        QCOMPARE(store.lastError(), QString());
        QVERIFY(!store.events().isEmpty());
    }

    std::unique_ptr<StandInCore> m_core;
    QString m_askAnswer;
    QString m_localAnswer;
};

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
