#pragma once
// The firmware update page: the update command with its progress and the
// recovery option, the pedal calibration (the throttle readings that count
// as 0 % and 100 %), and the notes on how to update safely. The window wires
// the controls; this page only lays them out.
#include <QWidget>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

class FirmwarePage : public QWidget {
    Q_OBJECT
public:
    // update: the command of the page's button.
    explicit FirmwarePage(QAction *update, QWidget *parent = nullptr);

    QProgressBar *ProgressBar1 = nullptr;
    QCheckBox *CheckBoxFirmwareRecovery = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QPushButton *ButtonCalibrate = nullptr;
    QLabel *LabelTpsMin = nullptr;
    QLabel *LabelTpsMax = nullptr;
    QRadioButton *RadioButtonTPSN = nullptr;
    QRadioButton *RadioButtonTPSPercent = nullptr;
    QLabel *LabelAttention = nullptr;
    QLabel *LabelFollowFUpgrade = nullptr;
    QLabel *LabelFirmwareManual = nullptr;
};
