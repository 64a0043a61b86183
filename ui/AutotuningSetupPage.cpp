#include "ui/AutotuningSetupPage.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include "log/Autotune.h"
#include "log/Log_iat_ect_corr.h"
#include "log/Oxygensensor.h"
#include "log/Xrpm_table.h"
#include "ui/AdvancedPages.h"
#include "ui/Widgets.h"

namespace {
// Cells of the O2 target grid take as many digits as their mask has places.
class O2GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        auto *edit = qobject_cast<QLineEdit *>(QStyledItemDelegate::createEditor(parent, option, index));
        if (edit) {
            const int places = int(TO2TargetGrid::editMask(index.column(), index.row()).count(QLatin1Char('9')));
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("\\d{0,%1}").arg(places)), edit));
        }
        return edit;
    }
};
} // namespace

AutotuningSetupPage::AutotuningSetupPage(const QColor &tpsAxis, const QColor &rpmAxis, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheetAutotuningSetup"));
    auto *row = new QHBoxLayout(this);

    auto *options = named(new QGroupBox(QStringLiteral("Live autotuning"), this), "GroupBoxAutotuning");
    auto *form = new QGridLayout(options);
    UpDown1 = named(new QSpinBox(options), "UpDown1");
    UpDown1->setRange(0, 255);
    UpDown1->setValue(10);
    auto digitsEdit = [&](const char *objectName, const char *text) {
        auto *edit = named(new QLineEdit(QString::fromLatin1(text), options), objectName);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,5}")), edit));
        edit->setMaximumWidth(70);
        return edit;
    };
    MaskEditForcedIdleRpm = digitsEdit("MaskEditForcedIdleRpm", "1200");
    MaskEditForcedIdleTps = digitsEdit("MaskEditForcedIdleTps", "2");
    TrackBarB = verticalBar(options, "TrackBarB", 1, 1000, 1000);
    TrackBarT = verticalBar(options, "TrackBarT", 10, 1000, 1000);
    LabelTrackBarB = named(new QLabel(options), "LabelTrackBarB");
    LabelTrackBarT = named(new QLabel(options), "LabelTrackBarT");
    CheckBoxWotCorr = named(new QCheckBox(QString::fromUtf8("MAF smoothing/сглаживание"), options), "CheckBoxWotCorr");
    CheckBoxWotCorr->setChecked(false);
    CheckBoxWotCorr->hide();
    form->addWidget(named(new QLabel(QStringLiteral("Max MAF spread"), options), "LabelMaxSpread"), 0, 0);
    form->addWidget(UpDown1, 0, 1);
    form->addWidget(named(new QLabel(QStringLiteral("Forced idle from, rpm"), options), "LabelForcedIdleRpm"), 1, 0);
    form->addWidget(MaskEditForcedIdleRpm, 1, 1);
    form->addWidget(named(new QLabel(QStringLiteral("Forced idle up to TPS, %"), options), "LabelForcedIdleTps"), 2, 0);
    form->addWidget(MaskEditForcedIdleTps, 2, 1);
    // What autotuning may do at most, and how long the sensor trails the
    // mixture; kept for the user between sessions.
    auto spin = [&](const char *objectName, int min, int max, int step, const char *suffix) {
        auto *box = named(new QSpinBox(options), objectName);
        box->setRange(min, max);
        box->setSingleStep(step);
        box->setSuffix(QString::fromLatin1(suffix));
        return box;
    };
    SpinBoxLiveLimit = spin("SpinBoxLiveLimit", 1, 100, 1, " %");
    SpinBoxCommitLimit = spin("SpinBoxCommitLimit", 1, 50, 1, " %");
    // 0 stands for the chosen sensor type's own lag.
    SpinBoxSensorLag = spin("SpinBoxSensorLag", 0, 2000, 10, " ms");
    SpinBoxSensorLag->setSpecialValueText(QStringLiteral("by sensor"));
    const QSettings settings = programSettings();
    const autotune::Limits defaults;
    SpinBoxLiveLimit->setValue(settings.value(QStringLiteral("autotuning/liveLimitPercent"), defaults.livePercent).toInt());
    SpinBoxCommitLimit->setValue(
        settings.value(QStringLiteral("autotuning/commitLimitPercent"), defaults.commitPercent).toInt());
    SpinBoxSensorLag->setValue(settings.value(QStringLiteral("autotuning/sensorLagMs"), 0).toInt());
    form->addWidget(named(new QLabel(QStringLiteral("Live correction up to"), options), "LabelLiveLimit"), 3, 0);
    form->addWidget(SpinBoxLiveLimit, 3, 1);
    form->addWidget(named(new QLabel(QStringLiteral("One store up to"), options), "LabelCommitLimit"), 4, 0);
    form->addWidget(SpinBoxCommitLimit, 4, 1);
    form->addWidget(named(new QLabel(QStringLiteral("O2 sensor lag"), options), "LabelSensorLag"), 5, 0);
    form->addWidget(SpinBoxSensorLag, 5, 1);
    CheckBoxWaitWarm = named(new QCheckBox(QStringLiteral("Wait for a warm engine"), options), "CheckBoxWaitWarm");
    CheckBoxWaitWarm->setChecked(settings.value(QStringLiteral("autotuning/waitForWarmEngine"), true).toBool());
    form->addWidget(CheckBoxWaitWarm, 6, 0, 1, 2);
    form->addWidget(CheckBoxWotCorr, 7, 0, 1, 2);
    auto *bars = new QGridLayout;
    bars->addWidget(named(new QLabel(QStringLiteral("Fast"), options), "LabelFast"), 0, 0, Qt::AlignHCenter);
    bars->addWidget(named(new QLabel(QStringLiteral("Fine"), options), "LabelFine"), 0, 1, Qt::AlignHCenter);
    bars->addWidget(TrackBarB, 1, 0, Qt::AlignHCenter);
    bars->addWidget(TrackBarT, 1, 1, Qt::AlignHCenter);
    bars->addWidget(LabelTrackBarB, 2, 0, Qt::AlignHCenter);
    bars->addWidget(LabelTrackBarT, 2, 1, Qt::AlignHCenter);
    form->addLayout(bars, 8, 0, 1, 2);
    form->setRowStretch(9, 1);
    // The options with the O2 target below them: side by side the page
    // would not fit a small or strongly scaled screen.
    auto *optionsColumn = new QVBoxLayout;
    optionsColumn->addWidget(options);
    row->addLayout(optionsColumn);

    GroupBoxO2Target = named(new QGroupBox(QStringLiteral("O2 target"), this), "GroupBoxO2Target");
    auto *targetGrid = new QGridLayout(GroupBoxO2Target);
    TrackBarLogO2Target = verticalBar(GroupBoxO2Target, "TrackBarLogO2Target", 0, 255, 127);
    LabelRefO2Log = named(new QLabel(GroupBoxO2Target), "LabelRefO2Log");
    LabelLogMixtuePercent = named(new QLabel(GroupBoxO2Target), "LabelLogMixtuePercent");
    for (QLabel *label : {LabelRefO2Log, LabelLogMixtuePercent})
        label->setMinimumWidth(48);
    targetGrid->addWidget(TrackBarLogO2Target, 0, 0, 3, 1, Qt::AlignHCenter);
    targetGrid->addWidget(LabelRefO2Log, 0, 1);
    targetGrid->addWidget(LabelLogMixtuePercent, 1, 1);
    targetGrid->setRowStretch(2, 1);
    optionsColumn->addWidget(GroupBoxO2Target, 0, Qt::AlignLeft);
    optionsColumn->addStretch(1);

    auto *table = named(new QGroupBox(QStringLiteral("O2 target table (TPS % by rpm)"), this), "GroupBoxO2Table");
    auto *tableColumn = new QVBoxLayout(table);
    StringGridO2Table = named(new QTableWidget(TO2TargetGrid::kRows, TO2TargetGrid::kCols, table), "StringGridO2Table");
    StringGridO2Table->horizontalHeader()->hide();
    StringGridO2Table->verticalHeader()->hide();
    StringGridO2Table->horizontalHeader()->setDefaultSectionSize(46);
    StringGridO2Table->verticalHeader()->setDefaultSectionSize(24);
    StringGridO2Table->setItemDelegate(new O2GridDelegate(StringGridO2Table));
    for (int row = 0; row < TO2TargetGrid::kRows; ++row) {
        for (int col = 0; col < TO2TargetGrid::kCols; ++col) {
            auto *item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
            switch (TO2TargetGrid::kind(col, row)) {
            case TO2TargetGrid::Cell::TpsAxis:
                item->setBackground(tpsAxis);
                break;
            case TO2TargetGrid::Cell::RpmAxis:
                item->setBackground(rpmAxis);
                break;
            case TO2TargetGrid::Cell::Corner:
                item->setBackground(QColor(128, 128, 128));
                break;
            case TO2TargetGrid::Cell::Value:
                break;
            }
            if (!TO2TargetGrid::editable(col, row))
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            StringGridO2Table->setItem(row, col, item);
        }
    }
    StringGridO2Table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGridO2Table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGridO2Table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    StringGridO2Table->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *fillRow = new QHBoxLayout;
    MaskEditO2REF = named(new QLineEdit(QStringLiteral("30"), table), "MaskEditO2REF");
    MaskEditO2REF->setMaximumWidth(70);
        ButtonFillLoadTableWithO2RefValue = named(new QPushButton(QStringLiteral("Fill with O2Ref"), table),
                                              "ButtonFillLoadTableWithO2RefValue");
    fillRow->addWidget(named(new QLabel(QStringLiteral("O2Ref"), table), "LabelO2RefFill"));
    fillRow->addWidget(MaskEditO2REF);
    fillRow->addWidget(ButtonFillLoadTableWithO2RefValue);
    fillRow->addStretch(1);
    tableColumn->addWidget(StringGridO2Table);
    tableColumn->addLayout(fillRow);
    row->addWidget(table, 0, Qt::AlignTop);
    row->addStretch(1);

}

void AutotuningSetupPage::bind(Log &log, TO2TargetGrid &grid, std::function<int()> sensorType)
{
    log_ = &log;
    grid_ = &grid;
    sensorType_ = std::move(sensorType);
    MaskEditO2REF->installEventFilter(this);
    connect(UpDown1, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int v) { log_->setMaxMafSpread(v); });
    connect(TrackBarB, &QSlider::valueChanged, this, &AutotuningSetupPage::sendToLog);
    connect(TrackBarT, &QSlider::valueChanged, this, &AutotuningSetupPage::sendToLog);
    connect(ButtonFillLoadTableWithO2RefValue, &QPushButton::clicked, this, &AutotuningSetupPage::fillGrid);
    auto keep = [this](QSpinBox *box, const char *key) {
        connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, [this, key](int v) {
            programSettings().setValue(QString::fromLatin1(key), v);
            sendToLog();
        });
    };
    keep(SpinBoxLiveLimit, "autotuning/liveLimitPercent");
    keep(SpinBoxCommitLimit, "autotuning/commitLimitPercent");
    keep(SpinBoxSensorLag, "autotuning/sensorLagMs");
    connect(CheckBoxWaitWarm, &QCheckBox::toggled, this, [this](bool on) {
        programSettings().setValue(QStringLiteral("autotuning/waitForWarmEngine"), on);
        sendToLog();
    });
    connect(StringGridO2Table, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int, int) { selectCell(row, column); });
    connect(StringGridO2Table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        grid_->setText(item->column(), item->row(), item->text());
    });
    sendToLog();
}

void AutotuningSetupPage::sendToLog()
{
    // Vertical bars: the value is Max + Min - Position (top = largest).
    auto value = [](const QSlider *bar) { return bar->maximum() + bar->minimum() - bar->value(); };
    trackBarBCopy = TrackBarB->value();
    trackBarTCopy = TrackBarT->value();
    LabelTrackBarB->setText(QString::number(value(TrackBarB)));
    LabelTrackBarT->setText(QString::number(value(TrackBarT)));
    if (!log_)
        return;
    log_->setTrackBarB(value(TrackBarB));
    log_->setTrackBarT(value(TrackBarT));
    log_->setSensorLagMs(SpinBoxSensorLag->value() > 0 ? SpinBoxSensorLag->value() : -1);
    log_->setWaitForWarmEngine(CheckBoxWaitWarm->isChecked());
}

autotune::Limits AutotuningSetupPage::limits() const
{
    autotune::Limits limits;
    limits.livePercent = SpinBoxLiveLimit->value();
    limits.commitPercent = SpinBoxCommitLimit->value();
    return limits;
}

void AutotuningSetupPage::fillGrid()
{
    grid_->fill(MaskEditO2REF->text());
    const QSignalBlocker blocker(StringGridO2Table);
    for (int row = 0; row < TO2TargetGrid::kRows; ++row)
        for (int col = 0; col < TO2TargetGrid::kCols; ++col)
            StringGridO2Table->item(row, col)->setText(grid_->text(col, row));
}

void AutotuningSetupPage::selectCell(int row, int column)
{
    const std::optional<QString> hint = grid_->selectCell(column, row, sensorType_());
    if (hint)
        StringGridO2Table->setToolTip(*hint);
    if (!grid_->hintsShown())
        StringGridO2Table->setToolTip(QString());
}

bool AutotuningSetupPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == MaskEditO2REF && event->type() == QEvent::KeyPress) {
        // Keys that type a character are checked; editing keys such as the
        // arrows and Delete type none and pass.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Delete && !key->text().isEmpty() && !o2::o2RefKeyAccepted(key->text().at(0)))
            return true;
    } else if (watched == MaskEditO2REF && event->type() == QEvent::Enter) {
        if (const std::optional<QString> hint = o2::hintForText(MaskEditO2REF->text(), sensorType_()))
            MaskEditO2REF->setToolTip(*hint);
    }
    return QWidget::eventFilter(watched, event);
}
