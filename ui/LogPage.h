#pragma once
// The log page: the log chart with its tools (magic learn, undo and redo of
// the main table) and the export of the records as CSV.
#include <functional>

#include <QWidget>

#include "ui/FileDialogs.h"

class ChartLog;
class QAction;
class QHBoxLayout;
class QMenu;
class QToolButton;

class LogPage : public QWidget {
    Q_OBJECT
public:
    explicit LogPage(QWidget *parent = nullptr);

    ChartLog *chart() const { return ChartLog_; }
    QToolButton *magicLearnButton() const { return SpeedButtonLogMagicLearn; }
    QAction *exportCsvAction() const { return ActionLogExportCsv; }
    void addTool(QWidget *tool);
    void setDialogs(FileDialogs *dialogs) { dialogs_ = dialogs ? dialogs : &platform_; }
    // Redraws the chart if the log holds data (page shown, table undone or redone).
    void redraw();

signals:
    void magicLearnRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void exportCsv();

    ChartLog *ChartLog_ = nullptr;
    QToolButton *SpeedButtonLogMagicLearn = nullptr;
    QAction *ActionLogExportCsv = nullptr;
    QHBoxLayout *tools_ = nullptr;
    QtFileDialogs platform_;
    FileDialogs *dialogs_ = &platform_;
};
