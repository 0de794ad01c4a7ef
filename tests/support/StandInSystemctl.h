#pragma once

#include "core/BackgroundReadingSetup.h"

#include <QStringList>
#include <QTemporaryDir>

// A stand-in `systemctl` on a PATH of its own, for BackgroundReading: it records each call's
// arguments and answers is-enabled / is-active / enable / disable from marker files, the way
// systemctl does (is-enabled prints the state; enable --now links, then may fail to start).
//
// Markers (set with `mark`): installed (the unit file exists), enabled, masked, session
// (graphical-session.target is active), no-manager (no user bus), refuse (enable and disable
// fail with the marker's text), start-fails (enable links, then the start fails), hang
// (enable never ends).
class StandInSystemctl
{
public:
    StandInSystemctl();

    bool isValid() const { return m_dir.isValid(); }
    void mark(const QString& name, const QByteArray& content = {});
    bool marked(const QString& name) const;
    // Every call so far, one string each, without the leading "--user" (checked to be there).
    QStringList calls() const;

    // The setup razo would use, with this systemctl first on PATH (or no systemctl at all),
    // the autostart folder and the shipped entry below this stand-in's folder.
    BackgroundReadingSetup setup(bool withSystemctl = true) const;
    QString autostartFolder() const { return m_dir.filePath(QStringLiteral("config/autostart")); }
    QString autostartTemplate() const
    {
        return m_dir.filePath(QStringLiteral("share/autostart/razo.desktop"));
    }
    static QByteArray templateText();

private:
    QTemporaryDir m_dir;
};
