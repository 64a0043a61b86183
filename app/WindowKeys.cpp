#include "app/WindowKeys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

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
    clock_.start();
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
        // Its releases will not reach this window.
        endAllGestures();
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
    if (type == QEvent::KeyRelease)
        return keyReleased(key);
    const int k = key->key();
    // Enter held in a control (the port chooser) would open the port again and again.
    if (k == Qt::Key_Return || k == Qt::Key_Enter)
        return continuesHold(key, false);
    const bool arrow = isArrow(k);
    bool repeat = key->isAutoRepeat();
    if (held_.count(k)) {
        repeat = continuesHold(key, arrow);
    } else if (arrow) {
        // Another arrow while one's release is pending: that gesture ends first.
        for (auto &[other, h] : held_)
            if (h.arrow && h.releasedAt >= 0) {
                endGesture(other);
                break;
            }
    }
    if (!keyPressed(receiver, key, repeat)) {
        // Not the window's key: the control has it, and its release too.
        if (!repeat)
            held_.erase(k);
        return false;
    }
    if (!held_.count(k))
        continuesHold(key, arrow);
    return true;
}

qint64 WindowKeys::eventTime(const QKeyEvent *key) const
{
    // The system's time of the event, where it gives one: a busy window
    // handles a release and the press after it late, but their times keep
    // the gap the keyboard made.
    return key->timestamp() != 0 ? qint64(key->timestamp()) : clock_.elapsed();
}

bool WindowKeys::continuesHold(QKeyEvent *key, bool arrow)
{
    const int k = key->key();
    auto it = held_.find(k);
    bool continues = key->isAutoRepeat();
    if (it != held_.end()) {
        if (it->second.releasedAt >= 0)
            continues = continues || eventTime(key) - it->second.releasedAt < kReleaseGapMs;
        it->second.gapTimer->stop();
        it->second.releasedAt = -1;
        return continues;
    }
    Held &h = held_[k];
    h.arrow = arrow;
    h.gapTimer = std::make_unique<QTimer>();
    h.gapTimer->setSingleShot(true);
    h.gapTimer->setInterval(kReleaseGapMs);
    connect(h.gapTimer.get(), &QTimer::timeout, this, [this, k] { endGesture(k); });
    return continues;
}

void WindowKeys::endGesture(int k)
{
    const auto it = held_.find(k);
    if (it == held_.end())
        return;
    const bool arrow = it->second.arrow;
    // The timer may be the one whose timeout runs this.
    it->second.gapTimer.release()->deleteLater();
    held_.erase(it);
    // A release acts only while the window's arrow edit is open.
    if (!arrow || !arrowKey_)
        return;
    c_.arrowReleased(k == Qt::Key_Up || k == Qt::Key_Down);
    if (k == arrowKey_)
        endArrowEdit();
}

void WindowKeys::endAllGestures()
{
    while (!held_.empty())
        endGesture(held_.begin()->first);
}

bool WindowKeys::keyPressed(QWidget *receiver, QKeyEvent *key, bool repeat)
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
        if (!repeat && !arrowKey_) {
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
    if (repeat)
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
    const auto it = held_.find(k);
    // Auto-repeat comes as release and press pairs: the gesture goes on. Any
    // other release starts the gap after which the gesture ends, unless the
    // key comes down again first.
    if (it != held_.end() && !key->isAutoRepeat() && it->second.releasedAt < 0) {
        it->second.releasedAt = eventTime(key);
        it->second.gapTimer->start();
    }
    return isArrow(k) && arrowKey_ != 0;
}
