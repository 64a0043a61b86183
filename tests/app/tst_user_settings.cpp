// The suite stands apart from the settings of whoever runs it. CTest starts
// this test in an environment whose configuration folder holds a user's
// settings with the advanced pages on (as a real run of the program leaves
// them); the test process must neither see nor change them.
#include <QtTest>

#include <QAction>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>

#include "app/Unit1.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "ui/AdvancedPages.h"

namespace {
QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestUserSettings : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;
    QString userFile_;  // the user's own settings file, in the outer environment
    QByteArray userBytes_;

private slots:
    void initTestCase()
    {
        const QString outer = qEnvironmentVariable("TARVIX_OUTER_CONFIG");
        if (outer.isEmpty())
            QSKIP("run through CTest, which gives the outer configuration folder");
        QVERIFY(QDir::setCurrent(workDir_.path()));
        userFile_ = outer + QLatin1Char('/') + QLatin1String(AdvancedPages::kOrganisation) + QLatin1Char('/')
                    + QLatin1String(AdvancedPages::kApplication) + QStringLiteral(".conf");
        {
            QSettings user(userFile_, QSettings::IniFormat);
            user.setValue(QString::fromLatin1(AdvancedPages::kSettingsKey), true);
        }
        userBytes_ = readAll(userFile_);
        QVERIFY(userBytes_.contains("advancedPages=true"));
    }

    void programSettingsLiveInThePrivateFolder()
    {
        QSettings settings(QString::fromLatin1(AdvancedPages::kOrganisation),
                           QString::fromLatin1(AdvancedPages::kApplication));
        QVERIFY2(settings.fileName() != userFile_, qPrintable(settings.fileName()));
        QVERIFY(!settings.contains(QString::fromLatin1(AdvancedPages::kSettingsKey)));
    }

    // The window starts as on a machine where the option was never used, and
    // turning the option on and off is remembered outside the user's file.
    void windowIgnoresTheUserSetting()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        startAfresh();
        {
            TForm1 form;
            QAction *option = form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"));
            QVERIFY(option);
            QVERIFY(!option->isChecked());
            for (QWidget *page : {form.TableTabSheet, form.LogTabSheet, form.TabSheet1})
                QVERIFY(!form.MainPageControl->isTabVisible(form.MainPageControl->indexOf(page)));
            option->trigger();
            QVERIFY(option->isChecked());
        }
        startAfresh();
        {
            TForm1 form;
            QAction *option = form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"));
            QVERIFY(option->isChecked()); // remembered, in the test's own folder
            option->trigger();
        }
        QCOMPARE(readAll(userFile_), userBytes_);
        QVERIFY(sink.messages.isEmpty());
    }
};

QTEST_MAIN(TestUserSettings)
#include "tst_user_settings.moc"
