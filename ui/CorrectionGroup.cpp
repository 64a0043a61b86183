#include "ui/CorrectionGroup.h"

#include <QButtonGroup>
#include <QSignalBlocker>

#include <optional>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

#include "throttle/CorrectionWindow.h"
#include "ui/Widgets.h"

CorrectionGroup::CorrectionGroup(QWidget *parent) : QGroupBox(QString::fromUtf8("Угол"), parent)
{
    setObjectName(QStringLiteral("GroupBoxCorr"));
    auto *grid = new QGridLayout(this);
    TrackBarMafNach = named(new QSlider(Qt::Horizontal, this), "TrackBarMafNach");
    TrackBarMafKon = named(new QSlider(Qt::Horizontal, this), "TrackBarMafKon");
    for (QSlider *bar : {TrackBarMafNach, TrackBarMafKon}) {
        bar->setRange(0, 255);
        // Room for the drag at every scaling, yet the dashboard's lower row
        // fits 1366 px at 150 % in either language.
        bar->setMinimumWidth(200);
    }
    TrackBarMafNach->setValue(0);
    TrackBarMafKon->setValue(255);
    LabelMafNach = named(new QLabel(this), "LabelMafNach");
    LabelMafKon = named(new QLabel(this), "LabelMafKon");
    LabelPulsations = named(new QLabel(this), "LabelPulsations");
    // Fixed sizes: these follow every live tick, and a label that asks for a
    // new layout makes the page control repaint the whole window.
    for (QLabel *label : {LabelMafNach, LabelMafKon, LabelPulsations})
        label->setFixedSize(40, label->sizeHint().height());
    grid->addWidget(named(new QLabel(QStringLiteral("Start"), this), "LabelMafBeg"), 0, 0);
    grid->addWidget(TrackBarMafNach, 0, 1);
    grid->addWidget(LabelMafNach, 0, 2);
    grid->addWidget(named(new QLabel(QStringLiteral("End"), this), "LabelMafEnd"), 1, 0);
    grid->addWidget(TrackBarMafKon, 1, 1);
    grid->addWidget(LabelMafKon, 1, 2);
    grid->addWidget(named(new QLabel(QStringLiteral("Width"), this), "LabelWidth"), 2, 0);
    grid->addWidget(LabelPulsations, 2, 2);
    // Double click or drag here moves the window (or, in the smoothing and
    // Ref modes, those values) in small steps.
    MafBordersSliderPanel = named(new QFrame(this), "MafBordersSliderPanel");
    MafBordersSliderPanel->setFrameShape(QFrame::StyledPanel);
    MafBordersSliderPanel->setFrameShadow(QFrame::Sunken);
    MafBordersSliderPanel->setFixedHeight(14);
    MafBordersSliderPanel->setToolTip(QStringLiteral("Double click: a step left or right; drag: move"));
    grid->addWidget(MafBordersSliderPanel, 2, 1, Qt::AlignVCenter);

    UpDownCorrection = named(new QSpinBox(this), "UpDownCorrection");
    UpDownCorrection->setRange(-255, 255);
    UpDownCorrection->setValue(0);
    CorrPanel = named(new QLabel(QStringLiteral("0"), this), "CorrPanel");
    CorrPanel->setFrameShape(QFrame::Panel);
    CorrPanel->setFrameShadow(QFrame::Sunken);
    CorrPanel->setAlignment(Qt::AlignCenter);
    CorrPanel->setFixedSize(60, CorrPanel->sizeHint().height());
    CorrPanel->setToolTip(QStringLiteral("Drag up or down to change the value"));
    auto *corrRow = new QHBoxLayout;
    corrRow->addWidget(UpDownCorrection);
    corrRow->addWidget(CorrPanel);
    corrRow->addStretch(1);
    grid->addWidget(named(new QLabel(QStringLiteral("Correction"), this), "LabelCorrection"), 3, 0);
    grid->addLayout(corrRow, 3, 1, 1, 2);

    auto *buttons = new QHBoxLayout;
    auto speedButton = [&](const char *objectName, const QString &caption, const QString &tip) {
        auto *button = named(new QToolButton(this), objectName);
        button->setText(caption);
        button->setToolTip(tip);
        button->setCheckable(true);
        // fitCaptions widens a button whose caption needs more.
        button->setMinimumWidth(44);
        buttons->addWidget(button);
        return button;
    };
    SpeedButtonManualBorders = speedButton("SpeedButtonManualBorders", QStringLiteral("F8"),
                                           QStringLiteral("Manual borders of the correction window"));
    SpeedButtonAutocorr = speedButton("SpeedButtonAutocorr", QStringLiteral("Auto"),
                                      QStringLiteral("Autotuning (A)"));
    SpeedButtonAplToTable = speedButton("SpeedButtonAplToTable", QStringLiteral("Table"),
                                        QStringLiteral("Apply the correction to the table"));
    SpeedButtonApplyCorrToIat = speedButton("SpeedButtonApplyCorrToIat", QStringLiteral("IAT"),
                                            QStringLiteral("Apply the correction to the IAT correction"));
    SpeedButtonApplyCorrToECT = speedButton("SpeedButtonApplyCorrToECT", QStringLiteral(" ECT"),
                                            QStringLiteral("Apply the correction to the ECT correction"));
    SpeedButtonToyota = speedButton("SpeedButtonToyota", QStringLiteral("F9"),
                                    QStringLiteral("Descending characteristic"));
    buttons->addStretch(1);
    // The correction target stays selected when clicked again (IAT and ECT join this group).
    auto *targets = new QButtonGroup(this);
    targets->setExclusive(true);
    targets->addButton(SpeedButtonAplToTable);
    targets->addButton(SpeedButtonApplyCorrToIat);
    targets->addButton(SpeedButtonApplyCorrToECT);
    SpeedButtonAplToTable->setChecked(true);
    grid->addLayout(buttons, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);
}

void CorrectionGroup::bind(CorrectionWindow &model)
{
    CorrectionWindow *m = &model;
    Table *table = &model.table();
    auto showWindow = [this](int start, int end) {
        const QSignalBlocker nach(TrackBarMafNach), kon(TrackBarMafKon);
        TrackBarMafNach->setValue(start);
        TrackBarMafKon->setValue(end);
        LabelMafNach->setText(QString::number(start));
        LabelMafKon->setText(QString::number(end));
        LabelPulsations->setText(QString::number(end - start));
    };
    showWindow(model.start(), model.end());
    connect(&model, &CorrectionWindow::windowMoved, this, showWindow);
    auto barMoved = [m, table](QSlider *bar, bool start, int position) {
        // A drag is one edit (sliderPressed to sliderReleased); a step of the groove its own.
        std::optional<TableEdit> edit;
        if (!bar->isSliderDown())
            edit.emplace(*table);
        if (start)
            m->moveStart(position);
        else
            m->moveEnd(position);
    };
    connect(TrackBarMafNach, &QSlider::valueChanged, this,
            [this, barMoved](int v) { barMoved(TrackBarMafNach, true, v); });
    connect(TrackBarMafKon, &QSlider::valueChanged, this,
            [this, barMoved](int v) { barMoved(TrackBarMafKon, false, v); });
    for (QSlider *bar : {TrackBarMafNach, TrackBarMafKon}) {
        connect(bar, &QSlider::sliderPressed, this, [table] { table->beginEdit(); });
        connect(bar, &QSlider::sliderReleased, this, [table] { table->endEdit(); });
    }

    auto showCorrection = [this](int value) {
        const QSignalBlocker blocker(UpDownCorrection);
        UpDownCorrection->setValue(value);
        CorrPanel->setText(QString::number(value));
    };
    showCorrection(model.correction());
    connect(&model, &CorrectionWindow::correctionChanged, this, [showCorrection](int value, bool) {
        showCorrection(value);
    });
    connect(UpDownCorrection, QOverload<int>::of(&QSpinBox::valueChanged), &model, &CorrectionWindow::setCorrection);

    connect(SpeedButtonManualBorders, &QToolButton::clicked, &model, &CorrectionWindow::setManualBorders);
    // Autotuning is offered with either kind of borders; F8 releases it.
    connect(&model, &CorrectionWindow::manualBordersChanged, SpeedButtonManualBorders, &QToolButton::setChecked);
    connect(SpeedButtonAutocorr, &QToolButton::clicked, &model, &CorrectionWindow::setAutocorrection);
    connect(&model, &CorrectionWindow::autocorrectionChanged, SpeedButtonAutocorr, &QToolButton::setChecked);
    connect(&model, &CorrectionWindow::autocorrectionEnabledChanged, SpeedButtonAutocorr, &QWidget::setEnabled);

    const std::pair<QToolButton *, CorrectionTarget> targets[] = {{SpeedButtonAplToTable, CorrectionTarget::Table},
                                                                 {SpeedButtonApplyCorrToIat, CorrectionTarget::IAT},
                                                                 {SpeedButtonApplyCorrToECT, CorrectionTarget::ECT}};
    for (const auto &[button, target] : targets) {
        const CorrectionTarget t = target;
        connect(button, &QToolButton::toggled, &model, [m, t](bool down) {
            if (down)
                m->setTarget(t);
        });
    }
    connect(&model, &CorrectionWindow::targetChanged, this, [this](CorrectionTarget target) {
        QToolButton *button = target == CorrectionTarget::IAT   ? SpeedButtonApplyCorrToIat
                              : target == CorrectionTarget::ECT ? SpeedButtonApplyCorrToECT
                                                                : SpeedButtonAplToTable;
        button->setChecked(true);
    });
}

void CorrectionGroup::setTemperatureTargets(bool offered)
{
    for (QToolButton *button : {SpeedButtonApplyCorrToIat, SpeedButtonApplyCorrToECT})
        button->setEnabled(offered);
    if (!offered)
        SpeedButtonAplToTable->setChecked(true);
}
