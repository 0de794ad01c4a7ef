#include "ui/settings/logic/RemoteAccessDerivations.h"

#include "store/BridgeStore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace remoteaccess;

namespace {

using OptText = std::optional<QString>;
using OptList = std::optional<QStringList>;

// A state with an agent access record; `present` false gives a state without one.
State access(OptText localhost, OptList lan, OptList mobile, std::optional<bool> tokenRequired = std::nullopt,
             bool present = true)
{
    BridgeStateResponse s;
    if (present) {
        AgentAccessSnapshot a;
        a.localhostUrl = std::move(localhost);
        a.lanUrls = std::move(lan);
        a.mobileUrls = std::move(mobile);
        a.tokenRequired = tokenRequired;
        a.tokenHeader = QStringLiteral("X-Other-Header"); // never used for the bundle
        s.agentAccess = a;
    }
    return s;
}

const QString kLocal = QStringLiteral("http://127.0.0.1:8765/api/agent/context");
const QString kLan = QStringLiteral("http://192.168.1.20:8765/api/agent/context");
const QString kMobile = QStringLiteral("http://192.168.1.20:8765/mobile.html");
const QString kUsage =
    QStringLiteral("用法：在 OpenClaw / Hermes 新建 HTTP 读取步骤，填入 URL，并添加上面的 Header。");

} // namespace

class TestRemoteAccess : public QObject
{
    Q_OBJECT

private slots:
    void publicMobileURL_data();
    void publicMobileURL();
    void publicMobileURLUsesTheStoreOrigin();
    void localMobileURL_data();
    void localMobileURL();
    void agentURL_data();
    void agentURL();
    void agentAccessBundle_data();
    void agentAccessBundle();
    void tokenFieldTitle_data();
    void tokenFieldTitle();
    void copyAllowed_data();
    void copyAllowed();
};

void TestRemoteAccess::publicMobileURL_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<QString>("expected");
    const QString origin = QStringLiteral("https://bridge.test");
    const QString page = origin + QStringLiteral("/mobile.html#remote-context");
    QTest::newRow("bare origin") << origin << "https://default.test" << page;
    QTest::newRow("trailing slash and blanks") << "  https://bridge.test/ \n"
                                               << "https://default.test" << page;
    QTest::newRow("several slashes") << "https://bridge.test///"
                                     << "https://default.test" << page;
    QTest::newRow("blank uses the default") << "" << origin << page;
    QTest::newRow("spaces only use the default") << " \t\n" << origin << page;
    QTest::newRow("default trimmed the same way") << ""
                                                  << " https://bridge.test/ " << page;
    QTest::newRow("no origin anywhere") << " "
                                        << ""
                                        << "未开启网站桥接";
    QTest::newRow("only slashes") << "//"
                                  << ""
                                  << "未开启网站桥接";
    QTest::newRow("path kept") << "https://bridge.test/app/"
                               << ""
                               << "https://bridge.test/app/mobile.html#remote-context";
}

void TestRemoteAccess::publicMobileURL()
{
    QFETCH(QString, base);
    QFETCH(QString, fallback);
    QFETCH(QString, expected);
    QCOMPARE(remoteaccess::publicMobileURL(base, fallback), expected);
}

void TestRemoteAccess::publicMobileURLUsesTheStoreOrigin()
{
    const QByteArray saved = qgetenv("RAZO_WEBSITE_BRIDGE_ORIGIN");
    qputenv("RAZO_WEBSITE_BRIDGE_ORIGIN", "https://env-bridge.test/");
    const QString fromEnv = remoteaccess::publicMobileURL(QStringLiteral("   "));
    qunsetenv("RAZO_WEBSITE_BRIDGE_ORIGIN");
    const QString built = remoteaccess::publicMobileURL(QString());
    if (!saved.isNull())
        qputenv("RAZO_WEBSITE_BRIDGE_ORIGIN", saved);
    QCOMPARE(fromEnv, QStringLiteral("https://env-bridge.test/mobile.html#remote-context"));
    // The build's origin, empty unless the build names one.
    const QString buildOrigin = QStringLiteral(RAZO_WEBSITE_BRIDGE_ORIGIN).trimmed();
    QCOMPARE(built, buildOrigin.isEmpty() ? QStringLiteral("未开启网站桥接")
                                          : buildOrigin + QStringLiteral("/mobile.html#remote-context"));
}

void TestRemoteAccess::localMobileURL_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("has");
    const QString waiting = QStringLiteral("等待同一 Wi-Fi 地址识别");
    QTest::newRow("no state") << State() << waiting << false;
    QTest::newRow("no agent access") << access({}, {}, {}, {}, false) << waiting << false;
    QTest::newRow("list absent") << access(kLocal, {}, {}) << waiting << false;
    QTest::newRow("list empty") << access(kLocal, {}, QStringList{}) << waiting << false;
    QTest::newRow("first entry empty") << access(kLocal, {}, QStringList{QString(), kMobile}) << "" << false;
    QTest::newRow("first entry") << access({}, {}, QStringList{kMobile, QStringLiteral("x")}) << kMobile
                                 << true;
}

void TestRemoteAccess::localMobileURL()
{
    QFETCH(State, state);
    QFETCH(QString, value);
    QFETCH(bool, has);
    QCOMPARE(remoteaccess::localMobileURL(state), value);
    QCOMPARE(hasLocalMobileURL(state), has);
    QCOMPARE(remoteaccess::copyAllowed(value, has), has);
}

void TestRemoteAccess::agentURL_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("has");
    const QString waiting = QStringLiteral("等待本机接口启动");
    QTest::newRow("no state") << State() << waiting << false;
    QTest::newRow("no agent access") << access({}, {}, {}, {}, false) << waiting << false;
    QTest::newRow("localhost") << access(kLocal, QStringList{kLan}, {}) << kLocal << true;
    QTest::newRow("localhost absent, one LAN") << access({}, QStringList{kLan}, {}) << kLan << true;
    QTest::newRow("localhost empty, one LAN") << access(QString(""), QStringList{kLan}, {}) << kLan << true;
    QTest::newRow("localhost empty, LAN absent") << access(QString(""), {}, {}) << waiting << false;
    QTest::newRow("LAN empty list") << access({}, QStringList{}, {}) << waiting << false;
    QTest::newRow("LAN first entry empty") << access({}, QStringList{QString(), kLan}, {}) << "" << false;
}

void TestRemoteAccess::agentURL()
{
    QFETCH(State, state);
    QFETCH(QString, value);
    QFETCH(bool, has);
    QCOMPARE(remoteaccess::agentURL(state), value);
    QCOMPARE(hasAgentURL(state), has);
    QCOMPARE(remoteaccess::copyAllowed(value, has), has);
}

void TestRemoteAccess::agentAccessBundle_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("mcpUrl");
    QTest::addColumn<QString>("mcpAuth"); // the MCP configuration's Authorization header; empty: none
    const QString mcpLocal = QStringLiteral("http://127.0.0.1:8765/mcp");
    const QString placeholder = QStringLiteral("Bearer 这里填远程访问口令");
    QTest::newRow("blank token") << access(kLocal, {}, {}) << "  \n"
                                 << "URL: " + kLocal + "\nHeader: Quillmere: 这里填远程访问口令\n" + kUsage
                                 << mcpLocal << "";
    QTest::newRow("blank token, one required")
        << access(kLocal, {}, {}, true) << ""
        << "URL: " + kLocal + "\nHeader: Quillmere: 这里填远程访问口令\n" + kUsage << mcpLocal << placeholder;
    QTest::newRow("padded token") << access({}, QStringList{kLan}, {}) << " s3cret\t"
                                  << "URL: " + kLan + "\nHeader: Quillmere: s3cret\n" + kUsage
                                  << "http://192.168.1.20:8765/mcp"
                                  << "Bearer s3cret";
    QTest::newRow("token with a quote")
        << access(kLocal + "?x=1", {}, {}, true) << "a\"b"
        << "URL: " + kLocal + "?x=1\nHeader: Quillmere: a\"b\n" + kUsage << mcpLocal << "Bearer a\"b";
    QTest::newRow("no state") << State() << "t"
                              << "URL: 等待本机接口启动\nHeader: Quillmere: t\n" + kUsage
                              << "等待本机接口启动"
                              << "Bearer t";
}

void TestRemoteAccess::agentAccessBundle()
{
    QFETCH(State, state);
    QFETCH(QString, token);
    QFETCH(QString, expected);
    QFETCH(QString, mcpUrl);
    QFETCH(QString, mcpAuth);
    const QString bundle = remoteaccess::agentAccessBundle(state, token);
    QCOMPARE(bundle, expected);
    QCOMPARE(bundle.split(QLatin1Char('\n')).size(), 3);
    QVERIFY(!bundle.contains(QStringLiteral("X-Other-Header")));

    QJsonParseError error;
    const QJsonDocument config =
        QJsonDocument::fromJson(remoteaccess::mcpConfig(state, token).toUtf8(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject servers = config.object().value(QStringLiteral("mcpServers")).toObject();
    QCOMPARE(servers.keys(), QStringList{QStringLiteral("razo")});
    const QJsonObject server = servers.value(QStringLiteral("razo")).toObject();
    QCOMPARE(server.value(QStringLiteral("type")).toString(), QStringLiteral("http"));
    QCOMPARE(server.value(QStringLiteral("url")).toString(), mcpUrl);
    QCOMPARE(server.contains(QStringLiteral("headers")), !mcpAuth.isEmpty());
    QCOMPARE(
        server.value(QStringLiteral("headers")).toObject().value(QStringLiteral("Authorization")).toString(),
        mcpAuth);
    // The usage line asks for the token exactly when the configuration holds the placeholder.
    QCOMPARE(remoteaccess::mcpUsage(state, token).contains(QStringLiteral("这里填远程访问口令")),
             mcpAuth.contains(QStringLiteral("这里填远程访问口令")));
}

void TestRemoteAccess::tokenFieldTitle_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("title");
    const QString set = QStringLiteral("远程访问口令（当前已设置）");
    const QString unset = QStringLiteral("远程访问口令（当前未设置）");
    QTest::newRow("no state") << State() << unset;
    QTest::newRow("no agent access") << access({}, {}, {}, {}, false) << unset;
    QTest::newRow("not reported") << access({}, {}, {}) << unset;
    QTest::newRow("false") << access({}, {}, {}, false) << unset;
    QTest::newRow("true") << access({}, {}, {}, true) << set;
}

void TestRemoteAccess::tokenFieldTitle()
{
    QFETCH(State, state);
    QFETCH(QString, title);
    QCOMPARE(remoteaccess::tokenFieldTitle(state), title);
}

void TestRemoteAccess::copyAllowed_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("canCopy");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("address") << kLan << true << true;
    QTest::newRow("address, not allowed") << kLan << false << false;
    QTest::newRow("waiting text, allowed flag") << "等待同一 Wi-Fi 地址识别" << true << false;
    QTest::newRow("any waiting text") << "等待" << true << false;
    QTest::newRow("switched off") << "未开启远程访问" << true << false;
    QTest::newRow("waiting later in text") << "http://x/等待" << true << true;
    QTest::newRow("padded waiting text") << " 等待本机接口启动" << true << true;
}

void TestRemoteAccess::copyAllowed()
{
    QFETCH(QString, value);
    QFETCH(bool, canCopy);
    QFETCH(bool, allowed);
    QCOMPARE(remoteaccess::copyAllowed(value, canCopy), allowed);
}

QTEST_GUILESS_MAIN(TestRemoteAccess)
#include "tst_remoteaccess.moc"
