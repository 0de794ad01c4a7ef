#pragma once

class BridgeStore;
class MainWindow;
class QSettings;

// What razo remembers between runs of its own: the main window's screen, size and position
// (and whether it was maximised), and the section it showed, in the given settings (razo's
// file is ~/.config/razo/razo.conf; tests pass a file of their own). A placement comes back
// only on a screen that is still there; the section comes back through the store.
class WindowPlacement
{
public:
    explicit WindowPlacement(QSettings& settings) : m_settings(settings) {}

    void restore(MainWindow& window, BridgeStore& store) const;
    void save(const MainWindow& window, const BridgeStore& store) const;

private:
    QSettings& m_settings;
};
