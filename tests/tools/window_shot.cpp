// Developer tool: opens the main window, chooses the demo unit, shows a page
// and saves a picture of the window. Usage: window_shot OUT.png [PAGE [INNER]]
// INNER names a page of an inner page control to show, even one whose tab is hidden.
// With TARVIX_SHOT_STREAM_MS set, live data is started and the picture taken
// that many milliseconds later.
#include <QApplication>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "link/MessageSink.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    RecordingSink sink;
    ScopedMessageSink scoped(&sink);
    TForm1 form;
    TForm2 progress(&form);
    form.setProgressWindow(&progress);
    // TARVIX_SHOT_SIZE=1366x740 sizes the window (a laptop screen less its panel).
    const QStringList size = qEnvironmentVariable("TARVIX_SHOT_SIZE").split(QLatin1Char('x'));
    if (size.size() == 2)
        form.resize(size[0].toInt(), size[1].toInt());
    form.show();
    const QString out = QString::fromLocal8Bit(argv[1]);
    const int page = argc > 2 ? std::atoi(argv[2]) : 0;
    QTimer::singleShot(300, &form, [&] {
        form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        form.MainPageControl->setCurrentIndex(page);
        if (argc > 3) {
            auto *inner = form.findChild<QWidget *>(QString::fromLocal8Bit(argv[3]));
            auto *pages = inner ? qobject_cast<QTabWidget *>(inner->parentWidget()->parentWidget()) : nullptr;
            if (pages) {
                pages->setTabVisible(pages->indexOf(inner), true);
                pages->setCurrentWidget(inner);
            }
        }
        const int streamMs = qEnvironmentVariableIntValue("TARVIX_SHOT_STREAM_MS");
        if (streamMs > 0)
            form.ActionStart->trigger();
        QTimer::singleShot(streamMs > 0 ? streamMs : 300, &form, [&] {
            form.grab().save(out);
            for (const QString &m : sink.messages)
                qWarning("message: %s", qPrintable(m));
            app.quit();
        });
    });
    return app.exec();
}
