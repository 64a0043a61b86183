#pragma once
// The autotuning options page: the live autotuning settings (spread, forced
// idle, the fast and fine bars, full-throttle smoothing), the O2 target bar
// and the O2 target grid with its fill box. The window wires the controls to
// the log; this page only lays them out.
#include <QColor>
#include <QWidget>

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

    QSpinBox *UpDown1 = nullptr;
    QLineEdit *MaskEditForcedIdleRpm = nullptr;
    QLineEdit *MaskEditForcedIdleTps = nullptr;
    QSlider *TrackBarB = nullptr;
    QSlider *TrackBarT = nullptr;
    QLabel *LabelTrackBarB = nullptr;
    QLabel *LabelTrackBarT = nullptr;
    QCheckBox *CheckBoxWotCorr = nullptr;
    // The O2 target group; the log page shows it beside its chart.
    QGroupBox *GroupBoxO2Target = nullptr;
    QSlider *TrackBarLogO2Target = nullptr;
    QLabel *LabelRefO2Log = nullptr;
    QLabel *LabelLogMixtuePercent = nullptr;
    QTableWidget *StringGridO2Table = nullptr;
    QLineEdit *MaskEditO2REF = nullptr;
    QPushButton *ButtonFillLoadTableWithO2RefValue = nullptr;
};
