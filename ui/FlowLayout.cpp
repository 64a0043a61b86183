#include "ui/FlowLayout.h"

#include <algorithm>

#include <QWidget>

FlowLayout::FlowLayout(QWidget *parent, int spacing) : QLayout(parent), gap_(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem *item)
{
    items_.append(item);
}

int FlowLayout::count() const
{
    return int(items_.size());
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::sizeHint() const
{
    // All in one row.
    int width = 0, height = 0;
    for (QLayoutItem *item : items_) {
        if (item->isEmpty())
            continue;
        const QSize s = item->sizeHint();
        width += (width > 0 ? gap_ : 0) + s.width();
        height = std::max(height, s.height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

QSize FlowLayout::minimumSize() const
{
    // The widest item alone on a row.
    QSize size;
    for (QLayoutItem *item : items_)
        if (!item->isEmpty())
            size = size.expandedTo(item->sizeHint().expandedTo(item->minimumSize()));
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect &rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    QList<QLayoutItem *> shown;
    for (QLayoutItem *item : items_)
        if (!item->isEmpty())
            shown.append(item);
    int x = area.x(), y = area.y(), rowHeight = 0;
    // The rows' items, to centre each vertically in its row once it is full.
    QList<QPair<QLayoutItem *, QRect>> row;
    auto finishRow = [&] {
        if (apply)
            for (const auto &[item, place] : row)
                item->setGeometry(QRect(QPoint(place.x(), place.y() + (rowHeight - place.height()) / 2), place.size()));
        row.clear();
    };
    for (int i = 0; i < shown.size(); ++i) {
        QLayoutItem *item = shown.at(i);
        const QSize size = item->sizeHint().boundedTo(QSize(area.width(), QWIDGETSIZE_MAX));
        if (x > area.x() && x + size.width() > area.right() + 1) {
            finishRow();
            x = area.x();
            y += rowHeight + gap_ / 2;
            rowHeight = 0;
        }
        int left = x;
        if (lastRight_ && i == shown.size() - 1)
            left = std::max(x, area.right() + 1 - size.width());
        row.append({item, QRect(QPoint(left, y), size)});
        x = left + size.width() + gap_;
        rowHeight = std::max(rowHeight, size.height());
    }
    finishRow();
    return y + rowHeight - rect.y() + contentsMargins().bottom();
}
