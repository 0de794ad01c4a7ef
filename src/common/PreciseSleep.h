#pragma once

#include "common/CancelToken.h"

#include <chrono>

#include <QCoroTask>

// Suspends the calling coroutine for `duration` on a precise timer. QCoro::sleepFor runs on
// Qt's default coarse timer, which may fire up to 5 % early; waits that the user or a
// time-out budget depends on use this instead. A cancelled `cancel` token ends the sleep at
// once.
QCoro::Task<> sleepPrecisely(std::chrono::milliseconds duration, CancelTokenPtr cancel = {});
