#include "FakeHttpServer.h"
#include "StoreTestKit.h"
#include "store/BridgeStore.h"

#include <QSignalSpy>
#include <QtTest>

#include <QCoroTask>

using Action = FakeHttpServer::Action;

Q_DECLARE_METATYPE(FakeHttpServer::Action)

namespace {

const QString kQuestion = QStringLiteral("今天先处理什么");
const QString kCoreDown = QStringLiteral("本地核心连接刚刚中断，已自动切换为本地已加载消息摘要。");
// The local answer over the two messages that serveHealthyCore loads.
const QString kLocalAnswer =
    QStringLiteral("本地 AI 刚刚连接不稳定，我先按已经读取到的微信和企业微信消息帮你整理。\n"
                   "\n"
                   "优先处理：\n"
                   "- 最近 7 天没有明显待办或催办。\n"
                   "\n"
                   "最近消息：\n"
                   "- 企业微信｜项目群：第一条\n"
                   "- 企业微信｜项目群：第二条");

// Client time-outs short enough that a stalled core fails within a test.
ApiTimeouts shortTimeouts()
{
    ApiTimeouts t = storetestkit::fastTimeouts();
    t.getTimeout = std::chrono::milliseconds(300);
    t.postTimeout = std::chrono::milliseconds(300);
    t.overallTimeout = std::chrono::milliseconds(600);
    return t;
}

std::unique_ptr<BridgeStore> makeStore(const QUrl& base)
{
    return std::make_unique<BridgeStore>(BridgeAPI(base, shortTimeouts()),
                                         std::make_unique<FakeCoreLauncher>(), storetestkit::fastTiming());
}

void run(QCoro::Task<>&& task)
{
    QCoro::waitFor(std::move(task));
}

Action chatReply(const QByteArray& body)
{
    return FakeHttpServer::json(body);
}

} // namespace

class TestStoreChat : public QObject
{
    Q_OBJECT

private slots:
    void answerPaths_data();
    void answerPaths();
    void sendingFlagSpansTheQuestion();
    void sessionIdKeptReplacedNeverCleared();
    void blankQuestionDoesNothing_data();
    void blankQuestionDoesNothing();
    void coreUnreachableFallsBackLocally();
};

void TestStoreChat::answerPaths_data()
{
    QTest::addColumn<Action>("chat");
    QTest::addColumn<Action>("ask"); // unused when the chat answers
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("lastError");

    const Action noAsk = Action::reply(500, "must not be asked");
    QTest::newRow("chat answers, trimmed")
        << chatReply(R"({"session_id":"s1","message":"  核心回答\n"})") << noAsk << "核心回答" << false << "";
    QTest::newRow("chat blank: local")
        << chatReply(R"({"message":" \n "})") << noAsk << kLocalAnswer << false << "";
    QTest::newRow("chat without message: local")
        << chatReply(R"({"ok":true,"mode":"ai"})") << noAsk << kLocalAnswer << false << "";
    QTest::newRow("chat fails, ask answers")
        << Action::reply(500, "boom") << FakeHttpServer::json(R"({"title":"t","answer":" 问答结果 "})")
        << "问答结果" << true << "";
    QTest::newRow("chat fails, ask blank: local")
        << Action::reply(500, "boom") << FakeHttpServer::json(R"({"answer":""})") << kLocalAnswer << true
        << "";
    QTest::newRow("chat undecodable, ask answers")
        << chatReply(R"({"message":42})") << FakeHttpServer::json(R"({"answer":"问答结果"})") << "问答结果"
        << true << "";
    QTest::newRow("both fail with HTTP errors: joined texts")
        << Action::reply(500, "boom") << Action::reply(502, "bang") << kLocalAnswer << true
        << "本地接口返回 HTTP 500：boom；本地接口返回 HTTP 502：bang";
    QTest::newRow("chat times out, ask fails: fixed sentence")
        << Action::stall() << Action::reply(500, "bang") << kLocalAnswer << true << kCoreDown;
    QTest::newRow("chat fails, ask connection lost: fixed sentence")
        << Action::reply(500, "boom") << Action::drop() << kLocalAnswer << true << kCoreDown;
}

void TestStoreChat::answerPaths()
{
    QFETCH(Action, chat);
    QFETCH(Action, ask);
    QFETCH(QString, answer);
    QFETCH(bool, asked);
    QFETCH(QString, lastError);

    FakeHttpServer server;
    storetestkit::serveHealthyCore(server);
    server.reply("POST", "/api/chat", chat);
    server.reply("GET", "/api/ask", ask);
    auto store = makeStore(server.baseUrl());
    run(store->refreshAll());
    QCOMPARE(store->events().size(), 2);
    QSignalSpy appended(store.get(), &BridgeStore::chatBubbleAppended);

    run(store->sendChat("  " + kQuestion + "\n"));

    const QList<ChatBubble> bubbles = store->chatMessages();
    QCOMPARE(bubbles.size(), 3);
    QCOMPARE(bubbles.at(1).role, ChatBubble::Role::User);
    QCOMPARE(bubbles.at(1).text, kQuestion);
    QCOMPARE(bubbles.at(2).role, ChatBubble::Role::Assistant);
    QCOMPARE(bubbles.at(2).text, answer);
    QCOMPARE(appended.size(), 2);
    QCOMPARE(appended.at(1).at(0).toInt(), 2);
    QVERIFY(!store->isSending());
    QCOMPARE(store->lastError(), lastError);

    const auto chats = server.requests("/api/chat");
    QVERIFY(!chats.isEmpty());
    QCOMPARE(chats.first().json().value("message").toString(), kQuestion);
    const auto asks = server.requests("/api/ask");
    QCOMPARE(!asks.isEmpty(), asked);
    if (asked) {
        QCOMPARE(asks.first().queryValue("q"), kQuestion);
        QCOMPARE(asks.first().queryValue("hours"), "168");
    }
}

void TestStoreChat::sendingFlagSpansTheQuestion()
{
    FakeHttpServer server;
    auto store = makeStore(server.baseUrl());
    std::optional<bool> sendingWhileAsked;
    qsizetype bubblesWhileAsked = -1;
    server.reply("POST", "/api/chat", Action::reply(503));
    server.on("GET", "/api/ask", [&](const FakeHttpServer::Request&) {
        sendingWhileAsked = store->isSending();
        bubblesWhileAsked = store->chatMessages().size();
        return FakeHttpServer::json(R"({"answer":"好"})");
    });
    QSignalSpy sending(store.get(), &BridgeStore::isSendingChanged);

    run(store->sendChat(kQuestion));

    QCOMPARE(sendingWhileAsked, std::optional<bool>(true));
    QCOMPARE(bubblesWhileAsked, 2); // greeting + the question, no answer yet
    QCOMPARE(sending.size(), 2);
    QVERIFY(!store->isSending());
    QCOMPARE(store->chatMessages().last().text, "好");
}

void TestStoreChat::sessionIdKeptReplacedNeverCleared()
{
    FakeHttpServer server;
    server.sequence("POST", "/api/chat",
                    {chatReply(R"({"session_id":"s1","message":"a"})"), chatReply(R"({"message":"b"})"),
                     chatReply(R"({"session_id":"s2","message":"c"})"), Action::reply(500, "boom")});
    server.reply("GET", "/api/ask", FakeHttpServer::json(R"({"answer":"d"})"));
    auto store = makeStore(server.baseUrl());
    QCOMPARE(store->chatSessionId(), std::nullopt);

    const QList<std::optional<QString>> after{QString("s1"), QString("s1"), QString("s2"), QString("s2")};
    for (int i = 0; i < after.size(); ++i) {
        run(store->sendChat(QString("问题%1").arg(i)));
        QCOMPARE(store->chatSessionId(), after.at(i));
    }

    // What each request carried: nothing at first, then the id held at the time.
    const auto chats = server.requests("/api/chat");
    QCOMPARE(chats.size(), 4);
    QVERIFY(!chats.at(0).json().contains("session_id"));
    QCOMPARE(chats.at(1).json().value("session_id").toString(), "s1");
    QCOMPARE(chats.at(2).json().value("session_id").toString(), "s1");
    QCOMPARE(chats.at(3).json().value("session_id").toString(), "s2");
    QStringList answers;
    for (const ChatBubble& b : store->chatMessages()) {
        if (b.role == ChatBubble::Role::Assistant)
            answers << b.text;
    }
    QCOMPARE(answers, (QStringList{"a", "b", "c", "d"}));
}

void TestStoreChat::blankQuestionDoesNothing_data()
{
    QTest::addColumn<QString>("question");
    QTest::newRow("empty") << "";
    QTest::newRow("spaces") << "   ";
    QTest::newRow("line breaks and tabs") << " \n\t\r\n ";
    QTest::newRow("ideographic space") << QString::fromUtf8("\u3000");
}

void TestStoreChat::blankQuestionDoesNothing()
{
    QFETCH(QString, question);
    FakeHttpServer server;
    auto store = makeStore(server.baseUrl());
    const QList<ChatBubble> before = store->chatMessages();
    QSignalSpy messages(store.get(), &BridgeStore::chatMessagesChanged);
    QSignalSpy sending(store.get(), &BridgeStore::isSendingChanged);

    run(store->sendChat(question));
    QCoreApplication::processEvents();

    QCOMPARE(store->chatMessages(), before);
    QCOMPARE(messages.size(), 0);
    QCOMPARE(sending.size(), 0);
    QCOMPARE(server.totalHeadCount(), 0);
}

void TestStoreChat::coreUnreachableFallsBackLocally()
{
    auto store = makeStore(FakeHttpServer::refusingUrl());
    run(store->sendChat(kQuestion));

    QCOMPARE(store->chatMessages().size(), 3);
    QCOMPARE(store->chatMessages().last().text,
             "本地 AI 刚刚连接不稳定，我先检查了当前已加载的消息：这里还没有可用于回答的微信和企业微信记录。"
             "请点右上角刷新，或确认对应客户端通知/读取权限已开启。");
    QCOMPARE(store->lastError(), kCoreDown);
    QVERIFY(!store->isSending());
}

QTEST_GUILESS_MAIN(TestStoreChat)
#include "tst_storechat.moc"
