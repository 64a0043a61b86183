#include "app/Language.h"

#include "ui/Gauge.h"

#include <vector>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QMenuBar>
#include <QTabWidget>
#include <QWidget>

namespace lang {

const std::vector<Caption> &captions()
{
    static const std::vector<Caption> kCaptions = {
        {"Button1", "Default parameters", "Параметры по умолчанию"},
        {"TabSheet1", "Various gauges", "Разные приборы"},
        // pages and the contactless settings
        {"TableTabSheet", "Conversion Table", "Таблица Замены"},
        {"LogTabSheet", "Log Graph", "Графики лога"},
        {"DashboardTabSheet", "Dashboard", "Панель приборов"},
        {"SetupTabSheet", "Options/Setup", "Настройки"},
        {"TabSheetTableGraph", "Table Graph", "График таблицы"},
        {"TabSheetTableCompare", "Comparison", "Утилита сравнения таблиц"},
        {"TabSheetAutotuningSetup", "Autotuning options", "Настройки автокоррекции"},
        {"TabSheetFirmwareUpdate", "Firmware Update", "Обновление прошивки"},
        {"CheckBoxFirmwareRecovery", "Firmware Recovery", "Восстановление прошивки"},
        {"GroupBoxContactlessSettings", "Contactless sensor settings", "Настройки бесконтактного датчика"},
        {"LabelType", "Sensor type", "Тип датчика"},
        {"LabelAngle", "Angle", "Раб. угол"},
        {"LabelDirection", "Direction", "Направл-е"},
        {"LabelCalibration", "Calibrate at", "Калибровка"},
        {"ButtonCalibrateKMA", "Run calibration", "Калибровать датчик"},
        {"LabelInvertSwitches", "Invert", "Инвертировать"},
        {"CheckBoxIdleSwitch", "Idle switch", "Концевик ХХ"},
        {"CheckBoxFullSwitch", "Full load switch", "Концевик полной нагрузки"},
        // menus
        {"MenuHelp", "Help", "Справка"},
        {"MenuView", "View", "Вид"},
        {"ActionAdvancedPages", "Advanced pages", "Расширенные страницы"},
        {"ActionAbout", "About Tarvix configurator...", "О программе..."},
        {"ActionLogExportCsv", "Export CSV...", "Экспорт в CSV..."},
        {"ActionUndoTable", "Undo", "Отменить"},
        {"ActionRedoTable", "Redo", "Повторить"},
        {"SpeedButtonAplToTable", "Table", "Таблица"},
        // signal borders and the correction
        {"GroupBoxCorr", "Angle", "Угол"},
        {"LabelMafBeg", "α Min V", "α Min V"},
        {"LabelMafEnd", "α Max V", "α Max V"},
        {"LabelWidth", "Width", "Ширина"},
        {"LabelCorrection", "Correction", "Коррекция"},
        {"GroupBoxThrottlePanel", "Throttle sensor", "Датчик дросселя"},
        {"GroupBoxParameters", "Signal processing", "Обработка сигнала"},
        {"CaptionTrackBarMafSm", "MAF smoothing", "Сглаживание MAF"},
        {"CaptionTrackBarTpsSm", "TPS smoothing", "Сглаживание TPS"},
        {"CaptionTrackBarRpmSm", "RPM smoothing", "Сглаживание RPM"},
        {"LabelMafTime", "MAF sampling", "Время выборки MAF"},
        {"LabelThreshold", "Trigger threshold", "Порог срабатывания"},
        {"LabelEnrichmentFactor", "Enrichment", "Обогащение"},
        {"LabelEnleanmentFactor", "Enrichment decay", "Спад обогащения"},
        {"LabelMafTimeCompare", "MAF sampling, 1/100 s", "Выб-ка MAF 1/100сек *"},
        {"LabelThresholdCompare", "Trigger threshold", "Порог срабатывания"},
        {"CaptionCompareParam2", "Enrichment +%", "Обогащение +%"},
        {"CaptionCompareParam3", "Enrichment decay -%", "Спад обогащения -%"},
        {"CaptionCompareParam4", "MAF smoothing %", "Сглаживание MAF %"},
        {"CaptionCompareParam5", "TPS smoothing %", "Сглаживание TPS %"},
        {"CaptionCompareParam6", "RPM smoothing %", "Сглаживание RPM %"},
        {"CaptionCompareParam7", "Table 2 at TPS >", "Переход на таб.№2 при значении TPS>"},
        // oxygen and TPS display
        {"GroupBoxRefO2", "O2 reference", "Опорное O2"},
        {"LabelO2Type", "O2 sensor:", "Датчик O2:"},
        {"ButtonCalibrate", "Calibration", "Калибровка"},
        {"RadioButtonTPSN", "Show in N", "Отображать в N"},
        {"RadioButtonTPSPercent", "Show in %", "Отображать в %"},
        {"ButtonFillLoadTableWithO2RefValue", "Fill with O2Ref", "Заполнить опорным O2"},
        // autotuning options, log and comparison pages
        {"GroupBoxAutotuning", "Live autotuning", "Автокоррекция"},
        {"LabelMaxSpread", "Max MAF spread", "Макс. разброс MAF"},
        {"LabelForcedIdleRpm", "Forced idle from, rpm", "ПХХ от, об/мин"},
        {"LabelForcedIdleTps", "Forced idle up to TPS, %", "ПХХ до TPS, %"},
        {"LabelLiveLimit", "Live correction up to", "Живая коррекция до"},
        {"LabelCommitLimit", "One store up to", "Одна запись до"},
        {"LabelSensorLag", "O2 sensor lag", "Запаздывание датчика O2"},
        {"SpinBoxSensorLag", "by sensor", "по датчику"},
        {"CheckBoxWaitWarm", "Wait for a warm engine", "Ждать прогрева двигателя"},
        {"LabelFast", "Fast", "Быстро"},
        {"LabelFine", "Fine", "Точно"},
        {"GroupBoxO2Target", "O2 target", "Цель O2"},
        {"GroupBoxO2Table", "O2 target table (TPS % by rpm)", "Таблица целей O2 (TPS % по оборотам)"},
        {"GroupBoxLogLimit", "MAF limit", "Предел MAF"},
        {"LockLogLimitSpeedButton", "Lock", "Закрепить"},
        {"GroupBoxCompare", "Compare", "Сравнение"},
        {"GroupBox5", "Factory Test", "Заводской тест"},
        {"SpeedButtonLogMagicLearn", "Magic learn", "Авто-обучение"},
        {"GroupBoxIntEnds", "Extrapolate ends", "Экстраполяция концов"},
        // port row
        {"SpeedButtonReconnect", "Reconnect", "Переподключить"},
        // firmware notes
        {"LabelAttention", "ATTENTION!", "ВНИМАНИЕ!"},
        {"LabelFollowFUpgrade", "Follow firmware upgrade instructions carefully",
         "Строго соблюдайте инструкцию по обновлению прошивки устройства"},
        {"LabelFirmwareManual",
         "1. Switch the ignition on; do not start the engine.\n"
         "2. Choose the port and wait until the unit's version shows.\n"
         "3. Click \"Update from file\" and choose the maker's firmware file (*.enc).\n"
         "4. Do not unplug the cable or switch the power off until the bar shows 100 %.\n"
         "If an update was interrupted, tick \"Firmware Recovery\", choose the port again and update from the file.",
         "1. Включите зажигание, двигатель не запускайте.\n"
         "2. Выберите порт и дождитесь, пока появится версия устройства.\n"
         "3. Нажмите «Обновить из файла» и выберите файл прошивки производителя (*.enc).\n"
         "4. Не отключайте кабель и питание, пока полоса не покажет 100 %.\n"
         "Если обновление прервалось, отметьте «Восстановление прошивки», снова выберите порт и обновите из файла."},
        // progress window
        {"Form2", "Writing table", "Запись таблицы"},
        // dashboard: buttons and gauge headings
        {"SpeedButtonAutocorr", "Auto", "Авто"},
        {"SpeedButtonApplyCorrToIat", "IAT", "ТВВ"},
        {"SpeedButtonApplyCorrToECT", " ECT", " ТОЖ"},
        {"GaugeO2", "O2", "ДК"},
        {"GaugeAuxOut", "AUX", "Доп."},
        {"GaugeMarker", "Mrk", "Метка"},
        {"GaugeRpm", "RPM", "Об/мин"},
        {"GaugeTps", "TPS%", "ДПДЗ%"},
        // comparison page
        {"ActionNullCompare", "Null Tab1", "Обнулить Tab1"},
        // gauges page, settings and autotuning options
        {"LabelTestO2", "O2", "ДК"},
        {"LabelTestMain", "MAIN", "Выход Main"},
        {"LabelTestEct", "ECT", "ТОЖ"},
        {"LabelTestTps", "TPS", "ДПДЗ"},
        {"LabelO2RefFill", "O2Ref", "Опорн. O2"},
        {"GroupBox4", "TPS", "ДПДЗ"},
    };
    return kCaptions;
}

const std::vector<Caption> &toolTips()
{
    static const std::vector<Caption> kToolTips = [] {
        std::vector<Caption> tips = {
            {"ComComboBox1", "Serial port of the unit; type a device path and press Enter",
             "Последовательный порт устройства; можно ввести путь к устройству и нажать Enter"},
            {"ButtonCalibrate", "Learn the pedal's travel from a short live recording",
             "Определить ход педали по короткой записи живых данных"},
            {"MafBordersSliderPanel", "Double click: a step left or right; drag: move",
             "Двойной щелчок: шаг влево или вправо; перетаскивание: сдвиг"},
            {"CorrPanel", "Drag up or down to change the value", "Тяните вверх или вниз, чтобы изменить значение"},
            {"SpeedButtonManualBorders", "Manual borders of the correction window", "Ручные границы окна коррекции"},
            {"SpeedButtonAutocorr", "Autotuning (A)", "Автокоррекция (A)"},
            {"SpinBoxLiveLimit", "The most the live correction may add or take, in percent of the point's output",
             "Наибольшая живая коррекция, в процентах от выхода точки"},
            {"CheckBoxWaitWarm", "No learning while the coolant lamp shows COLD; untick it where no coolant sensor is wired",
             "Не обучать, пока горит лампа ХОЛОД; снимите, если датчик температуры не подключён"},
            {"SpinBoxCommitLimit", "The most one store may change a point, in percent of its output",
             "Наибольшее изменение точки за одну запись, в процентах от её выхода"},
            {"SpinBoxSensorLag", "How long the O2 reading trails the mixture; autotuning waits that long after each step",
             "Насколько показания O2 отстают от смеси; автокоррекция выжидает столько после каждого шага"},
            {"SpeedButtonAplToTable", "Apply the correction to the table", "Применить коррекцию к таблице"},
            {"SpeedButtonApplyCorrToIat", "Apply the correction to the IAT correction",
             "Применить коррекцию к коррекции по ТВВ"},
            {"SpeedButtonApplyCorrToECT", "Apply the correction to the ECT correction",
             "Применить коррекцию к коррекции по ТОЖ"},
            {"SpeedButtonToyota", "Descending characteristic", "Нисходящая характеристика"},
            {"SpeedButtonSetBeginOfTableAsLearned", "Set the beginning of the table up to the window start as learned",
             "Отметить начало таблицы до начала окна как обученное"},
            {"SpeedButtonClrCorrWindow", "Clear the learned points of the correction window",
             "Сбросить обученные точки окна коррекции"},
            {"ButtonClrAllLearned", "Clear every learned point above the learned beginning",
             "Сбросить все обученные точки выше обученного начала"},
            // Key names stay as the key caps print them, in both languages.
            {"ShiftSpeedButton", "Holds Shift down for editing with the mouse",
             "Держит Shift нажатой для правки мышью"},
            {"SpeedButtonShiftLog", "Holds Shift down for editing with the mouse",
             "Держит Shift нажатой для правки мышью"},
            {"AltSpeedButton", "Holds Alt down for editing with the mouse", "Держит Alt нажатой для правки мышью"},
            {"SpeedButtonAltLog", "Holds Alt down for editing with the mouse", "Держит Alt нажатой для правки мышью"},
            {"CtrlSpeedButton", "Holds Ctrl down for editing with the mouse", "Держит Ctrl нажатой для правки мышью"},
            {"SpeedButton1", "Swaps the mouse buttons for zooming (+/-) and moving (←/→)",
             "Меняет кнопки мыши для масштаба (+/-) и сдвига (←/→)"},
            {"SpeedButtonZoomMove", "Swaps the mouse buttons for zooming (+/-) and moving (←/→)",
             "Меняет кнопки мыши для масштаба (+/-) и сдвига (←/→)"},
            {"SpeedButtonLogMagicLearn", "Learn the table from the records in view",
             "Обучить таблицу по записям на графике"},
            {"SpeedButtonExtrapolate", "Extrapolate the ends of the learned table",
             "Экстраполировать концы обученной таблицы"},
        };
        for (const char *name : {"SpeedButtonUndo1", "SpeedButtonUndo2", "SpeedButtonUndo3"})
            tips.push_back({name, "Undo", "Отменить"});
        for (const char *name : {"SpeedButtonRedo1", "SpeedButtonRedo2", "SpeedButtonRedo3"})
            tips.push_back({name, "Redo", "Повторить"});
        for (const char *name : {"LabelMain", "LabelIdleSw", "LabelFullSw"})
            tips.push_back({name, "Click to edit", "Щёлкните, чтобы изменить"});
        for (const char *name : {"LabelMainMax", "LabelKick", "LabelMainMin", "LabelIdleSwValue", "LabelFullSwValue",
                                 "LabelAuxMax", "LabelAuxMin", "LabelSmoothTPSSignal", "LabelRefVoltage"})
            tips.push_back({name, "Double click to edit", "Двойной щелчок, чтобы изменить"});
        return tips;
    }();
    return kToolTips;
}

void applyToolTips(QObject *root, int language)
{
    const bool english = isEnglish(language);
    for (const Caption &c : toolTips()) {
        const QString text = QString::fromUtf8(english ? c.english : c.russian);
        for (QWidget *widget : root->findChildren<QWidget *>(QString::fromLatin1(c.object)))
            widget->setToolTip(text);
    }
}

const std::vector<MenuCaption> &menuCaptions()
{
    static const std::vector<MenuCaption> kMenus = {
        {0, 0, -1, "Open", "Открыть"},
        {0, 1, -1, "Save", "Сохранить"},
        {1, 0, -1, "Open", "Открыть"},
        {1, 1, -1, "Save", "Сохранить"},
        {1, 2, -1, "Null", "Обнулить"},
        {1, 3, -1, "1:1 Table", "Замена 1:1"},
        {1, 4, -1, "Copy", "Копировать"},
        {1, 5, -1, "Read from Converter", "Считать из конвертера"},
        {1, 6, -1, "Write to Converter", "Записать в конвертер"},
        {2, 0, -1, "Open", "Открыть"},
        {2, 1, -1, "Save", "Сохранить"},
        {2, 2, -1, "Null", "Обнулить"},
        {2, 3, -1, "1:1 Table", "Замена 1:1"},
        {2, 4, -1, "Copy 1->2", "Копировать 1->2"},
        {2, 5, -1, "Read from Converter", "Считать из конвертера"},
        {2, 6, -1, "Write to Converter", "Записать в конвертер"},
        {3, 0, -1, "Charts", "Графики"},
        {3, 0, 0, "Open", "Открыть"},
        {3, 0, 1, "Save", "Сохранить"},
        {3, 0, 2, "Replace 1:1", "Замена 1:1"},
        {3, 0, 3, "Replace 1:1 Ref=5V", "Замена 1:1 Ref=5V"},
        {3, 0, 4, "Replace 1:1 Ref=8V", "Замена 1:1 Ref=8V"},
        {3, 0, 5, "Replace 1:1 Ref=10V", "Замена 1:1 Ref=10V"},
        {3, 0, 6, "Replace 1:1 Ref=12V", "Замена 1:1 Ref=12V"},
        {3, 1, -1, "Write to converter", "Записать в конвертер"},
        {3, 2, -1, "Read from converter", "Считать из конвертера"},
        {3, 3, -1, "Start", "Старт"},
        {3, 4, -1, "Stop", "Стоп"},
        {4, 0, -1, "Open", "Открыть"},
        {4, 1, -1, "Save", "Сохранить"},
        {5, 0, -1, "Update from file", "Обновить из файла"},
        {5, 1, -1, "Update from file with table 1:1", "Обновить с заменой таблицы 1:1"},
    };
    return kMenus;
}

void applyMenuCaptions(const std::vector<QMenuBar *> &bars, int language)
{
    const bool english = isEnglish(language);
    for (const MenuCaption &c : menuCaptions()) {
        QMenuBar *bar = c.bar < int(bars.size()) ? bars[size_t(c.bar)] : nullptr;
        QAction *entry = bar ? bar->actions().value(c.entry) : nullptr;
        if (entry && c.sub >= 0)
            entry = entry->menu() ? entry->menu()->actions().value(c.sub) : nullptr;
        if (entry)
            entry->setText(QString::fromUtf8(english ? c.english : c.russian));
    }
}

bool useQtTranslations(int language)
{
    static QTranslator *installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (isEnglish(language))
        return true;
    auto *t = new QTranslator;
    if (!t->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    installed = t;
    return true;
}

bool isEnglish(int language)
{
    return language == kEnglish;
}

QString programName(int language)
{
    return isEnglish(language) ? QStringLiteral("Tarvix configurator") : QString::fromUtf8("Конфигуратор Tarvix");
}

QString windowTitle(int language, bool unstoredEdits)
{
    if (!unstoredEdits)
        return programName(language);
    // The system adds the program's name to a title that does not end with
    // it; ending with it, the title names the program once.
    return (isEnglish(language) ? QStringLiteral("Edits not stored in the unit — ")
                                : QString::fromUtf8("Правки не записаны в устройство — ")) +
           programName(language);
}

QString mainPageTip(int language)
{
    return isEnglish(language) ? QStringLiteral("Main page") : QString::fromUtf8("Главная страница");
}

QString demoUnitEntry(int language)
{
    return isEnglish(language) ? QString::fromLatin1(kDemoUnitEntry) : QString::fromUtf8("Демо-устройство (эмуляция)");
}

Question unstoredEditsQuestion(int language)
{
    if (isEnglish(language))
        return {QStringLiteral("The unit holds edits in its working memory that are not stored in it: they are "
                               "lost when the unit is switched off.\n\nStore them in the unit now (written and "
                               "verified)?"),
                {QStringLiteral("Store in the unit"), QStringLiteral("Leave in working memory"),
                 QStringLiteral("Cancel")}};
    return {QString::fromUtf8("В рабочей памяти устройства есть правки, не записанные в него: они пропадут "
                              "при выключении.\n\nЗаписать их в устройство сейчас (с проверкой)?"),
            {QString::fromUtf8("Записать в устройство"), QString::fromUtf8("Оставить в рабочей памяти"),
             QString::fromUtf8("Отмена")}};
}

QStringList helpLines(int language)
{
    if (language == kEnglish)
        return {QStringLiteral("'1,2,3'- switching between tabs"), QString(),
                QStringLiteral("'S' - Start/stop the dashboard"), QString(),
                QStringLiteral("'CTRL+S' - Save table)"), QStringLiteral("'CTRL+O' - Open table)"),
                QStringLiteral("'CTRL+Z' - Undo last action"), QStringLiteral("'CTRL+SHIFT+Z' - Redo last action"),
                QString(), QString::fromUtf8("'↑↓','←/→' - Change parameters, change table point"), QString(),
                QStringLiteral("DEL - Delete status of trained point"), QString(),
                QStringLiteral("'A' - Auto-boundaries on/off"),
                QStringLiteral("'O' - Reset the trained points within the angle boundaries"), QString(),
                QStringLiteral("'F8' - Manual borders of the correction window (dashboard)"),
                QStringLiteral("'F9' - Descending characteristic (dashboard)")};
    if (language == kRussian)
        return {QString::fromUtf8("'1,2,3'- Переключение между вкладками"), QString(),
                QString::fromUtf8("'S'- Старт/стоп панели приборов"), QString(),
                QString::fromUtf8("'CTRL+S' - Сохранить таблицу"), QString::fromUtf8("'CTRL+O' - Открыть таблицу"),
                QString::fromUtf8("'CTRL+Z' - Отмена последнего действия"),
                QString::fromUtf8("'CTRL+SHIFT+Z' -Повтор последнего действия"), QString(),
                QString::fromUtf8("'↑↓','←/→'- Изменение параметров, изменение точки таблицы"), QString(),
                QString::fromUtf8("DEL - удалить статус  обученности точки"), QString(),
                QString::fromUtf8("'A'- Автограницы вкл-выкл"),
                QString::fromUtf8("'O'- Сброс обученных точек в пределах границ угла"), QString(),
                QString::fromUtf8("'F8' - Ручные границы окна коррекции (панель приборов)"),
                QString::fromUtf8("'F9' - Убывающая характеристика (панель приборов)")};
    return {};
}

QString linkStateText(int language, LinkState state, const QString &firmware, const QString &hardware)
{
    const bool en = isEnglish(language);
    switch (state) {
    case LinkState::NoUnit:
        return en ? QStringLiteral("no unit") : QString::fromUtf8("нет устройства");
    case LinkState::Connecting:
        return en ? QStringLiteral("connecting…") : QString::fromUtf8("подключение…");
    case LinkState::Connected: {
        QString text = en ? QStringLiteral("connected: fw ") + firmware : QString::fromUtf8("подключено: ПО ") + firmware;
        if (!hardware.isEmpty())
            text += (en ? QStringLiteral(" hw ") : QString::fromUtf8(" плата ")) + hardware;
        return text;
    }
    case LinkState::Live:
        return en ? QStringLiteral("live data") : QString::fromUtf8("поток данных");
    case LinkState::Reading:
        return en ? QStringLiteral("busy: reading…") : QString::fromUtf8("занято: чтение…");
    case LinkState::Writing:
        return en ? QStringLiteral("busy: writing…") : QString::fromUtf8("занято: запись…");
    case LinkState::Updating:
        return en ? QStringLiteral("busy: updating firmware…") : QString::fromUtf8("занято: обновление прошивки…");
    case LinkState::Lost:
        return en ? QStringLiteral("port lost") : QString::fromUtf8("порт потерян");
    }
    return QString();
}

QString unitLabel(int language, UnitLabel which, const QString &value)
{
    const bool english = isEnglish(language);
    switch (which) {
    case UnitLabel::Firmware:
        return (english ? QStringLiteral("FW_Version:") : QString::fromUtf8("Версия ПО:")) + value;
    case UnitLabel::Hardware:
        return (english ? QStringLiteral("HW_Version: ") : QString::fromUtf8("Версия платы: ")) + value;
    case UnitLabel::Oscillator:
        if (!english && value.endsWith(QLatin1String("MHz")))
            return QString::fromUtf8("Частота: ") + value.chopped(3) + QString::fromUtf8("МГц");
        return (english ? QStringLiteral("F_OSC: ") : QString::fromUtf8("Частота: ")) + value;
    }
    return value;
}

QString tableAxisTitle(int language)
{
    return isEnglish(language) ? QStringLiteral("Main OUT, Aux Out") : QString::fromUtf8("Выход Main., Выход Aux");
}

QStringList logAxisTitles(int language)
{
    if (isEnglish(language))
        return {QStringLiteral("Value"), QStringLiteral("Time, h:m:s:ms")};
    return {QString::fromUtf8("Значение"), QString::fromUtf8("Время, ч:м:с:мс")};
}

QString soundFolder(int language, const QString &previous)
{
    if (language == kEnglish)
        return QStringLiteral("Sound/En/");
    if (language == kRussian)
        return QStringLiteral("Sound/Ru/");
    return previous;
}

namespace {
void setCaption(QObject *object, const QString &text)
{
    if (auto *action = qobject_cast<QAction *>(object)) {
        action->setText(text);
    } else if (auto *gauge = qobject_cast<TGauge *>(object)) {
        gauge->setCaption(text);
    } else if (auto *menu = qobject_cast<QMenu *>(object)) {
        menu->setTitle(text);
    } else if (auto *group = qobject_cast<QGroupBox *>(object)) {
        group->setTitle(text);
    } else if (auto *button = qobject_cast<QAbstractButton *>(object)) {
        button->setText(text);
    } else if (auto *label = qobject_cast<QLabel *>(object)) {
        label->setText(text);
    } else if (auto *spin = qobject_cast<QSpinBox *>(object)) {
        spin->setSpecialValueText(text); // what its lowest value stands for
        spin->updateGeometry();          // its width follows the text
    } else if (auto *widget = qobject_cast<QWidget *>(object)) {
        // A page of a page control takes the caption on its tab; a window its title.
        QWidget *stack = widget->parentWidget();
        auto *pages = stack ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
        if (pages && pages->indexOf(widget) >= 0)
            pages->setTabText(pages->indexOf(widget), text);
        else if (widget->isWindow())
            widget->setWindowTitle(text);
    }
}
} // namespace

void applyCaptions(QObject *root, int language)
{
    const bool english = isEnglish(language);
    for (const Caption &c : captions()) {
        const QString name = QString::fromLatin1(c.object);
        const QString text = QString::fromUtf8(english ? c.english : c.russian);
        if (root->objectName() == name)
            setCaption(root, text);
        for (QObject *object : root->findChildren<QObject *>(name))
            setCaption(object, text);
    }
}

} // namespace lang
