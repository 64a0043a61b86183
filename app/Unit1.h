#pragma once
// The main window: owns every long-lived object, builds them in a fixed order
// at creation and stops, saves and releases them in a fixed order at close.
#include <array>
#include <memory>

#include <QMainWindow>

#include "link/DeviceInfo.h"
#include "link/Rxtx.h"
#include "link/Ziravbroadcaster.h"
#include "throttle/SensorRecord.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QTabWidget;
class QToolButton;
class QWidget;
class Table;
class TForm2;

namespace sim {
class Emulator;
}
namespace tbl {
class ParamFields;
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
    Table *mainTable() const { return table_.get(); }
    Table *compareTable() const { return compare_.get(); }
    sim::Emulator *demoUnit() const { return demoUnit_.get(); }
    const kma::SensorRecord &sensorRecord() const { return sensorRecord_; }
    // The progress window of the full write; created by the application after this window.
    void setProgressWindow(TForm2 *form) { progress_ = form; }

    // Fills the port chooser: the system's ports sorted, then the demo unit.
    void fillPortList();
    // Chooses a port by its chooser text (a device path or the demo unit entry).
    void choosePort(const QString &text);
    // Runs the firmware update from a file, as after the file dialog.
    void updateFirmwareFrom(const QString &fileName);

    // Controls, named as in the window design.
    QTabWidget *MainPageControl = nullptr;
    QWidget *MainTabSheet = nullptr;
    QWidget *DashboardTabSheet = nullptr;
    QWidget *SetupTabSheet = nullptr;
    QWidget *TableTabSheet = nullptr;
    QWidget *LogTabSheet = nullptr;
    QWidget *TabSheet1 = nullptr;
    QTabWidget *SetupPageControl = nullptr;
    QWidget *TabSheetFirmwareUpdate = nullptr;
    QComboBox *ComComboBox1 = nullptr;
    QToolButton *SpeedButtonReconnect = nullptr;
    QLabel *LabelFirmware = nullptr;
    QLabel *LabelHwVersion = nullptr;
    QLabel *LabelFOsc = nullptr;
    QLabel *LabelRefVoltage = nullptr;
    QGroupBox *GroupBoxContactlessSettings = nullptr;
    QComboBox *ComboBoxKmaSensorType = nullptr;
    QComboBox *ComboBoxKmaAngleDegrees = nullptr;
    QComboBox *ComboBoxKmaDirection = nullptr;
    QComboBox *ComboBoxKmaCalAtMinOrMaxAngle = nullptr;
    QCheckBox *CheckBoxIdleSwitch = nullptr;
    QCheckBox *CheckBoxFullSwitch = nullptr;
    QPushButton *ButtonCalibrateKMA = nullptr;
    QCheckBox *CheckBoxFirmwareRecovery = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QAction *FileOpenFirmware = nullptr;
    QAction *ActionReadCoverter = nullptr;
    QAction *ActionWriteConverter = nullptr;
    QAction *ActionStart = nullptr;
    QAction *ActionStop = nullptr;
    // Main view: track bars driving the hidden parameter boxes.
    std::array<QSlider *, 7> trackBars{};
    std::array<QLabel *, 7> trackBarLabels{};
    QLabel *LabelSmoothTPSSignal = nullptr;
    // Parameter boxes by parameter (slot - 256): hidden ones of the main table,
    // visible ones of the compare view's two images.
    std::array<QLineEdit *, 8> mainParamEdits{};
    std::array<QLineEdit *, 8> compareParamEdits1{};
    std::array<QLineEdit *, 8> compareParamEdits2{};

public slots:
    void ComComboBox1Change();
    void SpeedButtonReconnectClick();
    void ActionReadCoverterExecute();
    void ActionWriteConverterExecute();
    void FileOpenFirmwareClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormClose();
    void buildControls();
    QWidget *buildParameterGroup(QWidget *parent);
    QWidget *buildContactlessGroup(QWidget *parent);
    QWidget *buildCompareView(QWidget *parent);
    QString portPathFor(const QString &text);
    void takeSensorRecord();
    void stopCommand();
    void showReferenceVoltage();
    void trackBarChanged(int id, int position);
    void paramEditChanged(int id);

    std::unique_ptr<TZiravBroadcaster> broadcaster_;
    std::unique_ptr<TRXTX> channel_;
    std::unique_ptr<Table> table_;
    std::unique_ptr<Table> compare_;
    std::unique_ptr<tbl::ParamFields> mainFields_, compareFields1_, compareFields2_;
    std::unique_ptr<sim::Emulator> demoUnit_;
    TForm2 *progress_ = nullptr;
    kma::SensorRecord sensorRecord_;
    bool closed_ = false;
    bool typedChoicePending_ = false;
};
