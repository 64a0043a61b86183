#include "app/Unit1.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include "app/Unit2.h"
#include "link/Firmware.h"
#include "link/MessageSink.h"
#include "link/Protocol.h"
#include "link/TableTransfer.h"
#include "sim/Emulator.h"
#include "table/TableCommon.h"
#include "table/TableParams.h"
#include "table/Table_iat_ect_corr.h"

const char *const TForm1::kDemoUnitEntry = "Demo unit (emulated)";

namespace {
const char *const kTryAgain = "Try again!\nПопробуйте еще раз!";

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

template <typename W>
W *named(W *widget, const char *objectName)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

// A three-digit parameter box.
QLineEdit *paramEdit(QWidget *parent, const QString &objectName)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setValidator(new QIntValidator(0, 999, edit));
    edit->setMaxLength(3);
    edit->setMaximumWidth(56);
    return edit;
}

// Binds the table's parameters to eight edit boxes (index = slot - 256).
class LineEditFields : public tbl::ParamFields {
public:
    explicit LineEditFields(const std::array<QLineEdit *, 8> &edits) : edits_(edits) {}
    QString text(int param) const override { return edits_.at(size_t(param))->text(); }
    void setText(int param, const QString &text) override { edits_.at(size_t(param))->setText(text); }

private:
    std::array<QLineEdit *, 8> edits_;
};

// Object names of the parameter boxes by parameter index.
const std::array<const char *, 8> kMainEditNames = {"MaskEditMafTime", "MaskEditTreshold", "MaskEditEnrichmentFactor",
                                                    "MaskEditEnleanmentFactor", "MaskEditSmoothMaf", "MaskEditTps",
                                                    "MaskEditRpm", "MaskEditTpsThreshold"};
const std::array<const char *, 8> kCompareEditStems = {"MaskEditMafTime%1Compare", "MaskEditTreshold%1Compare",
                                                       "MaskEditEnrichmentFactor%1Compare",
                                                       "MaskEditEnleanmentFactor%1Compare", "MaskEditMaf%1Compare",
                                                       "MaskEditTps%1Compare", "MaskEditRpm%1Compare",
                                                       "MaskEditTpsThreshold%1Compare"};
const std::array<const char *, 8> kParamCaptions = {"MAF sampling, 1/100 s", "Trigger threshold", "Enrichment +%",
                                                    "Enrichment decay -%", "MAF smoothing %", "TPS smoothing %",
                                                    "RPM smoothing %", "Table 2 at TPS >"};
const std::array<const char *, 7> kTrackBarCaptions = {"MAF smoothing", "TPS smoothing", "RPM smoothing",
                                                       "MAF sampling", "Trigger threshold", "Enrichment",
                                                       "Enrichment decay"};
} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    buildControls();
    FormCreate();
}

TForm1::~TForm1()
{
    FormClose();
}

void TForm1::buildControls()
{
    setWindowTitle(QStringLiteral("Tarvix configurator"));
    resize(1000, 680);

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);

    auto *portRow = new QHBoxLayout;
    ComComboBox1 = named(new QComboBox(central), "ComComboBox1");
    ComComboBox1->setEditable(true);
    ComComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComComboBox1->setMinimumWidth(220);
    ComComboBox1->setToolTip(QStringLiteral("Serial port of the unit; type a device path and press Enter"));
    SpeedButtonReconnect = named(new QToolButton(central), "SpeedButtonReconnect");
    SpeedButtonReconnect->setText(QStringLiteral("Reconnect"));
    SpeedButtonReconnect->setEnabled(false);
    LabelFirmware = named(new QLabel(QStringLiteral("FW_Version:"), central), "LabelFirmware");
    LabelHwVersion = named(new QLabel(central), "LabelHwVersion");
    LabelFOsc = named(new QLabel(central), "LabelFOsc");
    portRow->addWidget(new QLabel(QStringLiteral("Port:"), central));
    portRow->addWidget(ComComboBox1);
    portRow->addWidget(SpeedButtonReconnect);
    portRow->addSpacing(16);
    portRow->addWidget(LabelFirmware);
    portRow->addSpacing(12);
    portRow->addWidget(LabelHwVersion);
    portRow->addSpacing(12);
    portRow->addWidget(LabelFOsc);
    portRow->addStretch(1);
    column->addLayout(portRow);

    MainPageControl = named(new QTabWidget(central), "MainPageControl");
    MainTabSheet = makePage(MainPageControl, "MainTabSheet", QStringLiteral("Main"));
    DashboardTabSheet = makePage(MainPageControl, "DashboardTabSheet", QStringLiteral("Dashboard"));
    SetupTabSheet = makePage(MainPageControl, "SetupTabSheet", QStringLiteral("Settings"));
    TableTabSheet = makePage(MainPageControl, "TableTabSheet", QStringLiteral("Table"));
    LogTabSheet = makePage(MainPageControl, "LogTabSheet", QStringLiteral("Log"));
    TabSheet1 = makePage(MainPageControl, "TabSheet1", QStringLiteral("Gauges"));
    column->addWidget(MainPageControl, 1);
    setCentralWidget(central);

    ActionReadCoverter = makeAction(this, "ActionReadCoverter", QString::fromUtf8("Считать из конвертера"), false);
    ActionWriteConverter = makeAction(this, "ActionWriteConverter", QString::fromUtf8("Записать в конвертер"), false);
    ActionStart = makeAction(this, "ActionStart", QStringLiteral("Start"), true);
    ActionStop = makeAction(this, "ActionStop", QStringLiteral("Stop"), false);
    FileOpenFirmware = makeAction(this, "FileOpenFirmware", QString::fromUtf8("Обновить из файла"), true);
    QMenu *converter = menuBar()->addMenu(QStringLiteral("Converter"));
    converter->addAction(ActionReadCoverter);
    converter->addAction(ActionWriteConverter);
    converter->addSeparator();
    converter->addAction(ActionStart);
    converter->addAction(ActionStop);

    // Main page: sensor settings, converter commands, parameter track bars.
    auto *mainColumn = new QVBoxLayout(MainTabSheet);
    auto *mainRow = new QHBoxLayout;
    mainRow->addWidget(buildContactlessGroup(MainTabSheet));
    auto *commands = new QVBoxLayout;
    for (QAction *action : {ActionReadCoverter, ActionWriteConverter}) {
        auto *button = new QToolButton(MainTabSheet);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setMinimumWidth(200);
        commands->addWidget(button);
    }
    LabelRefVoltage = named(new QLabel(MainTabSheet), "LabelRefVoltage");
    commands->addWidget(LabelRefVoltage);
    commands->addStretch(1);
    mainRow->addLayout(commands);
    mainRow->addStretch(1);
    mainColumn->addLayout(mainRow);
    mainColumn->addWidget(buildParameterGroup(MainTabSheet));
    mainColumn->addStretch(1);

    // Settings page: firmware update.
    auto *setupColumn = new QVBoxLayout(SetupTabSheet);
    SetupPageControl = named(new QTabWidget(SetupTabSheet), "SetupPageControl");
    TabSheetFirmwareUpdate = makePage(SetupPageControl, "TabSheetFirmwareUpdate", QStringLiteral("Firmware update"));
    auto *firmwareColumn = new QVBoxLayout(TabSheetFirmwareUpdate);
    auto *openButton = new QToolButton(TabSheetFirmwareUpdate);
    openButton->setDefaultAction(FileOpenFirmware);
    openButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ProgressBar1 = named(new QProgressBar(TabSheetFirmwareUpdate), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    CheckBoxFirmwareRecovery = named(
        new QCheckBox(QString::fromUtf8("Восстановление прошивки/Firmware Recovery"), TabSheetFirmwareUpdate),
        "CheckBoxFirmwareRecovery");
    firmwareColumn->addWidget(openButton, 0, Qt::AlignLeft);
    firmwareColumn->addWidget(ProgressBar1);
    firmwareColumn->addWidget(CheckBoxFirmwareRecovery);
    firmwareColumn->addStretch(1);
    setupColumn->addWidget(SetupPageControl);

    // Table page: the compare view's two sets of parameter boxes.
    auto *tableColumn = new QVBoxLayout(TableTabSheet);
    tableColumn->addWidget(buildCompareView(TableTabSheet));
    tableColumn->addStretch(1);

    // A pick from the list chooses at once; a typed path is chosen with Enter.
    connect(ComComboBox1, QOverload<int>::of(&QComboBox::activated), this, [this](int) { ComComboBox1Change(); });
    // Enter on a listed name already activates its entry; only a typed path
    // needs this. The combo box hands one Enter to its line edit twice, so
    // the choice runs once, after the key has been handled.
    connect(ComComboBox1->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (typedChoicePending_ || ComComboBox1->findText(ComComboBox1->currentText()) >= 0)
            return;
        typedChoicePending_ = true;
        QTimer::singleShot(0, this, [this] {
            typedChoicePending_ = false;
            ComComboBox1Change();
        });
    });
    connect(SpeedButtonReconnect, &QToolButton::clicked, this, &TForm1::SpeedButtonReconnectClick);
    connect(ActionReadCoverter, &QAction::triggered, this, &TForm1::ActionReadCoverterExecute);
    connect(ActionWriteConverter, &QAction::triggered, this, &TForm1::ActionWriteConverterExecute);
    connect(FileOpenFirmware, &QAction::triggered, this, &TForm1::FileOpenFirmwareClick);
}

QWidget *TForm1::buildContactlessGroup(QWidget *parent)
{
    GroupBoxContactlessSettings = named(new QGroupBox(QStringLiteral("Contactless sensor settings"), parent),
                                        "GroupBoxContactlessSettings");
    auto *form = new QFormLayout(GroupBoxContactlessSettings);
    ComboBoxKmaSensorType = named(new QComboBox(GroupBoxContactlessSettings), "ComboBoxKmaSensorType");
    ComboBoxKmaSensorType->addItems({"Pajero/Delica 4M40", "Pajero/Delica 4M40 EFI", "Mazda WL-T", "Isuzu", "Nissan",
                                     "Korvel"});
    ComboBoxKmaAngleDegrees = named(new QComboBox(GroupBoxContactlessSettings), "ComboBoxKmaAngleDegrees");
    ComboBoxKmaDirection = named(new QComboBox(GroupBoxContactlessSettings), "ComboBoxKmaDirection");
    ComboBoxKmaDirection->addItems({QString::fromUtf8("←"), QString::fromUtf8("→")});
    ComboBoxKmaCalAtMinOrMaxAngle = named(new QComboBox(GroupBoxContactlessSettings), "ComboBoxKmaCalAtMinOrMaxAngle");
    ComboBoxKmaCalAtMinOrMaxAngle->addItems({QString::fromUtf8("Min. α"), QString::fromUtf8("Max. α")});
    ComboBoxKmaCalAtMinOrMaxAngle->setCurrentIndex(1);
    CheckBoxIdleSwitch = named(new QCheckBox(QStringLiteral("Idle switch"), GroupBoxContactlessSettings),
                               "CheckBoxIdleSwitch");
    CheckBoxFullSwitch = named(new QCheckBox(QStringLiteral("Full load switch"), GroupBoxContactlessSettings),
                               "CheckBoxFullSwitch");
    ButtonCalibrateKMA = named(new QPushButton(QStringLiteral("Calibrate"), GroupBoxContactlessSettings),
                               "ButtonCalibrateKMA");
    form->addRow(named(new QLabel(QStringLiteral("Type")), "LabelType"), ComboBoxKmaSensorType);
    form->addRow(named(new QLabel(QStringLiteral("Angle")), "LabelAngle"), ComboBoxKmaAngleDegrees);
    form->addRow(named(new QLabel(QStringLiteral("Direction")), "LabelDirection"), ComboBoxKmaDirection);
    form->addRow(named(new QLabel(QStringLiteral("Calibration")), "LabelCalibration"), ComboBoxKmaCalAtMinOrMaxAngle);
    auto *switches = new QHBoxLayout;
    switches->addWidget(CheckBoxIdleSwitch);
    switches->addWidget(CheckBoxFullSwitch);
    form->addRow(named(new QLabel(QStringLiteral("Invert switches")), "LabelInvertSwitches"), switches);
    form->addRow(QString(), ButtonCalibrateKMA);
    return GroupBoxContactlessSettings;
}

QWidget *TForm1::buildParameterGroup(QWidget *parent)
{
    auto *group = named(new QGroupBox(QStringLiteral("Signal processing"), parent), "GroupBoxParameters");
    auto *grid = new QGridLayout(group);
    for (int param = 0; param < 8; ++param) {
        mainParamEdits[size_t(param)] = paramEdit(group, QString::fromLatin1(kMainEditNames[size_t(param)]));
        // The main view shows these values through the track bars only.
        mainParamEdits[size_t(param)]->hide();
        connect(mainParamEdits[size_t(param)], &QLineEdit::textChanged, this, [this, param] { paramEditChanged(param); });
    }
    for (int id = 0; id < tbl::TrackBarCount; ++id) {
        const tbl::TrackBarSpec &spec = tbl::trackBarSpec(id);
        auto *bar = named(new QSlider(Qt::Horizontal, group), spec.trackBar);
        bar->setRange(spec.min, spec.max);
        bar->setValue(spec.designPosition);
        bar->setMinimumWidth(260);
        auto *label = named(new QLabel(group), spec.label);
        label->setMinimumWidth(56);
        trackBars[size_t(id)] = bar;
        trackBarLabels[size_t(id)] = label;
        grid->addWidget(new QLabel(QString::fromLatin1(kTrackBarCaptions[size_t(id)]), group), id, 0);
        grid->addWidget(bar, id, 1);
        grid->addWidget(label, id, 2);
        connect(bar, &QSlider::valueChanged, this, [this, id](int position) { trackBarChanged(id, position); });
    }
    LabelSmoothTPSSignal = named(new QLabel(group), "LabelSmoothTPSSignal");
    grid->addWidget(LabelSmoothTPSSignal, tbl::TrackBarCount, 0, 1, 3);
    grid->setColumnStretch(3, 1);
    return group;
}

QWidget *TForm1::buildCompareView(QWidget *parent)
{
    auto *group = named(new QGroupBox(QStringLiteral("Compare"), parent), "GroupBoxCompare");
    auto *grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Tab1"), group), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Tab2"), group), 0, 2);
    for (int param = 0; param < 8; ++param) {
        const QString stem = QString::fromLatin1(kCompareEditStems[size_t(param)]);
        compareParamEdits1[size_t(param)] = paramEdit(group, stem.arg(1));
        compareParamEdits2[size_t(param)] = paramEdit(group, stem.arg(2));
        grid->addWidget(new QLabel(QString::fromLatin1(kParamCaptions[size_t(param)]), group), param + 1, 0);
        grid->addWidget(compareParamEdits1[size_t(param)], param + 1, 1);
        grid->addWidget(compareParamEdits2[size_t(param)], param + 1, 2);
    }
    grid->setColumnStretch(3, 1);
    return group;
}

void TForm1::FormCreate()
{
    LabelHwVersion->hide();
    LabelFOsc->hide();
    ComboBoxKmaAngleDegrees->clear();
    for (int angle : kma::kAngles)
        ComboBoxKmaAngleDegrees->addItem(QString::number(angle) + QString::fromUtf8("°"), angle);
    if (ComboBoxKmaAngleDegrees->count() > 0)
        ComboBoxKmaAngleDegrees->setCurrentIndex(0);

    broadcaster_ = std::make_unique<TZiravBroadcaster>();
    broadcaster_->subscribe(this);
    fillPortList();
    // The channel subscribes itself, after the window.
    channel_ = std::make_unique<TRXTX>(*broadcaster_);

    mainFields_ = std::make_unique<LineEditFields>(mainParamEdits);
    table_ = std::make_unique<Table>();
    table_->setUpTableView(nullptr, true, false, mainFields_.get());
    table_->quickWriteHook = [this] { transfer::quickWrite(*table_, *channel_); };

    compareFields1_ = std::make_unique<LineEditFields>(compareParamEdits1);
    compareFields2_ = std::make_unique<LineEditFields>(compareParamEdits2);
    compare_ = std::make_unique<Table>();
    compare_->setUpTableView(nullptr, false, false, compareFields1_.get());
    compare_->setUpSecondImage(compareFields2_.get());

    table_->loadHistory();
    showReferenceVoltage();

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
        channel_.reset();
    } catch (...) {
    }
    demoUnit_.reset();
    if (table_)
        table_->saveHistory();
    proto::setWaitHook({});
}

void TForm1::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}

void TForm1::trackBarChanged(int id, int position)
{
    const tbl::TrackBarSpec &spec = tbl::trackBarSpec(id);
    trackBarLabels[size_t(id)]->setText(tbl::trackBarLabelText(id, position));
    if (id == tbl::TrackBarMafSm)
        LabelSmoothTPSSignal->setText(QStringLiteral("Smoothing: ") + tbl::trackBarEditText(position));
    QLineEdit *edit = mainParamEdits[size_t(spec.param)];
    const QString text = tbl::trackBarEditText(position);
    if (edit->text() != text)
        edit->setText(text);
}

void TForm1::paramEditChanged(int param)
{
    for (int id = 0; id < tbl::TrackBarCount; ++id) {
        if (tbl::trackBarSpec(id).param != param)
            continue;
        bool ok = false;
        const int position = tbl::trackBarPositionFromText(id, mainParamEdits[size_t(param)]->text(), &ok);
        if (ok && trackBars[size_t(id)]->value() != position)
            trackBars[size_t(id)]->setValue(position);
        else if (ok)
            trackBarChanged(id, position);
    }
}

void TForm1::showReferenceVoltage()
{
    LabelRefVoltage->setText(tbl::refVoltageLabel(table_->referenceVoltage()));
}

void TForm1::fillPortList()
{
    ComComboBox1->clear();
    ComComboBox1->addItems(SerialPort::availablePorts());
    ComComboBox1->addItem(QString::fromLatin1(kDemoUnitEntry));
    ComComboBox1->setCurrentIndex(-1);
}

QString TForm1::portPathFor(const QString &text)
{
    if (text != QLatin1String(kDemoUnitEntry))
        return text;
    if (!demoUnit_) {
        auto unit = std::make_unique<sim::Emulator>();
        unit->start();
        demoUnit_ = std::move(unit);
    }
    return QString::fromStdString(demoUnit_->slavePath());
}

void TForm1::choosePort(const QString &text)
{
    ComComboBox1->setCurrentText(text);
    ComComboBox1Change();
}

void TForm1::ComComboBox1Change()
{
    const QString text = ComComboBox1->currentText().trimmed();
    if (text.isEmpty())
        return;
    try {
        TMsgSetComPort message(portPathFor(text));
        broadcaster_->broadcast(message);
        if (CheckBoxFirmwareRecovery->isChecked()) {
            // The unit is expected to sit in its boot loader: do not talk to it.
            proto::wait(300);
            channel_->clearBoth();
            return;
        }
        channel_->clearBoth();
        const TDeviceInfo info = transfer::identify(*table_, *channel_);
        LabelFirmware->setText(QStringLiteral("FW_Version:") + info.firmwareText);
        LabelHwVersion->hide();
        LabelFOsc->hide();
        const int generation = transfer::firmwareGeneration();
        if (generation != 0) {
            if (generation == 1)
                showMessage(QString::fromUtf8("Пожалуйста обновите прошивку! Доступная новая версия! \n"
                                              "Please update the firmware! The new version is  available!"));
            if (info.deviceId == 6) {
                proto::wait(300);
                channel_->clearBoth();
                takeSensorRecord();
                proto::wait(300);
                channel_->clearBoth();
                ActionReadCoverterExecute();
                ActionReadCoverter->setEnabled(true);
                ActionWriteConverter->setEnabled(true);
                if (channel_->isConnected())
                    SpeedButtonReconnect->setEnabled(true);
            } else {
                showMessage(QString::fromUtf8("Программа не совместима с этим устройством! \n"
                                              "This software is not compatible with this device!\n"
                                              "readed DEVICE_ID=")
                            + QString::number(info.deviceId));
            }
        } else if (LabelFirmware->text() != QLatin1String("FW_Version:")) {
            showMessage(QString::fromUtf8("Устройство не опознано. Попробуйте обновить прошивку. \n"
                                          "Unknown device. Try to update a firmware"));
        }
    } catch (const std::exception &) {
        showMessage(QString::fromUtf8(kTryAgain));
    }
}

void TForm1::takeSensorRecord()
{
    if (transfer::firmwareGeneration() != 2)
        return;
    const TDeviceInfo &id = table_->identification;
    LabelHwVersion->setText(QStringLiteral("HW_Version: ") + id.hardwareText);
    LabelFOsc->setText(QStringLiteral("F_OSC: ") + id.oscillatorText);
    LabelHwVersion->show();
    LabelFOsc->show();
    std::array<std::uint8_t, proto::kSensorRecordSize> bytes{};
    if (proto::sensorRecordQuery(*channel_, bytes) != proto::kSensorRecordSize)
        return; // a short record is ignored without a message
    sensorRecord_ = kma::decodeRecord(bytes);
    GroupBoxContactlessSettings->show();
    QList<int> angles;
    for (int i = 0; i < ComboBoxKmaAngleDegrees->count(); ++i)
        angles.append(ComboBoxKmaAngleDegrees->itemData(i).toInt());
    const int nearest = kma::nearestAngleIndex(angles, sensorRecord_.angle);
    if (nearest >= 0)
        ComboBoxKmaAngleDegrees->setCurrentIndex(nearest);
    ComboBoxKmaDirection->setCurrentIndex(sensorRecord_.direction);
    const int side = kma::calibrationSide(sensorRecord_.calibrationPoint);
    if (side >= 0)
        ComboBoxKmaCalAtMinOrMaxAngle->setCurrentIndex(side);
}

void TForm1::SpeedButtonReconnectClick()
{
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
    TMsgStopLiveData stop;
    broadcaster_->broadcast(stop);
}

void TForm1::ActionReadCoverterExecute()
{
    stopCommand();
    transfer::tableRead(*table_, *channel_);
    // Undo and redo pass over the snapshots the read itself produced.
    table_->bypassHistoryAfterRead();
    showReferenceVoltage();
    CheckBoxIdleSwitch->setChecked(table_->slot(tbl::kSlotIdleInvert) != 0);
    CheckBoxFullSwitch->setChecked(table_->slot(tbl::kSlotFullInvert) != 0);
}

void TForm1::ActionWriteConverterExecute()
{
    if (!progress_)
        return;
    transfer::fullWrite(*table_, *channel_, *progress_);
}

void TForm1::FileOpenFirmwareClick()
{
    const QString name = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                      QStringLiteral("Firmware files (*.enc)"));
    // A cancelled dialog starts nothing: an update the user did not ask for
    // could leave the unit in its boot loader.
    if (!name.isEmpty())
        updateFirmwareFrom(name);
}

void TForm1::updateFirmwareFrom(const QString &fileName)
{
    const firmware::Outcome outcome =
        firmware::update(*channel_, fileName, CheckBoxFirmwareRecovery->isChecked(), [this](int percent) {
            ProgressBar1->setValue(percent);
            keepPainting();
        });
    if (outcome == firmware::Outcome::Success)
        CheckBoxFirmwareRecovery->setChecked(false);
}

void TForm1::handleMessage(TMessage &message)
{
    switch (message.id) {
    case kMsgStartLiveData:
        ActionReadCoverter->setEnabled(false);
        ActionWriteConverter->setEnabled(false);
        ActionStart->setEnabled(false);
        ActionStop->setEnabled(true);
        break;
    case kMsgStopLiveData:
        ActionStop->setEnabled(false);
        ActionReadCoverter->setEnabled(true);
        ActionWriteConverter->setEnabled(true);
        ActionStart->setEnabled(true);
        break;
    default:
        break;
    }
}
