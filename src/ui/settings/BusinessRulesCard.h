#pragma once

#include "ui/settings/SettingsCard.h"

class SettingsDraftModel;
class SettingsTextEditor;

// "业务规则": the work keywords and the exclusion words, one per line.
class BusinessRulesCard : public SettingsCard
{
    Q_OBJECT

public:
    explicit BusinessRulesCard(SettingsDraftModel* draft, QWidget* parent = nullptr);

    SettingsTextEditor* keywordsEditor() const { return m_keywords; }
    SettingsTextEditor* excludeEditor() const { return m_exclude; }

private:
    SettingsTextEditor* m_keywords;
    SettingsTextEditor* m_exclude;
};
