#pragma once

#include "ui/settings/logic/NativeSettingsDraft.h"

#include <QObject>

// The draft of one settings view, shared by all of its cards. Every change, whether a
// load or one edit, is announced by changed() so that each card can show the new values.
class SettingsDraftModel : public QObject
{
    Q_OBJECT

public:
    explicit SettingsDraftModel(QObject* parent = nullptr);

    const NativeSettingsDraft& draft() const { return m_draft; }

    // Loads unconditionally (no-op without a snapshot).
    void load(const std::optional<BridgeStateResponse>& state);
    // Loads only while nothing has been edited since the last load.
    void loadIfClean(const std::optional<BridgeStateResponse>& state);

    QString text(NativeSettingsDraft::TextField field) const { return m_draft.*field; }
    bool flag(NativeSettingsDraft::FlagField field) const { return m_draft.*field; }
    // Store the value and mark the draft dirty; the value the field already holds is no edit.
    void setText(NativeSettingsDraft::TextField field, const QString& value);
    void setFlag(NativeSettingsDraft::FlagField field, bool value);

signals:
    void changed();

private:
    NativeSettingsDraft m_draft;
};
