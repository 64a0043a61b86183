#pragma once
// The table page: the main table's chart ("Table Graph") and the comparison
// view with the compare table's two images and their parameter boxes
// ("Comparison"), as the two tabs of TablePageControl.
#include <array>

#include <QWidget>

class QLineEdit;

class ChartTableGraph;
class QHBoxLayout;
class QTabWidget;

class TablePage : public QWidget {
    Q_OBJECT
public:
    explicit TablePage(QWidget *parent = nullptr);

    ChartTableGraph *graph() const { return ChartTableGraph_; }
    ChartTableGraph *compare() const { return ChartCompare; }
    QTabWidget *pageControl() const { return TablePageControl; }
    QWidget *graphSheet() const { return TabSheetTableGraph; }
    QWidget *compareSheet() const { return TabSheetTableCompare; }
    // Tools beside the table chart (undo, redo, ...).
    void addGraphTool(QWidget *tool);
    // The compare table's parameter boxes beside the comparison chart, by
    // image (1 or 2) and parameter (slot - 256).
    const std::array<QLineEdit *, 8> &compareParameters(int image) const
    {
        return image == 2 ? compareEdits2_ : compareEdits1_;
    }
    // A page change lets go of every latched modifier button.
    void releaseLatched();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildCompareParameters();

    QTabWidget *TablePageControl = nullptr;
    QWidget *TabSheetTableGraph = nullptr;
    QWidget *TabSheetTableCompare = nullptr;
    ChartTableGraph *ChartTableGraph_ = nullptr;
    ChartTableGraph *ChartCompare = nullptr;
    QHBoxLayout *graphTools_ = nullptr;
    QHBoxLayout *compareRow_ = nullptr;
    std::array<QLineEdit *, 8> compareEdits1_{};
    std::array<QLineEdit *, 8> compareEdits2_{};
};
