#include "ui/Widgets.h"

#include <QSlider>

QSlider *verticalBar(QWidget *parent, const char *objectName, int min, int max, int position)
{
    auto *bar = named(new QSlider(Qt::Vertical, parent), objectName);
    bar->setRange(min, max);
    bar->setValue(position);
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
    bar->setMinimumHeight(140);
    bar->setMaximumHeight(220);
    return bar;
}
