#include "common/Logging.h"
#include "store/BridgeStore.h"

namespace {
constexpr int kSearchHours = 168;
constexpr int kSearchLimit = 200;
} // namespace

void BridgeStore::setSearchQuery(const QString& query)
{
    if (m_searchQuery == query)
        return;
    const bool sameSearch = m_searchQuery.trimmed() == query.trimmed();
    m_searchQuery = query;
    emit searchQueryChanged();
    if (sameSearch)
        return; // white space at either end searches for the same

    // Whatever the core answers for the previous query is of no use now.
    ++m_searchesStarted;
    if (m_searchCancel)
        m_searchCancel->cancel();
    setSearchResult(std::nullopt);
    if (query.trimmed().isEmpty()) {
        if (m_searchDelay)
            m_searchDelay->stop();
        setSearching(false);
        return;
    }
    setSearching(true);
    if (!m_searchDelay) {
        m_searchDelay = new QTimer(this);
        m_searchDelay->setSingleShot(true);
        connect(m_searchDelay, &QTimer::timeout, this, [this] { searchCore(); });
    }
    m_searchDelay->start(m_timing.searchDelay); // a pause in typing, not every keystroke
}

// Asks the core for the current query. Only the search started last applies its answer: one for
// an older query (or overtaken by a newer search for the same one) ends without a trace.
QCoro::Task<> BridgeStore::searchCore()
{
    const auto alive = m_alive;
    const quint64 search = ++m_searchesStarted;
    const QString query = m_searchQuery.trimmed();
    if (query.isEmpty())
        co_return;
    // An earlier search still running (one a refresh started) is overtaken: its request ends now.
    if (m_searchCancel)
        m_searchCancel->cancel();
    auto cancel = std::make_shared<CancelToken>();
    m_searchCancel = cancel;

    auto reply = co_await m_api.search(query, kSearchHours, kSearchLimit, cancel);
    if (!*alive || search != m_searchesStarted)
        co_return;
    if (reply.ok()) {
        setSearchResult(SearchResult{query, std::move(reply).value(), kSearchHours, kSearchLimit});
    } else if (reply.error().kind() == BridgeAPIError::Kind::Http && reply.error().status() == 404) {
        qCDebug(lcStore) << "the core has no search; the loaded messages are searched";
    } else {
        qCInfo(lcStore) << "searching the core failed; the loaded messages are searched:"
                        << reply.error().description();
    }
    setSearching(false); // after the answer: the view shows the core's list with its reach at once
}

void BridgeStore::setSearchResult(std::optional<SearchResult> result)
{
    if (m_searchResult == result)
        return; // a refresh's search that found the same leaves the list alone
    m_searchResult = std::move(result);
    emit searchResultChanged();
}

void BridgeStore::setSearching(bool on)
{
    if (m_isSearching == on)
        return;
    m_isSearching = on;
    emit isSearchingChanged();
}
