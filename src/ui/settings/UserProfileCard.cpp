#include "ui/settings/UserProfileCard.h"

#include "ui/settings/SettingsTextEditor.h"
#include "ui/settings/SettingsTextField.h"
#include "ui/settings/logic/DraftBinding.h"

#include <QHBoxLayout>

UserProfileCard::UserProfileCard(SettingsDraftModel* draft, QWidget* parent)
    : SettingsCard(QStringLiteral("个人识别"), parent)
{
    setObjectName(QStringLiteral("userProfileCard"));
    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    m_name = new SettingsTextField(QStringLiteral("我的姓名"),
                                   QStringLiteral("用于判断会议名单、负责人名单、@你和与你相关的事项。"),
                                   bindText(draft, &NativeSettingsDraft::userDisplayName), this);
    m_name->setObjectName(QStringLiteral("userDisplayNameField"));
    m_aliases = new SettingsTextEditor(QStringLiteral("我的别名"),
                                       QStringLiteral("一行一个；可填拼音、英文名、花名、部门常用简称。"),
                                       bindText(draft, &NativeSettingsDraft::userAliases), 82, this);
    m_aliases->setObjectName(QStringLiteral("userAliasesEditor"));
    row->addWidget(m_name, 1, Qt::AlignTop);
    row->addWidget(m_aliases, 1, Qt::AlignTop);
    body()->addLayout(row);
}
