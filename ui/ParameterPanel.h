#pragma once
// The signal processing parameters of the main page: seven track bars, each
// driving a hidden parameter box of image 1 with its label. A step of a bar
// is one edit of the table, a drag one edit from press to release, so every
// change reaches the unit. The boxes follow the table (a read, a file, undo)
// without writing back: a value outside a bar's range stays as the unit has it.
#include <array>

#include <QGroupBox>

class QTimer;

#include "table/TableParams.h"

class QLabel;
class QLineEdit;
class QSlider;
class Table;

class ParameterPanel : public QGroupBox, public tbl::ParamFields {
    Q_OBJECT
public:
    explicit ParameterPanel(QWidget *parent = nullptr);
    // The table whose image 1 the boxes belong to (bind the boxes as its fields too).
    void bind(Table &table);

    // tbl::ParamFields: the hidden boxes.
    QString text(int param) const override;
    void setText(int param, const QString &text) override;

    // By track bar id (tbl::TrackBarId) and by parameter.
    std::array<QSlider *, 7> trackBars{};
    std::array<QLabel *, 7> trackBarLabels{};
    std::array<QLineEdit *, 8> edits{};

    // The labels' units follow the language ("0.04s", "0.04с").
    void setEnglish(bool english);

    // How long a bar's wheel may rest before its notches end as one edit.
    static constexpr int kWheelGapMs = 400;

signals:
    // TrackBarMafSm's value: the throttle panel's smoothing label follows it.
    void smoothingChanged(int percent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void trackBarChanged(int id, int position);
    void editChanged(int param);
    void showLabels(int id, int value);
    void endWheelEdit();

    Table *table_ = nullptr;
    bool english_ = true;
    // Wheel notches on one bar in quick succession are one edit, one write.
    QTimer *wheelGap_ = nullptr;
    QObject *wheelBar_ = nullptr; // the bar whose wheel edit is open
};
