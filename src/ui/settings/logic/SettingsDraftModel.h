#pragma once

#include "ui/settings/logic/NativeSettingsDraft.h"

#include <QObject>

// The draft of one settings view, shared by all of its cards. Every change, whether a
// load, one edit or a save, is announced by changed() so that each card can show the new
// values. It also keeps what was loaded or last saved, so that a field that differs from it
// can be marked unsaved.
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

    // Whether a field differs from what was loaded or last saved, and how many fields do.
    bool isUnsaved(NativeSettingsDraft::TextField field) const { return m_draft.*field != m_saved.*field; }
    bool isUnsaved(NativeSettingsDraft::FlagField field) const { return m_draft.*field != m_saved.*field; }
    int unsavedCount() const;
    // The core accepted `sent` (the draft as it was when saved): fields are compared with it now.
    void markSaved(const NativeSettingsDraft& sent);

signals:
    void changed();

private:
    NativeSettingsDraft m_draft;
    NativeSettingsDraft m_saved; // as loaded or last saved
};
