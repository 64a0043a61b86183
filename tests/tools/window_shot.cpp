// Opens the main window, chooses the demo unit, shows a page and saves a
// picture of the window (the README's screenshots come from here).
// Usage: window_shot OUT.png [PAGE [INNER]] [--live [--stop] [--autotune S]] [--mode N] [--advanced] [--language 0|1] [--menu]
// INNER names a page of an inner page control to show, even one whose tab is
// hidden; --live starts live data and waits for the dashboard to fill;
// --mode chooses the throttle panel's edit mode N; --stop ends the live data
// again (the log page then draws what was recorded); --advanced switches the
// advanced pages on (in a settings folder of its own); --language chooses
// Russian (0) or English (1).
#include <algorithm>

#include <QToolButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QSettings>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "app/Theme.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "ui/AdvancedPages.h"
#include "ui/ThrottlePanel.h"
#include "link/MessageSink.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool live = args.removeAll(QStringLiteral("--live")) > 0;
    const bool stop = args.removeAll(QStringLiteral("--stop")) > 0;
    const bool advanced = args.removeAll(QStringLiteral("--advanced")) > 0;
    // --autotune S: Auto on before Start, the picture after S seconds.
    int autotuneSeconds = 0;
    if (const int at = int(args.indexOf(QStringLiteral("--autotune"))); at >= 0 && at + 1 < args.size()) {
        autotuneSeconds = args.at(at + 1).toInt();
        args.remove(at, 2);
    }
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    int mode = -1;
    if (const int at = int(args.indexOf(QStringLiteral("--mode"))); at >= 0 && at + 1 < args.size()) {
        mode = args.at(at + 1).toInt();
        args.remove(at, 2);
    }
    // --menu opens the first menu of the bar in front; the picture is then
    // of the whole screen, where the menu is a window of its own.
    const bool menu = args.removeAll(QStringLiteral("--menu")) > 0;
    int language = -1;
    if (const int at = int(args.indexOf(QStringLiteral("--language"))); at >= 0 && at + 1 < args.size()) {
        language = args.at(at + 1).toInt();
        args.remove(at, 2);
    }
    // --minimum: the window at its smallest size instead of 1366x740.
    const bool minimum = args.removeAll(QStringLiteral("--minimum")) > 0;
    // --fit: as the program opens, fitted into the screen.
    const bool fit = args.removeAll(QStringLiteral("--fit")) > 0;
    if (args.isEmpty())
        return 2;
    applyTheme(app);
    RecordingSink sink;
    ScopedMessageSink scoped(&sink);
    TForm1 form;
    TForm2 progress(&form);
    form.setProgressWindow(&progress);
    form.resize(1366, 740);
    if (fit)
        form.fitInto(form.screen()->availableGeometry());
    form.show();
    const QString out = args.value(0);
    const int page = args.value(1, QStringLiteral("0")).toInt();
    const QString innerName = args.value(2);
    auto save = [&] {
        if (menu)
            QGuiApplication::primaryScreen()->grabWindow(0).save(out);
        else
            form.grab().save(out);
        for (const QString &m : sink.messages)
            qWarning("message: %s", qPrintable(m));
        // Quitting closes the window, which asks about edits left in the
        // unit's working memory (autotuning makes some): leave them there.
        sink.replies = {1, 1, 1};
        app.quit();
    };
    QTimer::singleShot(300, &form, [&] {
        form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        if (advanced)
            form.advancedPages->action()->trigger();
        if (language >= 0)
            form.ComboBoxLanguage->setCurrentIndex(language);
        form.MainPageControl->setCurrentIndex(page);
        if (!innerName.isEmpty()) {
            auto *inner = form.findChild<QWidget *>(innerName);
            auto *pages = inner ? qobject_cast<QTabWidget *>(inner->parentWidget()->parentWidget()) : nullptr;
            if (pages) {
                pages->setTabVisible(pages->indexOf(inner), true);
                pages->setCurrentWidget(inner);
            }
        }
        if (mode >= 0)
            form.throttlePanel->chooseMode(mode);
        if (minimum) {
            // The minimum follows the pages once their layout has settled.
            for (int i = 0; i < 5; ++i)
                QCoreApplication::processEvents();
            form.resize(form.minimumSize());
        }
        if (live && autotuneSeconds > 0)
            form.SpeedButtonAutocorr->click();
        if (live)
            form.ActionStart->trigger();
        if (live && stop) {
            QTimer::singleShot(4000, &form, [&] {
                form.ActionStop->trigger();
                form.MainPageControl->setCurrentIndex(0);
                form.MainPageControl->setCurrentIndex(page);
                QTimer::singleShot(500, &form, save);
            });
            return;
        }
        if (menu) {
            auto *bars = qobject_cast<QStackedWidget *>(form.menuWidget());
            auto *bar = bars ? qobject_cast<QMenuBar *>(bars->currentWidget()) : nullptr;
            if (bar && !bar->actions().isEmpty())
                bar->setActiveAction(bar->actions().constFirst());
        }
        QTimer::singleShot(live ? std::max(4, autotuneSeconds) * 1000 : 300, &form, save);
    });
    return app.exec();
}
