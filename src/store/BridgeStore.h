#pragma once

#include "api/BridgeAPI.h"
#include "core/BackgroundReading.h"
#include "core/CoreLauncher.h"
#include "model/BridgeEvent.h"
#include "model/BridgeStateResponse.h"
#include "store/AppSection.h"
#include "store/ChatBubble.h"
#include "store/MessageListPreset.h"
#include "store/PresetResult.h"
#include "store/SearchResult.h"
#include "store/SettingsPlace.h"
#include "store/StoreTiming.h"

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <memory>
#include <optional>

#include <QCoroTask>

// The one observable object that holds everything the window shows. Confined to the
// main thread. Views read the published properties, listen to their change signals and
// call the operations below; nothing but the store talks to the client or the launcher.
class BridgeStore : public QObject
{
    Q_OBJECT
    Q_PROPERTY(AppSection selectedSection READ selectedSection WRITE setSelectedSection NOTIFY
                   selectedSectionChanged)
    Q_PROPERTY(MessageListPreset messageListPreset READ messageListPreset WRITE setMessageListPreset NOTIFY
                   messageListPresetChanged)
    Q_PROPERTY(std::optional<BridgeStateResponse> state READ state NOTIFY stateChanged)
    Q_PROPERTY(QList<BridgeEvent> events READ events NOTIFY eventsChanged)
    Q_PROPERTY(QList<ChatBubble> chatMessages READ chatMessages NOTIFY chatMessagesChanged)
    Q_PROPERTY(QString serviceStatus READ serviceStatus NOTIFY serviceStatusChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY isRefreshingChanged)
    Q_PROPERTY(bool isSending READ isSending NOTIFY isSendingChanged)
    Q_PROPERTY(bool isSavingSettings READ isSavingSettings NOTIFY isSavingSettingsChanged)
    Q_PROPERTY(bool isSyncingWebsiteBridge READ isSyncingWebsiteBridge NOTIFY isSyncingWebsiteBridgeChanged)
    Q_PROPERTY(bool isScanningWeCom READ isScanningWeCom NOTIFY isScanningWeComChanged)
    Q_PROPERTY(QSet<QString> completingTaskIds READ completingTaskIds NOTIFY completingTaskIdsChanged)
    Q_PROPERTY(QString toast READ toast NOTIFY toastChanged)
    Q_PROPERTY(QString websiteBridgeStatus READ websiteBridgeStatus NOTIFY websiteBridgeStatusChanged)
    Q_PROPERTY(std::optional<qint64> messageToShow READ messageToShow NOTIFY messageToShowChanged)
    Q_PROPERTY(
        BackgroundReadingState backgroundReading READ backgroundReading NOTIFY backgroundReadingChanged)
    Q_PROPERTY(bool isChangingBackgroundReading READ isChangingBackgroundReading NOTIFY
                   isChangingBackgroundReadingChanged)
    Q_PROPERTY(QString searchQuery READ searchQuery WRITE setSearchQuery NOTIFY searchQueryChanged)
    Q_PROPERTY(std::optional<SearchResult> searchResult READ searchResult NOTIFY searchResultChanged)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(std::optional<PresetResult> presetResult READ presetResult NOTIFY presetResultChanged)

public:
    // The process's store: fixed base address, the real launcher, the fixed intervals, and a
    // client that talks only to a core of this account (see portowner::ownAccountCheck).
    explicit BridgeStore(QObject* parent = nullptr);
    // For tests: any client, any launcher, any intervals and clock.
    BridgeStore(BridgeAPI api, std::unique_ptr<CoreLauncher> core, StoreTiming timing,
                QObject* parent = nullptr);
    // Teardown: stops the refresh timer, then the core it started (unless it was left running).
    ~BridgeStore() override;

    // Published fields.
    AppSection selectedSection() const { return m_selectedSection; }
    void setSelectedSection(AppSection section);
    MessageListPreset messageListPreset() const { return m_messageListPreset; }
    void setMessageListPreset(MessageListPreset preset);
    const std::optional<BridgeStateResponse>& state() const { return m_state; }
    const QList<BridgeEvent>& events() const { return m_events; }
    const QList<ChatBubble>& chatMessages() const { return m_chatMessages; }
    const QString& serviceStatus() const { return m_serviceStatus; }
    const QString& lastError() const { return m_lastError; }
    bool isRefreshing() const { return m_isRefreshing; }
    bool isSending() const { return m_isSending; }
    bool isSavingSettings() const { return m_isSavingSettings; }
    bool isSyncingWebsiteBridge() const { return m_isSyncingWebsiteBridge; }
    bool isScanningWeCom() const { return m_isScanningWeCom; }
    const QSet<QString>& completingTaskIds() const { return m_completingTaskIds; }
    const QString& toast() const { return m_toast; }
    const QString& websiteBridgeStatus() const { return m_websiteBridgeStatus; }
    // The loaded message razo was asked to show (see showMessage): the messages view selects it
    // and scrolls it into view, until the user selects another one (clearMessageToShow).
    const std::optional<qint64>& messageToShow() const { return m_messageToShow; }
    void clearMessageToShow();
    // Whether the message with this id is among the loaded ones (events).
    bool isLoaded(qint64 messageId) const;
    // Where the settings section is to open (openSettingsAt): its view brings that place into
    // view and then clears it.
    const std::optional<SettingsPlace>& settingsPlaceToShow() const { return m_settingsPlaceToShow; }
    void openSettingsAt(SettingsPlace place);
    void clearSettingsPlaceToShow();
    const BackgroundReadingState& backgroundReading() const { return m_backgroundReadingState; }
    bool isChangingBackgroundReading() const { return m_isChangingBackgroundReading; }

    // The timeline's search. The view filters the loaded messages at once; the store then asks
    // the core for the whole week and publishes its answer for the current query (an answer for
    // an older query is dropped). A core without the search path leaves the local search alone.
    const QString& searchQuery() const { return m_searchQuery; }
    void setSearchQuery(const QString& query);
    const std::optional<SearchResult>& searchResult() const { return m_searchResult; }
    bool isSearching() const { return m_isSearching; } // the core is being searched for the query

    // The timeline's presets over the whole week. The view filters the loaded messages at once;
    // choosing a preset other than `all` then asks the core for that kind, and each refresh while
    // it is chosen asks again. The answer is published for the preset it was asked for (one for a
    // preset no longer chosen is dropped) and replaces the last one only when it differs. A core
    // that does not know the kind query leaves the filtering of the loaded messages alone.
    const std::optional<PresetResult>& presetResult() const { return m_presetResult; }

    // The https origin of the website bridge: RAZO_WEBSITE_BRIDGE_ORIGIN, else the build's
    // default; empty when neither names one (there is then no website bridge to link to).
    static QString websiteBridgeOrigin();

    // Lifecycle (never fail; failures land in serviceStatus / lastError).
    QCoro::Task<> start();
    // Loads state and messages. A refresh applies its results only while no refresh that
    // started after it has applied its own; an overtaken one ends without a trace.
    QCoro::Task<> refreshAll();
    void showToast(const QString& message);
    static QString friendlyNetworkMessage(const QString& primary, const QString& secondary);
    // The application quits: the core that this store started keeps running (it reads the
    // chat clients and serves phones and agents on its own), and the next start-up finds it
    // answering. Teardown afterwards no longer stops it.
    void leaveCoreRunning();

    // Opens the messages section at one message (razo --show-message, from a click on one of
    // the core's desktop notifications). A message that is not loaded yet is looked for in
    // the next refresh, which this starts once the store runs (during start-up, start-up's
    // own refresh is that refresh). When it does not bring the message either (expired,
    // excluded or unknown) the section stays open without a selection and a toast says so.
    QCoro::Task<> showMessage(qint64 id);

    // Chat.
    QCoro::Task<> sendChat(QString question);

    // Actions.
    QCoro::Task<> completeTask(QString id, QString itemText);
    QCoro::Task<> scanVisibleWeCom();
    QCoro::Task<> saveNativeSettings(QJsonObject payload);
    QCoro::Task<> syncWebsiteBridge(bool silent);
    QCoro::Task<> openConfigDir();

    // Reading messages from login (the core started at login while razo is closed): reads
    // the state back from systemd and the autostart folder; turns it on or off at once (not
    // with the other settings), says why in a toast and in the state when it cannot.
    QCoro::Task<> loadBackgroundReading();
    QCoro::Task<> setBackgroundReadingEnabled(bool on);
    // For tests: where it is read and changed (the test store's default changes nothing).
    void setBackgroundReadingSetup(BackgroundReadingSetup setup);

    // Status line of the last successful website-bridge sync.
    static QString websiteBridgeStatusText(const APIActionResponse& reply, const QDateTime& time,
                                           const QString& origin = websiteBridgeOrigin());

    // For tests: whether a refresh timer is held, and the conversation id the core handed back.
    bool hasRefreshTimer() const { return m_refreshTimer != nullptr; }
    // For benchmarks: how many refreshes have started so far (timer, menu and actions alike).
    quint64 refreshesStarted() const { return m_refreshesStarted; }
    std::optional<QString> chatSessionId() const { return m_chatSessionId; }

signals:
    void selectedSectionChanged();
    void messageListPresetChanged();
    void stateChanged();
    void eventsChanged();
    void chatMessagesChanged();
    void chatBubbleAppended(int index); // fine-grained: the bubble at index was appended
    void serviceStatusChanged();
    void lastErrorChanged();
    void isRefreshingChanged();
    void isSendingChanged();
    void isSavingSettingsChanged();
    void isSyncingWebsiteBridgeChanged();
    void isScanningWeComChanged();
    void completingTaskIdsChanged();
    void toastChanged();
    void websiteBridgeStatusChanged();
    void messageToShowChanged();
    void settingsPlaceToShowChanged();
    void nativeSettingsSaved(); // the core accepted a save (before the refresh that follows it)
    void backgroundReadingChanged();
    void isChangingBackgroundReadingChanged();
    void searchQueryChanged();
    void searchResultChanged();
    void isSearchingChanged();
    void presetResultChanged();

private:
    // How one wait for a launched core ended.
    struct CoreWait
    {
        std::optional<QString> failure; // nullopt: the core answered 200
        bool silent = false;            // every poll timed out: a program holds the port, mute
        bool foreign = false;           // another account's program holds the port: not used
    };
    QCoro::Task<CoreWait> waitForCore();
    QString silentPortText() const;
    bool isOvertaken(quint64 refresh) const { return refresh < m_newestAppliedRefresh; }
    void startRefreshTimer();
    void maybeSyncWebsiteBridge();
    QCoro::Task<> applyActionOutcome(bool success, QString toast, QString lastError);
    void appendBubble(ChatBubble::Role role, const QString& text);
    void settleMessageToShow(quint64 refresh); // after a refresh applied its messages
    QCoro::Task<> searchCore();
    void setSearchResult(std::optional<SearchResult> result);
    void setSearching(bool on);
    void presetChosen();
    QCoro::Task<> askCoreForPreset();
    void setPresetResult(std::optional<PresetResult> result);

    void setState(std::optional<BridgeStateResponse> state);
    void setEvents(QList<BridgeEvent> events);
    void setServiceStatus(const QString& status);
    void setLastError(const QString& error);
    void setRefreshing(bool on);
    void setSending(bool on);
    void setSavingSettings(bool on);
    void setSyncingWebsiteBridge(bool on);
    void setScanningWeCom(bool on);
    void setToast(const QString& toast);
    void setWebsiteBridgeStatus(const QString& status);
    void setMessageToShow(std::optional<qint64> id);
    void setBackgroundReadingState(BackgroundReadingState state);
    void setChangingBackgroundReading(bool on);

    BridgeAPI m_api;
    std::unique_ptr<CoreLauncher> m_core;
    StoreTiming m_timing;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true); // coroutines check it after awaits

    AppSection m_selectedSection = AppSection::Overview;
    MessageListPreset m_messageListPreset = MessageListPreset::All;
    std::optional<BridgeStateResponse> m_state;
    QList<BridgeEvent> m_events;
    QList<ChatBubble> m_chatMessages;
    QString m_serviceStatus = QStringLiteral("准备启动");
    QString m_lastError;
    bool m_isRefreshing = false;
    bool m_isSending = false;
    bool m_isSavingSettings = false;
    bool m_isSyncingWebsiteBridge = false;
    bool m_isScanningWeCom = false;
    QSet<QString> m_completingTaskIds;
    QString m_toast;
    QString m_websiteBridgeStatus = QStringLiteral("尚未同步到网站桥接");

    int m_refreshesInFlight = 0;
    quint64 m_refreshesStarted = 0;     // numbers each refresh in the order they start
    quint64 m_newestAppliedRefresh = 0; // the latest-started refresh that applied a result
    QTimer* m_refreshTimer = nullptr;
    std::optional<QString> m_chatSessionId;
    std::optional<QDateTime> m_lastWebsiteBridgeSyncAt;
    std::optional<QDateTime> m_lastAutomaticSyncAt; // end of the last silent sync, any outcome
    std::optional<qint64> m_messageToShow;
    struct WantedMessage
    {
        qint64 id = 0;
        quint64 askedAfterRefresh = 0; // refreshes started before the request cannot settle it
    };
    std::optional<WantedMessage> m_wantedMessage; // asked for, not loaded yet
    std::optional<SettingsPlace> m_settingsPlaceToShow;

    BackgroundReading m_backgroundReading;
    BackgroundReadingState m_backgroundReadingState;
    bool m_isChangingBackgroundReading = false;
    quint64 m_backgroundReadingTurn = 0; // the latest read or change; earlier ones apply nothing

    QString m_searchQuery;
    std::optional<SearchResult> m_searchResult;
    bool m_isSearching = false;
    quint64 m_searchesStarted = 0; // numbers each core search; only the latest one is applied
    QTimer* m_searchDelay = nullptr;
    CancelTokenPtr m_searchCancel;

    std::optional<PresetResult> m_presetResult;
    quint64 m_presetAsksStarted = 0; // numbers each ask and each choice; only the latest ask applies
    bool m_presetAskRunning = false; // a refresh does not ask again while the core is still answering
    bool m_coreLacksKinds = false;   // the core answered without the kind echo (or 404)
    CancelTokenPtr m_presetCancel;
};
