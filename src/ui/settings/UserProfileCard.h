#pragma once

#include "ui/settings/SettingsCard.h"
#include "ui/settings/logic/DraftBinding.h"

class SettingsTextEditor;
class SettingsTextField;
class ToggleSwitch;
class UnsavedMark;

// "个人识别": the user's name and aliases, which the core uses to find what concerns the user,
// and whether the core tells the user of new to-dos and mentions by desktop notification.
class UserProfileCard : public SettingsCard
{
    Q_OBJECT

public:
    explicit UserProfileCard(SettingsDraftModel* draft, QWidget* parent = nullptr);

    SettingsTextField* nameField() const { return m_name; }
    SettingsTextEditor* aliasesEditor() const { return m_aliases; }
    ToggleSwitch* notifySwitch() const { return m_notify; }

private:
    void refresh();

    FlagBinding m_notifyFlag;
    SettingsTextField* m_name;
    SettingsTextEditor* m_aliases;
    ToggleSwitch* m_notify;
    UnsavedMark* m_notifyUnsaved;
    bool m_refreshing = false;
};
