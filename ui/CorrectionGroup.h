#pragma once
// The dashboard's "Angle" group: the correction window's start and end bars,
// its width, the border panel, the correction value with its drag panel, and
// the buttons that choose where the correction goes (table, IAT, ECT), manual
// borders, autotuning and the descending characteristic. The controls show
// the correction window model and hand the user's changes to it; the window
// wires the commands the buttons run.
#include <QGroupBox>

class CorrectionWindow;

class QFrame;
class QLabel;
class QSlider;
class QSpinBox;
class QToolButton;

class CorrectionGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit CorrectionGroup(QWidget *parent = nullptr);

    // The controls follow the model and change it; a bar moved by a click
    // on its groove is an edit of its own, a drag one edit from press to release.
    void bind(CorrectionWindow &model);
    // The IAT and ECT targets are offered only where the image holds
    // temperature corrections.
    void setTemperatureTargets(bool offered);

    QSlider *TrackBarMafNach = nullptr;
    QSlider *TrackBarMafKon = nullptr;
    QLabel *LabelMafNach = nullptr;
    QLabel *LabelMafKon = nullptr;
    QLabel *LabelPulsations = nullptr;
    QFrame *MafBordersSliderPanel = nullptr;
    QSpinBox *UpDownCorrection = nullptr;
    QLabel *CorrPanel = nullptr;
    QToolButton *SpeedButtonManualBorders = nullptr;
    QToolButton *SpeedButtonAutocorr = nullptr;
    QToolButton *SpeedButtonAplToTable = nullptr;
    QToolButton *SpeedButtonApplyCorrToIat = nullptr;
    QToolButton *SpeedButtonApplyCorrToECT = nullptr;
    QToolButton *SpeedButtonToyota = nullptr;
};
