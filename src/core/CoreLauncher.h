#pragma once

#include "core/CoreServiceError.h"

#include <optional>

// What the store needs of a launcher; CoreService is the real one, tests use fakes.
class CoreLauncher
{
public:
    virtual ~CoreLauncher() = default;
    // Launches the core unless the child started earlier still runs. nullopt on success.
    virtual std::optional<CoreServiceError> start() = 0;
    // Asks a running child to terminate and closes the log; harmless without a child.
    virtual void stop() = 0;
    // Lets a running child go on after this launcher: forgets it without asking it to stop,
    // so stop() and the launcher's end leave it alone. Launchers that start no process of
    // their own have nothing to leave.
    virtual void leave() {}
};
