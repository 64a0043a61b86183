#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>

#include "app/Application.h"
#include "app/MessageBoxSink.h"
#include "app/SoundEffectPlayer.h"
#include "app/Theme.h"
#include "app/Unit1.h"
#include "app/Unit2.h"

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Tarvix"));
    TApplication::setApplicationDisplayName(QStringLiteral("Tarvix configurator"));
    applyTheme(app);
    // "tarvix --port COM5" (a desktop shortcut's command) connects at start,
    // as choosing the port in the chooser does.
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Configurator for the Tarvix throttle-position sensor unit"));
    options.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Connect to the unit on this port at start."),
                                        QStringLiteral("port"));
    options.addOption(portOption);
    options.process(app);
    MessageBoxSink sink;
    ScopedMessageSink installed(&sink);
    try {
        TForm1 form1;
        sink.setParent(&form1);
        TForm2 form2(&form1);
        form1.setProgressWindow(&form2);
        SoundEffectPlayer sounds([&form1] { return form1.soundFolder(); });
        ScopedSoundPlayer soundsInstalled(&sounds);
        if (const QScreen *screen = form1.screen())
            form1.fitInto(screen->availableGeometry());
        form1.show();
        if (options.isSet(portOption))
            QTimer::singleShot(0, &form1, [&form1, port = options.value(portOption)] { form1.choosePort(port); });
        return app.exec();
    } catch (const std::exception &e) {
        sink.showMessage(QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
