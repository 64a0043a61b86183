#include "ui/LogPage.h"

#include <QAction>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "log/LogCsv.h"
#include "ui/ChartLog.h"

LogPage::LogPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LogPage"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    tools_ = new QHBoxLayout;
    SpeedButtonLogMagicLearn = new QToolButton(this);
    SpeedButtonLogMagicLearn->setObjectName(QStringLiteral("SpeedButtonLogMagicLearn"));
    SpeedButtonLogMagicLearn->setText(QStringLiteral("Magic learn"));
    SpeedButtonLogMagicLearn->setToolTip(QStringLiteral("Learn the table from the records in view"));
    tools_->addWidget(SpeedButtonLogMagicLearn);
    tools_->addStretch(1);
    column->addLayout(tools_);
    ChartLog_ = new ChartLog(this);
    column->addWidget(ChartLog_, 1);

    ActionLogExportCsv = new QAction(QStringLiteral("Export CSV..."), this);
    ActionLogExportCsv->setObjectName(QStringLiteral("ActionLogExportCsv"));

    connect(SpeedButtonLogMagicLearn, &QToolButton::clicked, this, &LogPage::magicLearnRequested);
    connect(ActionLogExportCsv, &QAction::triggered, this, &LogPage::exportCsv);
}

void LogPage::addTool(QWidget *tool)
{
    tools_->insertWidget(tools_->count() - 1, tool);
}

void LogPage::redraw()
{
    if (Log *log = ChartLog_->log())
        log->redraw();
}

void LogPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    redraw();
}

void LogPage::exportCsv()
{
    Log *log = ChartLog_->log();
    if (!log || log->count() == 0 || log->recording())
        return;
    const QString name = dialogs_->saveFileName(
        this, {QString(), QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv"), QString()});
    if (!name.isEmpty())
        logcsv::exportCsv(*log, name);
}
