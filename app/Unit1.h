#pragma once
// The main window: owns every long-lived object, builds them in a fixed order
// at creation and stops, saves and releases them in a fixed order at close.
#include <memory>

#include <QMainWindow>

#include "link/DeviceInfo.h"
#include "link/Rxtx.h"
#include "link/Ziravbroadcaster.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QTabWidget;
class QToolButton;
class QWidget;

namespace sim {
class Emulator;
}

class TForm1 : public QMainWindow, public TSubscriber {
    Q_OBJECT
public:
    // Text of the chooser's last entry: the emulated unit built into the program.
    static const char *const kDemoUnitEntry;

    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    void handleMessage(TMessage &message) override;

    TZiravBroadcaster *broadcaster() const { return broadcaster_.get(); }
    TRXTX *channel() const { return channel_.get(); }
    sim::Emulator *demoUnit() const { return demoUnit_.get(); }
    int firmwareGeneration() const { return firmwareGeneration_; }
    const TDeviceInfo &deviceInfo() const { return deviceInfo_; }

    // Fills the port chooser: the system's ports sorted, then the demo unit.
    void fillPortList();
    // Chooses a port by its chooser text (a device path or the demo unit entry).
    void choosePort(const QString &text);

    // Controls, named as in the window design.
    QTabWidget *MainPageControl = nullptr;
    QWidget *MainTabSheet = nullptr;
    QWidget *DashboardTabSheet = nullptr;
    QWidget *SetupTabSheet = nullptr;
    QWidget *TableTabSheet = nullptr;
    QWidget *LogTabSheet = nullptr;
    QWidget *TabSheet1 = nullptr;
    QComboBox *ComComboBox1 = nullptr;
    QToolButton *SpeedButtonReconnect = nullptr;
    QLabel *LabelFirmware = nullptr;
    QLabel *LabelHwVersion = nullptr;
    QLabel *LabelFOsc = nullptr;
    QCheckBox *CheckBoxFirmwareRecovery = nullptr;
    QAction *ActionReadCoverter = nullptr;
    QAction *ActionWriteConverter = nullptr;
    QAction *ActionStart = nullptr;
    QAction *ActionStop = nullptr;

public slots:
    void ComComboBox1Change();
    void SpeedButtonReconnectClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormClose();
    void buildControls();
    QString portPathFor(const QString &text);

    std::unique_ptr<TZiravBroadcaster> broadcaster_;
    std::unique_ptr<TRXTX> channel_;
    std::unique_ptr<sim::Emulator> demoUnit_;
    TDeviceInfo deviceInfo_;
    int firmwareGeneration_ = 0;
    bool closed_ = false;
};
