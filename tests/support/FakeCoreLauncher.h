#pragma once

#include "core/CoreLauncher.h"

#include <functional>
#include <memory>

// A launcher that launches nothing: counts calls, can fail, and can run a hook on start
// (for example to bring a fake server up, as if the core had started).
class FakeCoreLauncher : public CoreLauncher
{
public:
    struct Counters
    {
        int starts = 0;
        int stops = 0;
    };

    explicit FakeCoreLauncher(std::shared_ptr<Counters> counters = std::make_shared<Counters>())
        : m_counters(std::move(counters))
    {
    }

    std::optional<CoreServiceError> start() override
    {
        ++m_counters->starts;
        if (onStart)
            onStart(m_counters->starts);
        return failure;
    }
    void stop() override { ++m_counters->stops; }

    std::shared_ptr<Counters> counters() const { return m_counters; }

    std::optional<CoreServiceError> failure;  // returned by every start when set
    std::function<void(int startCount)> onStart;

private:
    std::shared_ptr<Counters> m_counters;
};
