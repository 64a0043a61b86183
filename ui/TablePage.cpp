#include "ui/TablePage.h"

#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/ChartTableGraph.h"

TablePage::TablePage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TablePage"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    TablePageControl = new QTabWidget(this);
    TablePageControl->setObjectName(QStringLiteral("TablePageControl"));
    TabSheetTableGraph = new QWidget;
    TabSheetTableGraph->setObjectName(QStringLiteral("TabSheetTableGraph"));
    TabSheetTableCompare = new QWidget;
    TabSheetTableCompare->setObjectName(QStringLiteral("TabSheetTableCompare"));
    TablePageControl->addTab(TabSheetTableGraph, QStringLiteral("Table Graph"));
    TablePageControl->addTab(TabSheetTableCompare, QStringLiteral("Comparison"));
    column->addWidget(TablePageControl);

    auto *graphColumn = new QVBoxLayout(TabSheetTableGraph);
    graphTools_ = new QHBoxLayout;
    graphTools_->addStretch(1);
    ChartTableGraph_ = new ChartTableGraph(TabSheetTableGraph);
    graphColumn->addLayout(graphTools_);
    graphColumn->addWidget(ChartTableGraph_, 1);

    compareRow_ = new QHBoxLayout(TabSheetTableCompare);
    ChartCompare = new ChartTableGraph(TabSheetTableCompare);
    ChartCompare->setObjectName(QStringLiteral("ChartCompare"));
    compareRow_->addWidget(ChartCompare, 1);

    // The chart shows the table as it is now whenever its tab comes up.
    connect(TablePageControl, &QTabWidget::currentChanged, this, [this] {
        releaseLatched();
        ChartTableGraph_->refresh();
        ChartCompare->refresh();
    });
}

void TablePage::addGraphTool(QWidget *tool)
{
    graphTools_->insertWidget(graphTools_->count() - 1, tool);
}

void TablePage::setCompareParameters(QWidget *boxes)
{
    boxes->setParent(TabSheetTableCompare);
    compareRow_->addWidget(boxes, 0, Qt::AlignTop);
}

void TablePage::releaseLatched()
{
    ChartTableGraph_->releaseLatched();
    ChartCompare->releaseLatched();
}

void TablePage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ChartTableGraph_->refresh();
    ChartCompare->refresh();
}
