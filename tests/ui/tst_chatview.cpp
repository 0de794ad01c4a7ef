#include "FakeHttpServer.h"
#include "StoreTestKit.h"
#include "store/BridgeStore.h"
#include "ui/chat/ChatBubbleDelegate.h"
#include "ui/chat/ChatInputField.h"
#include "ui/chat/ChatTranscriptModel.h"
#include "ui/chat/ChatTranscriptView.h"
#include "ui/chat/ChatView.h"
#include "ui/common/ProminentButton.h"

#include <QAccessible>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QtTest>

#include <QCoroTask>

using Action = FakeHttpServer::Action;

namespace {

void finish(QCoro::Task<>&& task)
{
    QCoro::waitFor(std::move(task));
}

const QString kLongAnswer =
    QStringLiteral("这是一段很长的回答，用来撑开气泡的宽度并且让文字换行。").repeated(8);

// A store whose core answers every chat after `delayMs` with `answer`.
struct Harness
{
    explicit Harness(int delayMs = 0, const QString& answer = QStringLiteral("好的"))
    {
        const QJsonObject body{{"message", answer}};
        server.reply(
            "POST", "/api/chat",
            FakeHttpServer::json(QJsonDocument(body).toJson(QJsonDocument::Compact)).delayed(delayMs));
        fixture = storetestkit::makeStore(server.baseUrl());
        view = std::make_unique<ChatView>(*fixture.store);
        view->resize(900, 700);
    }
    ~Harness()
    {
        view.reset();
        // Let answers still on their way land before the store goes.
        QTRY_VERIFY_WITH_TIMEOUT(!store()->isSending(), 5000);
    }
    BridgeStore* store() const { return fixture.store.get(); }
    ChatInputField* input() const { return view->inputField(); }
    ProminentButton* sendButton() const { return view->sendButton(); }
    QStringList texts() const
    {
        QStringList out;
        for (const ChatBubble& b : store()->chatMessages())
            out << b.text;
        return out;
    }

    FakeHttpServer server;
    storetestkit::Fixture fixture;
    std::unique_ptr<ChatView> view;
};

} // namespace

class TestChatView : public QObject
{
    Q_OBJECT

private slots:
    void sendEnabledFollowsDraft_data();
    void sendEnabledFollowsDraft();
    void whileSending();
    void returnSendsAndClears();
    void returnOnBlankDraftIsIgnored();
    void shiftReturnInsertsLineBreak();
    void clickSends();
    void fieldGrowsToFourLines();
    void modelRolesAndLabels();
    void bubbleSides_data();
    void bubbleSides();
    void bubblesInTheViewSitOnTheirSides();
    void opensOnLatestAndFollowsAppends();
    void copySelectedBubble();
    void doubleClickOpensSelectableText();
};

void TestChatView::sendEnabledFollowsDraft_data()
{
    QTest::addColumn<QString>("draft");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("spaces and line breaks") << "  \n\t \n" << false;
    QTest::newRow("ideographic space") << QString::fromUtf8("\u3000") << false;
    QTest::newRow("question") << "今天先处理什么" << true;
    QTest::newRow("question with spaces") << "\n 今天 \n" << true;
}

void TestChatView::sendEnabledFollowsDraft()
{
    QFETCH(QString, draft);
    QFETCH(bool, enabled);
    Harness h;
    QVERIFY(!h.sendButton()->isEnabled());
    h.view->setDraft(draft);
    QCOMPARE(h.sendButton()->isEnabled(), enabled);
    h.view->setDraft(QString());
    QVERIFY(!h.sendButton()->isEnabled());
}

void TestChatView::whileSending()
{
    Harness h(400);
    h.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.view.get()));
    QVERIFY(h.view->progressRow()->isHidden());

    h.view->setDraft("第一个问题");
    h.view->send();
    QTRY_VERIFY(h.store()->isSending());
    QVERIFY(h.view->progressRow()->isVisible());
    QVERIFY(h.sendButton()->isBusy());
    QVERIFY(!h.sendButton()->isEnabled());
    // The field stays editable; a typed question keeps the button disabled while sending.
    QVERIFY(h.input()->isEnabled());
    QVERIFY(!h.input()->isReadOnly());
    QTest::keyClicks(h.input(), "next");
    QCOMPARE(h.view->draft(), "next");
    QVERIFY(!h.sendButton()->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(!h.store()->isSending(), 5000);
    QVERIFY(h.view->progressRow()->isHidden());
    QVERIFY(!h.sendButton()->isBusy());
    QVERIFY(h.sendButton()->isEnabled());
}

void TestChatView::returnSendsAndClears()
{
    Harness h(200);
    h.view->setDraft("  最近企业微信有什么消息？\n");
    QTest::keyClick(h.input(), Qt::Key_Return);
    QCOMPARE(h.view->draft(), QString());
    QCOMPARE(h.texts(), (QStringList{h.texts().first(), "最近企业微信有什么消息？"}));

    // Return while sending sends the next question at once.
    QVERIFY(h.store()->isSending());
    h.view->setDraft("再问一个");
    QTest::keyClick(h.input(), Qt::Key_Enter);
    QCOMPARE(h.view->draft(), QString());
    QCOMPARE(h.texts().size(), 3);
    QCOMPARE(h.texts().last(), "再问一个");
    QTRY_COMPARE_WITH_TIMEOUT(h.texts().size(), 5, 5000);
}

void TestChatView::returnOnBlankDraftIsIgnored()
{
    Harness h;
    h.view->setDraft(" \n ");
    QTest::keyClick(h.input(), Qt::Key_Return);
    QCOMPARE(h.view->draft(), QString());
    QCoreApplication::processEvents();
    QCOMPARE(h.texts().size(), 1);
    QCOMPARE(h.server.totalHeadCount(), 0);
}

void TestChatView::shiftReturnInsertsLineBreak()
{
    Harness h;
    h.view->setDraft("第一行");
    QTest::keyClick(h.input(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(h.input(), "two");
    QCOMPARE(h.view->draft(), "第一行\ntwo");
    QCOMPARE(h.texts().size(), 1);
}

void TestChatView::clickSends()
{
    Harness h;
    h.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.view.get()));
    QTest::mouseClick(h.sendButton(), Qt::LeftButton);
    QCOMPARE(h.texts().size(), 1); // disabled: nothing sent

    h.view->setDraft("点按钮发送");
    QTest::mouseClick(h.sendButton(), Qt::LeftButton);
    QCOMPARE(h.view->draft(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(h.texts().size(), 3, 5000);
    QCOMPARE(h.texts().at(1), "点按钮发送");
    QCOMPARE(h.texts().at(2), "好的");
}

void TestChatView::fieldGrowsToFourLines()
{
    Harness h;
    h.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.view.get()));
    const int one = h.input()->height();
    QCOMPARE(h.input()->visibleLines(), 1);

    h.view->setDraft("1\n2\n3");
    QCOMPARE(h.input()->visibleLines(), 3);
    const int three = h.input()->height();
    QVERIFY(three > one);

    h.view->setDraft("1\n2\n3\n4");
    const int four = h.input()->height();
    QVERIFY(four > three);
    h.view->setDraft("1\n2\n3\n4\n5\n6\n7");
    QCOMPARE(h.input()->visibleLines(), 4);
    QCOMPARE(h.input()->height(), four);
    QCOMPARE(h.input()->totalLines(), 7);

    // Wrapped lines count as lines too.
    h.view->setDraft(kLongAnswer);
    QVERIFY(h.input()->visibleLines() > 1);
}

void TestChatView::modelRolesAndLabels()
{
    Harness h;
    ChatTranscriptModel* model = h.view->transcriptModel();
    QCOMPARE(model->rowCount(), 1);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    finish(h.store()->sendChat("问一下"));
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(model->rowCount(), 3);

    const QStringList labels{"提示", "你", "razo"};
    for (int row = 0; row < 3; ++row) {
        const QModelIndex index = model->index(row);
        QCOMPARE(index.data(ChatTranscriptModel::RoleLabelRole).toString(), labels.at(row));
        QCOMPARE(index.data(Qt::DisplayRole).toString(), h.texts().at(row));
        QCOMPARE(index.data(Qt::AccessibleTextRole).toString(), labels.at(row) + "：" + h.texts().at(row));
    }
}

void TestChatView::bubbleSides_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("right");
    QTest::addColumn<bool>("full"); // as wide as allowed

    QTest::newRow("user short") << int(ChatBubble::Role::User) << "好" << true << false;
    QTest::newRow("user long") << int(ChatBubble::Role::User) << kLongAnswer << true << true;
    QTest::newRow("assistant short") << int(ChatBubble::Role::Assistant) << "好" << false << false;
    QTest::newRow("assistant long") << int(ChatBubble::Role::Assistant) << kLongAnswer << false << true;
    QTest::newRow("system long") << int(ChatBubble::Role::System) << kLongAnswer << false << true;
}

void TestChatView::bubbleSides()
{
    QFETCH(int, role);
    QFETCH(QString, text);
    QFETCH(bool, right);
    QFETCH(bool, full);
    const QRect row(0, 100, 600, 0);
    const auto r = static_cast<ChatBubble::Role>(role);
    const auto g = ChatBubbleDelegate::geometry(row, r, ChatTranscriptModel::roleLabel(r), text);
    const qreal pad = ChatBubbleDelegate::kColumnPadding;
    if (right) {
        QCOMPARE(g.bubble.right(), 600 - pad);
        QVERIFY(g.bubble.left() >= pad + 80);
    } else {
        QCOMPARE(g.bubble.left(), pad);
        QVERIFY(g.bubble.right() <= 600 - pad - 80);
    }
    QCOMPARE(g.bubble.width() == 600 - 2 * pad - 80, full);
    // Label over text, both inside the 14-point padding.
    QCOMPARE(g.label.left(), g.bubble.left() + 14);
    QCOMPARE(g.label.top(), g.bubble.top() + 14);
    QCOMPARE(g.text.top(), g.label.bottom() + 6);
    QCOMPARE(g.text.bottom() + 14, g.bubble.bottom());
    QVERIFY(g.text.height() > (full ? 40 : 0));
}

void TestChatView::bubblesInTheViewSitOnTheirSides()
{
    Harness h;
    h.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.view.get()));
    finish(h.store()->sendChat("问一下"));
    ChatTranscriptView* list = h.view->transcript();
    QTRY_COMPARE(list->model()->rowCount(), 3);
    const int width = list->viewport()->width();
    for (int row = 0; row < 3; ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        const QRect rect = list->visualRect(index);
        const auto role =
            static_cast<ChatBubble::Role>(index.data(ChatTranscriptModel::BubbleRoleRole).toInt());
        const auto g = ChatBubbleDelegate::geometry(
            rect, role, index.data(ChatTranscriptModel::RoleLabelRole).toString(), index.data().toString());
        if (role == ChatBubble::Role::User)
            QVERIFY2(g.bubble.left() > width / 2 && g.bubble.right() == width - 6,
                     qPrintable(QString::number(row)));
        else
            QVERIFY2(g.bubble.left() == 6 && g.bubble.right() <= width - 86,
                     qPrintable(QString::number(row)));
    }
}

void TestChatView::opensOnLatestAndFollowsAppends()
{
    Harness h;
    const QJsonObject longAnswer{{"message", kLongAnswer}};
    const Action answer = FakeHttpServer::json(QJsonDocument(longAnswer).toJson(QJsonDocument::Compact));
    h.server.sequence("POST", "/api/chat",
                      {answer, answer, answer, answer, answer, answer, answer.delayed(1500)});
    for (int i = 0; i < 6; ++i)
        finish(h.store()->sendChat(QString("问题%1").arg(i)));
    // A fresh view over a long conversation opens on its latest bubble.
    h.view = std::make_unique<ChatView>(*h.store());
    h.view->resize(700, 600);
    h.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.view.get()));
    QScrollBar* bar = h.view->transcript()->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    QTRY_COMPARE(bar->value(), bar->maximum());
    QVERIFY(!h.view->transcript()->isScrollAnimating());
    const QModelIndex last = h.view->transcriptModel()->index(h.view->transcriptModel()->rowCount() - 1, 0);
    const int lastBottom = h.view->transcript()->visualRect(last).bottom();
    QVERIFY(lastBottom >= 0 && lastBottom < h.view->transcript()->viewport()->height());

    // The question scrolls down to itself and stays in view while the progress line shows.
    h.view->setDraft("再来一个");
    h.view->send();
    QTRY_VERIFY(h.view->transcript()->isScrollAnimating());
    QVERIFY(h.view->progressRow()->isVisible());
    QTRY_VERIFY(!h.view->transcript()->isScrollAnimating());
    QVERIFY(h.store()->isSending());
    QCOMPARE(bar->value(), bar->maximum());
    // A shorter window keeps the newest bubble in view.
    const int tall = bar->value();
    h.view->resize(700, 450);
    QTRY_VERIFY(bar->maximum() > tall);
    QTRY_COMPARE(bar->value(), bar->maximum());
    QVERIFY(bar->value() > tall);
    QVERIFY(h.store()->isSending()); // moved by the resize, not by the answer
    const int whileSending = bar->value();

    // The answer scrolls again.
    QTRY_VERIFY_WITH_TIMEOUT(!h.store()->isSending(), 5000);
    QTRY_VERIFY(bar->value() > whileSending && bar->value() == bar->maximum() &&
                !h.view->transcript()->isScrollAnimating());
}

void TestChatView::copySelectedBubble()
{
    Harness h;
    h.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.view.get()));
    ChatTranscriptView* list = h.view->transcript();
    list->setCurrentIndex(list->model()->index(0, 0));
    QGuiApplication::clipboard()->setText("旧内容");
    QTest::keySequence(list, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), h.texts().first());
}

void TestChatView::doubleClickOpensSelectableText()
{
    Harness h;
    h.view->show();
    h.view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.view.get()));
    ChatTranscriptView* list = h.view->transcript();
    const QModelIndex first = list->model()->index(0, 0);
    const QPoint centre = list->visualRect(first).center();
    // A real double click: press, release, then the double-click press.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    auto* editor = list->findChild<QPlainTextEdit*>("chatBubbleText");
    QVERIFY(editor);
    QVERIFY(editor->isReadOnly());
    QCOMPARE(editor->toPlainText(), h.texts().first());
    QCOMPARE(editor->textCursor().selectedText(), h.texts().first());
    // The conversation itself never changes.
    QTest::keyClick(editor, Qt::Key_Escape);
    QCOMPARE(h.texts().size(), 1);
}

QTEST_MAIN(TestChatView)
#include "tst_chatview.moc"
