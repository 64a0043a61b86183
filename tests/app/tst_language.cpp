// Switching the language rewrites every caption at once, the help and the
// sound folder; the state file's language byte selects it at start.
#include <QtTest>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QScrollArea>
#include <QStatusBar>
#include <QTableWidget>
#include <QTabWidget>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include "app/Language.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "log/Log_iat_ect_corr.h"
#include "sim/Emulator.h"
#include "ui/ChartDashboard.h"
#include "ui/Gauge.h"
#include "ui/ThrottlePanel.h"

namespace {
// Captions of the other language that differ from this one's. Chart series
// titles (the log's column names) stay as they are in both languages.
QStringList foreignCaptions(int language)
{
    QStringList seriesTitles;
    for (int c = 0; c < kLogColumns; ++c)
        seriesTitles << QString::fromLatin1(logColumnName(c));
    QStringList out;
    for (const lang::Caption &c : lang::captions()) {
        const QString en = QString::fromUtf8(c.english), ru = QString::fromUtf8(c.russian);
        const QString foreign = lang::isEnglish(language) ? ru : en;
        if (en != ru && !seriesTitles.contains(foreign))
            out << foreign;
    }
    for (const lang::Caption &c : lang::toolTips())
        out << QString::fromUtf8(lang::isEnglish(language) ? c.russian : c.english);
    const int other = lang::isEnglish(language) ? lang::kRussian : lang::kEnglish;
    out << lang::tableAxisTitle(other) << lang::logAxisTitles(other);
    for (const lang::MenuCaption &c : lang::menuCaptions()) {
        const QString en = QString::fromUtf8(c.english), ru = QString::fromUtf8(c.russian);
        if (en != ru)
            out << (lang::isEnglish(language) ? ru : en);
    }
    return out;
}
// Every text the window shows the user, page by page: captions, menus and
// their entries, tabs, list entries, chart titles, gauge headings, table
// headings, the help, tool tips and the status line; with the object that
// shows it, for the failure message. Values (edit boxes, the port list) are
// not texts of a language.
QList<QPair<QString, QString>> everyText(QWidget *root)
{
    QList<QPair<QString, QString>> out;
    auto add = [&out](QObject *o, const QString &text) {
        if (!text.trimmed().isEmpty())
            out.append({o->objectName() + QLatin1Char('(') + QLatin1String(o->metaObject()->className()) + QLatin1Char(')'),
                        text});
    };
    QList<QObject *> objects{root};
    objects += root->findChildren<QObject *>();
    for (QObject *o : objects) {
        if (auto *l = qobject_cast<QLabel *>(o))
            add(o, l->text());
        else if (auto *b = qobject_cast<QAbstractButton *>(o))
            add(o, b->text());
        else if (auto *g = qobject_cast<QGroupBox *>(o))
            add(o, g->title());
        else if (auto *a = qobject_cast<QAction *>(o))
            add(o, a->text());
        else if (auto *m = qobject_cast<QMenu *>(o))
            add(o, m->title());
        else if (auto *gauge = qobject_cast<TGauge *>(o))
            add(o, gauge->caption());
        else if (auto *text = qobject_cast<QPlainTextEdit *>(o))
            add(o, text->toPlainText());
        else if (auto *status = qobject_cast<QStatusBar *>(o))
            add(o, status->currentMessage());
        else if (auto *plot = qobject_cast<QCustomPlot *>(o)) {
            add(o, plot->xAxis->label());
            add(o, plot->yAxis->label());
            for (int i = 0; i < plot->plotLayout()->elementCount(); ++i)
                if (auto *title = qobject_cast<QCPTextElement *>(plot->plotLayout()->elementAt(i)))
                    add(o, title->text());
        } else if (auto *t = qobject_cast<QTabWidget *>(o)) {
            for (int i = 0; i < t->count(); ++i)
                add(o, t->tabText(i));
        } else if (auto *c = qobject_cast<QComboBox *>(o)) {
            if (!c->isEditable())
                for (int i = 0; i < c->count(); ++i)
                    add(o, c->itemText(i));
            // The port chooser: the system's port names are names, the demo unit's entry is text.
            if (const int demo = c->findData(QString::fromLatin1(TForm1::kDemoUnitEntry)); c->isEditable() && demo >= 0)
                add(o, c->itemText(demo));
        } else if (auto *table = qobject_cast<QTableWidget *>(o)) {
            for (int i = 0; i < table->columnCount(); ++i)
                if (table->horizontalHeaderItem(i))
                    add(o, table->horizontalHeaderItem(i)->text());
            for (int i = 0; i < table->rowCount(); ++i)
                if (table->verticalHeaderItem(i))
                    add(o, table->verticalHeaderItem(i)->text());
        }
        if (auto *w = qobject_cast<QWidget *>(o)) {
            if (w->isWindow())
                add(o, w->windowTitle());
            add(o, w->toolTip());
        }
    }
    return out;
}
// The texts alone, but for the log chart's series buttons: their titles
// are the series' names in both languages.
QStringList shownTexts(QWidget *root)
{
    QStringList texts;
    for (const auto &shown : everyText(root))
        if (!shown.first.startsWith(QLatin1String("SpeedButtonLog")))
            texts << shown.second;
    return texts;
}
} // namespace

class TestLanguage : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir_.path())); }
    void init() { startAfresh(); }

    void switchingRewritesEveryCaption()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        QCOMPARE(form.ComboBoxLanguage->currentIndex(), lang::kEnglish);
        for (int language : {lang::kRussian, lang::kEnglish, lang::kRussian}) {
            form.ComboBoxLanguage->setCurrentIndex(language);
            const QStringList shown = shownTexts(&form);
            for (const QString &foreign : foreignCaptions(language))
                QVERIFY2(!shown.contains(foreign), qPrintable(foreign));
            QCOMPARE(form.soundFolder(), language == lang::kEnglish ? QStringLiteral("Sound/En/")
                                                                    : QStringLiteral("Sound/Ru/"));
            // The help is rewritten, not added to.
            QCOMPARE(form.Memo1->toPlainText().split('\n'), lang::helpLines(language));
            // The hot keys the dashboard answers are all listed.
            for (const char *key : {"'A'", "'O'", "'F8'", "'F9'", "'S'"})
                QVERIFY2(form.Memo1->toPlainText().contains(QLatin1String(key)), key);
        }
        QCOMPARE(form.MainPageControl->tabText(form.MainPageControl->indexOf(form.DashboardTabSheet)),
                 QString::fromUtf8("Панель приборов"));
        QCOMPARE(progress.windowTitle(), QString::fromUtf8("Запись таблицы"));
        QCOMPARE(form.dashboardChart->yAxis->label(), QString::fromUtf8("Выход Main., Выход Aux"));
        QCOMPARE(form.findChild<QLabel *>("LabelFollowFUpgrade")->text(),
                 QString::fromUtf8("Строго соблюдайте инструкцию по обновлению прошивки устройства"));
    }

    // Every page and menu of a window that has read a unit and shows live
    // data: in Russian no English word outside the kept list, in English no
    // Russian outside the texts the window gives in both at once.
    void everyTextInOneLanguage()
    {
        // Kept in Russian: key names as the key caps print them, signal and
        // output names, units, file and product names.
        const QSet<QString> keptWords{
            "Shift", "Alt", "Ctrl", "CTRL", "SHIFT", "DEL", "F6", "F7", "F8", "F9", "S", "A", "O", "P", "Z",
            "MAF", "TPS", "RPM", "O2", "Main", "Aux", "Max", "Min", "Kick", "Idle", "Full", "SW", "Ref",
            "V", "N", "Tab1", "Tab2", "COM", "CSV", "enc", "Enter", "Tarvix", "Innovate", "MTX", "L", "AEM"};
        // Shown in both languages at once.
        const QStringList bilingual{QString::fromUtf8("Русский"), "English", QString::fromUtf8("Язык/Language"), "COM port",
                                    QString::fromUtf8("On/ВКЛ."), QString::fromUtf8("Off/Выкл."),
                                    QString::fromUtf8("MAF smoothing/сглаживание"),
                                    QString::fromUtf8("Горячие клавиши/ Hot keys")};
        // Series titles and the contactless sensor's vehicle list are names.
        auto isName = [](const QString &object) {
            return object.startsWith("SeriesButton") || object.startsWith("SpeedButtonLog") ||
                   object.startsWith("ComboBoxKmaSensorType");
        };
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        // The option is kept for the user's next windows: the other tests' windows start without it.
        QAction *advanced = form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"));
        advanced->trigger();
        const auto restore = qScopeGuard([advanced] { advanced->trigger(); });
        form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        sim::Emulator *unit = form.demoUnit();
        QVERIFY(unit && unit->waitForEvent("read", 5000));
        form.ActionStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(form.log()->count() > 20, 5000);
        const QRegularExpression latinWord(QStringLiteral("[A-Za-z]+(?:[0-9]+(?![.,0-9]))?"));
        const QRegularExpression filePath(QStringLiteral("\\S+\\.(log|tab|csv|cfg|his)\\b"));
        const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
        for (int language : {lang::kRussian, lang::kEnglish, lang::kRussian}) {
            form.ComboBoxLanguage->setCurrentIndex(language);
            // The dashboard's texts are rewritten with the next record too.
            const int seen = form.log()->count();
            QTRY_VERIFY_WITH_TIMEOUT(form.log()->count() > seen + 2, 5000);
            QStringList foreign;
            for (const auto &[object, text] : everyText(&form)) {
                if (bilingual.contains(text) || isName(object))
                    continue;
                if (lang::isEnglish(language)) {
                    if (text.contains(cyrillic))
                        foreign << object + ": " + text;
                    continue;
                }
                // A file's path ("recordings/2026-12-11_07-30-00.log") is a name, not a word.
                QString shownWords = text;
                shownWords.remove(filePath);
                for (auto words = latinWord.globalMatch(shownWords); words.hasNext();) {
                    const QString word = words.next().captured();
                    if (!keptWords.contains(word))
                        foreign << object + ": " + text;
                }
            }
            QVERIFY2(foreign.isEmpty(), qPrintable(QString::number(language) + "\n" + foreign.join('\n')));
        }
        form.ActionStop->trigger();
        QVERIFY(unit->waitForEvent("stream-stop", 2000));
    }

    // At the window's smallest size, in both languages, every caption of
    // every page fits its control: nothing is cut.
    void everyCaptionFitsAtTheSmallestSize()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        QAction *advanced = form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"));
        advanced->trigger();
        const auto restore = qScopeGuard([advanced] { advanced->trigger(); });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (int language : {lang::kEnglish, lang::kRussian}) {
            form.ComboBoxLanguage->setCurrentIndex(language);
            settleLayouts(); // the captions of this language laid out
            // The smallest window on a 1366 x 768 screen.
            form.fitInto(QRect(0, 0, 1366, 768));
            form.resize(form.minimumSize());
            QStringList cut;
            const QList<QTabWidget *> pageSets = form.findChildren<QTabWidget *>();
            for (QTabWidget *pages : pageSets)
                for (int i = 0; i < pages->count(); ++i) {
                    if (!pages->isTabVisible(i))
                        continue;
                    pages->setCurrentIndex(i);
                    settleLayouts();

                    for (QWidget *w : pages->widget(i)->findChildren<QWidget *>()) {
                        if (!w->isVisible())
                            continue;
                        const QFontMetrics metrics(w->font());
                        int need = 0, room = 0;
                        QString text;
                        if (auto *l = qobject_cast<QLabel *>(w); l && !l->wordWrap() && l->pixmap().isNull() &&
                                                                 l->textFormat() != Qt::RichText) {
                            text = l->text();
                            need = metrics.horizontalAdvance(text);
                            room = l->contentsRect().width();
                        } else if (auto *b = qobject_cast<QAbstractButton *>(w); b && !b->text().isEmpty()) {
                            text = b->text();
                            need = b->sizeHint().width();
                            room = b->width();
                        } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
                            QFont bold = g->font();
                            bold.setBold(true);
                            text = g->title();
                            need = QFontMetrics(bold).horizontalAdvance(text) + 20;
                            room = g->width();
                        }
                        if (!text.contains('\n') && need > room + 1)
                            cut << QStringLiteral("%1 \"%2\" %3>%4").arg(w->objectName(), text).arg(need).arg(room);
                    }
                }
            cut.removeDuplicates();
            QVERIFY2(cut.isEmpty(), qPrintable(QString::number(language) + "\n" + cut.join('\n')));
        }
    }

    // Qt's own buttons and dialogs follow the language through Qt's translations.
    void qtDialogsFollowTheLanguage()
    {
        TForm1 form;
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Yes | QDialogButtonBox::No);
        form.ComboBoxLanguage->setCurrentIndex(lang::kRussian);
        QTRY_COMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("Отмена"));
        QCOMPARE(box.button(QDialogButtonBox::Yes)->text().remove('&'), QString::fromUtf8("Да"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString::fromUtf8("Перейти к:"));
        form.ComboBoxLanguage->setCurrentIndex(lang::kEnglish);
        QTRY_COMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));
        QCOMPARE(box.button(QDialogButtonBox::No)->text().remove('&'), QStringLiteral("No"));
    }

    // Each page's bar, entry by entry, in both languages; "-" marks a hidden entry.
    void menuBarsByPlace_data()
    {
        QTest::addColumn<QString>("bar");
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("entries");
        const QString view = "View", help = "Help", ruView = QString::fromUtf8("Вид"),
                      ruHelp = QString::fromUtf8("Справка");
        QTest::newRow("log en") << "ActionMainMenuBarLogGraph" << 1
                                << QStringList{"Open", "Save", "Export CSV...", view, help};
        QTest::newRow("compare en")
            << "ActionMainMenuBarTableCompare" << 1
            << QStringList{"Open", "Save", "Null", "-1:1 Table", "Copy", "-Read from Converter",
                           "-Write to Converter", view, help};
        QTest::newRow("table graph en")
            << "ActionMainMenuBarTableGraph" << 1
            << QStringList{"Open", "Save", "-Null", "1:1 Table", "Copy 1->2", "Read from Converter",
                           "Write to Converter", view, help};
        QTest::newRow("dashboard en")
            << "ActionMainMenuBarDashboard" << 1
            << QStringList{"Charts", "Write to converter", "Read from converter", "Start", "Stop", "Main", view, help};
        QTest::newRow("options en") << "ActionMainMenuBarOptionsSetup" << 1 << QStringList{"Open", "Save", view, help};
        QTest::newRow("firmware en") << "ActionMainMenuBarFirmwareUpgrade" << 1
                                     << QStringList{"Update from file", "-Update from file with table 1:1", view, help};
        QTest::newRow("dashboard ru")
            << "ActionMainMenuBarDashboard" << 0
            << QString::fromUtf8("Графики|Записать в конвертер|Считать из конвертера|Старт|Стоп|Main|Вид|Справка")
                   .split('|');
        QTest::newRow("table graph ru")
            << "ActionMainMenuBarTableGraph" << 0
            << QString::fromUtf8("Открыть|Сохранить|-Обнулить|Замена 1:1|Копировать 1->2|Считать из конвертера|"
                                 "Записать в конвертер|Вид|Справка")
                   .split('|');
        QTest::newRow("firmware ru") << "ActionMainMenuBarFirmwareUpgrade" << 0
                                     << QStringList{QString::fromUtf8("Обновить из файла"),
                                                    QString::fromUtf8("-Обновить с заменой таблицы 1:1"), ruView,
                                                    ruHelp};
    }
    void menuBarsByPlace()
    {
        QFETCH(QString, bar);
        QFETCH(int, language);
        QFETCH(QStringList, entries);
        TForm1 form;
        form.ComboBoxLanguage->setCurrentIndex(language);
        auto *menuBar = form.findChild<QMenuBar *>(bar);
        QVERIFY(menuBar);
        QStringList shown;
        for (QAction *entry : menuBar->actions())
            shown << (entry->isVisible() ? QString() : QStringLiteral("-")) + entry->text();
        QCOMPARE(shown, entries);
    }

    // The dashboard's table submenu in both languages.
    void dashboardTableSubmenu()
    {
        TForm1 form;
        QMenu *charts = form.findChild<QMenuBar *>("ActionMainMenuBarDashboard")->actions().value(0)->menu();
        QVERIFY(charts);
        QStringList names;
        for (QAction *entry : charts->actions())
            names << entry->objectName();
        QCOMPARE(names, QStringList({"TabFileOpen", "TabFileSave", "ActionTableOneToOne", "ActionTableOneToOne_Ref_5V",
                                     "ActionTableOneToOne_Ref_8V", "ActionTableOneToOne_Ref_10V",
                                     "ActionTableOneToOne_Ref_12V"}));
        for (int language : {lang::kRussian, lang::kEnglish}) {
            form.ComboBoxLanguage->setCurrentIndex(language);
            QStringList texts;
            for (QAction *entry : charts->actions())
                texts << entry->text();
            QCOMPARE(texts.value(0), language ? QStringLiteral("Open") : QString::fromUtf8("Открыть"));
            QCOMPARE(texts.value(6), language ? QStringLiteral("Replace 1:1 Ref=12V")
                                              : QString::fromUtf8("Замена 1:1 Ref=12V"));
        }
    }

    // In the smoothing mode the edit menu and the smoothing label follow the language.
    void smoothingCaptionFollows()
    {
        TForm1 form;
        form.throttlePanel->chooseMode(EditSmoothing);
        form.ComboBoxLanguage->setCurrentIndex(lang::kRussian);
        QCOMPARE(form.ActionEdit->text(), QString::fromUtf8("Сглаживание сигнала TPS"));
        QVERIFY(form.LabelSmoothTPSSignal->text().startsWith(QString::fromUtf8("Сглаживание  сигнала датчика: ")));
        form.ComboBoxLanguage->setCurrentIndex(lang::kEnglish);
        QCOMPARE(form.ActionEdit->text(), QStringLiteral("TPS signal smoothing"));
        QCOMPARE(form.LabelSmoothTPSSignal->text(), QStringLiteral("TPS signal smoothing: 100"));
    }

    // The state file's language byte: 0 starts in Russian, 1 in English; any
    // other byte (255 from a damaged file) leaves the default, English.
    void languageFromTheStateFile_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("dashboard");
        QTest::addColumn<QString>("sounds");
        QTest::addColumn<bool>("help");
        QTest::newRow("Russian") << 0 << QString::fromUtf8("Панель приборов") << "Sound/Ru/" << true;
        QTest::newRow("English") << 1 << "Dashboard" << "Sound/En/" << true;
        QTest::newRow("out of range") << 255 << "Dashboard" << "Sound/En/" << true;
    }
    void languageFromTheStateFile()
    {
        QFETCH(int, byte);
        QFETCH(QString, dashboard);
        QFETCH(QString, sounds);
        QFETCH(bool, help);
        QFile f("config.cfg");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1, char(byte)));
        f.close();
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        QCOMPARE(form.MainPageControl->tabText(form.MainPageControl->indexOf(form.DashboardTabSheet)), dashboard);
        QCOMPARE(form.soundFolder(), sounds);
        QCOMPARE(form.Memo1->toPlainText().isEmpty(), !help);
        QCOMPARE(form.ComboBoxLanguage->currentIndex(), byte == 255 ? 1 : byte);
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
