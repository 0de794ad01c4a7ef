#pragma once

#include "ui/settings/logic/NativeSettingsDraft.h"

#include <QScrollArea>
#include <optional>

class AISettingsCard;
class BackgroundReadingCard;
class BridgeStore;
class BusinessRulesCard;
class ChatTargetsCard;
class HeaderRow;
class ProminentButton;
class RemoteAccessCard;
class SettingsDraftModel;
class SettingsSaveBar;
class UserProfileCard;
class WeComDiagnosticsCard;

// The settings section: the heading with the save button, then the access, profile, reader,
// background reading, WeCom diagnostics, business rule and AI cards, all but background reading
// editing one draft (that switch acts at once). The draft is loaded
// whenever the view comes into view and from each new state while nothing has been edited;
// once edited it is left alone (a refresh or a failed save never changes what was typed).
// Fields that differ from what was loaded or last saved are marked; the save bar at the
// bottom stays in view with their count and a second save button. The section's view (not the
// settings window's) opens at the place the store asks for (settingsPlaceToShow).
class SettingsDashboardView : public QScrollArea
{
    Q_OBJECT

public:
    // `opensStorePlaces`: whether this view brings the store's settingsPlaceToShow into view.
    explicit SettingsDashboardView(BridgeStore& store, QWidget* parent = nullptr,
                                   bool opensStorePlaces = true);

    SettingsDraftModel* draftModel() const { return m_draft; }
    ProminentButton* saveButton() const { return m_save; }
    SettingsSaveBar* saveBar() const { return m_saveBar; }
    HeaderRow* header() const { return m_header; }
    RemoteAccessCard* remoteAccessCard() const { return m_remote; }
    UserProfileCard* userProfileCard() const { return m_profile; }
    ChatTargetsCard* chatTargetsCard() const { return m_targets; }
    BackgroundReadingCard* backgroundReadingCard() const { return m_background; }
    WeComDiagnosticsCard* wecomDiagnosticsCard() const { return m_diagnostics; }
    BusinessRulesCard* businessRulesCard() const { return m_rules; }
    AISettingsCard* aiSettingsCard() const { return m_ai; }

    // Sends the current draft to the core (what the save button does).
    void save();

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void refreshSaveButton();
    void showStorePlace();

    BridgeStore& m_store;
    SettingsDraftModel* m_draft;
    HeaderRow* m_header;
    ProminentButton* m_save;
    RemoteAccessCard* m_remote;
    UserProfileCard* m_profile;
    ChatTargetsCard* m_targets;
    BackgroundReadingCard* m_background;
    WeComDiagnosticsCard* m_diagnostics;
    BusinessRulesCard* m_rules;
    AISettingsCard* m_ai;
    SettingsSaveBar* m_saveBar;
    bool m_opensStorePlaces;
    std::optional<NativeSettingsDraft> m_sending; // the draft of the save this view started
};
