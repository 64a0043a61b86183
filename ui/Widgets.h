#pragma once
// Small helpers every page uses to make its controls.
#include <array>

#include <QString>

#include "table/TableParams.h"

class QComboBox;
class QLineEdit;
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

// A list whose choice changes the unit (the port, the sensor preset) changes
// only when the user chooses: a click or Enter in its open list, Enter on a
// typed entry. Arrow keys, page keys, typed letters and the wheel, which
// would step through its entries while it is closed, do nothing there.
void chooseOnlyOnPurpose(QComboBox *list);

// A three-digit parameter box.
QLineEdit *parameterEdit(QWidget *parent, const QString &objectName);

// Binds a table's parameters to eight edit boxes (index = slot - 256).
class LineEditFields : public tbl::ParamFields {
public:
    explicit LineEditFields(const std::array<QLineEdit *, 8> &edits) : edits_(edits) {}
    QString text(int param) const override;
    void setText(int param, const QString &text) override;

private:
    std::array<QLineEdit *, 8> edits_;
};
