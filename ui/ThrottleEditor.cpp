#include "ui/ThrottleEditor.h"

#include <QMouseEvent>
#include <QSlider>

#include "table/Table_iat_ect_corr.h"
#include "throttle/CorrectionWindow.h"

ThrottleEditor::ThrottleEditor(Table &table, CorrectionWindow &window, const ThrottleEditorControls &controls,
                               std::function<void()> applyCorrection, QObject *parent)
    : QObject(parent), table_(table), window_(window), c_(controls), applyCorrection_(std::move(applyCorrection))
{
    c_.corrPanel->installEventFilter(this);
    c_.bordersPanel->installEventFilter(this);
}

void ThrottleEditor::setReferenceVoltage(float volts)
{
    table_.setReferenceVoltage(volts);
    table_.refresh();
}

void ThrottleEditor::arrowPressed(int key)
{
    const int mode = window_.editMode();
    const bool horizontal = key == Qt::Key_Left || key == Qt::Key_Right;
    const int sign = (key == Qt::Key_Right || key == Qt::Key_Up) ? 1 : -1;
    if (mode == EditSmoothing) {
        c_.smoothing->setValue(kma::limitSmoothing(c_.smoothing->value() + (horizontal ? 10 * sign : sign)));
    } else if (mode == EditRefVoltage) {
        setReferenceVoltage(table_.referenceVoltage() + (horizontal ? 1.0f : 0.01f) * float(sign));
    } else if (horizontal) {
        window_.moveStart(window_.start() + sign);
    } else {
        window_.takeAuxSnapshot(); // the auxiliary modes only
        window_.setCorrection(window_.correction() + sign);
    }
}

void ThrottleEditor::released(bool vertical)
{
    const int mode = window_.editMode();
    if (mode == EditSmoothing || mode == EditRefVoltage) {
        table_.sendImage();
    } else if (window_.auxMode() && vertical) {
        // The pair keeps the step; the next one starts from it.
        window_.takeAuxSnapshot();
        table_.sendImage();
        window_.setCorrection(0);
    } else if (mode >= EditIdleSw && mode <= EditAuxMax && !vertical) {
        // A switch point or auxiliary end moved by the keys reaches the unit
        // when the key comes up, as it does from the border panel.
        table_.sendImage();
    } else if (vertical) {
        applyCorrection_();
    }
}

void ThrottleEditor::openEdit()
{
    if (editOpen_)
        return;
    editOpen_ = true;
    table_.beginEdit();
}

void ThrottleEditor::closeEdit()
{
    if (!editOpen_)
        return;
    editOpen_ = false;
    table_.endEdit();
}

void ThrottleEditor::startDrag(const QPoint &at)
{
    drag_ = {true, window_.correction(), c_.smoothing->value(), table_.referenceVoltage(), at, window_.start()};
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
    if (t == QEvent::Hide && (watched == c_.corrPanel || watched == c_.bordersPanel)) {
        drag_.active = false;
        closeEdit();
    }
    return QObject::eventFilter(watched, event);
}

bool ThrottleEditor::corrPanelEvent(QEvent *event)
{
    const int mode = window_.editMode();
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint at = mouse->position().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (mouse->button() != Qt::LeftButton)
            return false;
        openEdit();
        startDrag(at);
        window_.takeAuxSnapshot();
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
            window_.setCorrection(inside ? drag_.correction + steps : 0);
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!drag_.active || mouse->button() != Qt::LeftButton)
            return false;
        drag_.active = false;
        if (c_.corrPanel->rect().contains(at))
            released(true);
        closeEdit();
        return true;
    default:
        return false;
    }
}

bool ThrottleEditor::bordersPanelEvent(QEvent *event)
{
    const int mode = window_.editMode();
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint at = mouse->position().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonDblClick: {
        openEdit();
        const int sign = at.x() >= c_.bordersPanel->width() / 2 ? 1 : -1;
        if (mode == EditSmoothing)
            c_.smoothing->setValue(kma::limitSmoothing(c_.smoothing->value() + sign));
        else if (mode == EditRefVoltage)
            setReferenceVoltage(table_.referenceVoltage() + 0.01f * float(sign));
        else
            window_.moveTo(table_.nextLearnedPoint(window_.start(), sign > 0));
        // The release that follows ends the edit.
        startDrag(at);
        return true;
    }
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton)
            return false;
        openEdit();
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
            window_.moveTo(tbl::clampCode(drag_.windowStart + steps));
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!drag_.active)
            return false;
        drag_.active = false;
        if (mode == EditIdleSw || mode == EditFullSw || mode == EditSmoothing || mode == EditRefVoltage)
            table_.sendImage();
        closeEdit();
        return true;
    default:
        return false;
    }
}
