#include "ui/WindowFit.h"

#include <algorithm>

#include <QAbstractButton>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

namespace {
// Room for the window's frame and title bar, which the system adds.
const QSize kFrame(16, 48);
const QSize kSmallest(320, 240);
} // namespace

PagesScroll::PagesScroll(QWidget *pages, QMainWindow *window) : QScrollArea(window), window_(window)
{
    setObjectName(QStringLiteral("CentralScroll"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setFocusPolicy(Qt::NoFocus);
    setWidget(pages);
    window->setCentralWidget(this);
}

bool PagesScroll::eventFilter(QObject *watched, QEvent *event)
{
    // The pages' minimum changed (captions of another language laid out):
    // the window's minimum follows once the layout has settled.
    if (watched == widget() && event->type() == QEvent::LayoutRequest && !pending_) {
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            if (const QScreen *where = window_->screen())
                keepWindowMinimum(where->availableGeometry());
        });
    }
    return QScrollArea::eventFilter(watched, event);
}

void PagesScroll::keepWindowMinimum(const QRect &available)
{
    if (!widget())
        return;
    // The captions just rewritten count: lay the pages out first.
    if (QLayout *layout = widget()->layout())
        layout->activate();
    // The bars as tall as they are drawn, and a little room, so that no
    // scroll bar appears at the smallest size.
    QSize need = widget()->minimumSizeHint() + QSize(4, 4);
    if (QWidget *menu = window_->menuWidget())
        need.rheight() += std::max(menu->height(), menu->sizeHint().height());
    need.rheight() += std::max(window_->statusBar()->height(), window_->statusBar()->sizeHint().height());
    window_->setMinimumSize(need.boundedTo((available.size() - kFrame).expandedTo(kSmallest)));
}

void PagesScroll::fitWindowInto(const QRect &available)
{
    keepWindowMinimum(available);
    window_->resize(window_->size().boundedTo((available.size() - kFrame).expandedTo(kSmallest)));
    if (!available.contains(window_->geometry()))
        window_->move(available.topLeft() + QPoint(kFrame.width() / 2, kFrame.height() - kFrame.width() / 2));
}

void fitCaptions(QWidget *root)
{
    for (QWidget *w : root->findChildren<QWidget *>()) {
        int need = 0;
        if (auto *g = qobject_cast<QGroupBox *>(w)) {
            QFont bold = g->font();
            bold.setBold(true);
            need = QFontMetrics(bold).horizontalAdvance(g->title()) + 26;
        } else if (auto *l = qobject_cast<QLabel *>(w); l && !l->wordWrap() && l->pixmap().isNull()) {
            need = l->minimumSizeHint().width();
        } else if (auto *b = qobject_cast<QAbstractButton *>(w); b && !b->text().isEmpty()) {
            need = b->sizeHint().width();
        } else {
            continue;
        }
        if (!w->property("designMinimumWidth").isValid()) {
            if (w->minimumWidth() > 0 && w->minimumWidth() == w->maximumWidth())
                continue; // fixed size
            w->setProperty("designMinimumWidth", w->minimumWidth());
        }
        const int design = w->property("designMinimumWidth").toInt();
        // A label without a minimum of its own already follows its text.
        if (qobject_cast<QLabel *>(w) && design == 0)
            continue;
        // An explicit minimum overrides the one the layout reckons: only where
        // the caption needs more than that.
        w->setMinimumWidth(need > w->minimumSizeHint().width() ? std::max(design, need) : design);
    }
}
