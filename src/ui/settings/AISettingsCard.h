#pragma once

#include "ui/settings/SettingsCard.h"

class DisclosureButton;
class QLabel;
class SegmentedControl;
class SettingsDraftModel;
class SettingsTextField;
class ToggleSwitch;
class UnsavedMark;

// "AI 对话": a disclosure group, collapsed at first, whose label names the current provider
// and model (and, when the core's latest provider call failed, why) and whose content edits
// the AI provider settings.
class AISettingsCard : public SettingsCard
{
    Q_OBJECT

public:
    explicit AISettingsCard(SettingsDraftModel* draft, QWidget* parent = nullptr);

    bool isExpanded() const;
    void setExpanded(bool expanded);
    DisclosureButton* disclosure() const { return m_disclosure; }
    QLabel* currentLabel() const { return m_current; }
    QLabel* problemLabel() const { return m_problem; }
    // The core's report of its latest failed provider call; empty text hides the line.
    void setCoreProblem(const QString& text);
    QWidget* content() const { return m_content; }
    SettingsTextField* apiKeyField() const { return m_apiKey; }

private:
    void refresh();

    SettingsDraftModel* m_draft;
    DisclosureButton* m_disclosure;
    QLabel* m_current;
    QLabel* m_problem;
    QWidget* m_content;
    ToggleSwitch* m_enabled;
    SegmentedControl* m_provider;
    SettingsTextField* m_apiKey;
    UnsavedMark* m_enabledUnsaved;
    UnsavedMark* m_providerUnsaved;
    bool m_refreshing = false; // showing the draft's values, which is no edit
};
