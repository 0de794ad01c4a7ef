#pragma once

#include "ui/settings/SettingsCard.h"

class SettingsDraftModel;
class SettingsTextEditor;
class SettingsTextField;

// "个人识别": the user's name and aliases, which the core uses to find what concerns the user.
class UserProfileCard : public SettingsCard
{
    Q_OBJECT

public:
    explicit UserProfileCard(SettingsDraftModel* draft, QWidget* parent = nullptr);

    SettingsTextField* nameField() const { return m_name; }
    SettingsTextEditor* aliasesEditor() const { return m_aliases; }

private:
    SettingsTextField* m_name;
    SettingsTextEditor* m_aliases;
};
