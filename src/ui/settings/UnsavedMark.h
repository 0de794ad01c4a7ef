#pragma once

#include <QLabel>
#include <QPointer>

class QHBoxLayout;

// The mark beside a settings field whose value differs from what was loaded or last saved:
// "未保存" in the warning colour, and the same word as the accessible description of the
// field's control, so that a screen reader says it too. Hidden while the field is saved.
class UnsavedMark : public QLabel
{
    Q_OBJECT

public:
    explicit UnsavedMark(QWidget* control, QWidget* parent = nullptr);

    void setUnsaved(bool unsaved);
    bool isUnsaved() const { return m_unsaved; }

    static QString text(); // "未保存"
    // A row of a field's title with its mark after it.
    static QHBoxLayout* besideTitle(QWidget* title, UnsavedMark* mark);

private:
    QPointer<QWidget> m_control;
    QString m_description; // the control's own description, given back when saved
    bool m_unsaved = false;
};
