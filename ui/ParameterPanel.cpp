#include "ui/ParameterPanel.h"

#include <QEvent>
#include <QGridLayout>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

#include <optional>

#include "table/Table_iat_ect_corr.h"
#include "ui/Widgets.h"

namespace {
// Object names of the parameter boxes by parameter index.
const std::array<const char *, 8> kEditNames = {"MaskEditMafTime", "MaskEditTreshold", "MaskEditEnrichmentFactor",
                                                "MaskEditEnleanmentFactor", "MaskEditSmoothMaf", "MaskEditTps",
                                                "MaskEditRpm", "MaskEditTpsThreshold"};
const std::array<const char *, 7> kCaptions = {"MAF smoothing", "TPS smoothing", "RPM smoothing", "MAF sampling",
                                               "Trigger threshold", "Enrichment", "Enrichment decay"};
// Object names of those captions.
const std::array<const char *, 7> kCaptionNames = {"CaptionTrackBarMafSm", "CaptionTrackBarTpsSm",
                                                   "CaptionTrackBarRpmSm", "LabelMafTime",
                                                   "LabelThreshold",       "LabelEnrichmentFactor",
                                                   "LabelEnleanmentFactor"};
} // namespace

ParameterPanel::ParameterPanel(QWidget *parent) : QGroupBox(QStringLiteral("Signal processing"), parent)
{
    setObjectName(QStringLiteral("GroupBoxParameters"));
    auto *grid = new QGridLayout(this);
    for (int param = 0; param < 8; ++param) {
        edits[size_t(param)] = parameterEdit(this, QString::fromLatin1(kEditNames[size_t(param)]));
        // The main view shows these values through the track bars only.
        edits[size_t(param)]->hide();
        connect(edits[size_t(param)], &QLineEdit::textChanged, this, [this, param] { editChanged(param); });
    }
    for (int id = 0; id < tbl::TrackBarCount; ++id) {
        const tbl::TrackBarInfo &info = tbl::trackBarInfo(id);
        auto *bar = named(new QSlider(Qt::Horizontal, this), info.trackBar);
        bar->setRange(info.min, info.max);
        bar->setValue(info.designPosition);
        bar->setMinimumWidth(260);
        auto *label = named(new QLabel(this), info.label);
        label->setMinimumWidth(56);
        trackBars[size_t(id)] = bar;
        trackBarLabels[size_t(id)] = label;
        auto *caption = new QLabel(QString::fromLatin1(kCaptions[size_t(id)]), this);
        caption->setObjectName(QString::fromLatin1(kCaptionNames[size_t(id)]));
        grid->addWidget(caption, id, 0);
        grid->addWidget(bar, id, 1);
        grid->addWidget(label, id, 2);
        connect(bar, &QSlider::valueChanged, this, [this, id](int position) { trackBarChanged(id, position); });
        bar->installEventFilter(this);
        connect(bar, &QSlider::sliderPressed, this, [this] {
            if (table_)
                table_->beginEdit();
        });
        connect(bar, &QSlider::sliderReleased, this, [this] {
            if (table_)
                table_->endEdit();
        });
    }
    grid->setColumnStretch(3, 1);
}

void ParameterPanel::bind(Table &table)
{
    table_ = &table;
}

bool ParameterPanel::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Wheel && table_) {
        if (wheelBar_ != watched) {
            endWheelEdit();
            wheelBar_ = watched;
            table_->beginEdit();
        }
        if (!wheelGap_) {
            wheelGap_ = new QTimer(this);
            wheelGap_->setSingleShot(true);
            wheelGap_->setInterval(kWheelGapMs);
            connect(wheelGap_, &QTimer::timeout, this, &ParameterPanel::endWheelEdit);
        }
        wheelGap_->start();
    } else if (type == QEvent::MouseButtonPress || type == QEvent::KeyPress || type == QEvent::FocusOut) {
        endWheelEdit(); // another gesture begins
    }
    return QGroupBox::eventFilter(watched, event);
}

void ParameterPanel::endWheelEdit()
{
    if (!wheelBar_)
        return;
    wheelBar_ = nullptr;
    if (wheelGap_)
        wheelGap_->stop();
    if (table_)
        table_->endEdit();
}

QString ParameterPanel::text(int param) const
{
    return edits.at(size_t(param))->text();
}

void ParameterPanel::setText(int param, const QString &text)
{
    edits.at(size_t(param))->setText(text);
}

void ParameterPanel::trackBarChanged(int id, int position)
{
    // The unit gets every parameter change: a step of the bar is one edit, a
    // drag one edit from press to release.
    std::optional<TableEdit> step;
    if (table_ && !trackBars[size_t(id)]->isSliderDown())
        step.emplace(*table_);
    showLabels(id, position);
    const int param = tbl::trackBarInfo(id).param;
    const QString text = tbl::trackBarEditText(position);
    if (edits[size_t(param)]->text() != text)
        edits[size_t(param)]->setText(text);
    if (table_)
        table_->readParameter(1, param);
}

void ParameterPanel::setEnglish(bool english)
{
    english_ = english;
    // Only the sampling time has a unit. Its label tells the box's value,
    // which may lie outside the bar's range; before a value the bar's.
    const int id = tbl::TrackBarMafTime;
    const QString box = edits[size_t(tbl::trackBarInfo(id).param)]->text();
    showLabels(id, box.isEmpty() ? trackBars[size_t(id)]->value() : tbl::parseLeadingInt(box));
}

void ParameterPanel::showLabels(int id, int value)
{
    trackBarLabels[size_t(id)]->setText(tbl::trackBarLabelText(id, value, english_));
    if (id == tbl::TrackBarMafSm)
        emit smoothingChanged(value);
}

void ParameterPanel::editChanged(int param)
{
    // The box follows the table (a read, a file, undo). Its bar goes as near
    // as its range allows but does not write back: a value outside the bar's
    // range (a sampling time of 2 from the unit) must reach the unit again
    // unchanged. The labels tell the box's own value.
    const QString text = edits[size_t(param)]->text();
    for (int id = 0; id < tbl::TrackBarCount; ++id) {
        if (tbl::trackBarInfo(id).param != param)
            continue;
        bool ok = false;
        const int position = tbl::trackBarPositionFromText(id, text, &ok);
        if (!ok)
            continue;
        {
            const QSignalBlocker blocker(trackBars[size_t(id)]);
            trackBars[size_t(id)]->setValue(position);
        }
        showLabels(id, tbl::parseLeadingInt(text));
    }
}
