#include "ui/FirmwarePage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/Widgets.h"

FirmwarePage::FirmwarePage(QAction *update, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheetFirmwareUpdate"));
    auto *firmwareColumn = new QVBoxLayout(this);
    auto *openButton = new QToolButton(this);
    openButton->setDefaultAction(update);
    openButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    CheckBoxFirmwareRecovery = named(
        new QCheckBox(QString::fromUtf8("Восстановление прошивки/Firmware Recovery"), this),
        "CheckBoxFirmwareRecovery");
    firmwareColumn->addWidget(openButton, 0, Qt::AlignLeft);
    firmwareColumn->addWidget(ProgressBar1);
    firmwareColumn->addWidget(CheckBoxFirmwareRecovery);
    // The pedal calibration: the throttle readings that count as 0 % and 100 %.
    GroupBox4 = named(new QGroupBox(QStringLiteral("TPS"), this), "GroupBox4");
    auto *tpsRow = new QHBoxLayout(GroupBox4);
    ButtonCalibrate = named(new QPushButton(QStringLiteral("Calibration"), GroupBox4), "ButtonCalibrate");
    ButtonCalibrate->setToolTip(QStringLiteral("Learn the pedal's travel from a short live recording"));
    LabelTpsMin = named(new QLabel(GroupBox4), "LabelTpsMin");
    LabelTpsMax = named(new QLabel(GroupBox4), "LabelTpsMax");
    RadioButtonTPSN = named(new QRadioButton(QString::fromUtf8("Отображать в N"), GroupBox4), "RadioButtonTPSN");
    RadioButtonTPSPercent =
        named(new QRadioButton(QString::fromUtf8("Отображать в %"), GroupBox4), "RadioButtonTPSPercent");
    RadioButtonTPSPercent->setChecked(true);
    for (QWidget *w : std::initializer_list<QWidget *>{ButtonCalibrate, LabelTpsMin, LabelTpsMax, RadioButtonTPSN,
                                                       RadioButtonTPSPercent})
        tpsRow->addWidget(w);
    tpsRow->addStretch(1);
    firmwareColumn->addWidget(GroupBox4, 0, Qt::AlignLeft);
    // What to do, and what never to do, while the unit's firmware is replaced.
    auto *notes = new QHBoxLayout;
    LabelAttention = named(new QLabel(QString::fromUtf8("ВНИМАНИЕ!"), this), "LabelAttention");
    LabelAttention->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold;"));
    LabelFollowFUpgrade = named(
        new QLabel(QString::fromUtf8("Строго соблюдайте инструкцию по обновлению прошивки устройства"),
                   this),
        "LabelFollowFUpgrade");
    LabelFollowFUpgrade->setStyleSheet(QStringLiteral("font-weight: bold;"));
    notes->addWidget(LabelAttention);
    notes->addWidget(LabelFollowFUpgrade);
    notes->addStretch(1);
    firmwareColumn->addSpacing(12);
    firmwareColumn->addLayout(notes);
    LabelFirmwareManual = named(new QLabel(this), "LabelFirmwareManual");
    LabelFirmwareManual->setWordWrap(true);
    firmwareColumn->addWidget(LabelFirmwareManual);
    firmwareColumn->addStretch(1);
}
