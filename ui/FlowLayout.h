#pragma once
// Lays its items out in a row and wraps them onto further rows when the row
// is too narrow for them all, each at its preferred size: a bar of groups
// that must stay whole on a small or strongly scaled screen. The last item
// may keep to the right edge of its row.
#include <QLayout>
#include <QList>

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget *parent, int spacing = 12);
    ~FlowLayout() override;
    // The last item sits at the right edge of its row (as after a stretch).
    void setLastItemRight(bool right) { lastRight_ = right; }

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    // Places the items within rect (only measures when apply is false); the height used.
    int arrange(const QRect &rect, bool apply) const;

    QList<QLayoutItem *> items_;
    int gap_;
    bool lastRight_ = false;
};
