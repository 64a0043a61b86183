#include "ui/Widgets.h"

#include <QIntValidator>
#include <QLineEdit>
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

QLineEdit *parameterEdit(QWidget *parent, const QString &objectName)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    // Three digits and a sign: an enrichment byte below 128 from the unit
    // shows as a negative percentage (0 shows -100), and a box that cut it
    // short would send another byte back.
    edit->setValidator(new QIntValidator(-999, 999, edit));
    edit->setMaxLength(4);
    edit->setMaximumWidth(56);
    return edit;
}

QString LineEditFields::text(int param) const
{
    return edits_.at(size_t(param))->text();
}

void LineEditFields::setText(int param, const QString &text)
{
    edits_.at(size_t(param))->setText(text);
}
