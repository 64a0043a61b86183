#include "ui/WindowFit.h"

#include <algorithm>

#include <QAbstractButton>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QStatusBar>
#include <QTimer>

namespace {
// Room for the window's frame and title bar, which the system adds.
const QSize kFrame(16, 48);
const QSize kSmallest(320, 240);
} // namespace

PageScrolls::PageScrolls(QTabWidget *pages, QWidget *central, QMainWindow *window)
    : QObject(window), pages_(pages), central_(central), window_(window)
{
    // A page opens at its top, whatever the page shown before was scrolled to.
    connect(pages, &QTabWidget::currentChanged, this, [this](int index) {
        if (QScrollArea *scroll = scrollOf(pages_->widget(index))) {
            scroll->horizontalScrollBar()->setValue(0);
            scroll->verticalScrollBar()->setValue(0);
        }
    });
}

void PageScrolls::wrapPages()
{
    for (int i = 0; i < pages_->count(); ++i) {
        QWidget *page = pages_->widget(i);
        if (scrollOf(page) || !page->layout())
            continue;
        // The page's layout, with the controls it holds, moves to the body.
        auto *body = new QWidget;
        body->setObjectName(page->objectName() + QStringLiteral("Body"));
        body->setLayout(page->layout());
        auto *scroll = new QScrollArea(page);
        scroll->setObjectName(page->objectName() + QStringLiteral("Scroll"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        // Keys stay with the page's controls; the wheel over a control that
        // takes it goes to the control.
        scroll->setFocusPolicy(Qt::NoFocus);
        scroll->setWidget(body);
        auto *column = new QVBoxLayout(page);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(scroll);
        body->installEventFilter(this);
        scrolls_.append(scroll);
    }
}

QScrollArea *PageScrolls::scrollOf(QWidget *page) const
{
    for (QScrollArea *scroll : scrolls_)
        if (scroll->parentWidget() == page)
            return scroll;
    return nullptr;
}

bool PageScrolls::eventFilter(QObject *watched, QEvent *event)
{
    // A page's minimum changed (captions of another language laid out):
    // the window's minimum follows once the layout has settled.
    if (event->type() == QEvent::LayoutRequest && !pending_) {
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            if (const QScreen *where = window_->screen())
                keepWindowMinimum(where->availableGeometry());
        });
    }
    return QObject::eventFilter(watched, event);
}

void PageScrolls::keepWindowMinimum(const QRect &available)
{
    // The captions just rewritten count: lay the pages out first.
    QSize extra(0, 0);
    for (QScrollArea *scroll : scrolls_) {
        if (QLayout *layout = scroll->widget()->layout())
            layout->activate();
        // What the body needs beyond the scroll area's own minimum.
        extra = extra.expandedTo(scroll->widget()->minimumSizeHint() - scroll->minimumSizeHint());
    }
    if (QLayout *layout = central_->layout())
        layout->activate();
    // The bars as tall as they are drawn, and a little room, so that no
    // scroll bar appears at the smallest size.
    QSize need = central_->minimumSizeHint() + extra + QSize(4, 4);
    if (QWidget *menu = window_->menuWidget())
        need.rheight() += std::max(menu->height(), menu->sizeHint().height());
    need.rheight() += std::max(window_->statusBar()->height(), window_->statusBar()->sizeHint().height());
    window_->setMinimumSize(need.boundedTo((available.size() - kFrame).expandedTo(kSmallest)));
}

void PageScrolls::fitWindowInto(const QRect &available)
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
        // An explicit minimum overrides the one the layout reckons, which
        // would have held the caption: it grows to what the caption needs.
        // Without one, only where the caption needs more than the layout reckons.
        if (design > 0)
            w->setMinimumWidth(std::max(design, need));
        else
            w->setMinimumWidth(need > w->minimumSizeHint().width() ? need : 0);
    }
}
