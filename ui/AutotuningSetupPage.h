#pragma once
// The autotuning options page: the live autotuning settings (spread, forced
// idle, the fast and fine bars, full-throttle smoothing), the O2 target bar
// and the O2 target grid with its fill box. Bound to the log, the page hands
// it every setting as it changes, and keeps the target grid.
#include <functional>

#include <QColor>
#include <QWidget>

#include "log/Autotune.h"

class Log;
class TO2TargetGrid;

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QTableWidget;

class AutotuningSetupPage : public QWidget {
    Q_OBJECT
public:
    // The grid's axes take the colours of the throttle and engine-speed gauges.
    AutotuningSetupPage(const QColor &tpsAxis, const QColor &rpmAxis, QWidget *parent = nullptr);
    // sensorType: the oxygen sensor chosen on the dashboard (hints follow it).
    void bind(Log &log, TO2TargetGrid &grid, std::function<int()> sensorType);
    // The spread, fast and fine bars and the sensor lag as the log has them now.
    void sendToLog();
    // How far autotuning may correct, as the user set it.
    autotune::Limits limits() const;

    // The bars' last positions, kept in the program state.
    int trackBarBCopy = 1000;
    int trackBarTCopy = 1000;

    QSpinBox *UpDown1 = nullptr;
    QLineEdit *MaskEditForcedIdleRpm = nullptr;
    QLineEdit *MaskEditForcedIdleTps = nullptr;
    QSlider *TrackBarB = nullptr;
    QSlider *TrackBarT = nullptr;
    QLabel *LabelTrackBarB = nullptr;
    QLabel *LabelTrackBarT = nullptr;
    QCheckBox *CheckBoxWotCorr = nullptr;
    QSpinBox *SpinBoxLiveLimit = nullptr;   // percent of the point's output
    QSpinBox *SpinBoxCommitLimit = nullptr; // percent of the point's output
    QSpinBox *SpinBoxSensorLag = nullptr;   // ms; 0: the sensor type's own
    QCheckBox *CheckBoxWaitWarm = nullptr;  // no learning while the engine is cold
    // The O2 target group; the log page shows it beside its chart.
    QGroupBox *GroupBoxO2Target = nullptr;
    QSlider *TrackBarLogO2Target = nullptr;
    QLabel *LabelRefO2Log = nullptr;
    QLabel *LabelLogMixtuePercent = nullptr;
    QTableWidget *StringGridO2Table = nullptr;
    QLineEdit *MaskEditO2REF = nullptr;
    QPushButton *ButtonFillLoadTableWithO2RefValue = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillGrid();
    void selectCell(int row, int column);

    Log *log_ = nullptr;
    TO2TargetGrid *grid_ = nullptr;
    std::function<int()> sensorType_;
};
