#pragma once

#include <QList>
#include <QPair>
#include <QWidget>

class QButtonGroup;
class QHBoxLayout;
class SegmentButton;

// A segmented picker: equal segments on a light track, the selected one raised in white.
// Options are (value, label) pairs; the control emits the value of the new selection.
// Keyboard: Tab focuses the selected segment, Left/Right/Home/End move the selection.
// Each segment is a real button, so assistive tools can list and press them; a segment
// checked through its Toggle action selects like a click.
class SegmentedControl : public QWidget
{
    Q_OBJECT

public:
    using Option = QPair<QString, QString>; // value, label

    SegmentedControl(const QString& accessibleLabel, const QList<Option>& options, QWidget* parent = nullptr);

    QString currentValue() const;
    int currentIndex() const;
    // Selects the option with this value; an unknown value clears the selection. No signal.
    void setCurrentValue(const QString& value);
    void setCurrentIndex(int index); // -1 clears the selection
    QList<Option> options() const { return m_options; }
    SegmentButton* segment(int index) const;

signals:
    void currentValueChanged(const QString& value);

protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void selectIndex(int index, bool emitSignal, bool focus);

    QList<Option> m_options;
    QList<SegmentButton*> m_buttons;
    QButtonGroup* m_group;
    int m_current = -1;
    bool m_selecting = false; // checking a segment from selectIndex, not from the user
};
