#pragma once

#include <QWidget>

class ProminentButton;
class QLabel;

// The bar at the bottom of the settings page that stays in view while the page scrolls: how
// many changes are not saved yet and the "保存全部设置" button.
class SettingsSaveBar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kHeight = 60;

    explicit SettingsSaveBar(QWidget* parent = nullptr);

    ProminentButton* saveButton() const { return m_save; }
    QLabel* summaryLabel() const { return m_summary; }
    void setUnsavedCount(int count);

    static QString summaryText(int unsavedCount); // "有 3 项更改未保存" / "没有未保存的更改"

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QLabel* m_summary;
    ProminentButton* m_save;
};
