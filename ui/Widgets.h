#pragma once
// Small helpers every page uses to make its controls.
#include <QString>

class QSlider;
class QWidget;

// The control with its object name (the name tests and captions find it by).
template <typename W>
W *named(W *widget, const char *objectName)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

// Vertical bars of the log and autotuning settings: the slider value is the
// bar's position, drawn from the top down, so the largest value sits on top.
QSlider *verticalBar(QWidget *parent, const char *objectName, int min, int max, int position);
