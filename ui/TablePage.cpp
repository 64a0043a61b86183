#include "ui/TablePage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/Widgets.h"

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
    compareRow_->addWidget(buildCompareParameters(), 0, Qt::AlignTop);

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

namespace {
const std::array<const char *, 8> kCompareEditStems = {"MaskEditMafTime%1Compare", "MaskEditTreshold%1Compare",
                                                       "MaskEditEnrichmentFactor%1Compare",
                                                       "MaskEditEnleanmentFactor%1Compare", "MaskEditMaf%1Compare",
                                                       "MaskEditTps%1Compare", "MaskEditRpm%1Compare",
                                                       "MaskEditTpsThreshold%1Compare"};
const std::array<const char *, 8> kParamCaptions = {"MAF sampling, 1/100 s", "Trigger threshold", "Enrichment +%",
                                                    "Enrichment decay -%", "MAF smoothing %", "TPS smoothing %",
                                                    "RPM smoothing %", "Table 2 at TPS >"};
const std::array<const char *, 8> kCompareCaptionNames = {
    "LabelMafTimeCompare", "LabelThresholdCompare", "CaptionCompareParam2", "CaptionCompareParam3",
    "CaptionCompareParam4", "CaptionCompareParam5", "CaptionCompareParam6", "CaptionCompareParam7"};
} // namespace

QWidget *TablePage::buildCompareParameters()
{
    auto *group = named(new QGroupBox(QStringLiteral("Compare"), TabSheetTableCompare), "GroupBoxCompare");
    auto *grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Tab1"), group), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Tab2"), group), 0, 2);
    for (int param = 0; param < 8; ++param) {
        const QString stem = QString::fromLatin1(kCompareEditStems[size_t(param)]);
        compareEdits1_[size_t(param)] = parameterEdit(group, stem.arg(1));
        compareEdits2_[size_t(param)] = parameterEdit(group, stem.arg(2));
        auto *caption = new QLabel(QString::fromLatin1(kParamCaptions[size_t(param)]), group);
        caption->setObjectName(QString::fromLatin1(kCompareCaptionNames[size_t(param)]));
        grid->addWidget(caption, param + 1, 0);
        grid->addWidget(compareEdits1_[size_t(param)], param + 1, 1);
        grid->addWidget(compareEdits2_[size_t(param)], param + 1, 2);
    }
    grid->setColumnStretch(3, 1);
    return group;
}
