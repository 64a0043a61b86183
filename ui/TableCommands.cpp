#include "ui/TableCommands.h"

#include <QAction>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QRadioButton>
#include <QGroupBox>
#include <QToolButton>

#include "table/TableFile.h"
#include "table/Table_iat_ect_corr.h"

namespace {
QAction *makeAction(QObject *owner, const char *name, const QString &text)
{
    auto *action = new QAction(text, owner);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

const QString kTabSuffix = QStringLiteral("tab");
} // namespace

TableCommands::TableCommands(Table &main, Table &compare, QWidget *dialogParent)
    : QObject(dialogParent), main_(main), compare_(compare), parent_(dialogParent)
{
    TabFileOpen = makeAction(this, "TabFileOpen", QString::fromUtf8("Открыть / Open..."));
    TabFileSave = makeAction(this, "TabFileSave", QString::fromUtf8("Сохранить / Save..."));
    // The window's keys run these; a menu shows the keys beside the entries.
    TabFileOpen->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    TabFileSave->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    for (QAction *action : {TabFileOpen, TabFileSave})
        action->setShortcutContext(Qt::WidgetShortcut);
    FileOpenCompare = makeAction(this, "FileOpenCompare", QStringLiteral("Tab1"));
    FileOpenCompare2 = makeAction(this, "FileOpenCompare2", QStringLiteral("Tab2"));
    FileSaveAsCompare = makeAction(this, "FileSaveAsCompare", QStringLiteral("Tab1"));
    FileSaveAsCompare2 = makeAction(this, "FileSaveAsCompare2", QStringLiteral("Tab2"));
    const char *oneToOneNames[] = {"ActionTableOneToOne", "ActionTableOneToOne_Ref_5V", "ActionTableOneToOne_Ref_8V",
                                   "ActionTableOneToOne_Ref_10V", "ActionTableOneToOne_Ref_12V"};
    const char *oneToOneTexts[] = {"Замена 1:1", "Замена 1:1 Ref=5V", "Замена 1:1 Ref=8V", "Замена 1:1 Ref=10V",
                                   "Замена 1:1 Ref=12V"};
    const std::optional<float> volts[] = {std::nullopt, 5.0f, 8.0f, 10.0f, 12.0f};
    for (size_t i = 0; i < oneToOne.size(); ++i) {
        oneToOne[i] = makeAction(this, oneToOneNames[i], QString::fromUtf8(oneToOneTexts[i]));
        const std::optional<float> v = volts[i];
        connect(oneToOne[i], &QAction::triggered, this, [this, v] {
            if (oneToOneHandler)
                oneToOneHandler(v);
        });
    }
    ActionNullTable = makeAction(this, "ActionNullTable", QString::fromUtf8("Обнулить"));
    ActionNullCompare = makeAction(this, "ActionNullCompare", QString::fromUtf8("Обнулить Tab1"));
    ActionCopyOneToTwo = makeAction(this, "ActionCopyOneToTwo", QStringLiteral("1.1->1.2"));
    ActionCopyTwoToOne = makeAction(this, "ActionCopyTwoToOne", QStringLiteral("1.2->1.1"));
    ActionUndo = makeAction(this, "ActionUndoTable", QStringLiteral("Undo"));
    ActionRedo = makeAction(this, "ActionRedoTable", QStringLiteral("Redo"));

    // Filters and captions as the dialogs have always had them: the two
    // images of the comparison are told apart by the "Tab2" caption.
    connect(TabFileOpen, &QAction::triggered, this,
            [this] { openDialog(main_, 1, QString(), QStringLiteral("Tab files (*.tab)")); });
    connect(TabFileSave, &QAction::triggered, this,
            [this] { saveDialog(main_, 1, QString(), QStringLiteral("Tab Files (*.tab)")); });
    connect(FileOpenCompare, &QAction::triggered, this,
            [this] { openDialog(compare_, 1, QString(), QStringLiteral("Tab files (*.tab)")); });
    connect(FileSaveAsCompare, &QAction::triggered, this,
            [this] { saveDialog(compare_, 1, QString(), QStringLiteral("Tab Files (*.tab)")); });
    connect(FileOpenCompare2, &QAction::triggered, this,
            [this] { openDialog(compare_, 2, QStringLiteral("Tab2"), QStringLiteral("Tab File (*.tab)")); });
    connect(FileSaveAsCompare2, &QAction::triggered, this,
            [this] { saveDialog(compare_, 2, QStringLiteral("Tab2"), QStringLiteral("Tab File (*.tab)")); });
    connect(ActionNullTable, &QAction::triggered, this, [this] { nullImage(main_, 1); });
    connect(ActionNullCompare, &QAction::triggered, this, [this] { nullImage(compare_, 1); });
    connect(ActionCopyOneToTwo, &QAction::triggered, this, [this] { copyImage(compare_, 1, 2); });
    connect(ActionCopyTwoToOne, &QAction::triggered, this, [this] { copyImage(compare_, 2, 1); });
    connect(ActionUndo, &QAction::triggered, this, &TableCommands::undo);
    connect(ActionRedo, &QAction::triggered, this, &TableCommands::redo);
}

TableCommands::~TableCommands() = default;

void TableCommands::setDialogs(FileDialogs *dialogs)
{
    dialogs_ = dialogs ? dialogs : &platform_;
}

QToolButton *TableCommands::makeUndoButton(QWidget *parent, const QString &objectName)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(QString::fromUtf8("↶"));
    button->setToolTip(QStringLiteral("Undo"));
    connect(button, &QToolButton::clicked, this, &TableCommands::undo);
    return button;
}

QToolButton *TableCommands::makeRedoButton(QWidget *parent, const QString &objectName)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(QString::fromUtf8("↷"));
    button->setToolTip(QStringLiteral("Redo"));
    connect(button, &QToolButton::clicked, this, &TableCommands::redo);
    return button;
}

QPushButton *TableCommands::makeButton1(QWidget *parent)
{
    auto *button = new QPushButton(QStringLiteral("Default parameters"), parent);
    button->setObjectName(QStringLiteral("Button1"));
    button->hide();
    connect(button, &QPushButton::clicked, this, [this] { main_.defaultParametersCommand(); });
    return button;
}

QWidget *TableCommands::makeExtrapolateSwitch(QWidget *parent)
{
    auto *group = new QGroupBox(QStringLiteral("Extrapolate ends"), parent);
    group->setObjectName(QStringLiteral("GroupBoxIntEnds"));
    auto *row = new QHBoxLayout(group);
    RadioButtonIntEndsOn = new QRadioButton(QString::fromUtf8("On/ВКЛ."), group);
    RadioButtonIntEndsOn->setObjectName(QStringLiteral("RadioButtonIntEndsOn"));
    RadioButtonIntEndsOff = new QRadioButton(QString::fromUtf8("Off/Выкл."), group);
    RadioButtonIntEndsOff->setObjectName(QStringLiteral("RadioButtonIntEndsOff"));
    row->addWidget(RadioButtonIntEndsOn);
    row->addWidget(RadioButtonIntEndsOff);
    RadioButtonIntEndsOn->setChecked(main_.extrapolateEnds());
    RadioButtonIntEndsOff->setChecked(!main_.extrapolateEnds());
    connect(RadioButtonIntEndsOn, &QRadioButton::toggled, this, [this](bool on) {
        main_.setExtrapolateEnds(on);
        compare_.setExtrapolateEnds(on);
        if (SpeedButtonExtrapolate)
            SpeedButtonExtrapolate->setChecked(on);
    });
    return group;
}

QToolButton *TableCommands::makeExtrapolateButton(QWidget *parent)
{
    SpeedButtonExtrapolate = new QToolButton(parent);
    SpeedButtonExtrapolate->setObjectName(QStringLiteral("SpeedButtonExtrapolate"));
    SpeedButtonExtrapolate->setText(QStringLiteral("F6 "));
    SpeedButtonExtrapolate->setToolTip(QStringLiteral("Extrapolate the ends of the learned table"));
    SpeedButtonExtrapolate->setCheckable(true);
    SpeedButtonExtrapolate->setChecked(main_.extrapolateEnds());
    connect(SpeedButtonExtrapolate, &QToolButton::clicked, this, [this](bool down) {
        if (RadioButtonIntEndsOn)
            (down ? RadioButtonIntEndsOn : RadioButtonIntEndsOff)->setChecked(true);
    });
    return SpeedButtonExtrapolate;
}

void TableCommands::openDialog(Table &table, int which, const QString &caption, const QString &filter)
{
    const QString name = dialogs_->openFileName(parent_, {caption, filter, kTabSuffix, QString()});
    if (!name.isEmpty())
        openTab(table, which, name);
}

void TableCommands::saveDialog(Table &table, int which, const QString &caption, const QString &filter)
{
    const QString proposed = proposedName ? proposedName() : QString();
    const QString name = dialogs_->saveFileName(parent_, {caption, filter, kTabSuffix, proposed});
    if (!name.isEmpty() && saveTab(table, which, name) && saved)
        saved(name);
}

bool TableCommands::openTab(Table &table, int which, const QString &name)
{
    const TableEdit edit(table);
    qint64 size = 0;
    if (!tbl::loadTabFile(table, name, which, &size))
        return false;
    // A file of another size is taken as the format allows, but the user
    // should know it was not a whole table.
    const QString shown = QFileInfo(name).fileName();
    if (!tbl::isTableFileSize(size) && status)
        status(tbl::unusualSizeText(shown, size, true), tbl::unusualSizeText(shown, size, false));
    return true;
}

bool TableCommands::saveTab(Table &table, int which, const QString &name)
{
    return tbl::saveTabFile(table, name, which);
}

void TableCommands::nullImage(Table &table, int which)
{
    const TableEdit edit(table);
    const float volts = table.referenceVoltage();
    TImage &image = table.image(which);
    for (int i = 0; i < tbl::kPoints; ++i)
        image[tbl::at(i)] = 0;
    for (int i = tbl::kIatBase; i < tbl::kImageSize; ++i)
        image[tbl::at(i)] = 0;
    table.marks(which).fill(0);
    if (which != 2) {
        table.learnedValues().fill(0);
        table.learnedMarks().fill(0);
        table.setReferenceVoltage(volts);
    }
    table.setDefaultParameters(which);
    table.imageReplaced(which == 2 ? 2 : 1);
    table.takeSnapshot();
}

void TableCommands::copyImage(Table &table, int from, int to)
{
    const TableEdit edit(table);
    // The parameters travel as the boxes show them.
    table.readParameters(from);
    table.image(to) = table.image(from);
    table.imageReplaced(to == 2 ? 2 : 1);
    table.takeSnapshot();
}

void TableCommands::undo()
{
    // One edit: the restored image reaches the unit once.
    const TableEdit edit(main_);
    if (main_.undo())
        emit historyMoved();
}

void TableCommands::redo()
{
    const TableEdit edit(main_);
    if (main_.redo())
        emit historyMoved();
}
