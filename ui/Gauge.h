#pragma once
// A bar gauge painted by hand: a frame, a coloured bar for the position and
// the caption. Cheaper than a styled progress bar when the colour changes
// with every live tick, and large enough to read on a laptop screen.
#include <QColor>
#include <QWidget>

class TGauge : public QWidget {
    Q_OBJECT
public:
    TGauge(Qt::Orientation orientation, int minimum, int maximum, const QString &caption, QWidget *parent = nullptr);

    int minimum() const { return min_; }
    int maximum() const { return max_; }
    int value() const { return value_; }
    QColor barColour() const { return colour_; }
    QString caption() const { return caption_; }
    void setCaption(const QString &caption)
    {
        caption_ = caption;
        update();
    }
    Qt::Orientation orientation() const { return orientation_; }

    // Positions outside the range are drawn at its ends but kept as given.
    void setValue(int value);
    void setBarColour(const QColor &colour);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::Orientation orientation_;
    int min_, max_;
    int value_;
    QString caption_;
    QColor colour_{0, 120, 215};
};
