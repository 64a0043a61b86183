#include "ui/DashboardView.h"

#include "log/Autotune.h"

#include <QAbstractButton>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

#include "link/DeviceInfo.h"
#include "link/Ziravbroadcaster.h"
#include "table/TableCommon.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"
#include "ui/ChartBase.h"
#include "ui/ChartDashboard.h"
#include "ui/Gauge.h"

namespace {
QColor colourOfValue(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// Pictures are drawn here rather than shipped: a lamp with its text.
void paintLamp(QLabel *label, const QColor &colour, const QString &text)
{
    QPixmap pixmap(72, 30);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(colour);
        p.setPen(QPen(colour.darker(150), 2));
        p.drawRoundedRect(QRectF(1, 1, 70, 28), 8, 8);
        p.setPen(colour.lightness() > 140 ? Qt::black : Qt::white);
        QFont font = p.font();
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRect(0, 0, 72, 30), Qt::AlignCenter, text);
    }
    label->setPixmap(pixmap);
}

QLabel *picture(QWidget *parent, const char *name, const QColor &colour, const QString &text)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    paintLamp(label, colour, text);
    label->setFixedSize(72, 30);
    return label;
}

// The lamps' colours and texts in English and Russian.
struct Lamp {
    const char *name;
    QColor colour;
    const char *english;
    const char *russian;
};
const Lamp kLamps[] = {
    {"IdleSwOnImage", QColor(0, 200, 0), "IDLE", "ХХ"},
    {"IdleSwOffImage", QColor(200, 200, 200), "idle", "хх"},
    {"FullSwOnImage", QColor(255, 140, 0), "FULL", "ПОЛН"},
    {"FullSwOffImage", QColor(200, 200, 200), "full", "полн"},
    {"EngineCold", QColor(0, 110, 255), "COLD", "ХОЛОД"},
    {"EngineHot", QColor(220, 0, 0), "HOT", "ГОРЯЧ"},
};

// widest: the longest text the label will show, so that none is cut.
QLabel *valueLabel(QWidget *parent, const char *name, int minWidth, const QString &widest = QString())
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setPointSize(font.pointSize() + 1);
    font.setBold(true);
    label->setFont(font);
    // A fixed size keeps a changing text from re-laying out the page with
    // every live tick: a layout request reaching the page control repaints
    // the whole window.
    const QFontMetrics metrics(font);
    label->setFixedSize(std::max(minWidth, metrics.horizontalAdvance(widest) + 4), metrics.height() + 2);
    return label;
}

TGauge *gauge(QWidget *parent, const char *name, Qt::Orientation o, int max, const QString &caption)
{
    auto *g = new TGauge(o, 0, max, caption, parent);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

void setText(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void showOne(QWidget *on, QWidget *off, bool first)
{
    // Hide before show, so the pair never shows both at once.
    (first ? off : on)->setVisible(false);
    (first ? on : off)->setVisible(true);
}
} // namespace

DashboardView::DashboardView(Table &table, TTpsCalibration &calibration, ChartDashboard *chart, QWidget *parent)
    : QWidget(parent), table_(table), calibration_(calibration), chart_(chart)
{
    setObjectName(QStringLiteral("DashboardView"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);

    auto *gauges = new QGridLayout;
    GaugeO2 = gauge(this, "GaugeO2", Qt::Vertical, 255, QStringLiteral("O2"));
    GaugeAuxOut = gauge(this, "GaugeAuxOut", Qt::Vertical, 255, QStringLiteral("AUX"));
    GaugeMarker = gauge(this, "GaugeMarker", Qt::Vertical, 128, QStringLiteral("Mrk"));
    GaugeRpm = gauge(this, "GaugeRpm", Qt::Vertical, 7000, QStringLiteral("RPM"));
    GaugeTps = gauge(this, "GaugeTps", Qt::Vertical, 100, QStringLiteral("TPS%"));
    GaugeAuxOut->setBarColour(QColor(60, 60, 60));
    GaugeMarker->setBarColour(QColor(200, 0, 0));
    GaugeRpm->setBarColour(QColor(255, 192, 128));
    GaugeTps->setBarColour(QColor(128, 192, 255));
    // Each gauge's value right under it; the throttle's code and volts on a
    // line of their own under the TPS% gauge, whose value is the percent.
    LabelO2Val = valueLabel(this, "LabelO2Val", 46, QStringLiteral("4.98V"));
    LabelAuxOutValue = valueLabel(this, "LabelAuxOutValue", 46, QStringLiteral("4.98V"));
    LabelMarkerDash = valueLabel(this, "LabelMarkerDash", 46, QStringLiteral("128"));
    LabelRpmDash = valueLabel(this, "LabelRpmDash", 46, QStringLiteral("7000"));
    LabelTpsPercentDash = valueLabel(this, "LabelTpsPercentDash", 46, QStringLiteral("100%"));
    LabelTpsDash = valueLabel(this, "LabelTpsDash", 46, QStringLiteral("255N5.00V"));
    int col = 0;
    for (auto pair : {std::pair<TGauge *, QLabel *>{GaugeO2, LabelO2Val}, {GaugeAuxOut, LabelAuxOutValue},
                      {GaugeMarker, LabelMarkerDash}, {GaugeRpm, LabelRpmDash}, {GaugeTps, LabelTpsPercentDash}}) {
        gauges->addWidget(pair.first, 0, col, Qt::AlignHCenter);
        pair.second->setAlignment(Qt::AlignCenter);
        gauges->addWidget(pair.second, 1, col, Qt::AlignHCenter);
        ++col;
    }
    LabelTpsDash->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    gauges->addWidget(LabelTpsDash, 2, 0, 1, col, Qt::AlignRight);
    gauges->setRowStretch(0, 1);
    column->addLayout(gauges, 1);

    auto *lamps = new QGridLayout;
    IdleSwOnImage = picture(this, "IdleSwOnImage", QColor(0, 200, 0), QStringLiteral("IDLE"));
    IdleSwOffImage = picture(this, "IdleSwOffImage", QColor(200, 200, 200), QStringLiteral("idle"));
    FullSwOnImage = picture(this, "FullSwOnImage", QColor(255, 140, 0), QStringLiteral("FULL"));
    FullSwOffImage = picture(this, "FullSwOffImage", QColor(200, 200, 200), QStringLiteral("full"));
    EngineCold = picture(this, "EngineCold", QColor(0, 110, 255), QStringLiteral("COLD"));
    EngineHot = picture(this, "EngineHot", QColor(220, 0, 0), QStringLiteral("HOT"));
    ECTLabel = valueLabel(this, "ECTLabel", 120);
    // Each pair shares one fixed place without a layout: showing one and
    // hiding the other re-lays out nothing, for the same reason.
    auto pair = [&](int row, QLabel *on, QLabel *off) {
        auto *cell = new QWidget(this);
        cell->setFixedSize(on->size());
        on->setParent(cell);
        off->setParent(cell);
        on->move(0, 0);
        off->move(0, 0);
        lamps->addWidget(cell, row, 0);
    };
    pair(0, IdleSwOnImage, IdleSwOffImage);
    pair(1, FullSwOnImage, FullSwOffImage);
    pair(2, EngineCold, EngineHot);
    lamps->addWidget(ECTLabel, 2, 1);
    LabelMaxMaf = valueLabel(this, "LabelMaxMaf", 120);
    LabelMaxOut = valueLabel(this, "LabelMaxOut", 120);
    lamps->addWidget(LabelMaxMaf, 0, 1);
    lamps->addWidget(LabelMaxOut, 1, 1);
    column->addLayout(lamps);
    // What autotuning is doing, and why it waits or refuses.
    LabelAutotuneState = new QLabel(this);
    LabelAutotuneState->setObjectName(QStringLiteral("LabelAutotuneState"));
    LabelAutotuneState->setWordWrap(true);
    column->addWidget(LabelAutotuneState);
    showOne(IdleSwOnImage, IdleSwOffImage, false);
    showOne(FullSwOnImage, FullSwOffImage, false);
    // Nothing is known of the coolant before the first record: neither lamp.
    EngineCold->hide();
    EngineHot->hide();

    GroupBox5 = new QGroupBox(QStringLiteral("Factory Test"), this);
    GroupBox5->setObjectName(QStringLiteral("GroupBox5"));
    GroupBox5->hide(); // until the window places it on its page
    auto *test = new QFormLayout(GroupBox5);
    GaugeO2_1 = gauge(GroupBox5, "GaugeO2_1", Qt::Horizontal, 255, QString());
    GaugeConv = gauge(GroupBox5, "GaugeConv", Qt::Horizontal, 255, QString());
    GaugeMaf_1 = gauge(GroupBox5, "GaugeMaf_1", Qt::Horizontal, 255, QString());
    GaugeTps_1 = gauge(GroupBox5, "GaugeTps_1", Qt::Horizontal, 255, QString());
    // Named so that the language switch finds them.
    auto row = [&](const char *name, const QString &caption, TGauge *gauge) {
        auto *label = new QLabel(caption, GroupBox5);
        label->setObjectName(QString::fromLatin1(name));
        test->addRow(label, gauge);
    };
    row("LabelTestO2", QStringLiteral("O2"), GaugeO2_1);
    row("LabelTestMain", QStringLiteral("MAIN"), GaugeConv);
    row("LabelTestEct", QStringLiteral("ECT"), GaugeMaf_1);
    row("LabelTestTps", QStringLiteral("TPS"), GaugeTps_1);

    resetTrackers();
    showMaxima();
}

bool DashboardView::checked(QAbstractButton *button) const
{
    return button && button->isChecked();
}

QString DashboardView::oneDecimalVolts(double volts)
{
    return shortestDecimal(volts, 1) + QLatin1Char('V');
}

QString DashboardView::chartTitle(int sensorAngle, int mafInput, int converterOutput, double referenceVolts,
                                  bool english)
{
    const int angle = roundHalfEven(sensorAngle * mafInput * 4 / 900.0);
    const double mainVolts = converterOutput / 255.0 * referenceVolts;
    return QString::fromUtf8("α= ") + QString::number(angle) + QString::fromUtf8("°")
           + (english ? QStringLiteral("  MainOut=") : QString::fromUtf8("  Выход Main=")) + tbl::voltsText(mainVolts);
}

void DashboardView::showMaxima()
{
    setText(LabelMaxMaf, (english_ ? QStringLiteral("MaxMaf=") : QString::fromUtf8("МаксДМРВ=")) + QString::number(maxMaf_));
    if (!seen_)
        return;
    const QString prefix = descending_ ? (english_ ? QStringLiteral("MinOut=") : QString::fromUtf8("МинВых="))
                                       : (english_ ? QStringLiteral("MaxOut=") : QString::fromUtf8("МаксВых="));
    setText(LabelMaxOut, prefix + QString::number(outputExtreme_));
}

void DashboardView::setLanguage(bool english)
{
    english_ = english;
    showMaxima();
    for (const Lamp &lamp : kLamps) {
        if (auto *label = findChild<QLabel *>(QString::fromLatin1(lamp.name)))
            paintLamp(label, lamp.colour, QString::fromUtf8(english ? lamp.english : lamp.russian));
    }
    showTitle();
    showAutotuneState(autotuneColour_, autotuneReason_);
}

void DashboardView::showAutotuneState(int colour, int reason)
{
    autotuneColour_ = colour;
    autotuneReason_ = reason;
    const QString text = autotune::requestText(colour, reason, english_);
    if (LabelAutotuneState->text() != text)
        LabelAutotuneState->setText(text);
}

void DashboardView::resetTrackers()
{
    maxMaf_ = 0;
    outputExtreme_ = checked(controls_.descending) ? 255 : 0;
}

void DashboardView::showRecord(const TMsgDashData &r)
{
    const bool descending = checked(controls_.descending);

    GaugeO2->setValue(r.o2Gauge);
    GaugeO2_1->setValue(r.o2Gauge);
    GaugeO2->setBarColour(colourOfValue(r.o2Colour));
    GaugeO2_1->setBarColour(colourOfValue(r.o2Colour));
    setText(LabelO2Val, r.o2Text);

    GaugeRpm->setValue(r.rpm);
    setText(LabelRpmDash, QString::number(r.rpm));

    GaugeTps->setValue(calibration_.percent(r.tps));
    setText(LabelTpsPercentDash, QString::number(calibration_.percent(r.tps)) + QLatin1Char('%'));
    GaugeTps_1->setValue(r.tps);
    setText(LabelTpsDash, r.tpsText);

    GaugeMarker->setValue(r.marker);
    setText(LabelMarkerDash, QString::number(r.marker));
    GaugeConv->setValue(r.converter);
    GaugeMaf_1->setValue(r.slot1);

    outputExtreme_ = descending ? std::min(outputExtreme_, r.converter) : std::max(outputExtreme_, r.converter);

    // A check box that is ticked inverts its switch.
    showOne(IdleSwOnImage, IdleSwOffImage, ((r.slot0 & 1) != 0) != checked(controls_.idleSwitchInverted));
    showOne(FullSwOnImage, FullSwOffImage, ((r.slot0 & 2) != 0) != checked(controls_.fullSwitchInverted));

    maxMaf_ = std::max(maxMaf_, r.maf);
    descending_ = descending;
    seen_ = true;
    showMaxima();
    const bool lockUp = controls_.logLimitLock && !controls_.logLimitLock->isChecked();
    const bool autoTuning = checked(controls_.autocorrection) && !checked(controls_.manualBorders);
    if (controls_.logLimit && (lockUp || autoTuning))
        controls_.logLimit->setValue(255 - maxMaf_);
    // Setting the same position again would only redraw the whole chart.
    if (table_.maxMafPosition() != maxMaf_)
        table_.setMaxMafPosition(maxMaf_);

    currentMaf_ = r.maf;

    const int coolant = std::min(r.slot1, 255);
    const double coolantVolts = coolant / 255.0 * 5.0;
    setText(ECTLabel, oneDecimalVolts(coolantVolts));
    showOne(EngineCold, EngineHot, autotune::engineCold(coolant));

    GaugeAuxOut->setValue(r.auxOut);
    setText(LabelAuxOutValue, tbl::voltsText(r.auxOut / 256.0 * 5.0));

    lastConverter_ = r.converter;
    showTitle();
}

void DashboardView::showTitle()
{
    if (chart_ && seen_)
        chart_->setBottomTitle(chartTitle(sensorAngle_ ? sensorAngle_() : 0, currentMaf_, lastConverter_,
                                          table_.referenceVoltage(), english_));
}
