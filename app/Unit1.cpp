#include "app/Unit1.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "link/MessageSink.h"
#include "link/Protocol.h"
#include "sim/Emulator.h"

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
    ComComboBox1 = new QComboBox(central);
    ComComboBox1->setObjectName(QStringLiteral("ComComboBox1"));
    ComComboBox1->setEditable(true);
    ComComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComComboBox1->setMinimumWidth(220);
    ComComboBox1->setToolTip(QStringLiteral("Serial port of the unit; type a device path and press Enter"));
    SpeedButtonReconnect = new QToolButton(central);
    SpeedButtonReconnect->setObjectName(QStringLiteral("SpeedButtonReconnect"));
    SpeedButtonReconnect->setText(QStringLiteral("Reconnect"));
    SpeedButtonReconnect->setEnabled(false);
    LabelFirmware = new QLabel(QStringLiteral("FW_Version:"), central);
    LabelFirmware->setObjectName(QStringLiteral("LabelFirmware"));
    LabelHwVersion = new QLabel(central);
    LabelHwVersion->setObjectName(QStringLiteral("LabelHwVersion"));
    LabelFOsc = new QLabel(central);
    LabelFOsc->setObjectName(QStringLiteral("LabelFOsc"));
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

    MainPageControl = new QTabWidget(central);
    MainPageControl->setObjectName(QStringLiteral("MainPageControl"));
    MainTabSheet = makePage(MainPageControl, "MainTabSheet", QStringLiteral("Main"));
    DashboardTabSheet = makePage(MainPageControl, "DashboardTabSheet", QStringLiteral("Dashboard"));
    SetupTabSheet = makePage(MainPageControl, "SetupTabSheet", QStringLiteral("Settings"));
    TableTabSheet = makePage(MainPageControl, "TableTabSheet", QStringLiteral("Table"));
    LogTabSheet = makePage(MainPageControl, "LogTabSheet", QStringLiteral("Log"));
    TabSheet1 = makePage(MainPageControl, "TabSheet1", QStringLiteral("Gauges"));
    column->addWidget(MainPageControl, 1);

    CheckBoxFirmwareRecovery = new QCheckBox(QString::fromUtf8("Восстановление прошивки/Firmware Recovery"), SetupTabSheet);
    CheckBoxFirmwareRecovery->setObjectName(QStringLiteral("CheckBoxFirmwareRecovery"));
    auto *setupColumn = new QVBoxLayout(SetupTabSheet);
    setupColumn->addWidget(CheckBoxFirmwareRecovery);
    setupColumn->addStretch(1);

    setCentralWidget(central);

    ActionReadCoverter = makeAction(this, "ActionReadCoverter", QString::fromUtf8("Считать из конвертера"), false);
    ActionWriteConverter = makeAction(this, "ActionWriteConverter", QString::fromUtf8("Записать в конвертер"), false);
    ActionStart = makeAction(this, "ActionStart", QStringLiteral("Start"), true);
    ActionStop = makeAction(this, "ActionStop", QStringLiteral("Stop"), false);
    QMenu *converter = menuBar()->addMenu(QStringLiteral("Converter"));
    converter->addAction(ActionReadCoverter);
    converter->addAction(ActionWriteConverter);
    converter->addSeparator();
    converter->addAction(ActionStart);
    converter->addAction(ActionStop);

    // A pick from the list chooses at once; a typed path is chosen with Enter.
    connect(ComComboBox1, QOverload<int>::of(&QComboBox::activated), this, [this](int) { ComComboBox1Change(); });
    connect(SpeedButtonReconnect, &QToolButton::clicked, this, &TForm1::SpeedButtonReconnectClick);
}

void TForm1::FormCreate()
{
    LabelHwVersion->hide();
    LabelFOsc->hide();

    broadcaster_ = std::make_unique<TZiravBroadcaster>();
    broadcaster_->subscribe(this);
    fillPortList();
    // The channel subscribes itself, after the window.
    channel_ = std::make_unique<TRXTX>(*broadcaster_);

    MainPageControl->setTabVisible(MainPageControl->indexOf(TableTabSheet), false);
    MainPageControl->setTabVisible(MainPageControl->indexOf(LogTabSheet), false);
    MainPageControl->setTabVisible(MainPageControl->indexOf(TabSheet1), false);
    MainPageControl->setCurrentWidget(MainTabSheet);
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
}

void TForm1::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
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
        const QByteArray reply = proto::identify(*channel_);
        parseIdentifyReply(reply, deviceInfo_, firmwareGeneration_);
        LabelFirmware->setText(QStringLiteral("FW_Version:") + deviceInfo_.firmwareText);
        LabelHwVersion->hide();
        LabelFOsc->hide();
        if (firmwareGeneration_ != 0) {
            if (firmwareGeneration_ == 1)
                showMessage(QString::fromUtf8("Пожалуйста обновите прошивку! Доступная новая версия! \n"
                                              "Please update the firmware! The new version is  available!"));
            if (deviceInfo_.deviceId == 6) {
                SpeedButtonReconnect->setEnabled(channel_->isConnected());
                if (firmwareGeneration_ == 2) {
                    LabelHwVersion->setText(QStringLiteral("HW_Version: ") + deviceInfo_.hardwareText);
                    LabelFOsc->setText(QStringLiteral("F_OSC: ") + deviceInfo_.oscillatorText);
                    LabelHwVersion->show();
                    LabelFOsc->show();
                }
            } else {
                showMessage(QString::fromUtf8("Программа не совместима с этим устройством! \n"
                                              "This software is not compatible with this device!\n"
                                              "readed DEVICE_ID=")
                            + QString::number(deviceInfo_.deviceId));
            }
        } else if (LabelFirmware->text() != QLatin1String("FW_Version:")) {
            showMessage(QString::fromUtf8("Устройство не опознано. Попробуйте обновить прошивку. \n"
                                          "Unknown device. Try to update a firmware"));
        }
    } catch (const std::exception &) {
        showMessage(QString::fromUtf8(kTryAgain));
    }
}

void TForm1::SpeedButtonReconnectClick()
{
    try {
        channel_->closePort();
    } catch (...) {
    }
    ComComboBox1Change();
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
