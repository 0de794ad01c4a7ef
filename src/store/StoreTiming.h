#pragma once

#include <QDateTime>
#include <chrono>
#include <functional>

// Intervals and limits of the store. Defaults are the fixed values; tests inject short ones.
struct StoreTiming
{
    int pollAttempts = 40;                               // start-up polls of the core
    std::chrono::milliseconds pollInterval{250};         // sleep after each poll
    std::chrono::milliseconds refreshInterval{8'000};    // repeating refresh timer
    std::chrono::milliseconds toastDuration{1'600};      // a toast clears itself after this
    std::chrono::seconds autoSyncMinimumAge{300};        // website-bridge auto-sync spacing
    std::chrono::milliseconds searchDelay{250};          // typing pause before the core is searched
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); }; // clock
};
