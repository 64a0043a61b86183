#include "app/Unit1.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QDir>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QPlainTextEdit>
#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QElapsedTimer>
#include <QThread>

#include "app/Language.h"
#include "app/Saveloadprogramstate.h"
#include "app/Unit2.h"
#include "ui/ThrottleEditor.h"
#include "ui/ThrottlePanel.h"
#include "ui/Unit3.h"
#include "ui/DashboardPage.h"
#include "ui/PortBar.h"
#include "ui/WindowFit.h"
#include "table/Backup.h"
#include "ui/ParameterPanel.h"
#include "ui/SensorSettingsGroup.h"
#include "app/WindowKeys.h"
#include "throttle/CorrectionWindow.h"
#include "link/Firmware.h"
#include "link/MessageSink.h"
#include "link/Protocol.h"
#include "link/DeviceSession.h"
#include "link/TableTransfer.h"
#include "log/Autotune.h"
#include "log/LiveCommands.h"
#include "log/Log_iat_ect_corr.h"
#ifdef TARVIX_DEMO_UNIT
#include "sim/Emulator.h"
#endif
#include "table/TableCommon.h"
#include "table/TableParams.h"
#include "table/Table_iat_ect_corr.h"
#include "ui/ChartDashboard.h"
#include "ui/DashboardView.h"
#include "ui/AdvancedPages.h"
#include "ui/AutotuningSetupPage.h"
#include "ui/CorrectionGroup.h"
#include "ui/FirmwarePage.h"
#include "ui/Widgets.h"
#include "ui/ChartLog.h"
#include "ui/ChartTableGraph.h"
#include "ui/LogPage.h"
#include "ui/MenuBars.h"
#include "ui/TableCommands.h"
#include "ui/TablePage.h"

const char *const TForm1::kDemoUnitEntry = lang::kDemoUnitEntry;

// The port bar says what the link is busy with for an exchange's duration.
class LinkBusy {
public:
    LinkBusy(TForm1 &form, lang::LinkState state) : form_(form), before_(form.busyLink_)
    {
        form.busyLink_ = int(state);
        form.showLinkState();
    }
    ~LinkBusy()
    {
        form_.busyLink_ = before_;
        form_.showLinkState();
    }
    LinkBusy(const LinkBusy &) = delete;
    LinkBusy &operator=(const LinkBusy &) = delete;

private:
    TForm1 &form_;
    std::optional<int> before_;
};


namespace {

QWidget *makePage(QTabWidget *pages, const char *objectName, const QString &caption)
{
    auto *page = new QWidget(pages);
    page->setObjectName(QString::fromLatin1(objectName));
    pages->addTab(page, caption);
    return page;
}

QAction *makeAction(QWidget *owner, const char *objectName, const QString &caption, bool enabled)
{
    auto *action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(objectName));
    action->setEnabled(enabled);
    return action;
}


QColor colourOf(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}


int barValue(const QSlider *bar)
{
    return bar->maximum() + bar->minimum() - bar->value();
}

void setSilently(QSlider *bar, int min, int max, int position)
{
    const QSignalBlocker blocker(bar);
    bar->setRange(min, max);
    bar->setValue(position);
}

} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    // The status line holds its height from the start: a message appearing
    // must not move the pages (a click aimed at a tab would land elsewhere).
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setMinimumHeight(statusBar()->fontMetrics().height() + 8);
    buildControls();
    FormCreate();
    buildTableCommands();
    buildAdvancedPages();
    pages_->wrapPages();
    // The menu bars came after the state file chose the language.
    applyLanguage(ComboBoxLanguage->currentIndex());
}

TForm1::~TForm1()
{
    FormClose();
    // Taking the window apart can still make the port chooser signal a choice.
    portBar_->disconnect(this);
}

void TForm1::buildControls()
{
    setWindowTitle(lang::programName(lang::kEnglish));
    resize(1000, 680);

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);

    portBar_ = new PortBar(QString::fromLatin1(kDemoUnitEntry), central);
    ComComboBox1 = portBar_->ComComboBox1;
    SpeedButtonReconnect = portBar_->SpeedButtonReconnect;
    LabelFirmware = portBar_->LabelFirmware;
    LabelHwVersion = portBar_->LabelHwVersion;
    LabelFOsc = portBar_->LabelFOsc;
    ComboBoxLanguage = portBar_->ComboBoxLanguage;
    column->addWidget(portBar_);

    MainPageControl = named(new QTabWidget(central), "MainPageControl");
    MainTabSheet = makePage(MainPageControl, "MainTabSheet", QStringLiteral("Main"));
    DashboardTabSheet = makePage(MainPageControl, "DashboardTabSheet", QStringLiteral("Dashboard"));
    SetupTabSheet = makePage(MainPageControl, "SetupTabSheet", QStringLiteral("Settings"));
    TableTabSheet = makePage(MainPageControl, "TableTabSheet", QStringLiteral("Table"));
    LogTabSheet = makePage(MainPageControl, "LogTabSheet", QStringLiteral("Log"));
    TabSheet1 = makePage(MainPageControl, "TabSheet1", QString::fromUtf8("Разные приборы"));
    // Tabs at the bottom, each with its picture; the main page shows only its picture.
    MainPageControl->setTabPosition(QTabWidget::South);
    MainPageControl->setIconSize(QSize(22, 22));
    const std::pair<QWidget *, QStyle::StandardPixmap> pictures[] = {
        {MainTabSheet, QStyle::SP_ComputerIcon},           {DashboardTabSheet, QStyle::SP_MediaPlay},
        {SetupTabSheet, QStyle::SP_FileDialogDetailedView}, {TableTabSheet, QStyle::SP_FileDialogContentsView},
        {LogTabSheet, QStyle::SP_FileDialogInfoView},       {TabSheet1, QStyle::SP_DriveHDIcon}};
    for (const auto &[page, picture] : pictures)
        MainPageControl->setTabIcon(MainPageControl->indexOf(page), style()->standardIcon(picture));
    MainPageControl->setTabText(MainPageControl->indexOf(MainTabSheet), QString());
    MainPageControl->setTabToolTip(MainPageControl->indexOf(MainTabSheet), lang::mainPageTip(lang::kEnglish));
    column->addWidget(MainPageControl, 1);
    setCentralWidget(central);
    // On a small or strongly scaled screen the window may be smaller than
    // its pages: their bodies scroll, the bars and the tabs stay in view.
    pages_ = new PageScrolls(MainPageControl, central, this);

    ActionReadCoverter = makeAction(this, "ActionReadCoverter", QString::fromUtf8("Считать из конвертера"), false);
    ActionWriteConverter = makeAction(this, "ActionWriteConverter", QString::fromUtf8("Записать в конвертер"), false);
    ActionStart = makeAction(this, "ActionStart", QStringLiteral("Start"), true);
    ActionStop = makeAction(this, "ActionStop", QStringLiteral("Stop"), false);
    FileOpenFirmware = makeAction(this, "FileOpenFirmware", QString::fromUtf8("Обновить из файла"), true);
    ActionUpgradeFirmwareOneToOne =
        makeAction(this, "ActionUpgradeFirmwareOneToOne", QString::fromUtf8("Обновить с заменой таблицы 1:1"), true);
    LogFileOpen = makeAction(this, "LogFileOpen", QString::fromUtf8("Открыть"), true);
    LogFileSave = makeAction(this, "LogFileSave", QString::fromUtf8("Сохранить"), true);
    Nastroiki_FileOpen = makeAction(this, "Nastroiki_FileOpen", QString::fromUtf8("Открыть"), true);
    Nastroiki_FileSaveAs = makeAction(this, "Nastroiki_FileSaveAs", QString::fromUtf8("Сохранить"), true);
    connect(Nastroiki_FileOpen, &QAction::triggered, this, &TForm1::Nastroiki_FileOpenExecute);
    connect(Nastroiki_FileSaveAs, &QAction::triggered, this, &TForm1::Nastroiki_FileSaveAsExecute);
    connect(LogFileOpen, &QAction::triggered, this, &TForm1::LogFileOpenExecute);
    connect(LogFileSave, &QAction::triggered, this, &TForm1::LogFileSaveExecute);
    ActionAbout = makeAction(this, "ActionAbout", QStringLiteral("About Tarvix configurator..."), true);
    connect(ActionAbout, &QAction::triggered, this, [] { showMessage(aboutText()); });

    // Main page: sensor settings, converter commands and the shortcut help
    // side by side, the parameter track bars below.
    auto *mainColumn = new QVBoxLayout(MainTabSheet);
    auto *mainRow = new QHBoxLayout;
    mainRow->addWidget(buildContactlessGroup(MainTabSheet), 0, Qt::AlignTop);
    auto *commands = new QVBoxLayout;
    for (QAction *action : {ActionReadCoverter, ActionWriteConverter}) {
        auto *button = new QToolButton(MainTabSheet);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        // As wide as the longer caption needs (fitCaptions), no wider: the
        // page fits 1366 px at 150 % in Russian.
        button->setMinimumWidth(150);
        commands->addWidget(button);
    }
    commands->addStretch(1);
    mainRow->addLayout(commands);
    // The shortcut help, in the language chosen.
    auto *hotKeys = named(new QGroupBox(QString::fromUtf8("Горячие клавиши/ Hot keys"), MainTabSheet), "GroupBoxHotKeys");
    Memo1 = named(new QPlainTextEdit(hotKeys), "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setMinimumHeight(120);
    (new QVBoxLayout(hotKeys))->addWidget(Memo1);
    mainRow->addWidget(hotKeys, 1);
    mainColumn->addLayout(mainRow, 1);
    mainColumn->addWidget(buildParameterGroup(MainTabSheet));

    // Settings page: firmware update.
    auto *setupColumn = new QVBoxLayout(SetupTabSheet);
    PageControl1 = named(new QTabWidget(SetupTabSheet), "PageControl1");
    auto *firmware = new FirmwarePage(FileOpenFirmware, PageControl1);
    PageControl1->addTab(firmware, QStringLiteral("Firmware update"));
    TabSheetFirmwareUpdate = firmware;
    ProgressBar1 = firmware->ProgressBar1;
    CheckBoxFirmwareRecovery = firmware->CheckBoxFirmwareRecovery;
    GroupBox4 = firmware->GroupBox4;
    ButtonCalibrate = firmware->ButtonCalibrate;
    LabelTpsMin = firmware->LabelTpsMin;
    LabelTpsMax = firmware->LabelTpsMax;
    RadioButtonTPSN = firmware->RadioButtonTPSN;
    RadioButtonTPSPercent = firmware->RadioButtonTPSPercent;
    LabelAttention = firmware->LabelAttention;
    LabelFollowFUpgrade = firmware->LabelFollowFUpgrade;
    LabelFirmwareManual = firmware->LabelFirmwareManual;
    connect(ButtonCalibrate, &QPushButton::clicked, this, &TForm1::ButtonCalibrateClick);
    setupColumn->addWidget(PageControl1);

    buildAutotuningSetup();

    buildDashboard();
    buildLogPage();

    // Table page: the compare view's two sets of parameter boxes.
    auto *tableColumn = new QVBoxLayout(TableTabSheet);
    tablePage = new TablePage(TableTabSheet);
    compareParamEdits1 = tablePage->compareParameters(1);
    compareParamEdits2 = tablePage->compareParameters(2);
    tableColumn->addWidget(tablePage);
    connect(MainPageControl, &QTabWidget::currentChanged, tablePage, &TablePage::releaseLatched);
    // A click on a page's tab puts the keys on the page, not in a control
    // the focus was left in.
    connect(MainPageControl, &QTabWidget::tabBarClicked, this, [this] { focusPage(); });

    connect(portBar_, &PortBar::portChosen, this, &TForm1::ComComboBox1Change);
    connect(portBar_, &PortBar::listAboutToOpen, this, &TForm1::fillPortList);
    connect(SpeedButtonReconnect, &QToolButton::clicked, this, &TForm1::SpeedButtonReconnectClick);
    connect(ActionReadCoverter, &QAction::triggered, this, &TForm1::ActionReadCoverterExecute);
    connect(ActionWriteConverter, &QAction::triggered, this, &TForm1::ActionWriteConverterExecute);
    connect(FileOpenFirmware, &QAction::triggered, this, &TForm1::FileOpenFirmwareClick);
    connect(ActionUpgradeFirmwareOneToOne, &QAction::triggered, this, &TForm1::ActionUpgradeFirmwareOneToOneExecute);
    connect(ActionStart, &QAction::triggered, this, &TForm1::ActionStartExecute);
    connect(ActionStop, &QAction::triggered, this, &TForm1::ActionStopExecute);
}

void TForm1::buildDashboard()
{
    const DashboardPage page(DashboardTabSheet, ActionStart, ActionStop);
    Button2 = page.Button2;
    Button6 = page.Button6;
    ComboBoxO2 = page.ComboBoxO2;
    dashboardArea_ = page.viewArea;
    throttleArea_ = page.throttleArea;
    TrackBarRefO2 = page.TrackBarRefO2;
    LabelRefO2 = page.LabelRefO2;
    LabelLogO2RefFromDash = page.LabelLogO2RefFromDash;
    LabelRefO2FromDashInPercent = page.LabelRefO2FromDashInPercent;
    CorrectionGroup *correction = page.correction;
    correctionGroup_ = correction;
    TrackBarMafNach = correction->TrackBarMafNach;
    TrackBarMafKon = correction->TrackBarMafKon;
    LabelMafNach = correction->LabelMafNach;
    LabelMafKon = correction->LabelMafKon;
    LabelPulsations = correction->LabelPulsations;
    MafBordersSliderPanel = correction->MafBordersSliderPanel;
    UpDownCorrection = correction->UpDownCorrection;
    CorrPanel = correction->CorrPanel;
    SpeedButtonManualBorders = correction->SpeedButtonManualBorders;
    SpeedButtonAutocorr = correction->SpeedButtonAutocorr;
    SpeedButtonAplToTable = correction->SpeedButtonAplToTable;
    SpeedButtonApplyCorrToIat = correction->SpeedButtonApplyCorrToIat;
    SpeedButtonApplyCorrToECT = correction->SpeedButtonApplyCorrToECT;
    SpeedButtonToyota = correction->SpeedButtonToyota;
    // Each target button applies the correction to itself when clicked.
    for (QToolButton *target : {SpeedButtonAplToTable, SpeedButtonApplyCorrToIat, SpeedButtonApplyCorrToECT})
        connect(target, &QToolButton::clicked, this, [this] { applyCorrection(); });
    connect(ComboBoxO2, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TForm1::ComboBoxO2Change);
    connect(TrackBarRefO2, &QSlider::valueChanged, this, &TForm1::TrackBarRefO2Change);
    connect(SpeedButtonToyota, &QToolButton::clicked, this, &TForm1::SpeedButtonToyotaClick);
}

void TForm1::buildAutotuningSetup()
{
    auto *page = new AutotuningSetupPage(colourOf(kTpsGaugeColour), colourOf(kRpmGaugeColour), PageControl1);
    PageControl1->addTab(page, QStringLiteral("Autotuning options"));
    TabSheetAutotuningSetup = page;
    UpDown1 = page->UpDown1;
    MaskEditForcedIdleRpm = page->MaskEditForcedIdleRpm;
    MaskEditForcedIdleTps = page->MaskEditForcedIdleTps;
    TrackBarB = page->TrackBarB;
    TrackBarT = page->TrackBarT;
    LabelTrackBarB = page->LabelTrackBarB;
    LabelTrackBarT = page->LabelTrackBarT;
    CheckBoxWotCorr = page->CheckBoxWotCorr;
    TrackBarLogO2Target = page->TrackBarLogO2Target;
    LabelRefO2Log = page->LabelRefO2Log;
    LabelLogMixtuePercent = page->LabelLogMixtuePercent;
    StringGridO2Table = page->StringGridO2Table;
    MaskEditO2REF = page->MaskEditO2REF;
    ButtonFillLoadTableWithO2RefValue = page->ButtonFillLoadTableWithO2RefValue;
    autotuningSetup_ = page;

    PageControl1->setTabVisible(PageControl1->indexOf(TabSheetAutotuningSetup), false);

    connect(TrackBarLogO2Target, &QSlider::valueChanged, this, &TForm1::TrackBarLogO2TargetChange);
}

void TForm1::buildLogPage()
{
    auto *row = new QHBoxLayout(LogTabSheet);
    auto *limit = named(new QGroupBox(QStringLiteral("MAF limit"), LogTabSheet), "GroupBoxLogLimit");
    auto *column = new QVBoxLayout(limit);
    LockLogLimitSpeedButton = named(new QToolButton(limit), "LockLogLimitSpeedButton");
    LockLogLimitSpeedButton->setText(QStringLiteral("Lock"));
    LockLogLimitSpeedButton->setCheckable(true);
    LogLimitTrackBar = verticalBar(limit, "LogLimitTrackBar", 0, 255, 255);
    Label30 = named(new QLabel(QStringLiteral("0"), limit), "Label30");
    column->addWidget(LockLogLimitSpeedButton, 0, Qt::AlignHCenter);
    column->addWidget(LogLimitTrackBar, 0, Qt::AlignHCenter);
    column->addWidget(Label30, 0, Qt::AlignHCenter);
    row->addWidget(limit, 0, Qt::AlignTop);
    // The O2 target is a line of the log chart and belongs beside it.
    if (auto *target = findChild<QGroupBox *>(QStringLiteral("GroupBoxO2Target")))
        row->addWidget(target, 0, Qt::AlignTop);
    logPage = new LogPage(LogTabSheet);
    row->addWidget(logPage, 1);

    connect(LockLogLimitSpeedButton, &QToolButton::clicked, this, &TForm1::LockLogLimitSpeedButtonClick);
    connect(LogLimitTrackBar, &QSlider::valueChanged, this, &TForm1::LogLimitTrackBarChange);
}

QWidget *TForm1::buildContactlessGroup(QWidget *parent)
{
    sensorSettings_ = new SensorSettingsGroup(parent);
    GroupBoxContactlessSettings = sensorSettings_;
    ComboBoxKmaSensorType = sensorSettings_->ComboBoxKmaSensorType;
    ComboBoxKmaAngleDegrees = sensorSettings_->ComboBoxKmaAngleDegrees;
    ComboBoxKmaDirection = sensorSettings_->ComboBoxKmaDirection;
    ComboBoxKmaCalAtMinOrMaxAngle = sensorSettings_->ComboBoxKmaCalAtMinOrMaxAngle;
    CheckBoxIdleSwitch = sensorSettings_->CheckBoxIdleSwitch;
    CheckBoxFullSwitch = sensorSettings_->CheckBoxFullSwitch;
    ButtonCalibrateKMA = sensorSettings_->ButtonCalibrateKMA;
    connect(ButtonCalibrateKMA, &QPushButton::clicked, this, &TForm1::ButtonCalibrateKMAClick);
    return GroupBoxContactlessSettings;
}

QWidget *TForm1::buildParameterGroup(QWidget *parent)
{
    parameters_ = new ParameterPanel(parent);
    trackBars = parameters_->trackBars;
    trackBarLabels = parameters_->trackBarLabels;
    mainParamEdits = parameters_->edits;
    return parameters_;
}

void TForm1::FormCreate()
{
    LabelHwVersion->hide();
    LabelFOsc->hide();

    LockLogLimitSpeedButton->setChecked(true);
    LockLogLimitSpeedButtonClick();

    broadcaster_ = std::make_unique<TZiravBroadcaster>();
    broadcaster_->subscribe(this);
    fillPortList();
    // The channel subscribes itself, after the window.
    channel_ = std::make_unique<TRXTX>(*broadcaster_);

    table_ = std::make_unique<Table>();
    table_->setUpTableView(tablePage->graph()->bindTable(*table_, true), true, false, parameters_);
    parameters_->bind(*table_);
    table_->quickWriteHook = [this] {
        if (transfer::quickWrite(*table_, *channel_) == transfer::Outcome::Done) {
            memory_.sent(table_->imageBytes(1));
            showTitle();
        }
    };
    sensorSettings_->bind(*table_);
    buildCorrectionWindow();
    buildDashboardViews();
    buildKeys();
    qApp->installEventFilter(this);
    // The link's state follows what the exchanges, the stream and a lost
    // port leave behind; reading it sends nothing.
    auto *linkStateTimer = new QTimer(this);
    connect(linkStateTimer, &QTimer::timeout, this, &TForm1::showLinkState);
    linkStateTimer->start(250);

    // The log subscribes itself, after the channel.
    log_ = std::make_unique<Log>(tpsCalibration, *channel_, *broadcaster_, this);
    log_->setUpView(logPage->chart()->bindLog(*log_), table_.get());
    // No message box for a stream that ends by itself; the status line says why.
    connect(log_.get(), &Log::streamStopped, this, [this](const QString &reason) {
        showStatus(QStringLiteral("Live data stopped: ") + reason,
                   QString::fromUtf8("Поток данных остановлен: ") + reason, 0);
    });
    // Every recording is kept as it arrives: nothing recorded is lost by
    // closing without a save, a crash or a power loss.
    log_->setRecordingsFolder(QDir::current().filePath(QStringLiteral("recordings")));
    connect(log_.get(), &Log::recordingKept, this, [this](const QString &path) {
        const QString name = QDir::toNativeSeparators(QDir::current().relativeFilePath(path));
        showStatus(QStringLiteral("Recording kept in ") + name, QString::fromUtf8("Запись сохраняется в ") + name, 0);
    });
    o2Setpoints_.bindLog(log_.get());

    compareFields1_ = std::make_unique<LineEditFields>(compareParamEdits1);
    compareFields2_ = std::make_unique<LineEditFields>(compareParamEdits2);
    compare_ = std::make_unique<Table>();
    compare_->setUpTableView(tablePage->compare()->bindTable(*compare_, false), false, false, compareFields1_.get());
    compare_->setUpSecondImage(compareFields2_.get());
    tablePage->compare()->addSecondImage();

    {
        // The sensor's set points keep their design positions until the user picks a sensor.
        const QSignalBlocker blocker(ComboBoxO2);
        ComboBoxO2->clear();
        ComboBoxO2->addItems(o2::sensorNames());
        ComboBoxO2->setCurrentIndex(o2::kDefaultType);
    }
    TrackBarRefO2Change();
    TrackBarLogO2TargetChange(); // the target's labels show from the start too
    autotuningSetup_->bind(*log_, o2TargetGrid, [this] { return ComboBoxO2->currentIndex(); });
    applyLanguage(lang::kEnglish);
    {
        const QSignalBlocker blocker(ComboBoxLanguage);
        ComboBoxLanguage->setCurrentIndex(lang::kEnglish);
    }
    connect(ComboBoxLanguage, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TForm1::ComboBoxLanguageChange);
    // The user's choices of the last run; a first start has none and says nothing.
    loadProgramState(QString::fromLatin1(programstate::kFileName), true);
    SpeedButtonToyotaClick();

    table_->loadHistory();
    showTpsCalibration();

    GroupBoxContactlessSettings->hide();
    MainPageControl->setTabVisible(MainPageControl->indexOf(TableTabSheet), false);
    MainPageControl->setTabVisible(MainPageControl->indexOf(LogTabSheet), false);
    MainPageControl->setTabVisible(MainPageControl->indexOf(TabSheet1), false);
    MainPageControl->setCurrentWidget(MainTabSheet);
    proto::setWaitHook([](int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            keepPainting();
            QThread::msleep(5);
        }
    });
}

void TForm1::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    // A failure while stopping or releasing the port must not keep the
    // program state and the history from being written.
    try {
        if (channel_ && channel_->isPortOpen())
            ActionStopExecute();
        // Manual borders are not left on: raising them sets the correction back to 0.
        if (corr_->manualBorders())
            corr_->setManualBorders(false);
    } catch (...) {
    }
    // No reader may outlive the channel it reads from.
    if (log_)
        log_->shutdown();
    try {
        channel_.reset();
    } catch (...) {
    }
#ifdef TARVIX_DEMO_UNIT
    demoUnit_.reset();
#endif
    programstate::save(programState(), QString::fromLatin1(programstate::kFileName));
    QString reason;
    if (table_ && !table_->saveHistory(QString(), &reason))
        showMessage(QString::fromUtf8("The undo history could not be saved: %1\n\n"
                                      "Не удалось сохранить историю правок: %1")
                        .arg(reason));
    proto::setWaitHook({});
}

TProgramState TForm1::programState() const
{
    TProgramState s;
    s.language = ComboBoxLanguage->currentIndex();
    s.o2ShowVafr = o2ShowVafr_ ? 1 : 0;
    s.descending = SpeedButtonToyota->isChecked() ? 1 : 0;
    s.tpsShowRaw = RadioButtonTPSN->isChecked() ? 1 : 0;
    s.words = {UpDown1->value(),
               TrackBarRefO2->value(),
               tpsCalibration.tpsMin,
               tpsCalibration.tpsMax,
               TrackBarB->value(),
               TrackBarT->value(),
               tbl::parseLeadingInt(MaskEditForcedIdleRpm->text()),
               tbl::parseLeadingInt(MaskEditForcedIdleTps->text()),
               corr_->mafWindowStart(),
               spareSetting_,
               autotuningSetup_->trackBarBCopy,
               autotuningSetup_->trackBarTCopy};
    return s;
}

void TForm1::loadProgramState(const QString &fileName, bool quietWhenMissing)
{
    TProgramState s;
    qint64 size = 0;
    const int fields = programstate::load(s, fileName, quietWhenMissing, &size);
    if (fields < 0)
        return;
    // Only the fields the file holds are applied, in the file's order, and
    // each only within its control's range: a damaged file must not put a
    // value into the window that the next Start would send to the unit.
    int outOfRange = 0;
    auto take = [&](int field, int value, int min, int max) {
        if (field >= fields)
            return false;
        if (value >= min && value <= max)
            return true;
        ++outOfRange;
        return false;
    };
    auto word = [&s](TProgramState::Word w) { return s.words[size_t(w)]; };
    auto wordField = [](TProgramState::Word w) { return 4 + int(w); };
    auto inRange = [&](TProgramState::Word w, int min, int max) { return take(wordField(w), word(w), min, max); };
    auto inBar = [&](TProgramState::Word w, const QAbstractSlider *bar) {
        return inRange(w, bar->minimum(), bar->maximum());
    };
    if (take(0, s.language, lang::kRussian, lang::kEnglish)) {
        // The change runs even for the entry already shown, so the texts follow.
        const QSignalBlocker blocker(ComboBoxLanguage);
        ComboBoxLanguage->setCurrentIndex(s.language);
        ComboBoxLanguageChange();
    }
    if (take(1, s.o2ShowVafr, 0, 1))
        o2ShowVafr_ = s.o2ShowVafr != 0;
    if (take(2, s.descending, 0, 1))
        SpeedButtonToyota->setChecked(s.descending != 0); // passed on by its own click
    if (take(3, s.tpsShowRaw, 0, 1))
        (s.tpsShowRaw != 0 ? RadioButtonTPSN : RadioButtonTPSPercent)->setChecked(true);
    if (inRange(TProgramState::Delta, UpDown1->minimum(), UpDown1->maximum())) {
        const QSignalBlocker blocker(UpDown1);
        UpDown1->setValue(word(TProgramState::Delta));
    }
    if (inBar(TProgramState::RefO2, TrackBarRefO2))
        TrackBarRefO2->setValue(word(TProgramState::RefO2));
    // The pedal's travel is a throttle code.
    if (inRange(TProgramState::TpsMin, 0, 255))
        tpsCalibration.tpsMin = word(TProgramState::TpsMin);
    if (inRange(TProgramState::TpsMax, 0, 255))
        tpsCalibration.tpsMax = word(TProgramState::TpsMax);
    if (inBar(TProgramState::TrackBarB, TrackBarB))
        TrackBarB->setValue(word(TProgramState::TrackBarB));
    if (inBar(TProgramState::TrackBarT, TrackBarT))
        TrackBarT->setValue(word(TProgramState::TrackBarT));
    if (inRange(TProgramState::ForcedIdleRpm, 0, 65535))
        MaskEditForcedIdleRpm->setText(QString::number(word(TProgramState::ForcedIdleRpm)));
    if (inRange(TProgramState::ForcedIdleTps, 0, 65535))
        MaskEditForcedIdleTps->setText(QString::number(word(TProgramState::ForcedIdleTps)));
    if (inRange(TProgramState::MafWindowStart, 0, 255))
        corr_->setMafWindowStart(word(TProgramState::MafWindowStart));
    if (inRange(TProgramState::Spare, 0, 65535))
        spareSetting_ = word(TProgramState::Spare);
    if (inBar(TProgramState::TrackBarBCopy, TrackBarB))
        autotuningSetup_->trackBarBCopy = word(TProgramState::TrackBarBCopy);
    if (inBar(TProgramState::TrackBarTCopy, TrackBarT))
        autotuningSetup_->trackBarTCopy = word(TProgramState::TrackBarTCopy);
    showTpsCalibration();
    // A short, long or damaged file says so once, without stopping anything;
    // the next close writes a whole file.
    QStringList findings;
    const QString name = QFileInfo(fileName).fileName();
    if (size < TProgramState::kSize)
        findings << QStringLiteral("%1 holds %2 of %3 bytes: the settings it lacks keep their defaults")
                        .arg(name).arg(size).arg(TProgramState::kSize);
    else if (size > TProgramState::kSize)
        findings << QStringLiteral("%1 is longer than %2 bytes: only the first %2 were read")
                        .arg(name).arg(TProgramState::kSize);
    if (outOfRange > 0)
        findings << QStringLiteral("%1 settings of %2 out of range kept their defaults").arg(outOfRange).arg(name);
    if (!findings.isEmpty())
        statusBar()->showMessage(findings.join(QStringLiteral("; ")));
}

void TForm1::saveSettingsAs(const QString &fileName)
{
    // The settings files carry ".cfg"; a name that has it already keeps it,
    // so the file written is the one the dialog asked about replacing.
    const bool suffixed = fileName.endsWith(QStringLiteral(".cfg"), Qt::CaseInsensitive);
    programstate::save(programState(), suffixed ? fileName : fileName + QStringLiteral(".cfg"));
}

void TForm1::Nastroiki_FileOpenExecute()
{
    const QString name = tableCommands->dialogs().openFileName(
        this, {QString(), QStringLiteral("Autotuning Files (*.cfg)"), QString(), QString()});
    if (!name.isEmpty())
        loadProgramState(name);
}

void TForm1::Nastroiki_FileSaveAsExecute()
{
    // The dialog adds ".cfg" before it asks whether to replace a file.
    const QString name = tableCommands->dialogs().saveFileName(
        this, {QString(), QStringLiteral("Autotuning Files (*.cfg)"), QStringLiteral("cfg"), QStringLiteral("config")});
    if (!name.isEmpty())
        saveSettingsAs(name);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (!closed_ && !settleUnstoredEdits()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool TForm1::settleUnstoredEdits()
{
    if (!unstoredEdits() || !channel_ || !channel_->isConnected())
        return true;
    const lang::Question question = lang::unstoredEditsQuestion(ComboBoxLanguage->currentIndex());
    switch (ask(question.text, question.answers)) {
    case 0:
        ActionWriteConverterExecute();
        // A store that failed leaves the edits where they were: stay.
        return !unstoredEdits();
    case 1:
        // Asked once: the user knows, and the unit keeps them until switched off.
        memory_.leave();
        showTitle();
        return true;
    default:
        return false;
    }
}

void TForm1::imageStored()
{
    memory_.stored(table_->imageBytes(1));
    showTitle();
}

void TForm1::showTitle()
{
    const int language = ComboBoxLanguage->currentIndex();
    // The system shows the program's name beside window titles.
    QGuiApplication::setApplicationDisplayName(lang::programName(language));
    setWindowTitle(lang::windowTitle(language, unstoredEdits()));
}

void TForm1::backUpFoundTable(const QString &firmwareText)
{
    const backup::Result saved = backup::save(backup::windowFolder(), table_->imageBytes(1), firmwareText);
    const QString name = QDir::toNativeSeparators(QDir::current().relativeFilePath(saved.path));
    if (saved.ok)
        showStatus(QStringLiteral("The unit's table as found is kept in ") + name,
                   QString::fromUtf8("Таблица устройства сохранена в ") + name);
    else
        showStatus(QStringLiteral("The backup of the unit's table failed: ") + saved.error,
                   QString::fromUtf8("Не удалось сохранить копию таблицы устройства: ") + saved.error);
}

void TForm1::fillPortList()
{
    portBar_->listPorts(demoEntryText());
}

QString TForm1::portPathFor(const QString &choice)
{
    const QString text = portBar_->pathOf(choice);
#ifdef TARVIX_DEMO_UNIT
    if (text != QLatin1String(kDemoUnitEntry))
        return text;
    if (!demoUnit_) {
        demoUnit_ = sim::startDemoUnit();
    }
    return QString::fromStdString(demoUnit_->slavePath());
#else
    return text;
#endif
}

QString TForm1::demoEntryText() const
{
#ifdef TARVIX_DEMO_UNIT
    return lang::demoUnitEntry(ComboBoxLanguage ? ComboBoxLanguage->currentIndex() : lang::kEnglish);
#else
    return QString(); // no demo unit: the chooser lists the system's ports only
#endif
}

void TForm1::choosePort(const QString &text)
{
    portBar_->showChoice(text);
    ComComboBox1Change();
}

void TForm1::ComComboBox1Change()
{
    // Hiding a closed window can still make the chooser signal a choice; the
    // channel is gone by then.
    if (closed_)
        return;
    const QString text = ComComboBox1->currentText().trimmed();
    if (text.isEmpty())
        return;
    if (!settleUnstoredEdits()) {
        // Cancelled: the chooser goes back to the port in use.
        const QSignalBlocker blocker(ComComboBox1);
        portBar_->showChoice(chosenPort_);
        return;
    }
    chosenPort_ = portBar_->pathOf(text);
    // The keys go to the page now: left in the chooser they would type into
    // the port's name, and Enter would open a port of that name.
    focusPage();
    memory_.forget();
    showTitle();
    endLiveData();
    // Until this port's unit has answered, nothing of the previous unit is
    // shown or offered; Reconnect tries the chosen port again in any case.
    SpeedButtonReconnect->setEnabled(true);
    unitTexts_ = {};
    showUnitLabels();
    ActionReadCoverter->setEnabled(false);
    ActionWriteConverter->setEnabled(false);
    try {
        const LinkBusy connecting(*this, lang::LinkState::Connecting);
        const LongExchange busy(this, inLanguage(QStringLiteral("Connecting to the unit…"),
                                                 QString::fromUtf8("Подключение к устройству…")));
        TMsgSetComPort message(portPathFor(text));
        broadcaster_->broadcast(message);
        if (CheckBoxFirmwareRecovery->isChecked()) {
            // The unit is expected to sit in its boot loader: do not talk to it.
            proto::wait(300);
            channel_->clearBoth();
            return;
        }
        const device::Unit unit = device::connect(*channel_, *table_);
        const bool newest = unit.compatible && transfer::firmwareGeneration() == 2;
        unitTexts_ = {unit.info.firmwareText, unit.info.hardwareText, unit.info.oscillatorText};
        showUnitLabels();
        LabelHwVersion->setVisible(newest);
        LabelFOsc->setVisible(newest);
        if (unit.sensorRecord)
            takeSensorRecord(*unit.sensorRecord);
        if (unit.compatible && unit.tableRead) {
            imageStored();
            backUpFoundTable(unit.info.firmwareText);
        }
        if (unit.compatible) {
            ActionReadCoverter->setEnabled(true);
            ActionWriteConverter->setEnabled(true);
        }
    } catch (const std::exception &e) {
        showMessage(device::tryAgainText(e));
    }
}

void TForm1::takeSensorRecord(const kma::SensorRecord &record)
{
    sensorRecord_ = record;
    sensorSettings_->takeRecord(record);
}

void TForm1::SpeedButtonReconnectClick()
{
    if (closed_)
        return;
    if (!settleUnstoredEdits())
        return;
    endLiveData();
    try {
        channel_->closePort();
    } catch (...) {
    }
    ComComboBox1Change();
}

void TForm1::stopCommand()
{
    if (ComComboBox1->currentText().trimmed().isEmpty()) {
        showMessage(QString::fromUtf8("Please choose right COM port\n\n Пожалуйста выберите правильный COM порт"));
        return;
    }
    ActionStopExecute();
    log_->waitForReaders();
}

void TForm1::endLiveData()
{
    if (log_->recording())
        ActionStopExecute();
    // A reader still finishing its frame would read in the middle of what follows.
    log_->waitForReaders();
}

void TForm1::ActionReadCoverterExecute()
{
    stopCommand();
    const LinkBusy reading(*this, lang::LinkState::Reading);
    const LongExchange busy(this, inLanguage(QStringLiteral("Reading the table from the unit…"),
                                             QString::fromUtf8("Чтение таблицы из устройства…")));
    // One step of the history; the unit holds what was read, so nothing is sent back.
    {
        const TableEdit edit(*table_);
        if (transfer::tableRead(*table_, *channel_) != transfer::Outcome::Done)
            return;
    }
    // What the working memory holds; what the unit stores is still what it was.
    memory_.read(table_->imageBytes(1));
    showTitle();
}

void TForm1::ActionWriteConverterExecute()
{
    if (!progress_)
        return;
    endLiveData();
    const LinkBusy writing(*this, lang::LinkState::Writing);
    const LongExchange busy(this, inLanguage(QStringLiteral("Writing the table to the unit…"),
                                             QString::fromUtf8("Запись таблицы в устройство…")));
    if (transfer::fullWrite(*table_, *channel_, *progress_) != transfer::Outcome::Done)
        return;
    imageStored();
    showStatus(QStringLiteral("The table is stored in the unit and verified"),
                   QString::fromUtf8("Таблица записана в устройство и проверена"));
}

void TForm1::FileOpenFirmwareClick()
{
    const QString name = tableCommands->dialogs().openFileName(
        this, {QString(), QStringLiteral("Firmware files (*.enc)"), QString(), QString()});
    // A cancelled dialog starts nothing: an update the user did not ask for
    // could leave the unit in its boot loader.
    if (!name.isEmpty())
        updateFirmwareFrom(name);
}

QString aboutText()
{
    return QStringLiteral("Tarvix configurator %1\n\n"
                          "Configures the Tarvix contactless throttle-position sensor unit and the "
                          "air-flow-meter converter of the same family over a serial port.\n\n"
                          "Qt %2")
        .arg(QStringLiteral(TARVIX_VERSION), QString::fromLatin1(qVersion()));
}

QString proposedDateTimeName(const QDateTime &when)
{
    // Numeric in every locale: a month or day name in a file name travels badly.
    return when.toString(QStringLiteral("'D'dd_MM_yyyy'_T'HH_mm_ss"));
}

void TForm1::LogFileOpenExecute()
{
    const QString name = tableCommands->dialogs().openFileName(this, {QString(), QStringLiteral("Log Files (*.log)"),
                                                                       QString(), QString()});
    if (!name.isEmpty())
        log_->loadFromFile(name);
}

void TForm1::LogFileSaveExecute()
{
    const QString name = tableCommands->dialogs().saveFileName(
        this, {QString(), QStringLiteral("Log Files (*.log)"), QStringLiteral("log"),
               proposedDateTimeName(QDateTime::currentDateTime())});
    if (!name.isEmpty() && log_->saveToFile(name))
        showStatus(QStringLiteral("Log saved: %1").arg(QFileInfo(name).fileName()),
                   QString::fromUtf8("Лог сохранён: %1").arg(QFileInfo(name).fileName()));
}

QString TForm1::backUpBeforeUpdate()
{
    if (!channel_->isConnected())
        return QString();
    try {
        Table found;
        const device::Unit unit = device::connect(*channel_, found, {false, true, true});
        if (!unit.compatible || !unit.tableRead)
            return QString();
        const backup::Result saved = backup::save(backup::windowFolder(), found.imageBytes(1), unit.info.firmwareText);
        return saved.ok ? saved.path : QString();
    } catch (const std::exception &) {
        // No answer: the update itself will say so.
        return QString();
    }
}

bool TForm1::updateFirmwareFrom(const QString &fileName)
{
    // The unit leaves for its boot loader: nothing may stream meanwhile.
    endLiveData();
    const LinkBusy updating(*this, lang::LinkState::Updating);
    const LongExchange busy(this, inLanguage(QStringLiteral("Updating the firmware…"),
                                             QString::fromUtf8("Обновление прошивки…")));
    // The bar shows this update only (a refused file leaves it empty).
    ProgressBar1->setValue(0);
    // The closing message names the table this unit had before, which an
    // update may leave empty: the unit's own, read now. A unit in its boot
    // loader cannot tell which it is, so nothing is named rather than a guess.
    const QString before = CheckBoxFirmwareRecovery->isChecked() ? QString() : backUpBeforeUpdate();
    const firmware::Outcome outcome = firmware::update(
        *channel_, fileName, CheckBoxFirmwareRecovery->isChecked(),
        [this](int percent) {
            ProgressBar1->setValue(percent);
            keepPainting();
        },
        backup::firmwareNote(before));
    // What the unit holds after an update is not known.
    memory_.forget();
    showTitle();
    if (outcome != firmware::Outcome::Success)
        return false;
    CheckBoxFirmwareRecovery->setChecked(false);
    return true;
}

void TForm1::ActionUpgradeFirmwareOneToOneExecute()
{
    const QString name = tableCommands->dialogs().openFileName(
        this, {QString(), QStringLiteral("Firmware files (*.enc)"), QString(), QString()});
    if (!name.isEmpty())
        upgradeFirmwareOneToOneFrom(name);
}

void TForm1::upgradeFirmwareOneToOneFrom(const QString &fileName)
{
    // Only after an update that succeeded now: a bar left full by an earlier
    // update must not send a one-to-one table over a failed one.
    const bool updated = updateFirmwareFrom(fileName);
    repaint();
    if (!updated)
        return;
    {
        const TableEdit edit(*table_);
        corr_->change([this](TWindowState &w) { table_->oneToOne(w); });
    }
    ActionWriteConverterExecute();
    ComboBoxO2->setCurrentIndex(2);
    ActionStartExecute();
}

void TForm1::handleMessage(TMessage &message)
{
    switch (message.id) {
    case kMsgStartLiveData:
        clearStatus(); // a previous stream's end is old news
        ActionReadCoverter->setEnabled(false);
        ActionWriteConverter->setEnabled(false);
        ActionStart->setEnabled(false);
        ComboBoxO2->setEnabled(false);
        // A loaded log would mix with the live records.
        LogFileOpen->setEnabled(false);
        ActionStop->setEnabled(true);
        break;
    case kMsgStopLiveData:
        // Whatever stops the stream (a stream that ends by itself, a port
        // choice) leaves the unit without autocorrection first.
        releaseAutocorrection(true);
        clearStatus();
        ActionStop->setEnabled(false);
        ActionReadCoverter->setEnabled(true);
        ActionWriteConverter->setEnabled(true);
        ActionStart->setEnabled(true);
        ComboBoxO2->setEnabled(true);
        LogFileOpen->setEnabled(true);
        setDashboardColour(kIdleDashboardColour);
        dashboardView->showAutotuneState(autotune::kIdleColour, 0);
        break;
    case kMsgDashData:
        dashboardView->showRecord(static_cast<TMsgDashData &>(message));
        break;
    case kMsgAutocorrection:
        handleAutocorrectionRequest(static_cast<TMsgAutocorrection &>(message));
        break;
    case kMsgSmoothing:
        handleSmoothingRequest(static_cast<TMsgSmoothing &>(message));
        break;
    case kMsgCorrectionWindow:
        handleCorrectionWindowRequest(static_cast<TMsgCorrectionWindow &>(message));
        break;
    default:
        break;
    }
}

// ---- live data ---------------------------------------------------------------

void TForm1::ActionStartExecute()
{
    TStartCommand command;
    command.portSelected = !ComComboBox1->currentText().trimmed().isEmpty();
    command.sensorType = ComboBoxO2->currentIndex();
    TStartSettings &settings = command.settings;
    settings.maxMafSpread = UpDown1->value();
    settings.descending = SpeedButtonToyota->isChecked();
    settings.autocorrection = SpeedButtonAutocorr->isChecked();
    settings.forcedIdleRpm = tbl::parseLeadingInt(MaskEditForcedIdleRpm->text());
    settings.forcedIdleTps = tbl::parseLeadingInt(MaskEditForcedIdleTps->text());
    settings.trackBarB = barValue(TrackBarB);
    settings.trackBarT = barValue(TrackBarT);
    settings.trackBarRefO2 = barValue(TrackBarRefO2);
    const TableEdit edit(*table_);
    corr_->change([&](TWindowState &w) {
        runStartCommand(command, *log_, *table_, w, *broadcaster_, [this] { resetTrackers(); });
    });
    showLinkState();
}

void TForm1::ActionStopExecute()
{
    releaseAutocorrection(false);
    TMsgStopLiveData stop;
    broadcaster_->broadcast(stop);
    showLinkState();
}

void TForm1::releaseAutocorrection(bool quiet)
{
    if (!corr_->autocorrection())
        return;
    TStopOutcome outcome;
    // A stream that ended on a lost port has had its message; the correction
    // 0 that cannot reach the unit any more needs no second one.
    quietCorrection_ = quiet;
    corr_->change([&](TWindowState &w) { outcome = releaseAutocorrectionForStop(*log_, w); });
    quietCorrection_ = false;
    if (outcome.lockLogLimit && !LockLogLimitSpeedButton->isChecked()) {
        LockLogLimitSpeedButton->setChecked(true);
        LockLogLimitSpeedButtonClick();
    }
}

void TForm1::setDashboardColour(int colour)
{
    dashboardColour = colour;
    if (dashboardChart)
        dashboardChart->setDashboardColour(colour);
}

void TForm1::resetTrackers()
{
    dashboardView->resetTrackers();
}

void TForm1::buildDashboardViews()
{
    dashboardChart = new ChartDashboard(*table_, *broadcaster_, DashboardTabSheet);
    dashboardChart->setMinimumSize(380, 260);
    dashboardChart->setEditModeSource([this] { return corr_->editMode(); });
    connect(dashboardChart, &ChartDashboard::limitsRefused, this, [this] {
        showStatus(QStringLiteral("Min is not below Max: the points outside them were left as they are"),
                   QString::fromUtf8("Min не ниже Max: точки за ними оставлены как были"), 0);
    });
    connect(tablePage->graph(), &ChartTableGraph::seriesSelected, dashboardChart, &ChartDashboard::setEditedSeries);
    dashboardView = new DashboardView(*table_, tpsCalibration, dashboardChart, DashboardTabSheet);
    DashboardControls controls;
    controls.idleSwitchInverted = CheckBoxIdleSwitch;
    controls.fullSwitchInverted = CheckBoxFullSwitch;
    controls.descending = SpeedButtonToyota;
    controls.logLimitLock = LockLogLimitSpeedButton;
    controls.autocorrection = SpeedButtonAutocorr;
    controls.manualBorders = SpeedButtonManualBorders;
    controls.logLimit = LogLimitTrackBar;
    dashboardView->setControls(controls);
    dashboardView->setSensorAngleSource([this] { return sensorRecord_.angle; });
    dashboardArea_->addWidget(dashboardChart, 1);
    dashboardArea_->addWidget(dashboardView);
    auto *gaugesPage = new QVBoxLayout(TabSheet1);
    gaugesPage->addWidget(dashboardView->factoryTestGroup());
    dashboardView->factoryTestGroup()->show();
    gaugesPage->addStretch(1);
    dashboardChart->bind();
    buildThrottlePanel();
    // Track bars give the focus away: the arrow keys belong to the window's edits.
    for (QSlider *bar : findChildren<QSlider *>())
        bar->setFocusPolicy(Qt::NoFocus);
}

void TForm1::applyCorrection()
{
    const TableEdit edit(*table_);
    const CorrectionTarget target = corr_->target();
    corr_->change([&](TWindowState &w) {
        if (target == CorrectionTarget::Table)
            table_->applyToTable(w);
        else if (table_->temperatureCorrections())
            table_->applyTemperatureCorrection(target == CorrectionTarget::IAT ? TempTarget::IAT : TempTarget::ECT,
                                               w.correction, w);
    });
}

void TForm1::buildTableCommands()
{
    tableCommands = new TableCommands(*table_, *compare_, this);
    tableCommands->proposedName = [] { return proposedDateTimeName(QDateTime::currentDateTime()); };
    tableCommands->saved = [this](const QString &file) {
        const QString name = QFileInfo(file).fileName();
        showStatus(QStringLiteral("Table saved: %1").arg(name), QString::fromUtf8("Таблица сохранена: %1").arg(name));
    };
    tableCommands->status = [this](const QString &english, const QString &russian) {
        showStatus(english, russian, 0);
    };
    tableCommands->oneToOneHandler = [this](std::optional<float> volts) {
        const TableEdit edit(*table_);
        corr_->change([&](TWindowState &w) { table_->oneToOne(w, volts); });
    };
    auto *row = new QHBoxLayout;
    row->addWidget(tableCommands->makeUndoButton(DashboardTabSheet, QStringLiteral("SpeedButtonUndo1")));
    row->addWidget(tableCommands->makeRedoButton(DashboardTabSheet, QStringLiteral("SpeedButtonRedo1")));
    row->addWidget(tableCommands->makeExtrapolateButton(DashboardTabSheet));
    auto commandButton = [&](const char *name, const QString &text, const QString &tip) {
        auto *button = named(new QToolButton(DashboardTabSheet), name);
        button->setText(text);
        button->setToolTip(tip);
        row->addWidget(button);
        return button;
    };
    QToolButton *f7 = commandButton("SpeedButtonSetBeginOfTableAsLearned", QStringLiteral("F7"),
                                    QStringLiteral("Set the beginning of the table up to the window start as learned"));
    connect(f7, &QToolButton::clicked, this, [this] {
        const TableEdit edit(*table_);
        corr_->change([this](TWindowState &w) {
            // The operation works on a window of one point; the end comes back afterwards.
            const int end = w.windowEnd;
            w.windowEnd = w.windowStart;
            table_->setBeginOfTableAsLearnedCommand(w);
            w.windowEnd = end;
        });
    });
    QToolButton *clearWindow = commandButton("SpeedButtonClrCorrWindow", QStringLiteral("O"),
                                             QStringLiteral("Clear the learned points of the correction window"));
    connect(clearWindow, &QToolButton::clicked, this, &TForm1::clearCorrectionWindow);
    QToolButton *clearAll = commandButton("ButtonClrAllLearned", QStringLiteral("P"),
                                          QStringLiteral("Clear every learned point above the learned beginning"));
    clearAll->hide();
    clearAll->setEnabled(false);
    connect(clearAll, &QToolButton::clicked, this, [this] {
        const TableEdit edit(*table_);
        corr_->change([this](TWindowState &w) { table_->clearAllLearnedCommand(w); });
    });
    row->addStretch(1);
    throttleArea_->addLayout(row);
    QWidget *graph = tablePage->graphSheet();
    tablePage->addGraphTool(tableCommands->makeUndoButton(graph, QStringLiteral("SpeedButtonUndo3")));
    tablePage->addGraphTool(tableCommands->makeRedoButton(graph, QStringLiteral("SpeedButtonRedo3")));
    tablePage->addGraphTool(tableCommands->makeButton1(graph));
    tablePage->addGraphTool(tableCommands->makeExtrapolateSwitch(graph));
    connect(tableCommands, &TableCommands::historyMoved, logPage, &LogPage::redraw);
    logPage->addTool(tableCommands->makeUndoButton(logPage, QStringLiteral("SpeedButtonUndo2")));
    logPage->addTool(tableCommands->makeRedoButton(logPage, QStringLiteral("SpeedButtonRedo2")));
    connect(logPage, &LogPage::magicLearnRequested, this, [this] {
        const TableEdit edit(*table_);
        log_->magicLearn(ComboBoxO2->currentIndex(), SpeedButtonToyota->isChecked());
        logPage->redraw();
    });
    connect(MainPageControl, &QTabWidget::currentChanged, logPage->chart(), &ChartLog::releaseLatched);
}

void TForm1::buildAdvancedPages()
{
    advancedPages = new AdvancedPages(this);
    advancedPages->addPage(MainPageControl, TableTabSheet);
    advancedPages->addPage(MainPageControl, LogTabSheet);
    advancedPages->addPage(MainPageControl, TabSheet1);
    advancedPages->addPage(PageControl1, TabSheetAutotuningSetup);
    // The full-throttle smoothing option is offered with the autotuning options.
    connect(advancedPages, &AdvancedPages::toggled, CheckBoxWotCorr, &QWidget::setVisible);
    advancedPages->addCommand(ActionUpgradeFirmwareOneToOne);
    advancedPages->addCommand(tableCommands->ActionNullTable);
    buildMenuBars();
    advancedPages->restore();
}

void TForm1::buildMenuBars()
{
    menuBars = new MenuBars(this);
    setMenuWidget(menuBars);
    MenuCommands commands;
    commands.logOpen = LogFileOpen;
    commands.logSave = LogFileSave;
    commands.logExportCsv = logPage->exportCsvAction();
    commands.read = ActionReadCoverter;
    commands.write = ActionWriteConverter;
    commands.start = ActionStart;
    commands.stop = ActionStop;
    commands.editMode = ActionEdit;
    commands.settingsOpen = Nastroiki_FileOpen;
    commands.settingsSave = Nastroiki_FileSaveAs;
    commands.firmwareUpdate = FileOpenFirmware;
    commands.firmwareOneToOne = ActionUpgradeFirmwareOneToOne;
    commands.advancedPages = advancedPages->action();
    commands.about = ActionAbout;
    menuBars->fill(*tableCommands, commands);
    for (QTabWidget *pages : {MainPageControl, PageControl1, tablePage->pageControl()})
        connect(pages, &QTabWidget::currentChanged, this, &TForm1::showMenuBarOfPage);
    showMenuBarOfPage();
}

void TForm1::showMenuBarOfPage()
{
    QWidget *page = MainPageControl->currentWidget();
    int bar = MenuBars::Plain;
    if (page == DashboardTabSheet)
        bar = MenuBars::Dashboard;
    else if (page == LogTabSheet)
        bar = MenuBars::Log;
    else if (page == SetupTabSheet)
        bar = PageControl1->currentWidget() == TabSheetAutotuningSetup ? MenuBars::Options : MenuBars::Firmware;
    else if (page == TableTabSheet)
        bar = tablePage->pageControl()->currentWidget() == tablePage->graphSheet() ? MenuBars::TableGraph
                                                                                    : MenuBars::Compare;
    if (menuBars)
        menuBars->show(bar);
}

void TForm1::buildThrottlePanel()
{
    throttlePanel = new ThrottlePanel(*table_, DashboardTabSheet);
    auto *group = named(new QGroupBox(QStringLiteral("Throttle sensor"), DashboardTabSheet), "GroupBoxThrottlePanel");
    auto *box = new QVBoxLayout(group);
    box->setContentsMargins(2, 2, 2, 2);
    box->addWidget(throttlePanel);
    throttleArea_->addWidget(group);
    LabelRefVoltage = throttlePanel->label(QStringLiteral("LabelRefVoltage"));
    LabelSmoothTPSSignal = throttlePanel->label(QStringLiteral("LabelSmoothTPSSignal"));
    ActionEdit = throttlePanel->editMenu()->menuAction();
    connect(throttlePanel, &ThrottlePanel::modeSelected, this, &TForm1::editModeChosen);
    ThrottleEditorControls controls;
    controls.smoothing = trackBars[tbl::TrackBarMafSm];
    controls.corrPanel = CorrPanel;
    controls.bordersPanel = MafBordersSliderPanel;
    throttleEditor = new ThrottleEditor(*table_, *corr_, controls, [this] { applyCorrection(); }, this);
    throttlePanel->setSmoothing(trackBars[tbl::TrackBarMafSm]->value());
    connect(parameters_, &ParameterPanel::smoothingChanged, throttlePanel, &ThrottlePanel::setSmoothing);
    // The switch pictures toggle their inversion on a double click.
    for (QLabel *picture : {dashboardView->IdleSwOnImage, dashboardView->IdleSwOffImage, dashboardView->FullSwOnImage,
                            dashboardView->FullSwOffImage})
        picture->installEventFilter(this);
}

// ---- correction window and correction value -------------------------------------

void TForm1::buildCorrectionWindow()
{
    corr_ = new CorrectionWindow(*table_, this);
    corr_->recording = [this] { return log_ && log_->recording(); };
    correctionGroup_->bind(*corr_);
    correctionGroup_->setTemperatureTargets(table_->temperatureCorrections());
    // What the unit works with follows the model: the window command with
    // every move, the live correction with every change outside the
    // auxiliary modes, and 0 whenever the correction goes back to 0.
    connect(corr_, &CorrectionWindow::windowMoved, this, [this] {
        if (channel_->isConnected())
            runReported(*channel_, [this] { proto::correctionWindowCommand(*channel_); });
    });
    connect(corr_, &CorrectionWindow::correctionChanged, this, [this](int value, bool live) {
        if (live)
            log_->setCorrectionValue(value);
        if (live || (value == 0 && unitCorrection_ != 0))
            sendLiveCorrection(value);
    });
    connect(corr_, &CorrectionWindow::autocorrectionChanged, this, [this](bool down) {
        log_->setAutocorrection(down, CheckBoxWotCorr->isChecked());
        if (!down)
            corr_->setCorrection(0);
    });
    // Whatever replaced the image, the point modes show the point it holds.
    table_->observe([this](TableChange change) {
        if (change == TableChange::Image)
            corr_->followImage();
    });
}

void TForm1::setTemperatureCorrections(bool on)
{
    for (Table *t : {table_.get(), compare_.get()})
        t->setTemperatureCorrections(on);
    correctionGroup_->setTemperatureTargets(on);
    table_->refresh();
    compare_->refresh();
}

void TForm1::sendLiveCorrection(int value)
{
    if (!channel_->isConnected())
        return;
    if (quietCorrection_) {
        try {
            proto::liveCorrection(*channel_, value);
            unitCorrection_ = value;
        } catch (const std::exception &) {
        }
        return;
    }
    if (runReported(*channel_, [this, value] { proto::liveCorrection(*channel_, value); }))
        unitCorrection_ = value;
}

void TForm1::SpeedButtonToyotaClick()
{
    const bool down = SpeedButtonToyota->isChecked();
    table_->setDescending(down);
    compare_->setDescending(down);
    log_->setDescending(down);
}

// ---- requests of the live tick and the charts ------------------------------------------

void TForm1::handleAutocorrectionRequest(const TMsgAutocorrection &request)
{
    // A commit of the loop is one edit: one snapshot, one quick write.
    const TableEdit edit(*table_);
    autotune::RequestOutcome outcome;
    const autotune::Limits limits = autotuningSetup_->limits();
    corr_->change(
        [&](TWindowState &w) { outcome = autotune::applyAutocorrectionRequest(request, *table_, w, limits); });
    if (outcome.colour) {
        setDashboardColour(*outcome.colour);
        dashboardView->showAutotuneState(*outcome.colour, request.reason);
    }
}

void TForm1::handleSmoothingRequest(const TMsgSmoothing &request)
{
    const TableEdit edit(*table_);
    corr_->change([&](TWindowState &w) { autotune::applySmoothingRequest(request, *table_, w); });
}

void TForm1::handleCorrectionWindowRequest(const TMsgCorrectionWindow &request)
{
    corr_->moveTo(request.position);
    if (request.clearSet())
        corr_->change([this](TWindowState &w) { table_->clearCorrectionWindowCommand(w); });
}

// ---- oxygen sensor and autotuning options -------------------------------------------

void TForm1::showO2Setpoints()
{
    const TVerticalBar &ref = o2Setpoints_.reference();
    const TVerticalBar &target = o2Setpoints_.target();
    setSilently(TrackBarRefO2, ref.min, ref.max, ref.position);
    setSilently(TrackBarLogO2Target, target.min, target.max, target.position);
    LabelRefO2->setText(o2Setpoints_.labelRefO2);
    LabelLogO2RefFromDash->setText(o2Setpoints_.labelLogO2RefFromDash);
    LabelRefO2FromDashInPercent->setText(o2Setpoints_.labelRefO2FromDashInPercent);
    LabelRefO2Log->setText(o2Setpoints_.labelRefO2Log);
    LabelLogMixtuePercent->setText(o2Setpoints_.labelLogMixturePercent);
}

void TForm1::ComboBoxO2Change()
{
    const int type = ComboBoxO2->currentIndex();
    if (type < 0)
        return;
    log_->setSensorType(type);
    o2Setpoints_.sensorTypeChanged(type);
    showO2Setpoints();
    MaskEditO2REF->setText(o2Setpoints_.o2RefEditText);
}

void TForm1::TrackBarRefO2Change()
{
    o2Setpoints_.referencePositionChanged(TrackBarRefO2->value());
    showO2Setpoints();
}

void TForm1::TrackBarLogO2TargetChange()
{
    o2Setpoints_.targetPositionChanged(TrackBarLogO2Target->value());
    showO2Setpoints();
}

void TForm1::LockLogLimitSpeedButtonClick()
{
    LogLimitTrackBar->setEnabled(!LockLogLimitSpeedButton->isChecked());
}

void TForm1::LogLimitTrackBarChange()
{
    if (LockLogLimitSpeedButton->isChecked())
        return;
    const int limit = barValue(LogLimitTrackBar);
    Label30->setText(QString::number(limit));
    log_->setMafLimit(limit);
    table_->setMaxMafPosition(limit);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick && dashboardView) {
        const bool idle = watched == dashboardView->IdleSwOnImage || watched == dashboardView->IdleSwOffImage;
        const bool full = watched == dashboardView->FullSwOnImage || watched == dashboardView->FullSwOffImage;
        if (idle || full) {
            QCheckBox *box = idle ? CheckBoxIdleSwitch : CheckBoxFullSwitch;
            box->toggle();
            sensorSettings_->inversionClicked(idle);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- throttle sensor panel ---------------------------------------------------------

void TForm1::editModeChosen(int mode)
{
    // Entering a point mode puts its point on the window start; an image
    // whose two switch slots differed is made whole, as one edit.
    const TableEdit edit(*table_);
    corr_->setEditMode(mode);
}

void TForm1::ButtonCalibrateKMAClick()
{
    // The record follows the lists whether or not the unit is there.
    sensorRecord_ = sensorSettings_->recordFromLists();
    if (!sensorSettings_->angleChosen() || !channel_->isPortOpen())
        return;
    if (!runReported(*channel_, [this] { proto::sensorCalibration(*channel_, kma::encodeRecord(sensorRecord_)); }))
        return;
    // The unit needs its 15 seconds; the window waits under the countdown.
    TCalibrationOverlayForm overlay(this);
    overlay.countDown(calibrationSeconds, calibrationTickMs);
}

void TForm1::ButtonCalibrateClick()
{
    if (!channel_->isPortOpen())
        return;
    ActionStartExecute();
    showMessage(QString::fromUtf8("Release accelerator pedal fully, then press OK\n\n"
                                  "Поностью отпустите педаль акселератора и нажмите OK"));
    showMessage(QString::fromUtf8("Depress accelerator pedal down to the floor , then press OK\n"
                                  "To reset calibration to 0-255 values don't tuch accelerator pedal and press OK\n\n"
                                  "Выжмите педаль акселератора до пола и нажмите ОК\n"
                                  "Для сброса калибровок в значения0-255 не трогайте педаль акселератора и нажмите ОК"));
    ActionStopExecute();
    // A unit that sent nothing leaves the earlier recording in the log: it
    // calibrates nothing, the range goes back to 0..255.
    std::vector<int> samples;
    if (log_->holdsLastStream()) {
        samples.reserve(size_t(log_->count()));
        for (int i = 0; i < log_->count(); ++i)
            samples.push_back(log_->value(ColTps, i));
    }
    tpsCalibration = pedalCalibration(samples);
    showTpsCalibration();
}

void TForm1::showTpsCalibration()
{
    LabelTpsMin->setText(QStringLiteral("Min=") + QString::number(tpsCalibration.tpsMin));
    LabelTpsMax->setText(QStringLiteral("Max=") + QString::number(tpsCalibration.tpsMax));
}

void TForm1::buildKeys()
{
    WindowKeyCommands c;
    c.onDashboard = [this] { return MainPageControl->currentWidget() == DashboardTabSheet; };
    c.arrowPressed = [this](int key) { throttleEditor->arrowPressed(key); };
    c.arrowReleased = [this](bool vertical) { throttleEditor->released(vertical); };
    c.clearWindow = [this] { clearCorrectionWindow(); };
    c.showPage = [this](int n) {
        // The N-th page whose tab shows.
        for (int i = 0; n > 0 && i < MainPageControl->count(); ++i) {
            if (MainPageControl->isTabVisible(i) && --n == 0)
                MainPageControl->setCurrentIndex(i);
        }
        focusPage();
    };
    c.autocorrectionOffered = [this] { return SpeedButtonAutocorr->isEnabled(); };
    c.toggleAutocorrection = [this] { corr_->setAutocorrection(!corr_->autocorrection()); };
    c.startOrStop = [this] {
        if (ActionStart->isEnabled())
            ActionStartExecute();
        else
            ActionStopExecute();
    };
    c.openTable = [this] { tableCommands->TabFileOpen->trigger(); };
    c.saveTable = [this] { tableCommands->TabFileSave->trigger(); };
    // Ctrl+Z acts on the table of the page shown; the comparison keeps no
    // history, and the main table's step must not be taken back from there.
    c.undo = [this] {
        if (!comparisonShown())
            tableCommands->undo();
    };
    c.redo = [this] {
        if (!comparisonShown())
            tableCommands->redo();
    };
    c.toggleManualBorders = [this] { corr_->setManualBorders(!corr_->manualBorders()); };
    c.toggleDescending = [this] {
        SpeedButtonToyota->toggle();
        SpeedButtonToyotaClick();
    };
    keys_ = new WindowKeys(this, *table_, std::move(c));
}

void TForm1::clearCorrectionWindow()
{
    const TableEdit edit(*table_);
    corr_->change([this](TWindowState &w) { table_->clearCorrectionWindowCommand(w); });
}

// ---- language ----------------------------------------------------------------------

void TForm1::showLinkState()
{
    if (!portBar_ || !ComboBoxLanguage)
        return;
    using lang::LinkState;
    LinkState state = LinkState::NoUnit;
    if (busyLink_)
        state = LinkState(*busyLink_);
    else if (channel_ && channel_->portLostReported())
        state = LinkState::Lost;
    else if (log_ && log_->recording())
        state = LinkState::Live;
    else if (!unitTexts_[0].isEmpty())
        state = LinkState::Connected;
    if (state == LinkState::Lost) {
        ActionReadCoverter->setEnabled(false);
        ActionWriteConverter->setEnabled(false);
    }
    QColor colour(128, 128, 128);
    switch (state) {
    case LinkState::Connected:
        colour = QColor(0, 128, 0);
        break;
    case LinkState::Live:
        colour = QColor(0, 90, 200);
        break;
    case LinkState::Lost:
        colour = QColor(200, 0, 0);
        break;
    case LinkState::NoUnit:
        break;
    default:
        colour = QColor(190, 110, 0); // busy
    }
    const QString text = lang::linkStateText(ComboBoxLanguage->currentIndex(), state, unitTexts_[0], unitTexts_[1]);
    if (portBar_->LabelConnectionState->text() != text)
        portBar_->showLinkState(text, colour);
}

void TForm1::showUnitLabels()
{
    const int language = ComboBoxLanguage->currentIndex();
    LabelFirmware->setText(lang::unitLabel(language, lang::UnitLabel::Firmware, unitTexts_[0]));
    // Nothing known, nothing shown.
    LabelHwVersion->setText(unitTexts_[1].isEmpty() ? QString()
                                                    : lang::unitLabel(language, lang::UnitLabel::Hardware, unitTexts_[1]));
    LabelFOsc->setText(unitTexts_[2].isEmpty() ? QString()
                                               : lang::unitLabel(language, lang::UnitLabel::Oscillator, unitTexts_[2]));
}

bool TForm1::comparisonShown()
{
    if (MainPageControl->currentWidget() != TableTabSheet
        || tablePage->pageControl()->currentWidget() != tablePage->compareSheet())
        return false;
    showStatus(QStringLiteral("The comparison keeps no undo history: Ctrl+Z does nothing here"),
               QString::fromUtf8("У сравнения нет истории правок: Ctrl+Z здесь ничего не делает"), 0);
    return true;
}

void TForm1::focusPage()
{
    MainPageControl->setFocus(Qt::OtherFocusReason);
}

QString TForm1::inLanguage(const QString &english, const QString &russian) const
{
    return lang::isEnglish(ComboBoxLanguage->currentIndex()) ? english : russian;
}

void TForm1::clearStatus()
{
    status_ = {};
    statusBar()->clearMessage();
}

bool TForm1::event(QEvent *event)
{
    // A menu item or control with no tip of its own, passed by the pointer,
    // would clear the status line: the last event stays told instead, on
    // every page, until the next one.
    if (event->type() == QEvent::StatusTip && static_cast<QStatusTipEvent *>(event)->tip().isEmpty()) {
        if (!status_.first.isEmpty())
            statusBar()->showMessage(lang::isEnglish(ComboBoxLanguage->currentIndex()) ? status_.first : status_.second);
        else
            statusBar()->clearMessage();
        return true;
    }
    return QMainWindow::event(event);
}

void TForm1::showStatus(const QString &english, const QString &russian, int ms)
{
    status_ = {english, russian};
    statusBar()->showMessage(lang::isEnglish(ComboBoxLanguage->currentIndex()) ? english : russian, ms);
}

void TForm1::ComboBoxLanguageChange()
{
    applyLanguage(ComboBoxLanguage->currentIndex());
}

void TForm1::fitInto(const QRect &available)
{
    pages_->fitWindowInto(available);
}

void TForm1::applyLanguage(int language)
{
    lang::useQtTranslations(language);
    lang::applyCaptions(this, language);
    portBar_->setDemoText(demoEntryText());
    MainPageControl->setTabToolTip(MainPageControl->indexOf(MainTabSheet), lang::mainPageTip(language));
    showTitle();
    showLinkState();
    // The status line still showing the last event tells it in the new language.
    const QString shown = statusBar()->currentMessage();
    if (!shown.isEmpty() && (shown == status_.first || shown == status_.second))
        statusBar()->showMessage(lang::isEnglish(language) ? status_.first : status_.second);
    if (LabelFirmware)
        showUnitLabels();
    if (dashboardView)
        dashboardView->setLanguage(lang::isEnglish(language));
    if (parameters_)
        parameters_->setEnglish(lang::isEnglish(language));
    if (ComboBoxO2) {
        const QStringList names = o2::sensorNames(lang::isEnglish(language));
        for (int i = 0; i < ComboBoxO2->count() && i < names.size(); ++i)
            ComboBoxO2->setItemText(i, names.at(i));
    }
    lang::applyToolTips(this, language);
    if (menuBars) {
        std::vector<QMenuBar *> bars;
        for (int i = 0; i < MenuBars::Plain; ++i)
            bars.push_back(menuBars->bar(i));
        lang::applyMenuCaptions(bars, language);
    }
    if (tablePage) {
        for (ChartBase *chart : std::initializer_list<ChartBase *>{tablePage->graph(), tablePage->compare(),
                                                                   dashboardChart}) {
            chart->yAxis->setLabel(lang::tableAxisTitle(language));
            chart->replot();
        }
        const QStringList titles = lang::logAxisTitles(language);
        logPage->chart()->yAxis->setLabel(titles.value(0));
        logPage->chart()->xAxis->setLabel(titles.value(1));
        logPage->chart()->replot();
    }
    // All lines at once: the help then reads from its first line.
    Memo1->setPlainText(lang::helpLines(language).join(QLatin1Char('\n')));
    soundFolder_ = lang::soundFolder(language, soundFolder_);
    // The smoothing label and, in the smoothing mode, the edit menu follow.
    throttlePanel->setRussian(!lang::isEnglish(language));
    if (throttlePanel->mode() == EditSmoothing)
        throttlePanel->chooseMode(EditSmoothing);
    fitCaptions(this);
    // Longer captions may need a larger window.
    if (const QScreen *where = screen())
        pages_->keepWindowMinimum(where->availableGeometry());
}
