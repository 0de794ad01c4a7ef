// The settings section and the settings window against a store fed by a loopback stand-in
// for the core (FakeHttpServer), and once against the repository's msgrelay core itself.
#include "FakeHttpServer.h"
#include "StandInSystemctl.h"
#include "StoreTestKit.h"
#include "ui/common/AppAppearance.h"
#include "ui/common/BorderedButton.h"
#include "ui/common/MainWindow.h"
#include "ui/common/MetricCard.h"
#include "ui/common/ProminentButton.h"
#include "ui/common/SegmentedControl.h"
#include "ui/common/StatusPill.h"
#include "ui/common/ToggleSwitch.h"
#include "ui/settings/AISettingsCard.h"
#include "ui/settings/BackgroundReadingCard.h"
#include "ui/settings/ChatTargetEditor.h"
#include "ui/settings/ChatTargetsCard.h"
#include "ui/settings/DisclosureButton.h"
#include "ui/settings/LinkLine.h"
#include "ui/settings/NativeSettingsView.h"
#include "ui/settings/RemoteAccessCard.h"
#include "ui/settings/SettingsDashboardView.h"
#include "ui/settings/SettingsSaveBar.h"
#include "ui/settings/SettingsTextEditor.h"
#include "ui/settings/SettingsTextField.h"
#include "ui/settings/UnsavedMark.h"
#include "ui/settings/UserProfileCard.h"
#include "ui/settings/WeComDiagnosticsCard.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <QtTest>

using storetestkit::Fixture;

namespace {

QJsonObject configJson(const QString& name)
{
    return QJsonObject{
        {"notification_keywords", QJsonArray{"合同", "报价"}},
        {"user_profile", QJsonObject{{"display_name", name}, {"aliases", QJsonArray{"小明"}}}},
        {"wechat", QJsonObject{{"enabled", true}, {"source", "ocr"}, {"allowlist", QJsonArray{}}}},
        {"wecom", QJsonObject{{"enabled", true},
                              {"source", "ocr"},
                              {"rule_mode", "allowlist"},
                              {"allowlist", QJsonArray{QJsonObject{{"name", " 客户群 "}, {"enabled", true}},
                                                       QJsonObject{{"name", "旧群"}, {"enabled", false}}}}}},
        {"ai_provider", QJsonObject{{"provider", "qwen"}, {"model", ""}, {"has_api_key", true}}},
        {"remote_access_protected", true},
    };
}

QJsonObject diagnosticsJson(int recommendations)
{
    QJsonArray advice;
    for (int i = 1; i <= recommendations; ++i)
        advice.append(QStringLiteral("建议 %1").arg(i));
    return QJsonObject{
        {"wecom", QJsonObject{
                      {"status", "limited"},
                      {"capture_quality", "visible_window_no_text"},
                      {"headline", "企业微信可以部分读取"},
                      {"message", "系统通知里有记录，但本地消息库已加密。"},
                      {"notification_db",
                       QJsonObject{{"record_count", 42}, {"permission", QJsonObject{{"enabled", true}}}}},
                      {"local_store", QJsonObject{{"message_db_sqlite", false}}},
                      {"local_snapshot", QJsonObject{{"available", false}, {"preview_count", 0}}},
                      {"accessibility", QJsonObject{{"permission", true}}},
                      {"accessibility_preview", QJsonObject{{"available", true}, {"preview_count", 5}}},
                      {"recommendations", advice},
                  }}};
}

QJsonObject agentAccessJson()
{
    return QJsonObject{{"token_required", true},
                       {"localhost_url", ""},
                       {"lan_urls", QJsonArray{"http://192.168.1.20:8765/api/agent/context"}},
                       {"mobile_urls", QJsonArray{"http://192.168.1.20:8765/mobile.html"}}};
}

QByteArray stateBody(const QString& name, int recommendations = -1, bool access = true)
{
    QJsonObject state{{"config", configJson(name)}};
    if (recommendations >= 0)
        state.insert("diagnostics", diagnosticsJson(recommendations));
    if (access)
        state.insert("agent_access", agentAccessJson());
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}

QStringList itemValues(const QComboBox* combo)
{
    QStringList values;
    for (int i = 0; i < combo->count(); ++i)
        values << combo->itemData(i).toString();
    return values;
}

// A loopback stand-in core with a state; the store points at it.
struct Harness
{
    FakeHttpServer server;
    Fixture fixture;

    explicit Harness(const QByteArray& state)
    {
        storetestkit::serveHealthyCore(server);
        setState(state);
        fixture = storetestkit::makeStore(server.baseUrl());
    }
    BridgeStore& store() { return *fixture.store; }
    void setState(const QByteArray& state)
    {
        server.reply("GET", QStringLiteral("/api/state"), FakeHttpServer::json(state));
    }
    bool refresh()
    {
        QSignalSpy spy(&store(), &BridgeStore::stateChanged);
        store().refreshAll();
        return spy.count() > 0 || spy.wait(5000);
    }
};

std::unique_ptr<SettingsDashboardView> shownView(BridgeStore& store)
{
    auto view = std::make_unique<SettingsDashboardView>(store);
    view->resize(1000, 900);
    view->show();
    return view;
}

// Types like a user, character by character (Chinese text and line breaks included).
void typeInto(QWidget* w, const QString& text)
{
    w->setFocus();
    if (auto* editor = qobject_cast<QPlainTextEdit*>(w))
        editor->moveCursor(QTextCursor::End);
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(w, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// The repository's stand-in core (msgrelay) on a free loopback port, with its own
// configuration file and home directory; stopped when this goes away.
struct StandInCore
{
    QTemporaryDir dir;
    QProcess process;
    QUrl base;
    QString output;

    bool start()
    {
        if (!dir.isValid())
            return false;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(QStringLiteral(RAZO_SOURCE_DIR));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PYTHONPATH", QStringLiteral(RAZO_SOURCE_DIR));
        env.insert("MSGRELAY_PORT", "0"); // the core picks a free port and names it
        env.insert("HOME", dir.path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral("/usr/bin/python3"),
                      {"-u", "-m", "msgrelay.cli", "--config", dir.filePath("c.json"), "desktop", "--host",
                       "127.0.0.1", "--port", "8765", "--no-browser", "--no-native-window"});
        if (!process.waitForStarted(10000))
            return false;
        static const QRegularExpression listening(
            QStringLiteral("listening on http://127\\.0\\.0\\.1:(\\d+)"));
        QRegularExpressionMatch match;
        const bool up = QTest::qWaitFor(
            [&] {
                output += QString::fromUtf8(process.readAll());
                match = listening.match(output);
                return match.hasMatch() || process.state() == QProcess::NotRunning;
            },
            15000);
        if (!up || !match.hasMatch())
            return false;
        base = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(match.captured(1)));
        return true;
    }

    ~StandInCore()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(2000);
    }
};

QString screenshotDir()
{
    return qEnvironmentVariable("RAZO_SCREENSHOT_DIR");
}

} // namespace

class TestSettingsView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { appearance::apply(*qApp); }
    void saveButtonIsHeldWhileSaving();
    void readerSourcePickers();
    void wheelChangesAPickerOnlyWhenFocused();
    void editsSurviveRefreshesUntilShownAgain();
    void multiLineEditKeepsTheRestAsLoaded();
    void failedSaveKeepsTheDraftAsTyped();
    void secretsAreNeverShownAfterLoad();
    void weComEditorStatusFollowsSwitchAndDiagnostics();
    void diagnosticsCard_data();
    void diagnosticsCard();
    void scanButtonIsHeldWhileScanning();
    void accessCardWithoutState();
    void accessCardCopies();
    void aiCardStartsCollapsed();
    void aiCardSaysWhyTheProviderFailed();
    void backgroundReadingSwitchActsAtOnce();
    void everyControlIsNamed();
    void settingsWindow();
    void endToEndSaveAgainstTheCore();
    void screenshots();
};

void TestSettingsView::saveButtonIsHeldWhileSaving()
{
    Harness h(stateBody(QStringLiteral("王小明")));
    h.server.reply("POST", QStringLiteral("/api/config/native/save"),
                   FakeHttpServer::json(R"({"ok":true})").delayed(300));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    ProminentButton* save = view->saveButton();
    QCOMPARE(save->text(), QStringLiteral("保存全部设置"));
    QVERIFY(save->isEnabled());

    // A changed field is marked (and says so to a screen reader) until it is saved.
    SettingsTextField* name = view->userProfileCard()->nameField();
    SettingsSaveBar* bar = view->saveBar();
    QVERIFY(!name->unsavedMark()->isVisible());
    typeInto(name->lineEdit(), QStringLiteral("x"));
    QVERIFY(name->unsavedMark()->isVisible());
    QCOMPARE(name->lineEdit()->accessibleDescription(), QStringLiteral("未保存"));
    QCOMPARE(bar->summaryLabel()->text(), QStringLiteral("有 1 项更改未保存"));
    QVERIFY(bar->isVisible() && bar->geometry().bottom() == view->height() - 1); // stays in view
    const QJsonObject expected = view->draftModel()->draft().payload();
    QTest::mouseClick(bar->saveButton(), Qt::LeftButton);
    QVERIFY(h.store().isSavingSettings());
    QCOMPARE(save->text(), QStringLiteral("保存中"));
    QVERIFY(!save->isEnabled() && !bar->saveButton()->isEnabled());
    QTest::mouseClick(save, Qt::LeftButton); // held back: no second request
    view->save();

    QTRY_VERIFY_WITH_TIMEOUT(!h.store().isSavingSettings(), 5000);
    QCOMPARE(save->text(), QStringLiteral("保存全部设置"));
    QVERIFY(save->isEnabled());
    const auto posts = h.server.requests(QStringLiteral("/api/config/native/save"));
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first().json(), expected);
    QCOMPARE(posts.first().json().value("user_profile").toObject().value("display_name").toString(),
             QStringLiteral("王小明x"));
    QVERIFY(view->draftModel()->draft().isDirty); // a successful save leaves the draft as it is
    QVERIFY(!name->unsavedMark()->isVisible());
    QCOMPARE(name->lineEdit()->accessibleDescription(), QString());
    QCOMPARE(bar->summaryLabel()->text(), QStringLiteral("没有未保存的更改"));
}

void TestSettingsView::readerSourcePickers()
{
    Harness h(stateBody(QStringLiteral("王小明")));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    ChatTargetEditor* wechat = view->chatTargetsCard()->wechatEditor();
    ChatTargetEditor* wecom = view->chatTargetsCard()->wecomEditor();
    QCOMPARE(itemValues(wechat->sourcePicker()),
             (QStringList{"notification-db", "accessibility", "ocr", "mock"}));
    QCOMPARE(itemValues(wecom->sourcePicker()), (QStringList{"notification-db", "accessibility", "mock"}));
    QVERIFY(wecom->rulePicker());
    QVERIFY(!wechat->rulePicker());

    // The state's WeCom "ocr" loads as the notification database; WeChat keeps its OCR reader.
    const NativeSettingsDraft& d = view->draftModel()->draft();
    QCOMPARE(d.wecomSource, QStringLiteral("notification-db"));
    QCOMPARE(d.wechatSource, QStringLiteral("ocr"));
    QCOMPARE(wechat->sourcePicker()->currentData().toString(), QStringLiteral("ocr"));
    QCOMPARE(wecom->rulePicker()->currentValue(), QStringLiteral("allowlist"));
    QVERIFY(!d.isDirty);

    // The modes this system cannot read with are offered disabled, with the reason; the keys
    // pass over them. A stored one shows as it is, and the WeCom editor keeps "accessibility".
    QComboBox* combo = wecom->sourcePicker();
    const auto* items = qobject_cast<QStandardItemModel*>(combo->model());
    QVERIFY(!items->item(1)->isEnabled());
    QCOMPARE(items->item(1)->text(), QStringLiteral("辅助功能（Linux 上不可用）"));
    QCOMPARE(items->item(1)->toolTip(), QStringLiteral("Linux 上不可用"));
    QVERIFY(items->item(0)->isEnabled() && items->item(2)->isEnabled());
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(d.wecomSource, QStringLiteral("mock"));
    bindText(view->draftModel(), &NativeSettingsDraft::wecomSource).set(QStringLiteral("accessibility"));
    QCOMPARE(combo->currentText(), QStringLiteral("辅助功能（Linux 上不可用）"));
    QCOMPARE(d.wecomSource, QStringLiteral("accessibility"));
    QVERIFY(d.isDirty);

    // Whenever the WeCom source turns empty or "ocr" it is normalised through the binding.
    view->draftModel()->load(h.store().state());
    bindText(view->draftModel(), &NativeSettingsDraft::wecomSource).set(QStringLiteral("ocr"));
    QCOMPARE(d.wecomSource, QStringLiteral("notification-db"));
    QVERIFY(d.isDirty);
    bindText(view->draftModel(), &NativeSettingsDraft::wecomSource).set(QString());
    QCOMPARE(d.wecomSource, QStringLiteral("notification-db"));
    bindText(view->draftModel(), &NativeSettingsDraft::wechatSource).set(QString());
    QCOMPARE(d.wechatSource, QString()); // the WeChat editor leaves it alone

    // A value none of the options match shows no selection and stays in the draft.
    bindText(view->draftModel(), &NativeSettingsDraft::wecomSource).set(QStringLiteral("custom-reader"));
    QCOMPARE(combo->currentIndex(), -1);
    QCOMPARE(d.wecomSource, QStringLiteral("custom-reader"));
    QCOMPARE(d.payload().value("wecom").toObject().value("source").toString(),
             QStringLiteral("custom-reader"));
}

// A wheel turned over a picker that has no focus scrolls the page and changes nothing; the
// picker takes the wheel once it has the focus.
void TestSettingsView::wheelChangesAPickerOnlyWhenFocused()
{
    Harness h(stateBody(QStringLiteral("王小明")));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    view->resize(1000, 500);
    QComboBox* combo = view->chatTargetsCard()->wechatEditor()->sourcePicker();
    view->ensureWidgetVisible(combo);
    QScrollBar* scroll = view->verticalScrollBar();
    const int before = scroll->value();
    QVERIFY(before < scroll->maximum());
    QCOMPARE(combo->focusPolicy(), Qt::StrongFocus);
    auto wheel = [combo] {
        const QPointF at = QRectF(combo->rect()).center();
        QWheelEvent e(at, combo->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&e); // as from the mouse: an ignored one goes on to the parents
        qApp->notify(combo, &e);
    };
    const QString source = combo->currentData().toString();
    wheel();
    QCOMPARE(combo->currentData().toString(), source);
    QVERIFY(!view->draftModel()->draft().isDirty);
    QVERIFY(scroll->value() > before);

    QApplication::setActiveWindow(view.get());
    QVERIFY(QTest::qWaitForWindowActive(view.get()));
    combo->setFocus();
    QVERIFY(combo->hasFocus());
    wheel();
    QCOMPARE(view->draftModel()->draft().wechatSource, QStringLiteral("mock")); // past the disabled modes
    QCOMPARE(combo->accessibleDescription(), QStringLiteral("未保存"));
}

void TestSettingsView::editsSurviveRefreshesUntilShownAgain()
{
    Harness h(stateBody(QStringLiteral("王小明")));
    QVERIFY(h.refresh());
    auto typed = shownView(h.store());
    auto clean = shownView(h.store());
    QLineEdit* name = typed->userProfileCard()->nameField()->lineEdit();
    QCOMPARE(name->text(), QStringLiteral("王小明"));
    QVERIFY(!typed->draftModel()->draft().isDirty);

    typeInto(name, QStringLiteral("x"));
    QPlainTextEdit* keywords =
        typed->findChild<SettingsTextEditor*>(QStringLiteral("keywordsEditor"))->editor();
    typeInto(keywords, QStringLiteral("\n"));
    QVERIFY(typed->draftModel()->draft().isDirty);
    QCOMPARE(typed->draftModel()->draft().keywords, QStringLiteral("合同\n报价\n"));
    const NativeSettingsDraft asTyped = typed->draftModel()->draft();

    h.setState(stateBody(QStringLiteral("李雷")));
    QVERIFY(h.refresh());
    QCOMPARE(typed->draftModel()->draft(), asTyped);
    QCOMPARE(name->text(), QStringLiteral("王小明x"));
    QCOMPARE(keywords->toPlainText(), QStringLiteral("合同\n报价\n"));
    // The untouched view follows the new state.
    QCOMPARE(clean->userProfileCard()->nameField()->lineEdit()->text(), QStringLiteral("李雷"));

    // Coming into view again starts from the core's values.
    typed->hide();
    typed->show();
    QCOMPARE(name->text(), QStringLiteral("李雷"));
    QVERIFY(!typed->draftModel()->draft().isDirty);
}

// An edit in a multi-line editor changes only what was edited: no-break spaces and line
// breaks elsewhere stay as loaded.
void TestSettingsView::multiLineEditKeepsTheRestAsLoaded()
{
    const QJsonObject config{{"notification_keywords", QJsonArray{"合\u00a0同", "报\r价"}}};
    Harness h(QJsonDocument(QJsonObject{{"config", config}}).toJson(QJsonDocument::Compact));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    QPlainTextEdit* keywords =
        view->findChild<SettingsTextEditor*>(QStringLiteral("keywordsEditor"))->editor();
    typeInto(keywords, QStringLiteral("x"));
    QCOMPARE(view->draftModel()->draft().keywords, QStringLiteral("合\u00a0同\n报\r价x"));
    // Typing elsewhere leaves the editor (and where its cursor is) alone.
    QTextCursor cursor = keywords->textCursor();
    cursor.setPosition(2);
    keywords->setTextCursor(cursor);
    typeInto(view->userProfileCard()->nameField()->lineEdit(), QStringLiteral("y"));
    QCOMPARE(keywords->textCursor().position(), 2);
    QCOMPARE(view->draftModel()->draft().keywords, QStringLiteral("合\u00a0同\n报\r价x"));
}

void TestSettingsView::failedSaveKeepsTheDraftAsTyped()
{
    Harness h(stateBody(QStringLiteral("王小明")));
    h.server.reply("POST", QStringLiteral("/api/config/native/save"),
                   FakeHttpServer::json(R"({"ok":false,"message":"配置文件只读","error":"read-only"})"));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    typeInto(view->userProfileCard()->nameField()->lineEdit(), QStringLiteral("改"));
    typeInto(view->findChild<SettingsTextField*>(QStringLiteral("remoteAccessTokenField"))->lineEdit(),
             QStringLiteral(" 口令 "));
    const NativeSettingsDraft asTyped = view->draftModel()->draft();

    QSignalSpy toasts(&h.store(), &BridgeStore::toastChanged);
    QTest::mouseClick(view->saveButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!h.store().isSavingSettings(), 5000);
    QCOMPARE(h.server.requests(QStringLiteral("/api/config/native/save")).size(), 1);
    QVERIFY(toasts.count() >= 1);
    QCOMPARE(toasts.isEmpty() ? QString() : h.store().lastError(), QStringLiteral("配置文件只读"));
    QCOMPARE(view->draftModel()->draft(), asTyped);
    QCOMPARE(
        view->findChild<SettingsTextField*>(QStringLiteral("remoteAccessTokenField"))->lineEdit()->text(),
        QStringLiteral(" 口令 "));
    QCOMPARE(view->draftModel()->unsavedCount(), 2); // still unsaved

    h.setState(stateBody(QStringLiteral("别人")));
    QVERIFY(h.refresh());
    QCOMPARE(view->draftModel()->draft(), asTyped);
}

void TestSettingsView::secretsAreNeverShownAfterLoad()
{
    Harness h(stateBody(QStringLiteral("王小明")));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    QLineEdit* key = view->aiSettingsCard()->apiKeyField()->lineEdit();
    QLineEdit* token = view->remoteAccessCard()->tokenField()->lineEdit();
    QCOMPARE(key->text(), QString());
    QCOMPARE(token->text(), QString());
    QCOMPARE(view->remoteAccessCard()->tokenField()->title(), QStringLiteral("远程访问口令（当前已设置）"));

    view->aiSettingsCard()->setExpanded(true);
    typeInto(key, QStringLiteral("sk-secret"));
    typeInto(token, QStringLiteral("tok-secret"));
    QCOMPARE(view->draftModel()->draft().aiAPIKey, QStringLiteral("sk-secret"));
    view->hide();
    view->show();
    QCOMPARE(key->text(), QString());
    QCOMPARE(token->text(), QString());
    QCOMPARE(view->draftModel()->draft().aiAPIKey, QString());
    QCOMPARE(view->draftModel()->draft().remoteAccessToken, QString());
}

void TestSettingsView::weComEditorStatusFollowsSwitchAndDiagnostics()
{
    Harness h(stateBody(QStringLiteral("王小明"), 2));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    ChatTargetEditor* wecom = view->chatTargetsCard()->wecomEditor();
    QCOMPARE(wecom->statusPill()->title(), QStringLiteral("已开启，有限读取"));
    QCOMPARE(wecom->statusPill()->systemImage(), QStringLiteral("exclamationmark.triangle.fill"));
    QCOMPARE(wecom->helpLabel()->text(), QStringLiteral("企业微信可以部分读取"));
    QVERIFY(!wecom->helpLabel()->isHidden());
    // The WeChat editor shows its plain switch state and no help.
    ChatTargetEditor* wechat = view->chatTargetsCard()->wechatEditor();
    QCOMPARE(wechat->statusPill()->title(), QStringLiteral("已开启"));
    QVERIFY(wechat->helpLabel()->isHidden());

    QTest::mouseClick(wecom->enabledSwitch(), Qt::LeftButton);
    QCOMPARE(view->draftModel()->draft().wecomEnabled, false);
    QVERIFY(view->draftModel()->draft().isDirty);
    QCOMPARE(wecom->statusPill()->title(), QStringLiteral("未开启"));
    QCOMPARE(wecom->statusPill()->systemImage(), QStringLiteral("pause.circle.fill"));
    QVERIFY(wecom->helpLabel()->isHidden());

    // Without diagnostics the switched-on editor waits for a verdict.
    QTest::mouseClick(wecom->enabledSwitch(), Qt::LeftButton);
    h.setState(stateBody(QStringLiteral("王小明")));
    QVERIFY(h.refresh());
    QCOMPARE(wecom->statusPill()->title(), QStringLiteral("已开启，待诊断"));
    QCOMPARE(wecom->helpLabel()->text(), QStringLiteral("正在检测企业微信系统通知、本地消息库和可见窗口。"));

    // A reader that is on but cannot read says so, with the core's reason, in either editor.
    QJsonObject state = QJsonDocument::fromJson(stateBody(QStringLiteral("王小明"), 2)).object();
    const QString why = QStringLiteral("读取方式“OCR 识别”在 Linux 上不可用，微信消息不会被读取。");
    state.insert(
        "setup",
        QJsonObject{
            {"items",
             QJsonArray{
                 QJsonObject{{"key", "wechat_source"}, {"status", "blocked"}, {"description", why}},
                 QJsonObject{{"key", "wecom_source"}, {"status", "warning"}, {"description", "正在监听"}}}}});
    h.setState(QJsonDocument(state).toJson(QJsonDocument::Compact));
    QVERIFY(h.refresh());
    QCOMPARE(wechat->statusPill()->title(), QStringLiteral("未在读取"));
    QCOMPARE(wechat->helpLabel()->text(), why);
    QCOMPARE(wecom->statusPill()->title(), QStringLiteral("已开启，有限读取")); // not blocked: diagnostics
    QTest::mouseClick(wechat->enabledSwitch(), Qt::LeftButton);
    QCOMPARE(wechat->statusPill()->title(), QStringLiteral("未开启"));
}

void TestSettingsView::diagnosticsCard_data()
{
    QTest::addColumn<int>("recommendations"); // -1: no diagnostics
    QTest::addColumn<int>("rows");
    QTest::newRow("no diagnostics") << -1 << 0;
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("two") << 2 << 2;
    QTest::newRow("five gives three") << 5 << 3;
}

void TestSettingsView::diagnosticsCard()
{
    QFETCH(int, recommendations);
    QFETCH(int, rows);
    Harness h(stateBody(QStringLiteral("王小明"), recommendations));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    WeComDiagnosticsCard* card = view->wecomDiagnosticsCard();
    QCOMPARE(card->isVisible(), recommendations >= 0);
    QCOMPARE(card->recommendationTexts().size(), rows);
    if (recommendations < 0)
        return;
    QCOMPARE(card->verdictPill()->title(), QStringLiteral("有限读取"));
    QCOMPARE(card->tiles().at(0)->value(), QStringLiteral("42"));
    QCOMPARE(card->tiles().at(1)->subtitle(), QStringLiteral("消息库加密，等待快照"));
    QCOMPARE(card->tiles().at(2)->subtitle(), QStringLiteral("窗口存在，但企微未暴露文字"));
    if (rows > 0)
        QCOMPARE(card->recommendationTexts().first(), QStringLiteral("建议 1"));

    // A refresh without diagnostics removes the card; one with them brings it back.
    h.setState(stateBody(QStringLiteral("王小明")));
    QVERIFY(h.refresh());
    QVERIFY(!card->isVisible());
    h.setState(stateBody(QStringLiteral("王小明"), 1));
    QVERIFY(h.refresh());
    QVERIFY(card->isVisible());
    QCOMPARE(card->recommendationTexts(), QStringList{QStringLiteral("建议 1")});
}

void TestSettingsView::scanButtonIsHeldWhileScanning()
{
    Harness h(stateBody(QStringLiteral("王小明"), 1));
    h.server.reply("POST", QStringLiteral("/api/scan/wecom/visible"),
                   FakeHttpServer::json(R"({"ok":true})").delayed(300));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    ProminentButton* scan = view->wecomDiagnosticsCard()->scanButton();
    QCOMPARE(scan->text(), QStringLiteral("立即读取企微消息"));
    QTest::mouseClick(scan, Qt::LeftButton);
    QCOMPARE(scan->text(), QStringLiteral("读取中"));
    QVERIFY(!scan->isEnabled());
    QTest::mouseClick(scan, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!h.store().isScanningWeCom(), 5000);
    QCOMPARE(scan->text(), QStringLiteral("立即读取企微消息"));
    QVERIFY(scan->isEnabled());
    QCOMPARE(h.server.requests(QStringLiteral("/api/scan/wecom/visible")).size(), 1);
}

void TestSettingsView::accessCardWithoutState()
{
    FakeHttpServer server;
    Fixture f = storetestkit::makeStore(server.baseUrl());
    auto view = shownView(*f.store);
    RemoteAccessCard* card = view->remoteAccessCard();
    QCOMPARE(card->wifiLine()->value(), QStringLiteral("等待同一 Wi-Fi 地址识别"));
    QVERIFY(!card->wifiLine()->copyButton()->isEnabled());
    QCOMPARE(card->agentLine()->value(), QStringLiteral("等待本机接口启动"));
    QVERIFY(!card->agentLine()->copyButton()->isEnabled());
    QVERIFY(!card->bundleButton()->isEnabled());
    QVERIFY(!card->mcpButton()->isEnabled());
    QCOMPARE(card->tokenField()->title(), QStringLiteral("远程访问口令（当前未设置）"));
    // The public row links the website bridge when there is one, and otherwise says so
    // without offering a link to copy.
    const bool hasBridge = !BridgeStore::websiteBridgeOrigin().isEmpty();
    QCOMPARE(card->publicLine()->copyButton()->isEnabled(), hasBridge);
    if (hasBridge)
        QVERIFY(card->publicLine()->value().endsWith(QStringLiteral("/mobile.html#remote-context")));
    else
        QCOMPARE(card->publicLine()->value(), QStringLiteral("未开启网站桥接"));
    QCOMPARE(card->statusLine()->text(), QStringLiteral("尚未同步到网站桥接"));
    // With no state, showing the view leaves the default draft alone.
    QVERIFY(!view->draftModel()->draft().isDirty);
    QCOMPARE(view->draftModel()->draft(), NativeSettingsDraft());
}

void TestSettingsView::accessCardCopies()
{
    Harness h(stateBody(QStringLiteral("王小明")));
    h.server.reply("POST", QStringLiteral("/api/remote/context/push"),
                   FakeHttpServer::json(R"({"ok":true,"mobile_url":"https://m.test/p"})").delayed(200));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    RemoteAccessCard* card = view->remoteAccessCard();
    const QString lan = QStringLiteral("http://192.168.1.20:8765/api/agent/context");
    QCOMPARE(card->agentLine()->value(), lan); // localhost_url empty: the LAN address
    QVERIFY(card->agentLine()->copyButton()->isEnabled());
    QVERIFY(card->bundleButton()->isEnabled());

    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    QTest::mouseClick(card->agentLine()->copyButton(), Qt::LeftButton);
    QCOMPARE(clipboard->text(), lan);
    QCOMPARE(h.store().toast(), QStringLiteral("已复制 Agent 读取链接"));

    QTest::mouseClick(card->bundleButton(), Qt::LeftButton);
    QCOMPARE(clipboard->text().split('\n').value(1), QStringLiteral("Header: Quillmere: 这里填远程访问口令"));
    QCOMPARE(h.store().toast(), QStringLiteral("已复制 Agent 链接和请求头"));
    typeInto(card->tokenField()->lineEdit(), QStringLiteral(" t0k "));
    QTest::mouseClick(card->bundleButton(), Qt::LeftButton);
    QCOMPARE(clipboard->text().split('\n').value(1), QStringLiteral("Header: Quillmere: t0k"));
    QTest::mouseClick(card->mcpButton(), Qt::LeftButton);
    const QJsonObject server = QJsonDocument::fromJson(clipboard->text().toUtf8())
                                   .object()[QStringLiteral("mcpServers")][QStringLiteral("razo")]
                                   .toObject();
    QCOMPARE(server[QStringLiteral("url")].toString(), QStringLiteral("http://192.168.1.20:8765/mcp"));
    QCOMPARE(server[QStringLiteral("headers")][QStringLiteral("Authorization")].toString(),
             QStringLiteral("Bearer t0k"));
    QCOMPARE(h.store().toast(), QStringLiteral("已复制 MCP 配置"));
    QVERIFY(card->mcpUsageLine()->text().contains(QStringLiteral("IDE")));

    // The sync button follows the store's flag and the status line its text.
    QTest::mouseClick(card->syncButton(), Qt::LeftButton);
    QCOMPARE(card->syncButton()->text(), QStringLiteral("同步中"));
    QVERIFY(!card->syncButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!h.store().isSyncingWebsiteBridge(), 5000);
    QCOMPARE(card->syncButton()->text(), QStringLiteral("同步到网站桥接"));
    QVERIFY(card->statusLine()->text().endsWith(QStringLiteral("，手机入口：https://m.test/p")));
}

void TestSettingsView::aiCardStartsCollapsed()
{
    Harness h(stateBody(QStringLiteral("王小明")));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    AISettingsCard* ai = view->aiSettingsCard();
    QVERIFY(!ai->isExpanded());
    QVERIFY(!ai->content()->isVisible());
    QCOMPARE(ai->currentLabel()->text(), QStringLiteral("当前：qwen / 自动选择模型"));
    QTest::mouseClick(ai->disclosure(), Qt::LeftButton);
    QVERIFY(ai->content()->isVisible());
    QLineEdit* model = ai->findChild<SettingsTextField*>(QStringLiteral("aiModelField"))->lineEdit();
    typeInto(model, QStringLiteral("qwen-max"));
    QCOMPARE(ai->currentLabel()->text(), QStringLiteral("当前：qwen / qwen-max"));
    QCOMPARE(ai->findChild<SettingsTextField*>(QStringLiteral("aiKeyEnvField"))->lineEdit()->text(),
             QStringLiteral("DEEPSEEK_API_KEY"));
}

// The core reports its latest failed provider call in its setup checklist; the AI card shows
// it under the provider line, collapsed or not, until a state without the failure arrives.
void TestSettingsView::aiCardSaysWhyTheProviderFailed()
{
    const QString failure =
        QStringLiteral("12-07 10:32 调用 本地 Ollama 回答问题失败：无法连接 AI 接口（连接被拒绝）。");
    auto withAIItem = [](const QString& status, const QString& description) {
        const QJsonObject item{
            {"key", "ai_provider"}, {"title", "AI 对话"}, {"status", status}, {"description", description}};
        const QJsonObject other{{"key", "core_service"}, {"status", "error"}, {"description", "别的问题"}};
        const QJsonObject state{{"config", configJson(QStringLiteral("王小明"))},
                                {"setup", QJsonObject{{"items", QJsonArray{other, item}}}}};
        return QJsonDocument(state).toJson(QJsonDocument::Compact);
    };
    Harness h(withAIItem(QStringLiteral("error"), QStringLiteral(" ") + failure));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    QLabel* line = view->aiSettingsCard()->problemLabel();
    QVERIFY(line->isVisible());
    QCOMPARE(line->text(), failure);
    QCOMPARE(view->aiSettingsCard()->disclosure()->accessibleDescription(), failure);

    h.setState(withAIItem(QStringLiteral("ready"), QStringLiteral("助手通过本地 Ollama 回答。")));
    QVERIFY(h.refresh());
    QVERIFY(!line->isVisible());
    QCOMPARE(view->aiSettingsCard()->disclosure()->accessibleDescription(), QString());

    // AI switched off: whatever the item says, nothing of it fails.
    QJsonObject off = QJsonDocument::fromJson(withAIItem(QStringLiteral("error"), failure)).object();
    QJsonObject config = off.value("config").toObject();
    config.insert("ai_provider", QJsonObject{{"enabled", false}});
    off.insert("config", config);
    h.setState(QJsonDocument(off).toJson(QJsonDocument::Compact));
    QVERIFY(h.refresh());
    QVERIFY(!line->isVisible());
}

// Every control of the section, the expanded AI card included, can be found and read out.
void TestSettingsView::everyControlIsNamed()
{
    Harness h(stateBody(QStringLiteral("王小明"), 5));
    QVERIFY(h.refresh());
    auto view = shownView(h.store());
    view->aiSettingsCard()->setExpanded(true);
    QStringList unnamed;
    int controls = 0;
    for (QWidget* w : view->findChildren<QWidget*>()) {
        const bool interactive = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                                 qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                                 qobject_cast<SegmentedControl*>(w);
        if (!interactive || !w->isVisibleTo(view.get()))
            continue;
        ++controls;
        if (w->objectName().isEmpty() || w->accessibleName().isEmpty())
            unnamed << QStringLiteral("%1 '%2' '%3'")
                           .arg(w->metaObject()->className(), w->objectName(), w->accessibleName());
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral("; "))));
    QVERIFY2(controls >= 30, qPrintable(QString::number(controls))); // switches, pickers, fields, buttons
}

void TestSettingsView::backgroundReadingSwitchActsAtOnce()
{
    Harness h(stateBody(QStringLiteral("王小明")));
    QVERIFY(h.refresh());
    // The test store's default way changes nothing: the switch says why it cannot be turned on.
    auto view = shownView(h.store());
    BackgroundReadingCard* card = view->backgroundReadingCard();
    QTRY_VERIFY(h.store().backgroundReading().known);
    QVERIFY(!card->enabledSwitch()->isEnabled());
    QVERIFY2(card->statusLabel()->text().contains(QStringLiteral("不是安装版")),
             qPrintable(card->statusLabel()->text()));

    StandInSystemctl systemctl;
    systemctl.mark(QStringLiteral("installed"));
    systemctl.mark(QStringLiteral("session"));
    h.store().setBackgroundReadingSetup(systemctl.setup());
    QStringList toasts;
    connect(&h.store(), &BridgeStore::toastChanged, this, [&] {
        if (!h.store().toast().isEmpty())
            toasts << h.store().toast();
    });
    view = shownView(h.store());
    card = view->backgroundReadingCard();
    ToggleSwitch* toggle = card->enabledSwitch();
    QTRY_VERIFY(toggle->isEnabled());
    QVERIFY(!toggle->isChecked());
    QVERIFY(card->statusLabel()->text().startsWith(QStringLiteral("未开启")));

    // A change of its value (what the accessibility interface's Toggle does) acts at once,
    // not through 保存全部设置, and holds the switch until the state is read back.
    toggle->setChecked(true);
    QVERIFY(!toggle->isEnabled());
    QTRY_VERIFY(toggle->isEnabled());
    QVERIFY(toggle->isChecked());
    QVERIFY(systemctl.calls().contains(QStringLiteral("enable --now razo-core.service")));
    QVERIFY(!view->draftModel()->draft().isDirty);
    QVERIFY(card->statusLabel()->text().startsWith(QStringLiteral("已开启")));
    QVERIFY(!card->problemLabel()->isVisible());

    // Refused: the switch shows what is read back (still on) and the card says why.
    systemctl.mark(QStringLiteral("refuse"), "Failed to disable unit: Access denied\n");
    QTest::mouseClick(toggle, Qt::LeftButton);
    QTRY_VERIFY(toggle->isEnabled());
    QVERIFY(toggle->isChecked());
    QVERIFY(card->problemLabel()->isVisible());
    QCOMPARE(card->problemLabel()->text(), QStringLiteral("未能更改：没有权限修改 systemd 用户服务的设置。"));
    QCOMPARE(toasts,
             (QStringList{QStringLiteral("已开启登录后在后台读取消息。"),
                          QStringLiteral("登录后在后台读取消息：没有权限修改 systemd 用户服务的设置。")}));
    // A later reading keeps the reason in view until the next change.
    const auto reading = h.store().loadBackgroundReading();
    QTRY_VERIFY(reading.isReady());
    QVERIFY(card->problemLabel()->isVisible());
}

void TestSettingsView::settingsWindow()
{
    Harness h(stateBody(QStringLiteral("王小明")));
    QVERIFY(h.refresh());
    MainWindow main(h.store());
    auto* action = main.findChild<QAction*>(QStringLiteral("openSettingsWindowAction"));
    QVERIFY(action);
    QCOMPARE(action->menuRole(), QAction::PreferencesRole);
    const QKeySequence configDir(Qt::CTRL | Qt::Key_Comma);
    QVERIFY(!action->shortcuts().contains(configDir));
    QVERIFY(!NativeSettingsView::preferencesShortcuts().contains(configDir));
    QCOMPARE(main.findChild<QAction*>(QStringLiteral("openConfigDir"))->shortcut(), configDir);

    action->trigger();
    NativeSettingsView* window = NativeSettingsView::current();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->size(), QSize(980, 720));
    QCOMPARE(window->minimumSize(), QSize(980, 720));
    QCOMPARE(window->maximumSize(), QSize(980, 720));
    QCOMPARE(window->dashboard()->userProfileCard()->nameField()->lineEdit()->text(),
             QStringLiteral("王小明"));
    action->trigger(); // raises the same window
    QCOMPARE(NativeSettingsView::current(), window);

    // The window's draft is its own: edits there leave a section view's draft alone.
    auto section = shownView(h.store());
    typeInto(window->dashboard()->userProfileCard()->nameField()->lineEdit(), QStringLiteral("窗"));
    QCOMPARE(section->draftModel()->draft().userDisplayName, QStringLiteral("王小明"));
    QVERIFY(!section->draftModel()->draft().isDirty);

    QPointer<NativeSettingsView> guard(window);
    window->close();
    QTRY_VERIFY(!guard);
}

void TestSettingsView::endToEndSaveAgainstTheCore()
{
    StandInCore core;
    QVERIFY2(core.start(), qPrintable(core.output));
    const QUrl base = core.base;

    Fixture f = storetestkit::makeStore(base);
    BridgeStore& store = *f.store;
    QSignalSpy stateSpy(&store, &BridgeStore::stateChanged);
    store.refreshAll();
    QTRY_VERIFY_WITH_TIMEOUT(store.state().has_value(), 10000);
    QVERIFY(store.state()->config);
    const bool hadKey = store.state()->config->aiProvider->hasApiKey.value_or(false);
    QVERIFY(!hadKey);

    auto view = shownView(store);
    QVERIFY(!view->draftModel()->draft().isDirty);
    typeInto(view->userProfileCard()->nameField()->lineEdit(), QStringLiteral("测试用户"));
    typeInto(view->findChild<SettingsTextEditor*>(QStringLiteral("keywordsEditor"))->editor(),
             QStringLiteral("\n周报\n\n发布"));
    typeInto(view->remoteAccessCard()->tokenField()->lineEdit(), QStringLiteral("  e2e-token  "));
    view->aiSettingsCard()->setExpanded(true);
    typeInto(view->aiSettingsCard()->apiKeyField()->lineEdit(), QStringLiteral(" sk-e2e "));
    QTest::mouseClick(view->chatTargetsCard()->wecomEditor()->enabledSwitch(), Qt::LeftButton);
    QVERIFY(view->userProfileCard()->notifySwitch()->isChecked()); // on by default
    QTest::mouseClick(view->userProfileCard()->notifySwitch(), Qt::LeftButton);
    const bool wecomOn = view->draftModel()->draft().wecomEnabled;
    const QString displayName = view->draftModel()->draft().userDisplayName;

    QTest::mouseClick(view->saveButton(), Qt::LeftButton);
    QVERIFY(store.isSavingSettings());
    QTRY_VERIFY_WITH_TIMEOUT(!store.isSavingSettings(), 15000);
    QCOMPARE(store.lastError(), QString());

    const ConfigSnapshot& config = *store.state()->config;
    QCOMPARE(config.userProfile->displayName, displayName);
    QVERIFY(config.notificationKeywords->contains(QStringLiteral("周报")));
    QVERIFY(config.notificationKeywords->contains(QStringLiteral("发布")));
    QCOMPARE(config.wecom->enabled, wecomOn);
    QCOMPARE(config.notifyTodosAndMentions, std::optional(false));
    QCOMPARE(config.aiProvider->hasApiKey, true);
    QCOMPARE(config.remoteAccessProtected, true);
    QCOMPARE(store.state()->agentAccess->tokenRequired, true);

    // A fresh view loads the saved values and never shows the key or the token.
    auto fresh = shownView(store);
    QCOMPARE(fresh->userProfileCard()->nameField()->lineEdit()->text(), displayName);
    QCOMPARE(fresh->aiSettingsCard()->apiKeyField()->lineEdit()->text(), QString());
    QCOMPARE(fresh->remoteAccessCard()->tokenField()->lineEdit()->text(), QString());
    QCOMPARE(fresh->remoteAccessCard()->tokenField()->title(), QStringLiteral("远程访问口令（当前已设置）"));
    QCOMPARE(fresh->draftModel()->draft().wecomEnabled, wecomOn);
    QVERIFY(!fresh->userProfileCard()->notifySwitch()->isChecked());
}

void TestSettingsView::screenshots()
{
    const QString out = screenshotDir();
    if (out.isEmpty())
        QSKIP("set RAZO_SCREENSHOT_DIR to write the settings screenshots");
    QDir().mkpath(out);
    StandInCore core;
    QVERIFY2(core.start(), qPrintable(core.output));
    Fixture f = storetestkit::makeStore(core.base);
    BridgeStore& store = *f.store;
    store.refreshAll();
    QTRY_VERIFY_WITH_TIMEOUT(store.state().has_value() && !store.isRefreshing(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!store.isSyncingWebsiteBridge(), 10000);

    // As an installed razo in a desktop session would show it (switched off).
    StandInSystemctl systemctl;
    systemctl.mark(QStringLiteral("installed"));
    systemctl.mark(QStringLiteral("session"));
    store.setBackgroundReadingSetup(systemctl.setup());

    // The section, tall enough to hold every card.
    auto view = std::make_unique<SettingsDashboardView>(store);
    view->resize(1000, 900);
    view->show();
    view->aiSettingsCard()->setExpanded(true);
    const int full = view->widget()->sizeHint().height();
    view->resize(1000, full);
    QTest::qWait(400);
    QTRY_VERIFY(view->backgroundReadingCard()->enabledSwitch()->isEnabled());
    QVERIFY(view->grab().save(out + QStringLiteral("/settings-section.png")));
    QVERIFY(view->chatTargetsCard()->grab().save(out + QStringLiteral("/settings-card-targets.png")));
    QVERIFY(view->wecomDiagnosticsCard()->grab().save(out + QStringLiteral("/settings-card-wecom.png")));
    QVERIFY(view->remoteAccessCard()->grab().save(out + QStringLiteral("/settings-card-access.png")));
    QVERIFY(view->userProfileCard()->grab().save(out + QStringLiteral("/settings-card-profile.png")));
    QTRY_VERIFY(view->backgroundReadingCard()->enabledSwitch()->isEnabled());
    QVERIFY(
        view->backgroundReadingCard()->grab().save(out + QStringLiteral("/settings-card-background.png")));

    NativeSettingsView window(store);
    window.show();
    QTest::qWait(400);
    QVERIFY(window.grab().save(out + QStringLiteral("/settings-window.png")));
}

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
