#pragma once

#include "store/SearchResult.h"

#include <QString>
#include <optional>

// What the timeline says about how far its search reached: the loaded messages only (at once,
// or for good when the core cannot search), or the core's whole period. Empty without a query.
namespace searchreach {

// `shown`: rows the list shows for the query; `loaded`: messages loaded by the refresh;
// `result`: the core's answer for this query, if any; `searching`: the core is being asked.
QString text(const QString& query, qsizetype shown, qsizetype loaded,
             const std::optional<SearchResult>& result, bool searching);

} // namespace searchreach
