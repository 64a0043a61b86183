#include "ui/ThrottleEditor.h"

#include <QMouseEvent>
#include <QSlider>
#include <QSpinBox>

#include "table/Table_iat_ect_corr.h"
#include "ui/ThrottlePanel.h"

ThrottleEditor::ThrottleEditor(Table &table, ThrottlePanel &panel, const ThrottleEditorControls &controls,
                               ThrottleEditorActions actions, QObject *parent)
    : QObject(parent), table_(table), panel_(panel), c_(controls), a_(std::move(actions))
{
    c_.corrPanel->installEventFilter(this);
    c_.bordersPanel->installEventFilter(this);
}

void ThrottleEditor::takeAuxSnapshot()
{
    auxSnapshot_ = kma::auxSnapshot(table_);
}

void ThrottleEditor::setReferenceVoltage(float volts)
{
    table_.setReferenceVoltage(volts);
    table_.refresh();
    panel_.refreshValues();
}

void ThrottleEditor::arrowPressed(int key)
{
    const int mode = a_.editMode();
    const bool horizontal = key == Qt::Key_Left || key == Qt::Key_Right;
    const int sign = (key == Qt::Key_Right || key == Qt::Key_Up) ? 1 : -1;
    if (mode == EditSmoothing) {
        c_.smoothing->setValue(kma::limitSmoothing(c_.smoothing->value() + (horizontal ? 10 * sign : sign)));
    } else if (mode == EditRefVoltage) {
        setReferenceVoltage(table_.referenceVoltage() + (horizontal ? 1.0f : 0.01f) * float(sign));
    } else if (horizontal) {
        c_.windowStart->setValue(c_.windowStart->value() + sign);
    } else {
        if (mode == EditAuxMin || mode == EditAuxMax)
            takeAuxSnapshot();
        c_.correction->setValue(c_.correction->value() + sign);
    }
}

void ThrottleEditor::released(bool vertical)
{
    const int mode = a_.editMode();
    if (mode == EditSmoothing || mode == EditRefVoltage) {
        a_.quickWrite();
    } else if ((mode == EditAuxMin || mode == EditAuxMax) && vertical) {
        takeAuxSnapshot();
        a_.quickWrite();
        c_.correction->setValue(0);
    } else if (mode >= EditIdleSw && mode <= EditAuxMax && !vertical) {
        // A switch point or auxiliary end moved by the keys reaches the unit
        // when the key comes up, as it does from the border panel.
        a_.quickWrite();
    } else if (vertical) {
        a_.applyCorrection();
    }
    panel_.refreshValues();
}

void ThrottleEditor::startDrag(const QPoint &at)
{
    drag_ = {true, c_.correction->value(), c_.smoothing->value(), table_.referenceVoltage(), at,
             c_.windowStart->value()};
}

bool ThrottleEditor::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type t = event->type();
    const bool mouse = t == QEvent::MouseButtonPress || t == QEvent::MouseMove || t == QEvent::MouseButtonRelease
                       || t == QEvent::MouseButtonDblClick;
    if (mouse && watched == c_.corrPanel && corrPanelEvent(event))
        return true;
    if (mouse && watched == c_.bordersPanel && bordersPanelEvent(event))
        return true;
    return QObject::eventFilter(watched, event);
}

bool ThrottleEditor::corrPanelEvent(QEvent *event)
{
    const int mode = a_.editMode();
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint at = mouse->position().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton)
            return false;
        startDrag(at);
        if (mode == EditAuxMin || mode == EditAuxMax)
            takeAuxSnapshot();
        return true;
    case QEvent::MouseMove: {
        if (!drag_.active || !(mouse->buttons() & Qt::LeftButton))
            return false;
        // One step per 10 px upwards; outside the panel the value goes back.
        const bool inside = c_.corrPanel->rect().contains(at);
        const int steps = (drag_.pressAt.y() - at.y()) / 10;
        if (mode == EditSmoothing)
            c_.smoothing->setValue(kma::limitSmoothing(inside ? drag_.smoothing + steps : drag_.smoothing));
        else if (mode == EditRefVoltage)
            setReferenceVoltage(inside ? drag_.ref + 0.01f * float(steps) : drag_.ref);
        else
            c_.correction->setValue(inside ? drag_.correction + steps : 0);
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!drag_.active || mouse->button() != Qt::LeftButton)
            return false;
        drag_.active = false;
        if (c_.corrPanel->rect().contains(at))
            released(true);
        return true;
    default:
        return false;
    }
}

bool ThrottleEditor::bordersPanelEvent(QEvent *event)
{
    const int mode = a_.editMode();
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint at = mouse->position().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonDblClick: {
        const int sign = at.x() >= c_.bordersPanel->width() / 2 ? 1 : -1;
        if (mode == EditSmoothing)
            c_.smoothing->setValue(kma::limitSmoothing(c_.smoothing->value() + sign));
        else if (mode == EditRefVoltage)
            setReferenceVoltage(table_.referenceVoltage() + 0.01f * float(sign));
        else
            a_.moveWindowTo(table_.nextLearnedPoint(c_.windowStart->value(), sign > 0));
        // The release that follows ends the gesture (and sends, in the modes that do).
        startDrag(at);
        return true;
    }
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton)
            return false;
        startDrag(at);
        return true;
    case QEvent::MouseMove: {
        if (!drag_.active || !(mouse->buttons() & Qt::LeftButton))
            return false;
        const int steps = (at.x() - drag_.pressAt.x()) / 5; // one step per 5 px
        if (mode == EditSmoothing)
            c_.smoothing->setValue(kma::limitSmoothing(drag_.smoothing + steps));
        else if (mode == EditRefVoltage)
            setReferenceVoltage(drag_.ref + float(steps));
        else
            a_.moveWindowTo(tbl::clampCode(drag_.windowStart + steps));
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!drag_.active)
            return false;
        drag_.active = false;
        if (mode == EditIdleSw || mode == EditFullSw || mode == EditSmoothing || mode == EditRefVoltage)
            a_.quickWrite();
        panel_.refreshValues();
        return true;
    default:
        return false;
    }
}
