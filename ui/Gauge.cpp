#include "ui/Gauge.h"

#include <QPainter>

#include <algorithm>

#include <QFontMetrics>

TGauge::TGauge(Qt::Orientation orientation, int minimum, int maximum, const QString &caption, QWidget *parent)
    : QWidget(parent), orientation_(orientation), min_(minimum), max_(maximum), value_(minimum), caption_(caption)
{
    setSizePolicy(orientation == Qt::Vertical ? QSizePolicy::Fixed : QSizePolicy::Expanding,
                  orientation == Qt::Vertical ? QSizePolicy::Expanding : QSizePolicy::Fixed);
}

void TGauge::setValue(int value)
{
    if (value == value_)
        return;
    value_ = value;
    update();
}

void TGauge::setBarColour(const QColor &colour)
{
    if (colour == colour_)
        return;
    colour_ = colour;
    update();
}

QSize TGauge::sizeHint() const
{
    return orientation_ == Qt::Vertical ? QSize(46, 200) : QSize(260, 26);
}

QSize TGauge::minimumSizeHint() const
{
    return orientation_ == Qt::Vertical ? QSize(40, 110) : QSize(120, 22);
}

void TGauge::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    p.fillRect(frame, QColor(250, 250, 250));
    const double span = std::max(1, max_ - min_);
    const double share = std::clamp((value_ - min_) / span, 0.0, 1.0);
    QRect bar = frame.adjusted(2, 2, -1, -1);
    if (orientation_ == Qt::Vertical)
        bar.setTop(bar.bottom() - int(bar.height() * share));
    else
        bar.setWidth(int(bar.width() * share));
    p.fillRect(bar, colour_);
    p.setPen(QColor(90, 90, 90));
    p.drawRect(frame);
    if (!caption_.isEmpty()) {
        p.setPen(Qt::black);
        const Qt::Alignment align = orientation_ == Qt::Vertical ? Qt::AlignHCenter | Qt::AlignTop
                                                                 : Qt::AlignLeft | Qt::AlignVCenter;
        const QRect text = frame.adjusted(4, 2, -2, -2);
        // A heading longer than the gauge is wide (another language) gets a
        // smaller font rather than losing its ends.
        QFont font = p.font();
        while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(caption_) > text.width())
            font.setPointSizeF(font.pointSizeF() - 0.5);
        p.setFont(font);
        p.drawText(text, int(align), caption_);
    }
}
