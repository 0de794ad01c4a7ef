#include "ui/settings/BusinessRulesCard.h"

#include "ui/settings/SettingsTextEditor.h"
#include "ui/settings/logic/DraftBinding.h"

#include <QHBoxLayout>

BusinessRulesCard::BusinessRulesCard(SettingsDraftModel* draft, QWidget* parent)
    : SettingsCard(QStringLiteral("业务规则"), parent)
{
    setObjectName(QStringLiteral("businessRulesCard"));
    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    m_keywords = new SettingsTextEditor(QStringLiteral("工作关键词"),
                                        QStringLiteral("一行一个关键词；命中后更容易进入待办和提醒。"),
                                        bindText(draft, &NativeSettingsDraft::keywords), 120, this);
    m_keywords->setObjectName(QStringLiteral("keywordsEditor"));
    m_exclude = new SettingsTextEditor(QStringLiteral("排除词"),
                                       QStringLiteral("广告、银行卡、优惠等不相关消息可以放这里。"),
                                       bindText(draft, &NativeSettingsDraft::excludeKeywords), 120, this);
    m_exclude->setObjectName(QStringLiteral("excludeKeywordsEditor"));
    row->addWidget(m_keywords, 1, Qt::AlignTop);
    row->addWidget(m_exclude, 1, Qt::AlignTop);
    body()->addLayout(row);
}
