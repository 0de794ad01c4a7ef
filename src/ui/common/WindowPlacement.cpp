#include "ui/common/WindowPlacement.h"

#include "store/BridgeStore.h"
#include "ui/common/MainWindow.h"
#include "ui/common/logic/WindowFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

namespace {

const QString kScreen = QStringLiteral("window/screen");
const QString kGeometry = QStringLiteral("window/geometry");
const QString kMaximized = QStringLiteral("window/maximized");
const QString kSection = QStringLiteral("window/section");

} // namespace

void WindowPlacement::restore(MainWindow& window, BridgeStore& store) const
{
    QList<windowfit::ScreenArea> screens;
    for (const QScreen* s : QGuiApplication::screens())
        screens.append({s->name(), s->availableGeometry()});
    const windowfit::Placement saved{m_settings.value(kScreen).toString(),
                                     m_settings.value(kGeometry).toRect()};
    if (const std::optional<QRect> geometry = windowfit::restoredGeometry(saved, screens)) {
        for (const QScreen* s : QGuiApplication::screens()) {
            if (s->name() == saved.screen)
                window.fitTo(s); // that screen's minimum, before the window is there
        }
        window.setGeometry(*geometry);
        if (m_settings.value(kMaximized).toBool())
            window.setWindowState(window.windowState() | Qt::WindowMaximized);
    }
    const QString section = m_settings.value(kSection).toString();
    for (AppSection s : appsection::all()) {
        if (appsection::identifier(s) == section)
            store.setSelectedSection(s);
    }
}

void WindowPlacement::save(const MainWindow& window, const BridgeStore& store) const
{
    m_settings.setValue(kScreen, window.screen() ? window.screen()->name() : QString());
    m_settings.setValue(kGeometry, window.normalGeometry());
    m_settings.setValue(kMaximized, window.isMaximized());
    m_settings.setValue(kSection, appsection::identifier(store.selectedSection()));
    m_settings.sync();
}
