#include "app/WindowKeys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "table/Table_iat_ect_corr.h"

namespace {

bool isArrow(int k)
{
    return k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down;
}

// A control the user types text into (a port path, a number, a name).
bool takesText(const QWidget *w)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(w))
        return !edit->isReadOnly();
    if (const auto *combo = qobject_cast<const QComboBox *>(w))
        return combo->isEditable();
    if (const auto *text = qobject_cast<const QPlainTextEdit *>(w))
        return !text->isReadOnly();
    if (const auto *text = qobject_cast<const QTextEdit *>(w))
        return !text->isReadOnly();
    return false;
}

// Keys a spin box keeps: its digits, sign and the keys that edit its text.
bool spinBoxKey(int k)
{
    return (k >= Qt::Key_0 && k <= Qt::Key_9) || k == Qt::Key_Minus || k == Qt::Key_Plus || k == Qt::Key_Left
           || k == Qt::Key_Right || k == Qt::Key_Backspace || k == Qt::Key_Delete || k == Qt::Key_Home
           || k == Qt::Key_End;
}

} // namespace

WindowKeys::WindowKeys(QWidget *window, Table &table, WindowKeyCommands commands)
    : QObject(window), window_(window), table_(table), c_(std::move(commands))
{
    qApp->installEventFilter(this);
}

WindowKeys::~WindowKeys()
{
    qApp->removeEventFilter(this);
}

void WindowKeys::endArrowEdit()
{
    if (!arrowKey_)
        return;
    arrowKey_ = 0;
    table_.endEdit();
}

bool WindowKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::WindowDeactivate && watched == window_) {
        endArrowEdit();
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    auto *receiver = qobject_cast<QWidget *>(watched);
    if (!receiver || receiver->window() != window_)
        return false;
    // A key travels from the focused control up to the window; it acts once,
    // where it starts.
    QWidget *focus = QApplication::focusWidget();
    if (receiver != (focus && focus->window() == window_ ? focus : window_))
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    return type == QEvent::KeyPress ? keyPressed(receiver, key) : keyReleased(key);
}

bool WindowKeys::keyPressed(QWidget *receiver, QKeyEvent *key)
{
    const int k = key->key();
    const Qt::KeyboardModifiers mods = key->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool tableKey = ctrl && (k == Qt::Key_O || k == Qt::Key_S || k == Qt::Key_Z);
    if (takesText(receiver) && !tableKey)
        return false;
    const bool onDashboard = c_.onDashboard();
    if (qobject_cast<QAbstractSpinBox *>(receiver) && !ctrl && spinBoxKey(k))
        return false;
    if (isArrow(k)) {
        const bool vertical = k == Qt::Key_Up || k == Qt::Key_Down;
        if (!onDashboard)
            return !vertical; // Left and Right never reach a control; Up and Down do off the dashboard
        if (!key->isAutoRepeat() && !arrowKey_) {
            arrowKey_ = k;
            table_.beginEdit();
        }
        c_.arrowPressed(k);
        return true;
    }
    // Held down, only the arrows repeat: a repeated S or Z would toggle or step again and again.
    const bool handled = k == Qt::Key_Delete || k == Qt::Key_O || k == Qt::Key_S || k == Qt::Key_A
                         || (k >= Qt::Key_0 && k <= Qt::Key_9) || (k == Qt::Key_Z && ctrl)
                         || ((k == Qt::Key_F8 || k == Qt::Key_F9) && onDashboard);
    if (!handled)
        return false;
    if (key->isAutoRepeat())
        return true;
    switch (k) {
    case Qt::Key_Delete:
        c_.clearWindow();
        break;
    case Qt::Key_O:
        if (ctrl)
            c_.openTable();
        else
            c_.clearWindow();
        break;
    case Qt::Key_S:
        if (ctrl)
            c_.saveTable();
        else
            c_.startOrStop();
        break;
    case Qt::Key_A:
        if (c_.autocorrectionOffered())
            c_.toggleAutocorrection();
        break;
    case Qt::Key_Z:
        if (mods & Qt::ShiftModifier)
            c_.redo();
        else
            c_.undo();
        break;
    case Qt::Key_F8:
        c_.toggleManualBorders();
        break;
    case Qt::Key_F9:
        c_.toggleDescending();
        break;
    default:
        c_.showPage(k - Qt::Key_0);
        break;
    }
    return true;
}

bool WindowKeys::keyReleased(QKeyEvent *key)
{
    const int k = key->key();
    if (!isArrow(k))
        return false;
    // Auto-repeat comes as release and press pairs: the edit goes on.
    if (key->isAutoRepeat() || !arrowKey_)
        return arrowKey_ != 0;
    c_.arrowReleased(k == Qt::Key_Up || k == Qt::Key_Down);
    if (k == arrowKey_)
        endArrowEdit();
    return true;
}
