#include "ui/SensorSettingsGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "table/TableCommon.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/ThrottleSettings.h"
#include "ui/Widgets.h"

SensorSettingsGroup::SensorSettingsGroup(QWidget *parent)
    : QGroupBox(QStringLiteral("Contactless sensor settings"), parent)
{
    setObjectName(QStringLiteral("GroupBoxContactlessSettings"));
    auto *form = new QFormLayout(this);
    ComboBoxKmaSensorType = named(new QComboBox(this), "ComboBoxKmaSensorType");
    ComboBoxKmaSensorType->addItems(kma::sensorTypeNames());
    ComboBoxKmaAngleDegrees = named(new QComboBox(this), "ComboBoxKmaAngleDegrees");
    for (int angle : kma::kAngles)
        ComboBoxKmaAngleDegrees->addItem(QString::number(angle) + QString::fromUtf8("°"), angle);
    ComboBoxKmaAngleDegrees->setCurrentIndex(0);
    ComboBoxKmaDirection = named(new QComboBox(this), "ComboBoxKmaDirection");
    ComboBoxKmaDirection->addItems({QString::fromUtf8("←"), QString::fromUtf8("→")});
    ComboBoxKmaCalAtMinOrMaxAngle = named(new QComboBox(this), "ComboBoxKmaCalAtMinOrMaxAngle");
    ComboBoxKmaCalAtMinOrMaxAngle->addItems({QString::fromUtf8("Min. α"), QString::fromUtf8("Max. α")});
    ComboBoxKmaCalAtMinOrMaxAngle->setCurrentIndex(1);
    CheckBoxIdleSwitch = named(new QCheckBox(QStringLiteral("Idle switch"), this), "CheckBoxIdleSwitch");
    CheckBoxFullSwitch = named(new QCheckBox(QStringLiteral("Full load switch"), this), "CheckBoxFullSwitch");
    ButtonCalibrateKMA = named(new QPushButton(QStringLiteral("Calibrate"), this), "ButtonCalibrateKMA");
    form->addRow(named(new QLabel(QStringLiteral("Type")), "LabelType"), ComboBoxKmaSensorType);
    form->addRow(named(new QLabel(QStringLiteral("Angle")), "LabelAngle"), ComboBoxKmaAngleDegrees);
    form->addRow(named(new QLabel(QStringLiteral("Direction")), "LabelDirection"), ComboBoxKmaDirection);
    form->addRow(named(new QLabel(QStringLiteral("Calibration")), "LabelCalibration"), ComboBoxKmaCalAtMinOrMaxAngle);
    auto *switches = new QHBoxLayout;
    switches->addWidget(CheckBoxIdleSwitch);
    switches->addWidget(CheckBoxFullSwitch);
    form->addRow(named(new QLabel(QStringLiteral("Invert switches")), "LabelInvertSwitches"), switches);
    form->addRow(QString(), ButtonCalibrateKMA);
    connect(CheckBoxIdleSwitch, &QCheckBox::clicked, this, [this] { inversionClicked(true); });
    connect(CheckBoxFullSwitch, &QCheckBox::clicked, this, [this] { inversionClicked(false); });
    chooseOnlyOnPurpose(ComboBoxKmaSensorType);
    connect(ComboBoxKmaSensorType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SensorSettingsGroup::applyPreset);
    // Choosing the entry already shown applies its preset too (a second run changes nothing).
    connect(ComboBoxKmaSensorType, QOverload<int>::of(&QComboBox::activated), this,
            &SensorSettingsGroup::applyPreset);
}

void SensorSettingsGroup::bind(Table &table)
{
    table_ = &table;
    // The boxes show what the image holds, whatever changed it.
    table.observe([group = QPointer<SensorSettingsGroup>(this)](TableChange) {
        if (!group)
            return;
        group->CheckBoxIdleSwitch->setChecked(group->table_->slot(tbl::kSlotIdleInvert) != 0);
        group->CheckBoxFullSwitch->setChecked(group->table_->slot(tbl::kSlotFullInvert) != 0);
    });
}

void SensorSettingsGroup::selectAngle(int degrees)
{
    QList<int> angles;
    for (int i = 0; i < ComboBoxKmaAngleDegrees->count(); ++i)
        angles.append(ComboBoxKmaAngleDegrees->itemData(i).toInt());
    const int nearest = kma::nearestAngleIndex(angles, degrees);
    if (nearest >= 0)
        ComboBoxKmaAngleDegrees->setCurrentIndex(nearest);
}

void SensorSettingsGroup::takeRecord(const kma::SensorRecord &record)
{
    show();
    selectAngle(record.angle);
    ComboBoxKmaDirection->setCurrentIndex(record.direction);
    const int side = kma::calibrationSide(record.calibrationPoint);
    if (side >= 0)
        ComboBoxKmaCalAtMinOrMaxAngle->setCurrentIndex(side);
}

kma::SensorRecord SensorSettingsGroup::recordFromLists() const
{
    kma::SensorRecord record;
    record.angle = ComboBoxKmaAngleDegrees->currentData().toInt();
    record.typeCode = kma::kTypeCode;
    record.direction = ComboBoxKmaDirection->currentIndex() & 1;
    record.calibrationPoint =
        ComboBoxKmaCalAtMinOrMaxAngle->currentIndex() == 1 ? kma::kCalibrateAtMax : kma::kCalibrateAtMin;
    return record;
}

bool SensorSettingsGroup::angleChosen() const
{
    return ComboBoxKmaAngleDegrees->currentIndex() >= 0;
}

void SensorSettingsGroup::inversionClicked(bool idleSwitch)
{
    if (!table_)
        return;
    const TableEdit edit(*table_);
    const QCheckBox *box = idleSwitch ? CheckBoxIdleSwitch : CheckBoxFullSwitch;
    kma::setSwitchInversion(*table_, idleSwitch, box->isChecked());
    table_->refresh();
    table_->sendImage();
}

void SensorSettingsGroup::applyPreset()
{
    if (!table_)
        return;
    // The preset is one edit: the boxes that change reach the unit in one image.
    const TableEdit edit(*table_);
    const kma::Preset p = kma::preset(ComboBoxKmaSensorType->currentIndex());
    if (p.direction)
        ComboBoxKmaDirection->setCurrentIndex(*p.direction);
    if (p.calSide)
        ComboBoxKmaCalAtMinOrMaxAngle->setCurrentIndex(*p.calSide);
    // A box whose state changes acts as a click on it; one that stays sends nothing.
    const std::pair<QCheckBox *, std::optional<bool>> switches[] = {{CheckBoxIdleSwitch, p.invertIdle},
                                                                    {CheckBoxFullSwitch, p.invertFull}};
    for (const auto &[box, inverted] : switches) {
        if (inverted && box->isChecked() != *inverted) {
            box->setChecked(*inverted);
            inversionClicked(box == CheckBoxIdleSwitch);
        }
    }
    selectAngle(p.angle);
}
