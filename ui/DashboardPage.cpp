#include "ui/DashboardPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/CorrectionGroup.h"
#include "ui/Widgets.h"

DashboardPage::DashboardPage(QWidget *page, QAction *start, QAction *stop)
{
    auto *column = new QVBoxLayout(page);

    auto *liveRow = new QHBoxLayout;
    Button2 = named(new QToolButton(page), "Button2");
    Button2->setDefaultAction(start);
    Button6 = named(new QToolButton(page), "Button6");
    Button6->setDefaultAction(stop);
    for (QToolButton *button : {Button2, Button6}) {
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setMinimumWidth(90);
    }
    ComboBoxO2 = named(new QComboBox(page), "ComboBoxO2");
    ComboBoxO2->setMinimumWidth(160);
    liveRow->addWidget(Button2);
    liveRow->addWidget(Button6);
    liveRow->addSpacing(16);
    liveRow->addWidget(named(new QLabel(QStringLiteral("O2 sensor:"), page), "LabelO2Type"));
    liveRow->addWidget(ComboBoxO2);
    liveRow->addStretch(1);
    column->addLayout(liveRow);
    viewArea = new QHBoxLayout;
    column->addLayout(viewArea, 1);

    auto *body = new QHBoxLayout;
    correction = new CorrectionGroup(page);
    body->addWidget(correction, 1);
    throttleArea = new QVBoxLayout;
    body->addLayout(throttleArea);

    auto *reference = named(new QGroupBox(QString::fromUtf8("Опорное O2"), page), "GroupBoxRefO2");
    auto *refGrid = new QGridLayout(reference);
    TrackBarRefO2 = verticalBar(reference, "TrackBarRefO2", 0, 255, 127);
    LabelRefO2 = named(new QLabel(reference), "LabelRefO2");
    LabelLogO2RefFromDash = named(new QLabel(reference), "LabelLogO2RefFromDash");
    LabelRefO2FromDashInPercent = named(new QLabel(reference), "LabelRefO2FromDashInPercent");
    for (QLabel *label : {LabelRefO2, LabelLogO2RefFromDash, LabelRefO2FromDashInPercent})
        label->setMinimumWidth(56);
    refGrid->addWidget(TrackBarRefO2, 0, 0, 4, 1, Qt::AlignHCenter);
    refGrid->addWidget(LabelRefO2, 0, 1);
    refGrid->addWidget(LabelLogO2RefFromDash, 1, 1);
    refGrid->addWidget(LabelRefO2FromDashInPercent, 2, 1);
    refGrid->setRowStretch(3, 1);
    body->addWidget(reference);
    column->addLayout(body);
}
