#pragma once

#include "ui/settings/logic/DraftBinding.h"
#include "ui/settings/logic/StatusTint.h"

#include <QWidget>
#include <optional>

class QComboBox;
class QLabel;
class SegmentedControl;
class SettingsTextEditor;
class SettingsTextField;
class StatusPill;
class ToggleSwitch;
class UnsavedMark;

// The editor of one chat client's reader: the on/off switch with its status pill, the title,
// an optional status help line, the reader-source menu, the data folder, the WeCom rule
// picker (when a rule binding is given) and the allowlist. A reader without OCR support
// never offers OCR and turns an empty or "ocr" source into "notification-db" when shown and
// whenever the source changes. Sources that cannot read on this system are offered disabled,
// with the reason; the picker ignores the wheel unless focused; a changed switch, source or
// rule is marked unsaved.
class ChatTargetEditor : public QWidget
{
    Q_OBJECT

public:
    struct Bindings
    {
        FlagBinding enabled;
        TextBinding source;
        TextBinding dataRoot;
        TextBinding allowlist;
        std::optional<TextBinding> ruleMode;
    };

    ChatTargetEditor(const QString& title, Bindings bindings, bool supportsOCR, QWidget* parent = nullptr);

    // Status shown instead of the plain on/off one (nullopt: on/off), and the help line.
    void setStatus(const std::optional<StatusLook>& override, const QString& help);

    QString title() const { return m_titleText; }
    bool supportsOCR() const { return m_supportsOCR; }
    StatusPill* statusPill() const { return m_pill; }
    ToggleSwitch* enabledSwitch() const { return m_switch; }
    QComboBox* sourcePicker() const { return m_source; }
    SegmentedControl* rulePicker() const { return m_rule; }
    QLabel* helpLabel() const { return m_help; }
    SettingsTextEditor* allowlistEditor() const { return m_allowlist; }

    // Applies the no-OCR rule to the bound source (through the binding: marks the draft dirty).
    void normalizeSource();

protected:
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent*) override;

private:
    void refresh();
    void refreshPill();

    QString m_titleText;
    Bindings m_bindings;
    bool m_supportsOCR;
    std::optional<StatusLook> m_override;
    QString m_lastSource;
    bool m_refreshing = false; // showing the draft's values, which is no edit
    StatusPill* m_pill;
    ToggleSwitch* m_switch;
    QLabel* m_help;
    QComboBox* m_source;
    SettingsTextField* m_dataRoot;
    SegmentedControl* m_rule = nullptr;
    SettingsTextEditor* m_allowlist;
    UnsavedMark* m_switchUnsaved;
    UnsavedMark* m_sourceUnsaved;
    UnsavedMark* m_ruleUnsaved = nullptr;
};
