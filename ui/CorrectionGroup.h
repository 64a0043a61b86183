#pragma once
// The dashboard's "Angle" group: the correction window's start and end bars,
// its width, the border panel, the correction value with its drag panel, and
// the buttons that choose where the correction goes (table, IAT, ECT), manual
// borders, autotuning and the descending characteristic. The window wires
// the controls; this group only lays them out.
#include <QGroupBox>

class QFrame;
class QLabel;
class QSlider;
class QSpinBox;
class QToolButton;

class CorrectionGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit CorrectionGroup(QWidget *parent = nullptr);

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
