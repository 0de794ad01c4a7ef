#pragma once

#include "common/Result.h"

#include <QString>
#include <QStringList>
#include <chrono>

#include <QCoroTask>

class BridgeStore;
class QWidget;

// Headless screenshots of the main window: one PNG per section (overview.png,
// messages.png, chat.png, settings.png), used by `razo --screenshot DIR` and the tests.
class ScreenshotRenderer
{
public:
    // File name of a section's screenshot.
    static QString fileName(int sectionIndex);

    // Resolves once the store's first refresh has finished (a state arrived or an error
    // was recorded, and no refresh is running), or when `bound` has passed. True when the
    // refresh finished in time.
    static QCoro::Task<bool> waitForFirstRefresh(BridgeStore& store, std::chrono::milliseconds bound);

    // Selects each section in turn, renders the window and writes the PNGs into dir
    // (created when missing). Returns the paths written, or a message saying what failed.
    // The selected section is restored afterwards.
    static Result<QStringList, QString> renderSections(QWidget& window, BridgeStore& store,
                                                       const QString& dir);

    // Both steps: wait (bounded), then render.
    static QCoro::Task<Result<QStringList, QString>> run(QWidget& window, BridgeStore& store, QString dir,
                                                         std::chrono::milliseconds bound);
};
