#include "app/Unit2.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMainWindow>
#include <QStatusBar>
#include <QWindow>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QVBoxLayout>

#include "link/Rxtx.h"

void keepPainting()
{
    // A frame every 15 ms is enough to look alive; more would slow the
    // byte-by-byte exchanges that call this after every byte.
    static QElapsedTimer sinceLast;
    if (sinceLast.isValid() && sinceLast.elapsed() < 15)
        return;
    sinceLast.start();
    const TRXTX::NestedEvents nested;
    // Under a LongExchange the input is taken from the queue and dropped;
    // left queued it would all run once the exchange is over.
    QCoreApplication::processEvents(LongExchange::active() ? QEventLoop::AllEvents
                                                           : QEventLoop::ExcludeUserInputEvents);
}

namespace {
int exchangesRunning = 0;

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}
} // namespace

LongExchange::LongExchange(QWidget *window, const QString &doing) : window_(window), doing_(doing)
{
    ++exchangesRunning;
    qApp->installEventFilter(this);
    if (auto *main = qobject_cast<QMainWindow *>(window_); main && !doing_.isEmpty())
        main->statusBar()->showMessage(doing_);
    keepPainting();
}

LongExchange::~LongExchange()
{
    // What came in during the last steps of the exchange is dropped too.
    {
        const TRXTX::NestedEvents nested;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    qApp->removeEventFilter(this);
    --exchangesRunning;
    if (auto *main = qobject_cast<QMainWindow *>(window_); main && main->statusBar()->currentMessage() == doing_)
        main->statusBar()->clearMessage();
}

bool LongExchange::active()
{
    return exchangesRunning > 0;
}

bool LongExchange::eventFilter(QObject *watched, QEvent *event)
{
    if (!isInput(event->type()))
        return false;
    if (const auto *widget = qobject_cast<QWidget *>(watched)) {
        // A dialog the exchange shows (its message) still takes input.
        if (widget->window() != window_)
            return false;
        // Accepted, the override keeps the key from being tried as a
        // shortcut; the key itself then comes here and is dropped.
        if (event->type() == QEvent::ShortcutOverride)
            event->accept();
        return true;
    }
    // A shortcut reaching one of the window's actions.
    if (event->type() == QEvent::Shortcut)
        return true;
    const auto *handle = qobject_cast<QWindow *>(watched);
    return handle && window_ && handle == window_->windowHandle();
}

TForm2::TForm2(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString::fromUtf8("Запись/Writing"));
    setModal(true);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ProgressBar);
    resize(360, 60);
}

void TForm2::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void TForm2::setRange(int minimum, int maximum)
{
    ProgressBar->setRange(minimum, maximum);
}

void TForm2::setPosition(int position)
{
    const int before = ProgressBar->value();
    ProgressBar->setValue(position);
    if (ProgressBar->value() != before)
        keepPainting();
}

int TForm2::position() const
{
    return ProgressBar->value();
}

void TForm2::showProgress()
{
    show();
    keepPainting();
}

void TForm2::hideProgress()
{
    hide();
    keepPainting();
}
