#pragma once
// The table commands of the window: the six tab-file dialogs (main table,
// compare images 1 and 2), the one-to-one variants, null and copy, default
// parameters (Button1), and undo and redo. The window owns the controls that
// the one-to-one reads (window state), so it handles that request itself.
#include <array>
#include <functional>
#include <optional>

#include <QObject>
#include <QString>

#include "ui/FileDialogs.h"

class QAction;
class QPushButton;
class QRadioButton;
class QToolButton;
class QWidget;
class Table;

class TableCommands : public QObject {
    Q_OBJECT
public:
    TableCommands(Table &main, Table &compare, QWidget *dialogParent);
    ~TableCommands() override;

    // Tests answer the dialogs themselves; null restores the platform's.
    void setDialogs(FileDialogs *dialogs);
    // The window's other file dialogs (logs, settings, firmware) go through it too.
    FileDialogs &dialogs() const { return *dialogs_; }
    // Proposed name of a save dialog (date and time, without extension).
    std::function<QString()> proposedName;
    // A table file was written where the user asked.
    std::function<void(const QString &file)> saved;
    // A word for the status line (English, Russian).
    std::function<void(const QString &english, const QString &russian)> status;
    // One-to-one table; no voltage keeps the reference voltage.
    std::function<void(std::optional<float> volts)> oneToOneHandler;

    // Tab files of the main table (image 1) and of the compare table.
    QAction *TabFileOpen = nullptr;
    QAction *TabFileSave = nullptr;
    QAction *FileOpenCompare = nullptr;
    QAction *FileOpenCompare2 = nullptr;
    QAction *FileSaveAsCompare = nullptr;
    QAction *FileSaveAsCompare2 = nullptr;
    // ActionTableOneToOne, then the Ref=5V, 8V, 10V and 12V variants.
    std::array<QAction *, 5> oneToOne{};
    QAction *ActionNullTable = nullptr;
    QAction *ActionNullCompare = nullptr;
    QAction *ActionCopyOneToTwo = nullptr;
    QAction *ActionCopyTwoToOne = nullptr;
    QAction *ActionUndo = nullptr;
    QAction *ActionRedo = nullptr;

    // A tool button for undo or redo of the main table (SpeedButtonUndo1..3, SpeedButtonRedo1..3).
    QToolButton *makeUndoButton(QWidget *parent, const QString &objectName);
    QToolButton *makeRedoButton(QWidget *parent, const QString &objectName);
    // Button1: default parameters of image 1 of the main table (hidden).
    QPushButton *makeButton1(QWidget *parent);
    // Extrapolate ends: RadioButtonIntEndsOn / RadioButtonIntEndsOff set the
    // flag of both tables; SpeedButtonExtrapolate ("F6") selects one of them.
    QWidget *makeExtrapolateSwitch(QWidget *parent);
    QToolButton *makeExtrapolateButton(QWidget *parent);
    QRadioButton *RadioButtonIntEndsOn = nullptr;
    QRadioButton *RadioButtonIntEndsOff = nullptr;
    QToolButton *SpeedButtonExtrapolate = nullptr;

    // What the dialogs run once a name is chosen.
    bool openTab(Table &table, int which, const QString &name);
    bool saveTab(Table &table, int which, const QString &name);
    // Null: conversion points and corrections of the image 0, default
    // parameters, reference voltage kept; snapshot.
    static void nullImage(Table &table, int which);
    // Copies all 392 slots of one image of the compare table onto the other.
    static void copyImage(Table &table, int from, int to);
    // Undo and redo of the main table, each one edit.
    void undo();
    void redo();

signals:
    // Undo or redo moved the main table (the log chart redraws).
    void historyMoved();

private:
    void openDialog(Table &table, int which, const QString &caption, const QString &filter);
    void saveDialog(Table &table, int which, const QString &caption, const QString &filter);

    Table &main_;
    Table &compare_;
    QWidget *parent_;
    QtFileDialogs platform_;
    FileDialogs *dialogs_ = &platform_;
};
