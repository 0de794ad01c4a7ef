#include "store/BridgeStore.h"

#include "common/Logging.h"
#include "common/PreciseSleep.h"
#include "core/CoreService.h"
#include "core/PortOwner.h"

#include <QDeadlineTimer>

namespace {
const QString kStatusConnected = QStringLiteral("已连接本地核心");
const QString kStatusStarting = QStringLiteral("正在启动本地核心");
const QString kStatusFailed = QStringLiteral("启动失败");
const QString kStatusRunning = QStringLiteral("运行中");
const QString kStatusUnstable = QStringLiteral("连接不稳定");
const QString kGreeting =
    QStringLiteral("直接问我：最近企业微信有什么消息、今天先处理什么、哪些消息需要跟进。");
constexpr int kEventHours = 168;
constexpr int kEventLimit = 120;
} // namespace

// The process's client uses only this account's core: every connection is checked first.
BridgeStore::BridgeStore(QObject* parent)
    : BridgeStore(BridgeAPI(BridgeAPI::defaultBaseURL(), {}, portowner::ownAccountCheck()), nullptr,
                  StoreTiming{}, parent)
{
    // The launcher and the start at login look at the same facts of this process.
    const CoreEnvironment facts = CoreEnvironment::system();
    m_core = std::make_unique<CoreService>(facts);
    m_backgroundReading = BackgroundReading(BackgroundReadingSetup::system(facts));
}

BridgeStore::BridgeStore(BridgeAPI api, std::unique_ptr<CoreLauncher> core, StoreTiming timing,
                         QObject* parent)
    : QObject(parent), m_api(std::move(api)), m_core(std::move(core)), m_timing(std::move(timing)),
      m_backgroundReading(BackgroundReadingSetup{})
{
    m_chatMessages.append(ChatBubble::make(ChatBubble::Role::System, kGreeting, m_timing.now()));
}

BridgeStore::~BridgeStore()
{
    // Coroutines still suspended in the client see this and stop touching the store.
    *m_alive = false;
    delete m_refreshTimer;
    m_refreshTimer = nullptr;
    if (m_core)
        m_core->stop();
}

void BridgeStore::leaveCoreRunning()
{
    if (m_core)
        m_core->leave();
}

QString BridgeStore::websiteBridgeOrigin()
{
    const QString fromEnv = qEnvironmentVariable("RAZO_WEBSITE_BRIDGE_ORIGIN").trimmed();
    return fromEnv.isEmpty() ? QStringLiteral(RAZO_WEBSITE_BRIDGE_ORIGIN).trimmed() : fromEnv;
}

QCoro::Task<> BridgeStore::start()
{
    const auto alive = m_alive;
    bool ready = false;
    bool silent = false;                // the first attempt's polls all timed out
    std::optional<QString> foreignCore; // another account's program holds the port: never used

    // First attempt: reuse a core that already answers, else launch and wait.
    const auto probe = co_await m_api.authStatus();
    if (!*alive)
        co_return;
    if (probe.ok() && probe.value()) {
        setServiceStatus(kStatusConnected);
        ready = true;
    } else if (probe.ok()) {
        if (!m_core->start()) {
            setServiceStatus(kStatusStarting);
            const CoreWait waited = co_await waitForCore();
            if (!*alive)
                co_return;
            ready = !waited.failure.has_value();
            silent = waited.silent;
            if (waited.foreign)
                foreignCore = waited.failure;
        }
    } else if (probe.error().kind() == BridgeAPIError::Kind::ForeignCore) {
        foreignCore = probe.error().description();
    }

    // Second attempt; the first one's failure is not shown. When something holds the port,
    // accepts connections and never answers, a second core could not listen there either;
    // nor when another account holds it.
    if (!ready) {
        std::optional<QString> failure;
        if (foreignCore) {
            failure = foreignCore;
        } else if (silent) {
            failure = silentPortText();
        } else if (const auto launchError = m_core->start()) {
            failure = launchError->description();
        } else {
            setServiceStatus(kStatusStarting);
            const CoreWait waited = co_await waitForCore();
            if (!*alive)
                co_return;
            failure = waited.silent ? silentPortText() : waited.failure;
        }
        if (failure) {
            qCWarning(lcStore) << "core start-up failed:" << *failure;
            setServiceStatus(kStatusFailed);
            setLastError(*failure);
        }
    }

    co_await refreshAll();
    if (!*alive)
        co_return;
    startRefreshTimer();
}

// Polls the auth-status path until it answers 200: at most pollAttempts polls, pollInterval
// apart. A core that refuses connections until it listens, or answers another status, gets
// every poll, as many as before. Polls that time out are bounded by the same budget as a
// whole (pollAttempts x pollInterval): once it is spent, a timed-out poll ends the wait.
// Otherwise a program that accepts connections and never answers would hold start-up for
// pollAttempts poll time-outs (a minute) instead of about the budget plus one time-out.
// A poll refused because another account's program holds the port ends the wait at once.
QCoro::Task<BridgeStore::CoreWait> BridgeStore::waitForCore()
{
    const auto alive = m_alive;
    QUrl url = m_api.baseURL();
    url.setPath(url.path() + QStringLiteral("/api/auth/status"));
    const QDeadlineTimer budget(m_timing.pollInterval * m_timing.pollAttempts, Qt::PreciseTimer);

    std::optional<QString> remembered;
    bool lastTimedOut = false;
    bool everyPollTimedOut = m_timing.pollAttempts > 0;
    for (int attempt = 0; attempt < m_timing.pollAttempts; ++attempt) {
        if (lastTimedOut && budget.hasExpired())
            break;
        const auto reply = co_await m_api.probeStatus(url);
        if (!*alive)
            co_return CoreWait{QString()};
        if (reply.ok() && reply.value() == 200) {
            setServiceStatus(kStatusConnected);
            co_return CoreWait{};
        }
        if (!reply.ok() && reply.error().kind() == BridgeAPIError::Kind::ForeignCore)
            co_return CoreWait{reply.error().description(), false, true};
        lastTimedOut = !reply.ok() && reply.error().kind() == BridgeAPIError::Kind::TimedOut;
        everyPollTimedOut = everyPollTimedOut && lastTimedOut;
        if (!reply.ok())
            remembered = reply.error().description();
        co_await sleepPrecisely(m_timing.pollInterval);
        if (!*alive)
            co_return CoreWait{QString()};
    }
    if (everyPollTimedOut)
        qCWarning(lcStore)
            << "every start-up poll timed out: the core port is held by a program that does not answer";
    // Every poll answered, just never with 200: report the project as not found.
    co_return CoreWait{remembered.value_or(CoreServiceError::projectRootNotFound().description()),
                       everyPollTimedOut};
}

QString BridgeStore::silentPortText() const
{
    return QStringLiteral("端口 %1 被一个不响应的程序占用，无法启动本地核心。").arg(m_api.baseURL().port(80));
}

QCoro::Task<> BridgeStore::refreshAll()
{
    const auto alive = m_alive;
    const quint64 refresh = ++m_refreshesStarted;
    setRefreshing(true);

    // Both loads start at once; the state is applied first, as soon as it arrives.
    const auto cancelEvents = std::make_shared<CancelToken>();
    auto stateLoad = m_api.state();
    auto eventsLoad = m_api.events(kEventHours, kEventLimit, cancelEvents);

    std::optional<QString> failure;
    bool foreign = false;
    auto stateReply = co_await stateLoad;
    if (!*alive)
        co_return;
    if (!stateReply.ok() || isOvertaken(refresh)) {
        // The messages are of no use now: end their load instead of leaving it open.
        if (!stateReply.ok()) {
            failure = stateReply.error().description();
            foreign = stateReply.error().kind() == BridgeAPIError::Kind::ForeignCore;
        }
        cancelEvents->cancel();
        co_await eventsLoad;
        if (!*alive)
            co_return;
    } else {
        m_newestAppliedRefresh = refresh;
        setState(std::move(stateReply).value());
        auto eventsReply = co_await eventsLoad;
        if (!*alive)
            co_return;
        // A later refresh that applied its state meanwhile makes these messages the older ones.
        if (!eventsReply.ok()) {
            failure = eventsReply.error().description();
            foreign = eventsReply.error().kind() == BridgeAPIError::Kind::ForeignCore;
        } else if (!isOvertaken(refresh)) {
            setEvents(std::move(eventsReply).value());
            settleMessageToShow(refresh);
            setServiceStatus(kStatusRunning);
            setLastError(QString());
            maybeSyncWebsiteBridge();
            if (m_searchResult)
                searchCore();   // what arrived since may match the search too
            askCoreForPreset(); // and may be of the chosen kind
        }
    }

    // An overtaken refresh reports nothing: a later one has shown the core's newer word.
    if (failure && !isOvertaken(refresh)) {
        qCInfo(lcStore) << "refresh failed:" << *failure;
        setLastError(*failure);
        if (foreign) // another account holds the port now: that is no core of ours to wait for
            setServiceStatus(kStatusFailed);
        else if (!m_state)
            setServiceStatus(kStatusUnstable);
    }
    setRefreshing(false);
}

void BridgeStore::startRefreshTimer()
{
    delete m_refreshTimer; // replaced, never added
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setTimerType(Qt::PreciseTimer); // a coarse timer may tick up to 5 % early
    m_refreshTimer->setInterval(m_timing.refreshInterval);
    connect(m_refreshTimer, &QTimer::timeout, this, [this] { refreshAll(); });
    m_refreshTimer->start();
}

void BridgeStore::showToast(const QString& message)
{
    setToast(message);
    // Only clears its own text: a newer toast stays for its own full duration.
    QTimer::singleShot(m_timing.toastDuration, Qt::PreciseTimer, this, [this, message] {
        if (m_toast == message)
            setToast(QString());
    });
}

QString BridgeStore::friendlyNetworkMessage(const QString& primary, const QString& secondary)
{
    const QString joined = primary + QStringLiteral("；") + secondary;
    static const QStringList phrases = {QStringLiteral("network connection was lost"),
                                        QStringLiteral("timed out"), QStringLiteral("could not connect")};
    for (const QString& phrase : phrases) {
        if (joined.contains(phrase, Qt::CaseInsensitive))
            return QStringLiteral("本地核心连接刚刚中断，已自动切换为本地已加载消息摘要。");
    }
    return joined;
}

void BridgeStore::appendBubble(ChatBubble::Role role, const QString& text)
{
    m_chatMessages.append(ChatBubble::make(role, text, m_timing.now()));
    emit chatBubbleAppended(int(m_chatMessages.size()) - 1);
    emit chatMessagesChanged();
}

void BridgeStore::setSelectedSection(AppSection section)
{
    if (m_selectedSection == section)
        return;
    m_selectedSection = section;
    emit selectedSectionChanged();
}

void BridgeStore::openSettingsAt(SettingsPlace place)
{
    m_settingsPlaceToShow = place;
    emit settingsPlaceToShowChanged();
    setSelectedSection(AppSection::Settings);
}

void BridgeStore::clearSettingsPlaceToShow()
{
    if (!m_settingsPlaceToShow)
        return;
    m_settingsPlaceToShow.reset();
    emit settingsPlaceToShowChanged();
}

void BridgeStore::setMessageListPreset(MessageListPreset preset)
{
    if (m_messageListPreset == preset)
        return;
    m_messageListPreset = preset;
    emit messageListPresetChanged();
    presetChosen();
}

void BridgeStore::setState(std::optional<BridgeStateResponse> state)
{
    m_state = std::move(state);
    emit stateChanged(); // a new snapshot replaces the old one whole, even when equal
}

void BridgeStore::setEvents(QList<BridgeEvent> events)
{
    m_events = std::move(events);
    emit eventsChanged();
}

void BridgeStore::setServiceStatus(const QString& status)
{
    if (m_serviceStatus == status)
        return;
    m_serviceStatus = status;
    emit serviceStatusChanged();
}

void BridgeStore::setLastError(const QString& error)
{
    if (m_lastError == error)
        return;
    m_lastError = error;
    emit lastErrorChanged();
}

void BridgeStore::setToast(const QString& toast)
{
    if (m_toast == toast)
        return;
    m_toast = toast;
    emit toastChanged();
}

void BridgeStore::setWebsiteBridgeStatus(const QString& status)
{
    if (m_websiteBridgeStatus == status)
        return;
    m_websiteBridgeStatus = status;
    emit websiteBridgeStatusChanged();
}

void BridgeStore::setSending(bool on)
{
    if (m_isSending == on)
        return;
    m_isSending = on;
    emit isSendingChanged();
}

void BridgeStore::setSavingSettings(bool on)
{
    if (m_isSavingSettings == on)
        return;
    m_isSavingSettings = on;
    emit isSavingSettingsChanged();
}

void BridgeStore::setSyncingWebsiteBridge(bool on)
{
    if (m_isSyncingWebsiteBridge == on)
        return;
    m_isSyncingWebsiteBridge = on;
    emit isSyncingWebsiteBridgeChanged();
}

void BridgeStore::setScanningWeCom(bool on)
{
    if (m_isScanningWeCom == on)
        return;
    m_isScanningWeCom = on;
    emit isScanningWeComChanged();
}

void BridgeStore::setRefreshing(bool on)
{
    // Overlapping refreshes are not serialised; the flag stays up until the last one ends.
    m_refreshesInFlight += on ? 1 : -1;
    const bool refreshing = m_refreshesInFlight > 0;
    if (m_isRefreshing == refreshing)
        return;
    m_isRefreshing = refreshing;
    emit isRefreshingChanged();
}
