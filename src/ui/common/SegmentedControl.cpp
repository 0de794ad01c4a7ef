#include "ui/common/SegmentedControl.h"

#include "ui/common/AppTheme.h"
#include "ui/common/Painting.h"
#include "ui/common/SegmentButton.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QScopedValueRollback>

SegmentedControl::SegmentedControl(const QString& accessibleLabel, const QList<Option>& options,
                                   QWidget* parent)
    : QWidget(parent), m_options(options), m_group(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("segmentedControl"));
    setAccessibleName(accessibleLabel);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    m_group->setExclusive(true);
    for (int i = 0; i < options.size(); ++i) {
        auto* b = new SegmentButton(options[i].first, options[i].second, this);
        b->installEventFilter(this);
        m_group->addButton(b, i);
        row->addWidget(b, 1);
        m_buttons << b;
    }
    // toggled, not clicked: an assistive tool's Toggle action checks a segment without a
    // click, and must select it exactly as a click does. Checks made here are not news.
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && !m_selecting)
            selectIndex(id, true, false);
    });
    if (!m_buttons.isEmpty())
        selectIndex(0, false, false);
}

QString SegmentedControl::currentValue() const
{
    return m_current >= 0 && m_current < m_options.size() ? m_options[m_current].first : QString();
}

int SegmentedControl::currentIndex() const
{
    return m_current;
}

SegmentButton* SegmentedControl::segment(int index) const
{
    return m_buttons.value(index, nullptr);
}

void SegmentedControl::setCurrentValue(const QString& value)
{
    for (int i = 0; i < m_options.size(); ++i) {
        if (m_options[i].first == value) {
            selectIndex(i, false, false);
            return;
        }
    }
    selectIndex(-1, false, false); // a value no option stands for shows no selection
}

void SegmentedControl::setCurrentIndex(int index)
{
    selectIndex(index, false, false);
}

void SegmentedControl::selectIndex(int index, bool emitSignal, bool focus)
{
    if (index >= m_buttons.size())
        return;
    if (index < 0) {
        // No selection: uncheck every segment; the first one keeps the control in the Tab chain.
        m_current = -1;
        const QScopedValueRollback selecting(m_selecting, true);
        m_group->setExclusive(false);
        for (int i = 0; i < m_buttons.size(); ++i) {
            m_buttons[i]->setChecked(false);
            m_buttons[i]->setFocusPolicy(i == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        }
        m_group->setExclusive(true);
        update();
        return;
    }
    const bool changed = index != m_current;
    m_current = index;
    for (int i = 0; i < m_buttons.size(); ++i) {
        // Only the selected segment takes part in the Tab chain.
        m_buttons[i]->setFocusPolicy(i == index ? Qt::StrongFocus : Qt::ClickFocus);
    }
    {
        const QScopedValueRollback selecting(m_selecting, true);
        m_buttons[index]->setChecked(true);
    }
    if (focus)
        m_buttons[index]->setFocus(Qt::TabFocusReason);
    update();
    if (changed && emitSignal)
        emit currentValueChanged(m_options[index].first);
}

bool SegmentedControl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int at = m_buttons.indexOf(static_cast<SegmentButton*>(watched));
        if (at >= 0) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            int next = -1;
            if (key == Qt::Key_Left || key == Qt::Key_Up)
                next = std::max(0, at - 1);
            else if (key == Qt::Key_Right || key == Qt::Key_Down)
                next = std::min(int(m_buttons.size()) - 1, at + 1);
            else if (key == Qt::Key_Home)
                next = 0;
            else if (key == Qt::Key_End)
                next = int(m_buttons.size()) - 1;
            if (next >= 0) {
                selectIndex(next, true, true);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SegmentedControl::paintEvent(QPaintEvent*)
{
    using namespace AppTheme;
    QPainter p(this);
    painting::CardStyle track;
    track.rect = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    track.cornerRadius = Radius::segment;
    track.fill = rgb(0.46, 0.50, 0.58, 0.11);
    track.border = rgb(0.46, 0.50, 0.58, 0.10);
    painting::paintCard(p, track);
}
