#include "ui/settings/RemoteAccessCard.h"

#include "store/BridgeStore.h"
#include "ui/common/AppTheme.h"
#include "ui/common/BorderedButton.h"
#include "ui/common/Labels.h"
#include "ui/common/Painting.h"
#include "ui/common/SymbolIcons.h"
#include "ui/settings/LinkLine.h"
#include "ui/settings/SettingsTextField.h"
#include "ui/settings/logic/DraftBinding.h"
#include "ui/settings/logic/RemoteAccessDerivations.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int kBoxPadding = 12;
constexpr qreal kBoxRadius = 14;

// The green website-bridge box: paints its own rounded tinted background.
class TintedBox : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        painting::CardStyle s;
        s.rect = QRectF(rect());
        s.cornerRadius = kBoxRadius;
        s.fill = AppTheme::withOpacity(AppTheme::systemGreen(), 0.08);
        s.border = QColor();
        painting::paintCard(p, s);
    }
};

} // namespace

RemoteAccessCard::RemoteAccessCard(BridgeStore& store, SettingsDraftModel* draft, QWidget* parent)
    : SettingsCard(QStringLiteral("手机访问与 Agent 接入"), parent), m_store(store), m_draft(draft)
{
    using namespace AppTheme;
    setObjectName(QStringLiteral("remoteAccessCard"));

    m_public =
        new LinkLine(store, QStringLiteral("公网手机入口"), QStringLiteral("已复制网站桥接手机入口"), this);
    m_public->setObjectName(QStringLiteral("publicMobileLine"));
    body()->addWidget(m_public);
    body()->addWidget(bridgeBox());

    m_status = labels::make(QString(), TextStyle::Caption, -1, secondaryText(), this);
    m_status->setObjectName(QStringLiteral("websiteBridgeStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setWordWrap(true);
    body()->addWidget(m_status);

    m_token = new SettingsTextField(remoteaccess::tokenFieldTitle(std::nullopt),
                                    QStringLiteral("这只是本机接口的访问密码，主要给 OpenClaw / Hermes "
                                                   "读取本机接口时使用；手机公网访问优先走上面的网站桥接。"),
                                    bindText(draft, &NativeSettingsDraft::remoteAccessToken), this);
    m_token->setObjectName(QStringLiteral("remoteAccessTokenField"));
    body()->addWidget(m_token);

    m_wifi = new LinkLine(store, QStringLiteral("同一 Wi-Fi 备用链接"),
                          QStringLiteral("已复制同一 Wi-Fi 备用链接"), this);
    m_wifi->setObjectName(QStringLiteral("localMobileLine"));
    body()->addWidget(m_wifi);
    m_agent = new LinkLine(store, QStringLiteral("本机 Agent 读取链接"),
                           QStringLiteral("已复制 Agent 读取链接"), this);
    m_agent->setObjectName(QStringLiteral("agentLine"));
    body()->addWidget(m_agent);

    auto* agentRow = new QHBoxLayout;
    agentRow->setSpacing(12);
    m_bundle =
        new BorderedButton(QStringLiteral("一键复制 Agent 接入信息"), QStringLiteral("doc.on.doc"), this);
    m_bundle->setObjectName(QStringLiteral("copyAgentBundleButton"));
    agentRow->addWidget(m_bundle, 0, Qt::AlignVCenter);
    auto* note = labels::make(QStringLiteral("电脑端 Agent 使用本机链接；手机公网访问使用上方入口。"),
                              TextStyle::Caption, -1, secondaryText(), this);
    note->setWordWrap(true);
    agentRow->addWidget(note, 1, Qt::AlignVCenter);
    body()->addLayout(agentRow);

    auto* mcpRow = new QHBoxLayout;
    mcpRow->setSpacing(12);
    m_mcp = new BorderedButton(QStringLiteral("复制 MCP 配置"), QStringLiteral("doc.on.doc"), this);
    m_mcp->setObjectName(QStringLiteral("copyMcpConfigButton"));
    mcpRow->addWidget(m_mcp, 0, Qt::AlignVCenter);
    m_mcpUsage = labels::make(QString(), TextStyle::Caption, -1, secondaryText(), this);
    m_mcpUsage->setObjectName(QStringLiteral("mcpConfigUsage"));
    m_mcpUsage->setWordWrap(true);
    mcpRow->addWidget(m_mcpUsage, 1, Qt::AlignVCenter);
    body()->addLayout(mcpRow);

    connect(m_bundle, &QAbstractButton::clicked, this, &RemoteAccessCard::copyBundle);
    connect(m_mcp, &QAbstractButton::clicked, this, &RemoteAccessCard::copyMcpConfig);
    connect(&store, &BridgeStore::stateChanged, this, &RemoteAccessCard::refresh);
    connect(&store, &BridgeStore::websiteBridgeStatusChanged, this, &RemoteAccessCard::refresh);
    connect(&store, &BridgeStore::isSyncingWebsiteBridgeChanged, this, &RemoteAccessCard::refresh);
    connect(draft, &SettingsDraftModel::changed, this, &RemoteAccessCard::refresh);
    refresh();
}

QWidget* RemoteAccessCard::bridgeBox()
{
    using namespace AppTheme;
    auto* box = new TintedBox(this);
    box->setObjectName(QStringLiteral("websiteBridgeBox"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(kBoxPadding, kBoxPadding, kBoxPadding, kBoxPadding);
    row->setSpacing(12);
    auto* icon = new QLabel(box);
    icon->setPixmap(SymbolIcons::pixmap(QStringLiteral("arrow.triangle.2.circlepath.circle"), 22,
                                        systemGreen(), devicePixelRatioF()));
    icon->setFixedSize(22, 22);
    row->addWidget(icon, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    auto* lead = labels::make(QStringLiteral("手机端通过网站桥接读取本机同步的消息快照。"),
                              TextStyle::Callout, QFont::DemiBold, ink(), box);
    lead->setWordWrap(true);
    auto* detail =
        labels::make(QStringLiteral("电脑端运行时会同步最近 7 天上下文，需要立刻更新时可手动同步。"),
                     TextStyle::Caption, -1, secondaryText(), box);
    detail->setWordWrap(true);
    texts->addWidget(lead);
    texts->addWidget(detail);
    row->addLayout(texts, 1);

    m_sync = new BorderedButton(remoteaccess::syncLabel(false), QStringLiteral("icloud.and.arrow.up"), box);
    m_sync->setObjectName(QStringLiteral("syncWebsiteBridgeButton"));
    row->addWidget(m_sync, 0, Qt::AlignVCenter);
    connect(m_sync, &QAbstractButton::clicked, this, [this] {
        if (!m_store.isSyncingWebsiteBridge())
            m_store.syncWebsiteBridge(false); // runs on; the store reports the outcome
    });
    return box;
}

void RemoteAccessCard::refresh()
{
    const auto& state = m_store.state();
    const NativeSettingsDraft& d = m_draft->draft();
    m_public->set(remoteaccess::publicMobileURL(d.websiteBridgeBaseURL), true);
    const bool syncing = m_store.isSyncingWebsiteBridge();
    m_sync->setLabel(remoteaccess::syncLabel(syncing));
    m_sync->setEnabled(!syncing);
    m_status->setText(m_store.websiteBridgeStatus());
    m_token->setTitle(remoteaccess::tokenFieldTitle(state));
    m_wifi->set(remoteaccess::localMobileURL(state), remoteaccess::hasLocalMobileURL(state));
    m_agent->set(remoteaccess::agentURL(state), remoteaccess::hasAgentURL(state));
    m_bundle->setEnabled(remoteaccess::hasAgentURL(state));
    m_mcp->setEnabled(remoteaccess::hasAgentURL(state));
    m_mcpUsage->setText(remoteaccess::mcpUsage(state, d.remoteAccessToken));
}

void RemoteAccessCard::copyBundle()
{
    if (!remoteaccess::hasAgentURL(m_store.state()))
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(remoteaccess::agentAccessBundle(m_store.state(), m_draft->draft().remoteAccessToken));
    m_store.showToast(QStringLiteral("已复制 Agent 链接和请求头"));
}

void RemoteAccessCard::copyMcpConfig()
{
    if (!remoteaccess::hasAgentURL(m_store.state()))
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(remoteaccess::mcpConfig(m_store.state(), m_draft->draft().remoteAccessToken));
    m_store.showToast(QStringLiteral("已复制 MCP 配置"));
}
