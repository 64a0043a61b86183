#pragma once
// The main window: owns every long-lived object, builds them in a fixed order
// at creation and stops, saves and releases them in a fixed order at close.
#include <array>
#include <memory>
#include <optional>

#include <QMainWindow>
#include <QPoint>
#include <QPointer>

#include "link/DeviceInfo.h"
#include "link/Rxtx.h"
#include "link/Ziravbroadcaster.h"
#include "log/Oxygensensor.h"
#include "log/Xrpm_table.h"
#include "table/Table_iat_ect_corr.h"
#include "table/UnitMemory.h"
#include "throttle/SensorRecord.h"
#include "throttle/ThrottleSettings.h"
#include "throttle/TpsCalibration.h"

class QAction;
class QDateTime;
class QLocale;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QTableWidget;
class QTabWidget;
class QToolButton;
class QWidget;
class PageScrolls;
class QHBoxLayout;
class QVBoxLayout;
class QFrame;
class QKeyEvent;
class QRadioButton;
class QPlainTextEdit;
class ThrottlePanel;
class ThrottleEditor;
struct TProgramState;
class ChartDashboard;
class DashboardView;
class Log;
class TForm2;
class AdvancedPages;
class TableCommands;
class TablePage;
class LogPage;
class MenuBars;
class CorrectionWindow;
class SensorSettingsGroup;
class ParameterPanel;
class AutotuningSetupPage;
class PortBar;
class CorrectionGroup;
class WindowKeys;

namespace sim {
class Emulator;
}
namespace tbl {
class ParamFields;
}

// The name proposed before a table or log save dialog opens: "D", the date and
// time in the locale's short date and long time formats, then ":" and "." to
// "_", blanks to "_T" and "/" to "_" (09.12.2026 14:05:07 gives D09_12_2026_T14_05_07).
QString proposedDateTimeName(const QDateTime &when);

// The About box: program name and version.
QString aboutText();

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
    Log *log() const { return log_.get(); }
#ifdef TARVIX_DEMO_UNIT
    sim::Emulator *demoUnit() const { return demoUnit_.get(); }
#endif
    // The correction window, its correction and the edit mode.
    CorrectionWindow *correctionWindow() const { return corr_; }
    // Whether the image's slots 264..391 hold temperature corrections (the
    // air-flow converter): their series and targets are offered only then.
    // Off for the throttle sensor, the only unit this program works with.
    void setTemperatureCorrections(bool on);
    const kma::SensorRecord &sensorRecord() const { return sensorRecord_; }
    // The progress window of the full write; created by the application after this window.
    void setProgressWindow(TForm2 *form) { progress_ = form; }

    // Fills the port chooser: the system's ports sorted, then the demo unit.
    void fillPortList();
    // Chooses a port by its chooser text (a device path or the demo unit entry).
    void choosePort(const QString &text);
    // Runs the firmware update from a file, as after the file dialog; true
    // when the unit took the whole firmware.
    bool updateFirmwareFrom(const QString &fileName);
    // The program state of the window's controls, and reading it from a file
    // (a short file's missing fields keep their values).
    TProgramState programState() const;
    void loadProgramState(const QString &fileName, bool quietWhenMissing = false);
    // The save-settings command with its name chosen: ".cfg" is appended.
    void saveSettingsAs(const QString &fileName);
    // Update, then a one-to-one table written to the unit and live data started.
    void upgradeFirmwareOneToOneFrom(const QString &fileName);
    // Folder the sound cues are played from, relative to the working folder.
    QString soundFolder() const { return soundFolder_; }

    // The pedal calibration record; the log turns raw throttle codes into
    // percent through it.
    TTpsCalibration tpsCalibration;
    // The O2 target grid behind StringGridO2Table.
    TO2TargetGrid o2TargetGrid;
    // Middle colour of the dashboard chart's background gradient (the chart
    // itself comes with the dashboard view).
    int dashboardColour = kIdleDashboardColour;
    static constexpr int kIdleDashboardColour = 7139565;
    // Bar colours of the throttle and engine-speed gauges; the target grid's
    // axes use them too.
    static constexpr int kTpsGaugeColour = colourValue(128, 192, 255);
    static constexpr int kRpmGaugeColour = colourValue(255, 192, 128);

    // Controls, named as in the window design.
    QTabWidget *MainPageControl = nullptr;
    QWidget *MainTabSheet = nullptr;
    QWidget *DashboardTabSheet = nullptr;
    QWidget *SetupTabSheet = nullptr;
    QWidget *TableTabSheet = nullptr;
    QWidget *LogTabSheet = nullptr;
    QWidget *TabSheet1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
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
    QAction *ActionUpgradeFirmwareOneToOne = nullptr;
    QAction *ActionAbout = nullptr;
    QLabel *LabelAttention = nullptr;
    QLabel *LabelFollowFUpgrade = nullptr;
    QLabel *LabelFirmwareManual = nullptr;
    QComboBox *ComboBoxLanguage = nullptr;
    QPlainTextEdit *Memo1 = nullptr; // the shortcut help
    QAction *Nastroiki_FileOpen = nullptr;
    QAction *Nastroiki_FileSaveAs = nullptr;
    QAction *ActionEdit = nullptr; // the edit-mode menu, captioned with the mode in force
    // Throttle panel of the dashboard page (value labels and edit modes).
    ThrottlePanel *throttlePanel = nullptr;
    ThrottleEditor *throttleEditor = nullptr; // what keys and the two panels edit
    QFrame *MafBordersSliderPanel = nullptr;
    // Pedal calibration on the firmware page.
    QGroupBox *GroupBox4 = nullptr;
    QPushButton *ButtonCalibrate = nullptr;
    QLabel *LabelTpsMin = nullptr;
    QLabel *LabelTpsMax = nullptr;
    QRadioButton *RadioButtonTPSN = nullptr;
    QRadioButton *RadioButtonTPSPercent = nullptr;
    // The sensor calibration's countdown (tests shorten it).
    int calibrationSeconds = 15;
    int calibrationTickMs = 1000;
    QAction *LogFileOpen = nullptr;
    QAction *LogFileSave = nullptr;
    QAction *ActionReadCoverter = nullptr;
    QAction *ActionWriteConverter = nullptr;
    QAction *ActionStart = nullptr;
    QAction *ActionStop = nullptr;
    // Dashboard: live data, oxygen reference, correction window and correction.
    QToolButton *Button2 = nullptr; // Start
    QToolButton *Button6 = nullptr; // Stop
    QComboBox *ComboBoxO2 = nullptr;
    QSlider *TrackBarRefO2 = nullptr;
    QLabel *LabelRefO2 = nullptr;
    QLabel *LabelLogO2RefFromDash = nullptr;
    QLabel *LabelRefO2FromDashInPercent = nullptr;
    QSlider *TrackBarMafNach = nullptr;
    QSlider *TrackBarMafKon = nullptr;
    QLabel *LabelMafNach = nullptr;
    QLabel *LabelMafKon = nullptr;
    QLabel *LabelPulsations = nullptr;
    QSpinBox *UpDownCorrection = nullptr;
    QLabel *CorrPanel = nullptr;
    QToolButton *SpeedButtonManualBorders = nullptr;
    QToolButton *SpeedButtonAutocorr = nullptr;
    QToolButton *SpeedButtonAplToTable = nullptr;
    QToolButton *SpeedButtonApplyCorrToIat = nullptr;
    QToolButton *SpeedButtonApplyCorrToECT = nullptr;
    QToolButton *SpeedButtonToyota = nullptr;
    // Autotuning options (settings page, tab hidden).
    QWidget *TabSheetAutotuningSetup = nullptr;
    QSpinBox *UpDown1 = nullptr;
    QLineEdit *MaskEditForcedIdleRpm = nullptr;
    QLineEdit *MaskEditForcedIdleTps = nullptr;
    QSlider *TrackBarB = nullptr;
    QSlider *TrackBarT = nullptr;
    QLabel *LabelTrackBarB = nullptr;
    QLabel *LabelTrackBarT = nullptr;
    QCheckBox *CheckBoxWotCorr = nullptr;
    QSlider *TrackBarLogO2Target = nullptr;
    QLabel *LabelRefO2Log = nullptr;
    QLabel *LabelLogMixtuePercent = nullptr;
    QLineEdit *MaskEditO2REF = nullptr;
    QTableWidget *StringGridO2Table = nullptr;
    QPushButton *ButtonFillLoadTableWithO2RefValue = nullptr;
    // Log page (hidden): the MAF limit of the log.
    QToolButton *LockLogLimitSpeedButton = nullptr;
    QSlider *LogLimitTrackBar = nullptr;
    QLabel *Label30 = nullptr;
    // Dashboard chart and gauges (ui/), created once the main table exists.
    ChartDashboard *dashboardChart = nullptr;
    DashboardView *dashboardView = nullptr;
    // Main view: track bars driving the hidden parameter boxes.
    std::array<QSlider *, 7> trackBars{};
    std::array<QLabel *, 7> trackBarLabels{};
    QLabel *LabelSmoothTPSSignal = nullptr;
    // Parameter boxes by parameter (slot - 256): hidden ones of the main table,
    // visible ones of the compare view's two images.
    std::array<QLineEdit *, 8> mainParamEdits{};
    std::array<QLineEdit *, 8> compareParamEdits1{};
    std::array<QLineEdit *, 8> compareParamEdits2{};
    // View > "Advanced pages": the hidden pages and the commands serving them.
    AdvancedPages *advancedPages = nullptr;
    // Tab files, one-to-one, null, copy, undo and redo of the tables.
    TableCommands *tableCommands = nullptr;
    // The table page: ChartTableGraph and the comparison view ChartCompare.
    TablePage *tablePage = nullptr;
    // The log page: ChartLog, magic learn, CSV export.
    LogPage *logPage = nullptr;
    // QMainWindow::menuBar() would put a bar of its own in their place; then they are gone.
    QPointer<MenuBars> menuBars;

public slots:
    void ComComboBox1Change();
    void SpeedButtonReconnectClick();
    void ActionReadCoverterExecute();
    void ActionWriteConverterExecute();
    void FileOpenFirmwareClick();
    void Nastroiki_FileOpenExecute();
    void ComboBoxLanguageChange();
    // Shrinks and moves the window into the screen's free area (the pages
    // scroll when it is smaller than they are).
    void fitInto(const QRect &available);
    // Edits sent to the unit's working memory and not stored in it.
    bool unstoredEdits() const { return memory_.unstored(); }
    void Nastroiki_FileSaveAsExecute();
    void ButtonCalibrateKMAClick();
    void ButtonCalibrateClick();
    void editModeChosen(int mode);
    void ActionUpgradeFirmwareOneToOneExecute();
    void LogFileOpenExecute();
    void LogFileSaveExecute();
    void ActionStartExecute();
    void ActionStopExecute();
    void ComboBoxO2Change();
    void TrackBarRefO2Change();
    void TrackBarLogO2TargetChange();
    void SpeedButtonToyotaClick();
    void LockLogLimitSpeedButtonClick();
    void LogLimitTrackBarChange();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormClose();
    void buildControls();
    QWidget *buildParameterGroup(QWidget *parent);
    QWidget *buildContactlessGroup(QWidget *parent);
    void buildDashboard();
    void buildAutotuningSetup();
    void buildLogPage();
    void buildAdvancedPages();
    void buildMenuBars();
    void showMenuBarOfPage();
    void buildTableCommands();
    // The correction to the target chosen (table, IAT or ECT): one edit.
    void applyCorrection();
    // The correction window model, its controls, and what the unit gets of it.
    void buildCorrectionWindow();
    void sendLiveCorrection(int value);
    void buildKeys();
    void showO2Setpoints();
    void setDashboardColour(int colour);
    // Running maxima of the dashboard (Start).
    void resetTrackers();
    void buildDashboardViews();
    void handleAutocorrectionRequest(const TMsgAutocorrection &request);
    void handleSmoothingRequest(const TMsgSmoothing &request);
    void handleCorrectionWindowRequest(const TMsgCorrectionWindow &request);
    QString portPathFor(const QString &text);
    void takeSensorRecord(const kma::SensorRecord &record);
    void stopCommand();
    // Stops live data if it runs and waits for the reader to let go of the
    // port: before a port choice, a reconnect, a full write or a firmware update.
    void endLiveData();
    // Autocorrection off (correction 0 to the unit) and the MAF limit locked,
    // as every stop of live data does first. quiet: a failed send is not reported.
    void releaseAutocorrection(bool quiet);
    void buildThrottlePanel();
    // Rewrites every caption, the help and the sound folder for a language
    // (0 Russian, 1 English; any other index: Russian captions, no help,
    // the sound folder kept).
    void applyLanguage(int language);
    // The unit's identification beside the port chooser, in the language shown.
    void showUnitLabels();
    // The port bar's word for the link: what it is busy with, lost, live,
    // connected or no unit. Read/Write cannot act on a lost port: disabled.
    void showLinkState();
    friend class LinkBusy;
    std::optional<int> busyLink_; // a lang::LinkState while an exchange runs
    std::array<QString, 3> unitTexts_; // firmware, hardware, oscillator; empty: not known
    UnitMemory memory_;
    QString chosenPort_; // the path (or the demo unit) of the port in use
    QString demoEntryText() const; // the demo unit's entry in the window's language
    PageScrolls *pages_ = nullptr;
    void imageStored();
    void showTitle();
    // Before leaving the unit (close, another port, Reconnect): offers to
    // store edits that live only in its working memory. false: cancelled.
    bool settleUnstoredEdits();
    void backUpFoundTable(const QString &firmwareText);
    // The unit's table read just before a firmware update, kept as a backup; its path or "".
    QString backUpBeforeUpdate();
    // A status line text in the language shown; ms 0 keeps it until replaced.
    // The status line tells the last event until the next one, on every page.
    void showStatus(const QString &english, const QString &russian, int ms = 0);
    void clearStatus();
    // The comparison page is in front (and the status line says that undo
    // does nothing there).
    bool comparisonShown();
    // The keyboard to the pages (their tab bar), out of any control.
    void focusPage();
    // The text of the language shown.
    QString inLanguage(const QString &english, const QString &russian) const;
    std::pair<QString, QString> status_; // the last event told (English, Russian)
    void showTpsCalibration();
    void clearCorrectionWindow();


    std::unique_ptr<TZiravBroadcaster> broadcaster_;
    std::unique_ptr<TRXTX> channel_;
    std::unique_ptr<Table> table_;
    std::unique_ptr<Table> compare_;
    // Declared after the channel and the broadcaster it refers to, so it goes first.
    std::unique_ptr<Log> log_;
    TO2Setpoints o2Setpoints_;
    std::unique_ptr<tbl::ParamFields> compareFields1_, compareFields2_;
#ifdef TARVIX_DEMO_UNIT
    // The emulated unit needs a pseudo-terminal: Linux builds only.
    std::unique_ptr<sim::Emulator> demoUnit_;
#endif
    TForm2 *progress_ = nullptr;
    QHBoxLayout *dashboardArea_ = nullptr;
    kma::SensorRecord sensorRecord_;
    bool closed_ = false;
    bool quietCorrection_ = false;
    // Kept in the program state: the oxygen display choice and a spare setting.
    bool o2ShowVafr_ = true;
    int spareSetting_ = 10;
    QVBoxLayout *throttleArea_ = nullptr;
    QString soundFolder_ = QStringLiteral("Sound/En/");
    CorrectionWindow *corr_ = nullptr;
    SensorSettingsGroup *sensorSettings_ = nullptr;
    ParameterPanel *parameters_ = nullptr;
    AutotuningSetupPage *autotuningSetup_ = nullptr;
    PortBar *portBar_ = nullptr;
    CorrectionGroup *correctionGroup_ = nullptr;
    WindowKeys *keys_ = nullptr;
    // The live correction the unit was last sent.
    int unitCorrection_ = 0;
};
