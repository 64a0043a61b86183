#include "ui/ThrottlePanel.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>

#include "table/Table_iat_ect_corr.h"

namespace {
// Where each label sits: row, column, and the caption above a value label.
struct Place {
    const char *name;
    int row, column;
    const char *caption;
};
const Place kPlaces[] = {
    {"LabelMain", 0, 0, nullptr},         {"LabelMainMax", 0, 1, "Max"},      {"LabelKick", 0, 2, "Kick"},
    {"LabelMainMin", 0, 3, "Min"},        {"LabelAux", 2, 0, nullptr},        {"LabelAuxMax", 2, 1, "Aux Max"},
    {"LabelAuxMin", 2, 2, "Aux Min"},     {"LabelIdleSw", 4, 0, nullptr},     {"LabelIdleSwValue", 4, 1, nullptr},
    {"LabelFullSw", 4, 2, nullptr},       {"LabelFullSwValue", 4, 3, nullptr}, {"LabelSmoothTPSSignal", 5, 0, nullptr},
    {"LabelRefVoltage", 5, 3, nullptr},
};
const QColor kHighlight(233, 22, 22);
} // namespace

ThrottlePanel::ThrottlePanel(Table &table, QWidget *parent) : QWidget(parent), table_(table)
{
    setObjectName(QStringLiteral("ThrottlePanel"));
    // Whatever changed the image (a read, a file, undo, a preset), the values follow.
    table.observe([panel = QPointer<ThrottlePanel>(this)](TableChange) {
        if (panel)
            panel->refreshValues();
    });
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(1);
    for (const Place &p : kPlaces) {
        auto *l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(p.name));
        l->installEventFilter(this);
        // Values keep a steady column; the smoothing text follows its length.
        if (qstrcmp(p.name, "LabelSmoothTPSSignal") != 0)
            l->setMinimumWidth(54);
        if (p.caption) {
            auto *c = new QLabel(QString::fromLatin1(p.caption), this);
            c->setStyleSheet(QStringLiteral("color: palette(mid);"));
            grid->addWidget(c, p.row, p.column, Qt::AlignBottom);
            grid->addWidget(l, p.row + 1, p.column);
        } else {
            // The smoothing text is long in Russian: three columns.
            const int span = p.row == 5 && p.column == 0 ? 3 : 1;
            grid->addWidget(l, p.row == 0 || p.row == 2 ? p.row + 1 : p.row, p.column, 1, span);
        }
    }
    label(QStringLiteral("LabelMain"))->setText(QStringLiteral("Main"));
    label(QStringLiteral("LabelAux"))->setText(QStringLiteral("Aux"));
    label(QStringLiteral("LabelIdleSw"))->setText(QStringLiteral("Idle SW"));
    label(QStringLiteral("LabelFullSw"))->setText(QStringLiteral("Full SW"));
    for (const char *caption : {"LabelMain", "LabelIdleSw", "LabelFullSw"})
        label(QString::fromLatin1(caption))->setToolTip(QStringLiteral("Click to edit"));
    for (const QString &name : kma::valueLabels())
        label(name)->setToolTip(QStringLiteral("Double click to edit"));

    ActionEdit = new QMenu(QStringLiteral("Main"), this);
    ActionEdit->setObjectName(QStringLiteral("ActionEditMenu"));
    ActionEdit->menuAction()->setObjectName(QStringLiteral("ActionEdit"));
    group_ = new QActionGroup(this);
    group_->setExclusive(true);
    for (int mode = 0; mode < kma::kEditModes; ++mode) {
        auto *a = new QAction(kma::editCaption(mode), this);
        a->setObjectName(QString::fromLatin1(kma::editActionName(mode)));
        a->setCheckable(true);
        group_->addAction(a);
        actions_[size_t(mode)] = a;
    }
    for (int mode : kma::kMenuOrder)
        ActionEdit->addAction(actions_[size_t(mode)]);
    actions_[0]->setChecked(true);
    connect(group_, &QActionGroup::triggered, this, &ThrottlePanel::actionTriggered);
    highlight();
    refreshValues();
}

QLabel *ThrottlePanel::label(const QString &name) const
{
    return findChild<QLabel *>(name, Qt::FindDirectChildrenOnly);
}

void ThrottlePanel::chooseMode(int mode)
{
    QAction *a = actions_[size_t(tbl::clampInt(mode, 0, kma::kEditModes - 1))];
    a->setChecked(true);
    actionTriggered(a);
}

void ThrottlePanel::actionTriggered(QAction *action)
{
    ActionEdit->setTitle(action->text());
    for (int mode = 0; mode < kma::kEditModes; ++mode)
        if (actions_[size_t(mode)] == action)
            mode_ = mode;
    highlight();
    refreshValues();
    emit modeSelected(mode_);
}

void ThrottlePanel::setRussian(bool russian)
{
    russian_ = russian;
    actions_[8]->setText(kma::editCaption(8, russian));
    if (mode_ == 8)
        ActionEdit->setTitle(actions_[8]->text());
    setSmoothing(smoothing_);
}

void ThrottlePanel::setSmoothing(int percent)
{
    smoothing_ = percent;
    label(QStringLiteral("LabelSmoothTPSSignal"))->setText(kma::smoothingLabel(percent, russian_));
}

void ThrottlePanel::refreshValues()
{
    const kma::PanelValues v = kma::panelValues(table_);
    label(QStringLiteral("LabelMainMax"))->setText(v.max);
    label(QStringLiteral("LabelMainMin"))->setText(v.min);
    label(QStringLiteral("LabelKick"))->setText(v.kick);
    label(QStringLiteral("LabelIdleSwValue"))->setText(v.idleSwitch);
    label(QStringLiteral("LabelFullSwValue"))->setText(v.fullSwitch);
    label(QStringLiteral("LabelAuxMin"))->setText(v.auxMin);
    label(QStringLiteral("LabelAuxMax"))->setText(v.auxMax);
    label(QStringLiteral("LabelRefVoltage"))->setText(v.ref);
    setSmoothing(smoothing_);
}

void ThrottlePanel::highlight()
{
    const QStringList lit = kma::highlightedLabels(mode_);
    const QString selected = kma::selectedValueLabel(mode_);
    const QFont base = label(QStringLiteral("LabelMain"))->font();
    for (const QString &name : kma::panelLabels()) {
        QLabel *l = label(name);
        QPalette palette = this->palette();
        if (lit.contains(name))
            palette.setColor(QPalette::WindowText, kHighlight);
        l->setPalette(palette);
        if (!kma::valueLabels().contains(name))
            continue;
        QFont font = base;
        font.setBold(name == selected);
        font.setItalic(name != selected);
        l->setFont(font);
    }
}

bool ThrottlePanel::eventFilter(QObject *watched, QEvent *event)
{
    const bool click = event->type() == QEvent::MouseButtonRelease;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if ((click || doubleClick) && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        const QString name = watched->objectName();
        // Captions answer a click, values a double click (the switch values both).
        struct Gesture {
            const char *label;
            bool onClick;
            bool onDoubleClick;
            int mode;
        };
        static const Gesture kGestures[] = {
            {"LabelMain", true, false, EditMain},           {"LabelIdleSw", true, false, EditIdleSw},
            {"LabelIdleSwValue", true, true, EditIdleSw},   {"LabelFullSw", true, false, EditFullSw},
            {"LabelFullSwValue", true, true, EditFullSw},   {"LabelMainMax", false, true, EditMax},
            {"LabelMainMin", false, true, EditMin},         {"LabelKick", false, true, EditKick},
            {"LabelAuxMax", false, true, EditAuxMax},       {"LabelAuxMin", false, true, EditAuxMin},
            {"LabelSmoothTPSSignal", false, true, EditSmoothing}, {"LabelRefVoltage", false, true, EditRefVoltage},
        };
        for (const Gesture &g : kGestures) {
            if (name == QLatin1String(g.label) && ((click && g.onClick) || (doubleClick && g.onDoubleClick))) {
                chooseMode(g.mode);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
