#include "ui/settings/UserProfileCard.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Labels.h"
#include "ui/common/ToggleSwitch.h"
#include "ui/settings/SettingsTextEditor.h"
#include "ui/settings/SettingsTextField.h"
#include "ui/settings/UnsavedMark.h"
#include "ui/settings/logic/DraftBinding.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScopedValueRollback>
#include <QVBoxLayout>

UserProfileCard::UserProfileCard(SettingsDraftModel* draft, QWidget* parent)
    : SettingsCard(QStringLiteral("个人识别"), parent),
      m_notifyFlag(bindFlag(draft, &NativeSettingsDraft::notifyTodosAndMentions))
{
    using namespace AppTheme;
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

    // Who "me" is decides what reaches the user unasked, so the switch sits with the name.
    const QString help =
        QStringLiteral("有人找你办事或提到你的姓名、别名时，弹出桌面通知；点开直接定位到这条消息。"
                       "系统的勿扰模式照常生效。");
    auto* notifyColumn = new QVBoxLayout;
    notifyColumn->setSpacing(4);
    m_notify = new ToggleSwitch(QStringLiteral("待办和提到我的消息时通知我"), this);
    m_notify->setObjectName(QStringLiteral("notifyTodosAndMentionsSwitch"));
    m_notify->setAccessibleDescription(help);
    auto* helpLabel = labels::make(help, TextStyle::Caption2, -1, secondaryText(), this);
    helpLabel->setObjectName(QStringLiteral("notifyTodosAndMentionsHelp"));
    helpLabel->setWordWrap(true);
    m_notifyUnsaved = new UnsavedMark(m_notify, this);
    auto* notifyRow = new QHBoxLayout;
    notifyRow->setSpacing(10);
    notifyRow->addWidget(m_notify);
    notifyRow->addWidget(m_notifyUnsaved);
    notifyRow->addStretch(1);
    notifyColumn->addLayout(notifyRow);
    notifyColumn->addWidget(helpLabel);
    body()->addLayout(notifyColumn);

    // The value signal, not clicks: the accessibility interface's Toggle reaches the draft too;
    // what refresh() shows from the draft is no edit.
    connect(m_notify, &QAbstractButton::toggled, this, [this](bool on) {
        if (!m_refreshing)
            m_notifyFlag.set(on);
    });
    connect(draft, &SettingsDraftModel::changed, this, &UserProfileCard::refresh);
    refresh();
}

void UserProfileCard::refresh()
{
    const QScopedValueRollback refreshing(m_refreshing, true);
    m_notify->setChecked(m_notifyFlag.get());
    m_notifyUnsaved->setUnsaved(m_notifyFlag.isUnsaved());
}
