// The advanced pages of the window: the option, and the table commands.
#include <QtTest>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>

#include "app/Unit1.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "table/Table_iat_ect_corr.h"
#include "ui/AdvancedPages.h"
#include "log/Log_iat_ect_corr.h"
#include "ui/ChartLog.h"
#include "ui/ChartTableGraph.h"
#include "ui/LogPage.h"
#include "ui/TablePage.h"
#include "sim/Emulator.h"
#include "ui/FileDialogs.h"
#include "ui/TableCommands.h"

#include <QPushButton>
#include <QRadioButton>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

namespace {
QStringList visiblePages(QTabWidget *tabs)
{
    QStringList names;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->isTabVisible(i))
            names.append(tabs->widget(i)->objectName());
    return names;
}

// 392 bytes where the conversion points, parameters and both corrections differ.
QByteArray fixtureImage(int seed)
{
    QByteArray bytes(392, 0);
    for (int i = 0; i < 392; ++i)
        bytes[i] = char((i * 7 + seed) & 0xFF);
    bytes[263] = char(255); // the parameter the unit always holds at 255
    return bytes;
}

QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMenuBar *bar(QWidget &form, const char *name)
{
    return form.findChild<QMenuBar *>(QString::fromLatin1(name));
}

QStringList menuPath(QMenuBar *bar, QAction *action)
{
    for (QAction *top : bar->actions())
        if (top->menu() && top->menu()->actions().contains(action))
            return {top->text(), action->text()};
    return {};
}
} // namespace

class TestWindowAdvanced : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;
    QTemporaryDir settingsDir_;

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(workDir_.path()));
        // The user's own settings stay untouched.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
    }

    // The menu bar in front follows the page and, on the settings and table
    // pages, the inner page; the digits' page keys bring their bars along.
    void menuBarFollowsThePage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("inner");
        QTest::addColumn<QString>("bar");
        QTest::newRow("main") << "MainTabSheet" << "" << "MenuBarPlain";
        QTest::newRow("dashboard") << "DashboardTabSheet" << "" << "ActionMainMenuBarDashboard";
        QTest::newRow("firmware") << "SetupTabSheet" << "TabSheetFirmwareUpdate" << "ActionMainMenuBarFirmwareUpgrade";
        QTest::newRow("options") << "SetupTabSheet" << "TabSheetAutotuningSetup" << "ActionMainMenuBarOptionsSetup";
        QTest::newRow("table graph") << "TableTabSheet" << "TabSheetTableGraph" << "ActionMainMenuBarTableGraph";
        QTest::newRow("comparison") << "TableTabSheet" << "TabSheetTableCompare" << "ActionMainMenuBarTableCompare";
        QTest::newRow("log") << "LogTabSheet" << "" << "ActionMainMenuBarLogGraph";
        QTest::newRow("gauges") << "TabSheet1" << "" << "MenuBarPlain";
    }
    void menuBarFollowsThePage()
    {
        QFETCH(QString, page);
        QFETCH(QString, inner);
        QFETCH(QString, bar);
        TForm1 form;
        auto *menuBars = qobject_cast<QStackedWidget *>(form.menuWidget());
        QVERIFY(menuBars);
        // Start from another page, so that the change is seen.
        form.MainPageControl->setCurrentWidget(page == "DashboardTabSheet" ? form.MainTabSheet : form.DashboardTabSheet);
        if (!inner.isEmpty()) {
            auto *innerPage = form.findChild<QWidget *>(inner);
            auto *tabs = qobject_cast<QTabWidget *>(innerPage->parentWidget()->parentWidget());
            tabs->setCurrentWidget(innerPage);
        }
        form.MainPageControl->setCurrentWidget(form.findChild<QWidget *>(page));
        QCOMPARE(menuBars->currentWidget()->objectName(), bar);
        // Nothing left the stacked bars for a bar of QMainWindow's own making.
        QCOMPARE(form.findChildren<QMenuBar *>().size(), 7);
    }

    // The table graph's own entries run the dashboard's commands and are
    // enabled with them.
    void tableGraphEntriesRunTheCommands()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        auto *read = form.findChild<QAction *>(QStringLiteral("TableGraphReadConverter"));
        auto *write = form.findChild<QAction *>(QStringLiteral("TableGraphWriteConverter"));
        auto *oneToOne = form.findChild<QAction *>(QStringLiteral("TableGraphOneToOne"));
        QVERIFY(read && write && oneToOne);
        QVERIFY(!read->isEnabled() && !write->isEnabled());
        form.ActionReadCoverter->setEnabled(true);
        QVERIFY(read->isEnabled());
        Table &t = *form.mainTable();
        t.editPoint(TableSeries::Tab1, 40, 200, false, false);
        QCOMPARE(t.slot(40), 200);
        oneToOne->trigger();
        QCOMPARE(t.slot(40), 40);
    }

    void advancedPagesOffByDefaultAndRemembered()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        const QStringList basic{"MainTabSheet", "DashboardTabSheet", "SetupTabSheet"};
        {
            TForm1 form;
            QAction *option = form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"));
            QVERIFY(option);
            QCOMPARE(menuPath(bar(form, "ActionMainMenuBarDashboard"), option), QStringList({"View", "Advanced pages"}));
            QVERIFY(option->isCheckable());
            QVERIFY(!option->isChecked());
            QCOMPARE(visiblePages(form.MainPageControl), basic);
            QCOMPARE(visiblePages(form.PageControl1), QStringList({"TabSheetFirmwareUpdate"}));
            QVERIFY(!form.ActionUpgradeFirmwareOneToOne->isVisible());
            QVERIFY(!form.CheckBoxWotCorr->isVisibleTo(form.TabSheetAutotuningSetup));
            // The table menu of the default window: open, save and the one-to-one tables.
            QVERIFY(form.tableCommands->TabFileOpen->isVisible());
            QVERIFY(!form.tableCommands->ActionNullTable->isVisible());
            QVERIFY(bar(form, "ActionMainMenuBarFirmwareUpgrade")->actions().contains(form.ActionUpgradeFirmwareOneToOne));

            option->trigger();
            QCOMPARE(visiblePages(form.MainPageControl),
                     basic + QStringList({"TableTabSheet", "LogTabSheet", "TabSheet1"}));
            QCOMPARE(visiblePages(form.PageControl1),
                     QStringList({"TabSheetFirmwareUpdate", "TabSheetAutotuningSetup"}));
            QVERIFY(form.ActionUpgradeFirmwareOneToOne->isVisible());
            QVERIFY(form.CheckBoxWotCorr->isVisibleTo(form.TabSheetAutotuningSetup));
            QVERIFY(form.tableCommands->ActionNullTable->isVisible());
            QVERIFY(!form.CheckBoxWotCorr->isChecked());
            form.MainPageControl->setCurrentWidget(form.LogTabSheet);
        }
        {
            // The next run starts with the option on; config.cfg has nothing to do with it.
            QFile::remove(QStringLiteral("config.cfg"));
            TForm1 form;
            QAction *option = form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"));
            QVERIFY(option->isChecked());
            QVERIFY(form.MainPageControl->isTabVisible(form.MainPageControl->indexOf(form.TableTabSheet)));
            form.MainPageControl->setCurrentWidget(form.TableTabSheet);
            option->trigger();
            QCOMPARE(visiblePages(form.MainPageControl), basic);
            // The hidden page does not stay the current one.
            QCOMPARE(form.MainPageControl->currentWidget(), form.MainTabSheet);
        }
        {
            TForm1 form;
            QVERIFY(!form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"))->isChecked());
            QCOMPARE(visiblePages(form.MainPageControl), basic);
        }
        QSettings settings(QString::fromLatin1(AdvancedPages::kOrganisation),
                           QString::fromLatin1(AdvancedPages::kApplication));
        QCOMPARE(settings.value(QString::fromLatin1(AdvancedPages::kSettingsKey)), QVariant(false));
        QVERIFY(sink.messages.isEmpty());
    }

    void tabFileDialogs_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("compare");
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("filter");
        QTest::newRow("main") << "TabFile" << false << 1 << "" << "Tab files (*.tab)|Tab Files (*.tab)";
        QTest::newRow("compare Tab1") << "FileOpenCompare|FileSaveAsCompare" << true << 1 << ""
                                      << "Tab files (*.tab)|Tab Files (*.tab)";
        QTest::newRow("compare Tab2") << "FileOpenCompare2|FileSaveAsCompare2" << true << 2 << "Tab2"
                                      << "Tab File (*.tab)|Tab File (*.tab)";
    }

    // Open, then save under a name without extension: the file holds the
    // image loaded, byte for byte, and the other image is left alone.
    void tabFileDialogs()
    {
        QFETCH(QString, action);
        QFETCH(bool, compare);
        QFETCH(int, which);
        QFETCH(QString, caption);
        QFETCH(QString, filter);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        FakeDialogs dialogs;
        form.tableCommands->setDialogs(&dialogs);
        Table &table = compare ? *form.compareTable() : *form.mainTable();
        const QStringList names = action == "TabFile" ? QStringList({"TabFileOpen", "TabFileSave"}) : action.split('|');
        const QByteArray other = table.imageBytes(which == 2 ? 1 : 2);

        const QByteArray fixture = fixtureImage(which * 3 + (compare ? 1 : 0));
        {
            QFile file(QStringLiteral("in.tab"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(fixture);
        }
        dialogs.answer = QDir::current().absoluteFilePath(QStringLiteral("in.tab"));
        form.findChild<QAction *>(names[0])->trigger();
        QCOMPARE(table.imageBytes(which), fixture);
        QCOMPARE(table.imageBytes(which == 2 ? 1 : 2), other);

        QFile::remove(QStringLiteral("out.tab"));
        dialogs.answer = QDir::current().absoluteFilePath(QStringLiteral("out"));
        form.findChild<QAction *>(names[1])->trigger();
        QCOMPARE(readAll(QStringLiteral("out.tab")), fixture);

        QCOMPARE(dialogs.asked.size(), 2);
        QVERIFY(!dialogs.asked[0].save);
        QVERIFY(dialogs.asked[1].save);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(dialogs.asked[i].request.caption, caption);
            QCOMPARE(dialogs.asked[i].request.filter, filter.section('|', i, i));
            QCOMPARE(dialogs.asked[i].request.defaultSuffix, QStringLiteral("tab"));
        }
        // The save dialog proposes the date and time; the open dialog nothing.
        QVERIFY(dialogs.asked[0].request.proposedName.isEmpty());
        QVERIFY(QRegularExpression(QStringLiteral("^D\\d")).match(dialogs.asked[1].request.proposedName).hasMatch());
        QVERIFY(sink.messages.isEmpty());
    }

    void cancelledDialogChangesNothing()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        FakeDialogs dialogs;
        form.tableCommands->setDialogs(&dialogs);
        const QByteArray before = form.mainTable()->imageBytes(1);
        const int snapshots = form.mainTable()->history().count();
        form.tableCommands->TabFileOpen->trigger();
        form.tableCommands->TabFileSave->trigger();
        QCOMPARE(form.mainTable()->imageBytes(1), before);
        QCOMPARE(form.mainTable()->history().count(), snapshots);
        QVERIFY(sink.messages.isEmpty());
    }

    // Undo and redo from every pair of buttons restore the whole state, and
    // the parameter boxes follow the restored image.
    void undoRedoButtonsRestoreTheExactImage_data()
    {
        QTest::addColumn<QString>("undo");
        QTest::addColumn<QString>("redo");
        QTest::newRow("dashboard") << "SpeedButtonUndo1" << "SpeedButtonRedo1";
        QTest::newRow("table page") << "SpeedButtonUndo3" << "SpeedButtonRedo3";
    }
    void undoRedoButtonsRestoreTheExactImage()
    {
        QFETCH(QString, undo);
        QFETCH(QString, redo);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        Table &table = *form.mainTable();
        FakeDialogs dialogs;
        form.tableCommands->setDialogs(&dialogs);
        {
            QFile file(QStringLiteral("undo.tab"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(fixtureImage(11));
        }
        dialogs.answer = QDir::current().absoluteFilePath(QStringLiteral("undo.tab"));
        form.tableCommands->TabFileOpen->trigger();
        const TBufUndoRedo loaded = table.currentState();
        const QString loadedParam = form.mainParamEdits[0]->text();
        form.tableCommands->oneToOne[4]->trigger(); // Ref=12V
        const TBufUndoRedo oneToOne = table.currentState();
        QVERIFY(oneToOne.image1 != loaded.image1);
        QCOMPARE(table.imageBytes(1).mid(277, 4), QByteArray::fromHex("00004041"));
        QVERIFY(form.mainParamEdits[0]->text() != loadedParam);

        form.findChild<QToolButton *>(undo)->click();
        QCOMPARE(table.currentState().image1, loaded.image1);
        QCOMPARE(table.currentState().learned, loaded.learned);
        QCOMPARE(form.mainParamEdits[0]->text(), loadedParam);
        form.findChild<QToolButton *>(redo)->click();
        QCOMPARE(table.currentState().image1, oneToOne.image1);
        QCOMPARE(table.imageBytes(1).mid(277, 4), QByteArray::fromHex("00004041"));
        QVERIFY(sink.messages.isEmpty());
    }

    void copyNullDefaultsAndExtrapolateSwitch()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        Table &compare = *form.compareTable();
        compare.editPoint(TableSeries::Tab1, 40, 200, false, false);
        compare.editPoint(TableSeries::IATCorr, 8, -7, false, false);
        form.tableCommands->ActionCopyOneToTwo->trigger();
        QCOMPARE(compare.imageBytes(2), compare.imageBytes(1));
        compare.editPoint(TableSeries::Tab2, 41, 9, false, false);
        form.tableCommands->ActionCopyTwoToOne->trigger();
        QCOMPARE(compare.image(1).at(41), 9);

        Table &table = *form.mainTable();
        form.tableCommands->oneToOne[2]->trigger(); // Ref=8V
        const float volts = table.referenceVoltage();
        form.tableCommands->ActionNullTable->trigger();
        for (int i = 0; i < 256; ++i)
            QCOMPARE(table.image(1).at(size_t(i)), 0);
        QCOMPARE(table.referenceVoltage(), volts);

        table.setSlot(256, 77);
        form.findChild<QPushButton *>(QStringLiteral("Button1"))->click();
        QCOMPARE(table.slot(256), 4);

        QToolButton *f6 = form.tableCommands->SpeedButtonExtrapolate;
        QVERIFY(!table.extrapolateEnds());
        f6->click();
        QVERIFY(form.tableCommands->RadioButtonIntEndsOn->isChecked());
        QVERIFY(table.extrapolateEnds());
        QVERIFY(compare.extrapolateEnds());
        form.tableCommands->RadioButtonIntEndsOff->click();
        QVERIFY(!f6->isChecked());
        QVERIFY(!table.extrapolateEnds() && !compare.extrapolateEnds());
    }

    // F7 sets the beginning up to the window start as learned at the level
    // of that point plus the correction, and leaves the window end where it was.
    void f7AndClearWindowButtons()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        Table &table = *form.mainTable();
        form.tableCommands->oneToOne[0]->trigger();
        form.TrackBarMafNach->setValue(30);
        form.TrackBarMafKon->setValue(90);
        form.UpDownCorrection->setValue(5);
        form.findChild<QToolButton *>(QStringLiteral("SpeedButtonSetBeginOfTableAsLearned"))->click();
        for (int i : {0, 17, 30})
            QCOMPARE(table.slot(i), 35);
        QCOMPARE(table.learnedValues()[30], 35);
        QCOMPARE(table.learnedStart(), 30);
        QCOMPARE(form.UpDownCorrection->value(), 0);
        QCOMPARE(form.TrackBarMafKon->value(), 90);

        // "O" clears the learned points of the window (never Min, Max or Kick).
        table.learnedValues()[60] = table.slot(60);
        form.TrackBarMafNach->setValue(50);
        form.TrackBarMafKon->setValue(70);
        form.findChild<QToolButton *>(QStringLiteral("SpeedButtonClrCorrWindow"))->click();
        QCOMPARE(table.learnedValues()[60], 0);
        QVERIFY(form.findChild<QToolButton *>(QStringLiteral("ButtonClrAllLearned"))->isHidden());
        QVERIFY(sink.messages.isEmpty());
    }

    // While recording, a correction dragged on CorrPanel and released goes to
    // the IAT correction bin of the current IAT code when that target is down.
    void correctionPanelAppliesToIat()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.setTemperatureCorrections(true); // the air-flow converter family
        // Closed as the program closes it, before the window goes, whatever the outcome.
        auto closeFirst = qScopeGuard([&form] { form.close(); });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        QVERIFY(form.demoUnit() && form.demoUnit()->waitForEvent("read", 3000));
        form.ActionStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(form.log()->count() > 30, 5000);
        form.SpeedButtonApplyCorrToIat->click();
        Table &table = *form.mainTable();
        const int code = table.operatingPoint().iatCode;
        const int slot = Table::correctionSlot(TempTarget::IAT, code);
        table.setSlot(slot, 0);
        QLabel *panel = form.CorrPanel;
        const int x = panel->width() / 2;
        auto send = [panel](QEvent::Type type, const QPoint &at, Qt::MouseButtons held) {
            QMouseEvent e(type, at, panel->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          held, Qt::NoModifier);
            QApplication::sendEvent(panel, &e);
        };
        // 10 pixels upwards inside the panel: one step.
        QVERIFY(panel->height() > 11);
        send(QEvent::MouseButtonPress, QPoint(x, panel->height() - 1), Qt::LeftButton);
        send(QEvent::MouseMove, QPoint(x, panel->height() - 11), Qt::LeftButton);
        QCOMPARE(form.UpDownCorrection->value(), 1);
        send(QEvent::MouseButtonRelease, QPoint(x, panel->height() - 11), Qt::NoButton);
        QCOMPARE(table.operatingPoint().iatCode / 4, code / 4);
        QCOMPARE(table.slot(slot), 1);
        QCOMPARE(form.UpDownCorrection->value(), 0);
        form.ActionStop->trigger();
        QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.messages.join('|')));
    }

    // Without live recording the temperature targets only release autotuning.
    void temperatureTargetsWithoutRecordingChangeNothing()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.setTemperatureCorrections(true); // the air-flow converter family
        const QByteArray before = form.mainTable()->imageBytes(1);
        form.UpDownCorrection->setValue(5);
        form.SpeedButtonApplyCorrToIat->click();
        QVERIFY(form.SpeedButtonApplyCorrToIat->isChecked());
        QVERIFY(!form.SpeedButtonAplToTable->isChecked());
        QVERIFY(!form.SpeedButtonAutocorr->isEnabled());
        form.SpeedButtonApplyCorrToECT->click();
        QVERIFY(!form.SpeedButtonApplyCorrToIat->isChecked());
        QCOMPARE(form.mainTable()->imageBytes(1), before);
    }

    // The table page's charts draw the main and the compare table; a page
    // change lets go of the latched modifiers.
    void tablePageCharts()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        auto *graph = form.findChild<ChartTableGraph *>(QStringLiteral("ChartTableGraph"));
        auto *compare = form.findChild<ChartTableGraph *>(QStringLiteral("ChartCompare"));
        QVERIFY(graph && compare);
        form.mainTable()->editPoint(TableSeries::Tab1, 7, 99, false, false);
        QCOMPARE(graph->series(ChartTableGraph::Tab1)->data()->at(7)->value, 99.0);
        form.compareTable()->editPoint(TableSeries::Tab2, 9, 33, false, false);
        QCOMPARE(compare->seriesCount(), 9);
        QCOMPARE(compare->series(ChartTableGraph::Tab2)->data()->at(9)->value, 33.0);
        QCOMPARE(graph->series(ChartTableGraph::Tab1)->data()->at(9)->value,
                 double(form.mainTable()->slot(9)));
        graph->shiftButton()->setChecked(true);
        compare->altButton()->setChecked(true);
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        QVERIFY(!graph->shiftButton()->isChecked());
        QVERIFY(!compare->altButton()->isChecked());
    }

    // A loaded log is drawn, exported through the dialog seam, and magic
    // learn from its button changes the table and the "Tab" curve.
    void logPageChartExportAndMagicLearn()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        Log &log = *form.log();
        auto *chart = form.findChild<ChartLog *>(QStringLiteral("ChartLog"));
        QVERIFY(chart);
        for (int i = 0; i < 500; ++i) {
            TLogRecord r{};
            r[ColMaf] = 200;
            r[ColConverter] = 90;
            r[ColO2SM] = 255; // lean against any reference below 255
            QVERIFY(log.addRecord(r));
        }
        QVERIFY(log.saveToFile(QStringLiteral("page.log")));
        QVERIFY(log.loadFromFile(QStringLiteral("page.log")));
        QVERIFY(chart->series(ChartLog::Maf)->data()->size() > 0);

        FakeDialogs dialogs;
        form.logPage->setDialogs(&dialogs);
        dialogs.answer = QDir::current().absoluteFilePath(QStringLiteral("page.csv"));
        form.logPage->exportCsvAction()->trigger();
        const QList<QByteArray> lines = readAll(QStringLiteral("page.csv")).split('\n');
        QCOMPARE(lines.size(), 502); // header, 500 records, the last line end
        QVERIFY(lines[0].startsWith("Time_s,Converter,Marker"));
        QCOMPARE(lines[1], QByteArray("0.00,90,0,0,200,0,0,0,0,0,0,,,255,0"));
        QCOMPARE(dialogs.asked.constFirst().request.filter, QStringLiteral("CSV files (*.csv)"));

        form.mainTable()->editPoint(TableSeries::Tab1, 200, 150, false, false);
        const int before = 150;
        QVERIFY(log.settings().mafLimit < 200);
        form.logPage->magicLearnButton()->click();
        QCOMPARE(form.mainTable()->slot(200), before + 1);
        QCOMPARE(chart->series(ChartLog::Tab)->data()->at(0)->value, double(before + 1));
        // Undo from the log page's button redraws the curve with the old point.
        form.findChild<QToolButton *>(QStringLiteral("SpeedButtonUndo2"))->click();
        QCOMPARE(form.mainTable()->slot(200), before);
        QCOMPARE(chart->series(ChartLog::Tab)->data()->at(0)->value, double(before));
        QVERIFY(sink.messages.isEmpty());
    }

    // With the demo unit: a table from a file edited on the chart, compared
    // with a second file, undone, redone and saved; a recording drawn,
    // zoomed and learned from.
    void demoUnitSession()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.resize(1200, 760);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"))->trigger();
        form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        QVERIFY(form.demoUnit() && form.demoUnit()->waitForEvent("read", 3000));
        FakeDialogs dialogs;
        form.tableCommands->setDialogs(&dialogs);

        {
            QFile file(QStringLiteral("session.tab"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(fixtureImage(5));
        }
        dialogs.answer = QDir::current().absoluteFilePath(QStringLiteral("session.tab"));
        form.tableCommands->TabFileOpen->trigger();
        Table &table = *form.mainTable();
        QCOMPARE(table.imageBytes(1), fixtureImage(5));

        form.MainPageControl->setCurrentWidget(form.TableTabSheet);
        ChartTableGraph *graph = form.tablePage->graph();
        QTRY_VERIFY(graph->isVisible());
        graph->replot();
        const QPoint at(qRound(graph->inputPixel(100)), qRound(graph->valuePixel(200)));
        // What a real double click delivers to the chart: press, release,
        // double click, release (straight to the chart, so that no double
        // click is made up from the test's own timestamps).
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                  QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, at, graph->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(graph, &e);
        }
        QVERIFY(qAbs(table.slot(100) - 200) <= 1);
        const QByteArray edited = table.imageBytes(1);

        dialogs.answer = QDir::current().absoluteFilePath(QStringLiteral("session.tab"));
        form.tableCommands->FileOpenCompare->trigger();
        form.tableCommands->FileOpenCompare2->trigger();
        QCOMPARE(form.compareTable()->imageBytes(2), fixtureImage(5));

        form.findChild<QToolButton *>(QStringLiteral("SpeedButtonUndo3"))->click();
        QCOMPARE(table.imageBytes(1), fixtureImage(5));
        form.findChild<QToolButton *>(QStringLiteral("SpeedButtonRedo3"))->click();
        QCOMPARE(table.imageBytes(1), edited);
        dialogs.answer = QDir::current().absoluteFilePath(QStringLiteral("session-saved"));
        form.tableCommands->TabFileSave->trigger();
        QCOMPARE(readAll(QStringLiteral("session-saved.tab")), edited);

        form.ActionStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(form.log()->count() > 400, 10000);
        form.ActionStop->trigger();
        QVERIFY(form.ActionStart->isEnabled());
        form.MainPageControl->setCurrentWidget(form.LogTabSheet);
        ChartLog *chart = form.logPage->chart();
        QTRY_VERIFY(chart->isVisible());
        QVERIFY(chart->series(ChartLog::Maf)->data()->size() > 0);
        QCOMPARE(form.log()->viewHistory().size(), size_t(1));
        chart->zoomToRecords(100, 300);
        QCOMPARE(form.log()->viewHistory().size(), size_t(2));
        QCOMPARE(form.log()->decimationStep(), 1);
        chart->undoZoom();
        QCOMPARE(form.log()->viewHistory().size(), size_t(1));
        const int snapshots = table.history().count();
        form.logPage->magicLearnButton()->click();
        QVERIFY(table.history().count() >= snapshots);
        QVERIFY(sink.messages.isEmpty());
        // Closed as the program closes it, before the window goes.
        form.close();
    }
};

QTEST_MAIN(TestWindowAdvanced)
#include "tst_window_advanced.moc"
