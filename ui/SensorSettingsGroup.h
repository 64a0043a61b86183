#pragma once
// The contactless sensor settings of the main page: sensor type presets,
// working angle, direction, calibration side, the inversion of the two
// switches and the calibration button. The inversion boxes show image 1 of
// the table and write it; a preset is one edit of the table, so the boxes it
// changes reach the unit in one image.
#include <QGroupBox>

#include "throttle/SensorRecord.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class Table;

class SensorSettingsGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit SensorSettingsGroup(QWidget *parent = nullptr);
    // The table whose image the inversion boxes show and write.
    void bind(Table &table);

    // The record read from the unit: the group shows, the lists follow it.
    void takeRecord(const kma::SensorRecord &record);
    // The record the lists describe, as the calibration sends it.
    kma::SensorRecord recordFromLists() const;
    bool angleChosen() const;
    // A switch box clicked (or its picture double clicked): its slot, one edit.
    void inversionClicked(bool idleSwitch);
    // The preset of the sensor type shown (a choice of the same entry applies it again).
    void applyPreset();

    QComboBox *ComboBoxKmaSensorType = nullptr;
    QComboBox *ComboBoxKmaAngleDegrees = nullptr;
    QComboBox *ComboBoxKmaDirection = nullptr;
    QComboBox *ComboBoxKmaCalAtMinOrMaxAngle = nullptr;
    QCheckBox *CheckBoxIdleSwitch = nullptr;
    QCheckBox *CheckBoxFullSwitch = nullptr;
    QPushButton *ButtonCalibrateKMA = nullptr;

private:
    void selectAngle(int degrees);
    Table *table_ = nullptr;
};
