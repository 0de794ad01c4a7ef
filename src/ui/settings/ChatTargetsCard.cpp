#include "ui/settings/ChatTargetsCard.h"

#include "store/BridgeStore.h"
#include "ui/settings/ChatTargetEditor.h"
#include "ui/settings/logic/ReaderStatus.h"
#include "ui/settings/logic/WeComDiagnosticsPresentation.h"

#include <QHBoxLayout>

ChatTargetsCard::ChatTargetsCard(BridgeStore& store, SettingsDraftModel* draft, QWidget* parent)
    : SettingsCard(QStringLiteral("微信和企业微信"), parent), m_store(store), m_draft(draft)
{
    setObjectName(QStringLiteral("chatTargetsCard"));
    using D = NativeSettingsDraft;
    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    m_wechat = new ChatTargetEditor(QStringLiteral("微信"),
                                    {bindFlag(draft, &D::wechatEnabled), bindText(draft, &D::wechatSource),
                                     bindText(draft, &D::wechatDataRoot),
                                     bindText(draft, &D::wechatAllowlist), std::nullopt},
                                    true, this);
    m_wechat->setObjectName(QStringLiteral("wechatEditor"));
    m_wecom = new ChatTargetEditor(QStringLiteral("企业微信"),
                                   {bindFlag(draft, &D::wecomEnabled), bindText(draft, &D::wecomSource),
                                    bindText(draft, &D::wecomDataRoot), bindText(draft, &D::wecomAllowlist),
                                    bindText(draft, &D::wecomRuleMode)},
                                   false, this);
    m_wecom->setObjectName(QStringLiteral("wecomEditor"));
    row->addWidget(m_wechat, 1, Qt::AlignTop);
    row->addWidget(m_wecom, 1, Qt::AlignTop);
    body()->addLayout(row);

    connect(&store, &BridgeStore::stateChanged, this, &ChatTargetsCard::refreshStatus);
    connect(draft, &SettingsDraftModel::changed, this, &ChatTargetsCard::refreshStatus);
    refreshStatus();
}

void ChatTargetsCard::refreshStatus()
{
    const NativeSettingsDraft& d = m_draft->draft();
    if (const auto wechat =
            readerstatus::notReading(m_store.state(), QStringLiteral("wechat"), d.wechatEnabled))
        m_wechat->setStatus(wechat->look, wechat->reason);
    else
        m_wechat->setStatus(std::nullopt, QString());
    if (const auto wecom =
            readerstatus::notReading(m_store.state(), QStringLiteral("wecom"), d.wecomEnabled)) {
        m_wecom->setStatus(wecom->look, wecom->reason);
        return;
    }
    const wecomdiag::EditorStatus status =
        wecomdiag::editorStatus(wecomdiag::wecomDiagnostic(m_store.state()), d.wecomEnabled);
    m_wecom->setStatus(status.look, status.help);
}
