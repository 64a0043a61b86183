// The window on a scaled screen (QT_SCALE_FACTOR, as laptops commonly run):
// the dashboard chart draws whole at the screen's pixel ratio, with nothing
// of the page shown before it, and the window fits the screen. CTest runs
// this at 1.25 and at 2; the scale is read back from the screen.
#include <QtTest>

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>

#include "app/Unit1.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "sim/Emulator.h"
#include "ui/ChartDashboard.h"
#include "ui/ChartLog.h"

namespace {
// Counts the paints a widget takes.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget *widget)
    {
        if (widget)
            widget->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
    int count = 0;
};
} // namespace

class TestScaledWindow : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(workDir_.path()));
        const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
        QVERIFY2(!scale.isEmpty(), "run with QT_SCALE_FACTOR");
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), scale.toDouble());
    }
    void init() { startAfresh(); }

    // Every part of the plot area shows the chart's own background: the
    // black log page shown just before leaves nothing behind.
    void dashboardPlotPaintedWhole()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"))->trigger();
        const auto restore = qScopeGuard([&form] {
            form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"))->trigger();
        });
        form.resize(1366, 740);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The black log page first, painted on the screen.
        PaintCounter logPainted(form.findChild<ChartLog *>());
        form.MainPageControl->setCurrentWidget(form.LogTabSheet);
        QTRY_VERIFY(logPainted.count > 0);
        PaintCounter dashboardPainted(form.dashboardChart);
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        QTRY_VERIFY(dashboardPainted.count > 0);

        ChartDashboard *chart = form.dashboardChart;
        const qreal ratio = chart->devicePixelRatioF();
        QCOMPARE(ratio, QGuiApplication::primaryScreen()->devicePixelRatio());
        QCOMPARE(chart->bufferDevicePixelRatio(), ratio);
        // The blocks of the plot area that the screen shows dark; the screen
        // is read again until it has taken the chart's paint (a loaded
        // machine hands it over late), so a block stays dark only if the
        // chart never painted it.
        auto darkBlocks = [&]() -> QStringList {
            // What the screen shows of the window, in device pixels.
            const QImage shown = form.screen()->grabWindow(form.winId()).toImage();
            if (shown.isNull())
                return {QStringLiteral("no picture of the window")};
            // The test platform hands the picture over at its own scale.
            const qreal scale = qreal(shown.width()) / form.width();
            const QRect plot = chart->axisRect()->rect().translated(chart->mapTo(&form, QPoint(0, 0)));
            const QRect device(QPoint(qCeil(plot.left() * scale), qCeil(plot.top() * scale)),
                               QPoint(qFloor(plot.right() * scale), qFloor(plot.bottom() * scale)));
            if (!shown.rect().contains(device))
                return {QStringLiteral("plot %1,%2 %3x%4 outside the %5x%6 picture")
                            .arg(device.x()).arg(device.y()).arg(device.width()).arg(device.height())
                            .arg(shown.width()).arg(shown.height())};
            // A 10 x 10 grid of blocks: the curves are thin, so most of each
            // block is the light background; an unpainted block is dark.
            QStringList dark;
            for (int by = 0; by < 10; ++by)
                for (int bx = 0; bx < 10; ++bx) {
                    const QRect block(device.left() + device.width() * bx / 10,
                                      device.top() + device.height() * by / 10, device.width() / 10,
                                      device.height() / 10);
                    int light = 0, all = 0;
                    for (int y = block.top(); y <= block.bottom(); y += 2)
                        for (int x = block.left(); x <= block.right(); x += 2) {
                            const QColor c = shown.pixelColor(x, y);
                            light += c.red() + c.green() + c.blue() > 450;
                            ++all;
                        }
                    if (light * 2 < all)
                        dark << QStringLiteral("(%1,%2)").arg(bx).arg(by);
                }
            return dark;
        };
        // Bounded by the clock: a picture of the screen takes a while.
        QDeadlineTimer deadline(10000);
        QStringList dark = darkBlocks();
        while (!dark.isEmpty() && !deadline.hasExpired()) {
            QTest::qWait(100);
            dark = darkBlocks();
        }
        QVERIFY2(dark.isEmpty(), qPrintable(dark.join(' ')));
    }

    // The window opens inside the screen's free area. On every page the port
    // bar and the page tabs stay inside the window and only the page's body
    // scrolls, when the screen is smaller than the page; a page opens at its
    // top whatever the page before was scrolled to.
    void windowFitsTheScreen()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"))->trigger();
        const auto restore = qScopeGuard([&form] {
            form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"))->trigger();
        });
        const QRect available = form.screen()->availableGeometry();
        form.fitInto(available);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY2(available.contains(form.geometry()), qPrintable(QStringLiteral("%1x%2").arg(form.width()).arg(form.height())));
        QVERIFY(!form.findChild<QScrollArea *>(QStringLiteral("CentralScroll")));
        auto *portBar = form.findChild<QWidget *>(QStringLiteral("PortBar"));
        QVERIFY(portBar);
        QTabBar *tabs = form.MainPageControl->tabBar();
        const QRect window = form.rect();
        auto inWindow = [&form](QWidget *w) { return QRect(w->mapTo(&form, QPoint(0, 0)), w->size()); };
        QScrollArea *previous = nullptr;
        for (int i = 0; i < form.MainPageControl->count(); ++i) {
            if (!form.MainPageControl->isTabVisible(i))
                continue;
            QWidget *page = form.MainPageControl->widget(i);
            if (previous)
                previous->verticalScrollBar()->setValue(previous->verticalScrollBar()->maximum());
            form.MainPageControl->setCurrentIndex(i);
            QCoreApplication::processEvents();
            const QString name = page->objectName();
            QVERIFY2(window.contains(inWindow(portBar)), qPrintable(name));
            QVERIFY2(window.contains(inWindow(tabs)), qPrintable(name));
            auto *scroll = page->findChild<QScrollArea *>(name + QStringLiteral("Scroll"));
            QVERIFY2(scroll, qPrintable(name));
            QCOMPARE(scroll->verticalScrollBar()->value(), 0);
            if (scroll->viewport()->height() < scroll->widget()->minimumSizeHint().height())
                QTRY_VERIFY2(scroll->verticalScrollBar()->maximum() > 0, qPrintable(name));
            previous = scroll;
        }
    }

    // In both languages every page shows its controls without scrolling
    // sideways, and nothing of the port bar lies beyond the window's right edge.
    void everyPageFitsTheWidth_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("Russian") << 0;
        QTest::newRow("English") << 1;
    }
    void everyPageFitsTheWidth()
    {
        QFETCH(int, language);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"))->trigger();
        const auto restore = qScopeGuard([&form] {
            form.findChild<QAction *>(QStringLiteral("ActionAdvancedPages"))->trigger();
        });
        form.ComboBoxLanguage->setCurrentIndex(language);
        // Connected, the bar holds its longest texts: the state, the versions.
        sim::Emulator unit;
        QVERIFY(chooseAndIdentify(form, QString::fromStdString(unit.start()), unit));
        const QRect available = form.screen()->availableGeometry();
        form.resize(available.size());
        form.fitInto(available);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCoreApplication::processEvents();
        QStringList wide;
        auto *portBar = form.findChild<QWidget *>(QStringLiteral("PortBar"));
        // Each of the bar's controls inside the window, as wide as it needs,
        // overlapping none of the others.
        QList<QRect> placed;
        for (QWidget *c : portBar->findChildren<QWidget *>()) {
            {
                const bool control = qobject_cast<QLabel *>(c) || qobject_cast<QComboBox *>(c) ||
                                     qobject_cast<QAbstractButton *>(c);
                if (!control || !c->isVisible() || c->isWindow() || qobject_cast<QComboBox *>(c->parentWidget()))
                    continue;
                const QRect at(c->mapTo(&form, QPoint(0, 0)), c->size());
                if (!form.rect().contains(at))
                    wide << c->objectName() + QStringLiteral(" (port bar, outside)");
                if (c->width() < c->minimumSizeHint().width())
                    wide << c->objectName() + QStringLiteral(" (port bar, squeezed)");
                for (const QRect &other : placed)
                    if (other.intersects(at))
                        wide << c->objectName() + QStringLiteral(" (port bar, overlapping)");
                placed << at;
            }
        }
        for (int i = 0; i < form.MainPageControl->count(); ++i) {
            if (!form.MainPageControl->isTabVisible(i))
                continue;
            form.MainPageControl->setCurrentIndex(i);
            QCoreApplication::processEvents();
            QWidget *page = form.MainPageControl->widget(i);
            auto *scroll = page->findChild<QScrollArea *>(page->objectName() + QStringLiteral("Scroll"));
            QVERIFY(scroll);
            const int need = scroll->widget()->minimumSizeHint().width(), room = scroll->viewport()->width();
            qInfo() << page->objectName() << "needs" << need << "has" << room;
            if (need > room)
                wide << QStringLiteral("%1 needs %2 of %3").arg(page->objectName()).arg(need).arg(room);
        }
        QVERIFY2(wide.isEmpty(), qPrintable(wide.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TestScaledWindow)
#include "tst_scaled_window.moc"
