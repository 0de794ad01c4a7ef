// A change made through the accessibility interface, the way a screen reader, voice control
// or a dictation tool makes it (a control's Toggle action, text set through the editable-text
// interface), reaches the timeline and the settings draft exactly like a click or typing.
// The same over a real AT-SPI bus: tests/a11y/atspi_check.py.
#include "FakeHttpServer.h"
#include "StoreTestKit.h"
#include "ViewProbes.h"
#include "ui/chat/ChatInputField.h"
#include "ui/chat/ChatView.h"
#include "ui/common/AppAppearance.h"
#include "ui/common/HeaderRow.h"
#include "ui/common/ProminentButton.h"
#include "ui/common/SegmentButton.h"
#include "ui/common/SegmentedControl.h"
#include "ui/messages/MessagesView.h"
#include "ui/settings/AISettingsCard.h"
#include "ui/settings/SettingsDashboardView.h"
#include "ui/settings/logic/SettingsDraftModel.h"

#include <QAccessible>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QtTest>

#include <QCoroTask>

using storetestkit::Fixture;

namespace {

QAccessibleInterface* accessible(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    if (!iface)
        qFatal("no accessible interface for %s", qPrintable(w->objectName()));
    return iface;
}

void toggleThroughAccessibility(QWidget* w)
{
    QAccessibleActionInterface* actions = accessible(w)->actionInterface();
    QVERIFY2(actions && actions->actionNames().contains(QAccessibleActionInterface::toggleAction()),
             qPrintable(w->objectName()));
    actions->doAction(QAccessibleActionInterface::toggleAction());
}

void setTextThroughAccessibility(QWidget* w, const QString& text)
{
    QAccessibleInterface* iface = accessible(w);
    QVERIFY2(iface->editableTextInterface() && iface->textInterface(), qPrintable(w->objectName()));
    iface->editableTextInterface()->replaceText(0, iface->textInterface()->characterCount(), text);
}

// The widget at a path of object names ("wecomEditor/chatTargetSwitch") below `root`.
QWidget* widgetAt(QWidget* root, const QString& path)
{
    QWidget* w = root;
    for (const QString& name : path.split(u'/')) {
        w = w ? w->findChild<QWidget*>(name) : nullptr;
    }
    return w;
}

QJsonValue valueAt(const QJsonObject& doc, const QString& path)
{
    const QStringList keys = path.split(u'/');
    QJsonObject at = doc;
    for (int i = 0; i + 1 < keys.size(); ++i)
        at = at.value(keys[i]).toObject();
    return at.value(keys.last());
}

QByteArray eventsBody()
{
    const QList<std::tuple<int, const char*, const char*, const char*>> rows{
        {1, "wechat", "家人群", "周末回家吃饭吗？"},
        {2, "wecom", "项目例会群", "麻烦今天提交 ABC 周报"},
        {3, "wecom", "产品讨论", "这个需求我稍后跟进"},
    };
    QJsonArray events;
    for (const auto& [id, target, session, text] : rows)
        events.append(QJsonObject{{"id", id},
                                  {"chat_target", target},
                                  {"session_name", QString::fromUtf8(session)},
                                  {"content", QString::fromUtf8(text)}});
    return QJsonDocument(QJsonObject{{"events", events}}).toJson(QJsonDocument::Compact);
}

QByteArray stateBody()
{
    const QJsonObject config{
        {"user_profile", QJsonObject{{"display_name", "王小明"}}},
        {"wecom", QJsonObject{{"enabled", true}, {"rule_mode", "allowlist"}}},
        {"ai_provider", QJsonObject{{"provider", "qwen"}, {"enabled", true}}},
    };
    return QJsonDocument(QJsonObject{{"config", config}}).toJson(QJsonDocument::Compact);
}

} // namespace

class TestAssistiveInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { appearance::apply(*qApp); }
    void init();
    void cleanup();
    void timelineSegmentToggled_data();
    void timelineSegmentToggled();
    void searchAndQuestionSetAsText();
    void settingsControlReachesSave_data();
    void settingsControlReachesSave();

private:
    std::unique_ptr<FakeHttpServer> m_server;
    Fixture m_fixture;
};

void TestAssistiveInput::init()
{
    m_server = std::make_unique<FakeHttpServer>();
    m_server->reply("GET", "/api/state", FakeHttpServer::json(stateBody()));
    m_server->reply("GET", "/api/events", FakeHttpServer::json(eventsBody()));
    m_server->reply("POST", "/api/config/native/save", FakeHttpServer::json(R"({"ok":true})"));
    m_fixture = storetestkit::makeStore(m_server->baseUrl());
    QCoro::waitFor(m_fixture.store->refreshAll());
    QVERIFY(m_fixture.store->state().has_value());
}

void TestAssistiveInput::cleanup()
{
    m_fixture = {};
    m_server.reset();
}

void TestAssistiveInput::timelineSegmentToggled_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("segment");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("分类 会议") << "messagesPresetControl"
                               << "meeting"
                               << "会议相关" << QStringList{"2"};
    QTest::newRow("分类 稍后") << "messagesPresetControl"
                               << "followUp"
                               << "稍后处理" << QStringList{"3"};
    QTest::newRow("来源 微信") << "messagesSourceControl"
                               << "wechat"
                               << "最近 7 天消息" << QStringList{"1"};
    QTest::newRow("来源 企业微信") << "messagesSourceControl"
                                   << "wecom"
                                   << "最近 7 天消息" << QStringList{"2", "3"};
}

void TestAssistiveInput::timelineSegmentToggled()
{
    QFETCH(QString, control);
    QFETCH(QString, segment);
    QFETCH(QString, heading);
    QFETCH(QStringList, shown);

    MessagesView view(*m_fixture.store);
    view.show();
    QCOMPARE(shownIds(view), (QStringList{"1", "2", "3"}));
    auto* picker = view.findChild<SegmentedControl*>(control);
    auto* button = picker->findChild<SegmentButton*>(QStringLiteral("segment_") + segment);
    toggleThroughAccessibility(button);
    QVERIFY(button->isChecked());
    QCOMPARE(picker->currentValue(), segment);
    QCOMPARE(view.findChild<HeaderRow*>()->title(), heading);
    QCOMPARE(shownIds(view), shown);
}

void TestAssistiveInput::searchAndQuestionSetAsText()
{
    MessagesView messages(*m_fixture.store);
    setTextThroughAccessibility(messages.findChild<QLineEdit*>(QStringLiteral("messagesSearchField")),
                                QStringLiteral("周报"));
    QCOMPARE(shownIds(messages), QStringList{"2"});

    ChatView chat(*m_fixture.store);
    QVERIFY(!chat.sendButton()->isEnabled());
    setTextThroughAccessibility(chat.inputField(), QStringLiteral("今天先做什么？"));
    QCOMPARE(chat.draft(), QStringLiteral("今天先做什么？"));
    QVERIFY(chat.sendButton()->isEnabled());
}

void TestAssistiveInput::settingsControlReachesSave_data()
{
    QTest::addColumn<QString>("widget"); // object names from the settings view down
    QTest::addColumn<QString>("text");   // set through the editable-text interface; empty: Toggle
    QTest::addColumn<QString>("key");    // where the save document carries it
    QTest::addColumn<QJsonValue>("saved");

    QTest::newRow("text field") << "userDisplayNameField/settingsTextFieldEdit"
                                << "无障碍用户"
                                << "user_profile/display_name" << QJsonValue("无障碍用户");
    QTest::newRow("reader folder") << "wechatEditor/dataRootField/settingsTextFieldEdit"
                                   << "/data/wx"
                                   << "wechat/data_root" << QJsonValue("/data/wx");
    QTest::newRow("multi-line editor") << "keywordsEditor/settingsTextEditorEdit"
                                       << "周报\n发布"
                                       << "notification_keywords" << QJsonValue("周报\n发布");
    QTest::newRow("allowlist") << "wecomEditor/allowlistEditor/settingsTextEditorEdit"
                               << "客户群"
                               << "wecom/allowlist_names" << QJsonValue("客户群");
    QTest::newRow("switch") << "wecomEditor/chatTargetSwitch" << QString() << "wecom/enabled"
                            << QJsonValue(false);
    QTest::newRow("AI switch") << "aiEnabledSwitch" << QString() << "ai/enabled" << QJsonValue(false);
    QTest::newRow("notification switch")
        << "notifyTodosAndMentionsSwitch" << QString() << "notify_todos_and_mentions" << QJsonValue(false);
    QTest::newRow("rule segment") << "wecomRulePicker/segment_all_incoming" << QString() << "wecom/rule_mode"
                                  << QJsonValue("all_incoming");
    QTest::newRow("provider segment")
        << "aiProviderPicker/segment_ollama" << QString() << "ai/provider" << QJsonValue("ollama");
}

void TestAssistiveInput::settingsControlReachesSave()
{
    QFETCH(QString, widget);
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(QJsonValue, saved);

    SettingsDashboardView view(*m_fixture.store);
    view.resize(1000, 900);
    view.show();
    view.aiSettingsCard()->setExpanded(true); // as a screen reader finds it
    QWidget* control = widgetAt(&view, widget);
    QVERIFY2(control, qPrintable(widget));
    QVERIFY(valueAt(view.draftModel()->draft().payload(), key) != saved);
    QVERIFY(!view.draftModel()->draft().isDirty);

    if (text.isEmpty())
        toggleThroughAccessibility(control);
    else
        setTextThroughAccessibility(control, text);
    QVERIFY(view.draftModel()->draft().isDirty);

    // Saved through the button's own action, as the assistive tool would press it.
    accessible(view.saveButton())->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(m_server->requests(QStringLiteral("/api/config/native/save")).size(), 1);
    QCOMPARE(valueAt(m_server->requests(QStringLiteral("/api/config/native/save")).first().json(), key),
             saved);
}

QTEST_MAIN(TestAssistiveInput)
#include "tst_assistiveinput.moc"
