#include "ui/PortBar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

#include "link/PortInfo.h"
#include "ui/FlowLayout.h"
#include "ui/Widgets.h"

namespace {
// The port chooser tells before its list opens, so that the list shows the
// ports present now (an adapter plugged in after the start).
class PortChooser : public QComboBox {
public:
    PortChooser(PortBar *bar) : QComboBox(bar), bar_(bar) {}
    void showPopup() override
    {
        emit bar_->listAboutToOpen();
        QComboBox::showPopup();
    }

private:
    PortBar *bar_;
};
} // namespace

PortBar::PortBar(const QString &demoKey, QWidget *parent) : QWidget(parent), demoKey_(demoKey)
{
    setObjectName(QStringLiteral("PortBar"));
    ComComboBox1 = named(new PortChooser(this), "ComComboBox1");
    ComComboBox1->setEditable(true);
    ComComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComComboBox1->setMinimumWidth(220);
    ComComboBox1->setToolTip(QStringLiteral("Serial port of the unit; type a device path and press Enter"));
    SpeedButtonReconnect = named(new QToolButton(this), "SpeedButtonReconnect");
    SpeedButtonReconnect->setText(QStringLiteral("Reconnect"));
    SpeedButtonReconnect->setEnabled(false);
    LabelFirmware = named(new QLabel(QStringLiteral("FW_Version:"), this), "LabelFirmware");
    LabelHwVersion = named(new QLabel(this), "LabelHwVersion");
    LabelFOsc = named(new QLabel(this), "LabelFOsc");
    LabelConnectionState = named(new QLabel(this), "LabelConnectionState");
    LabelConnectionState->setContentsMargins(6, 0, 6, 0);
    ComboBoxLanguage = named(new QComboBox(this), "ComboBoxLanguage");
    ComboBoxLanguage->addItems({QString::fromUtf8("Русский"), QStringLiteral("English")});
    // Three groups that stay whole: the port with its state, the unit's
    // versions, the language. Where the window is too narrow for one row
    // (a strongly scaled screen, the longer Russian captions) they wrap.
    auto group = [this](const char *name, std::initializer_list<QWidget *> widgets, int spacing) {
        auto *box = named(new QWidget(this), name);
        auto *row = new QHBoxLayout(box);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(spacing);
        for (QWidget *w : widgets)
            row->addWidget(w);
        return box;
    };
    auto *flow = new FlowLayout(this, 16);
    flow->setLastItemRight(true);
    flow->addWidget(group("PortGroup",
                          {named(new QLabel(QStringLiteral("COM port"), this), "LabelPort"), ComComboBox1,
                           SpeedButtonReconnect, LabelConnectionState},
                          6));
    flow->addWidget(group("UnitGroup", {LabelFirmware, LabelHwVersion, LabelFOsc}, 12));
    flow->addWidget(group("LanguageGroup", {new QLabel(QStringLiteral("Язык/Language"), this), ComboBoxLanguage}, 6));

    // A pick from the list chooses at once; a typed path is chosen with Enter.
    chooseOnlyOnPurpose(ComComboBox1);
    connect(ComComboBox1, QOverload<int>::of(&QComboBox::activated), this, [this](int) { emit portChosen(); });
    // Enter on a listed name already activates its entry; only a typed path
    // needs this. The combo box hands one Enter to its line edit twice, so
    // the choice runs once, after the key has been handled.
    connect(ComComboBox1->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (typedChoicePending_ || ComComboBox1->findText(ComComboBox1->currentText()) >= 0)
            return;
        typedChoicePending_ = true;
        QTimer::singleShot(0, this, [this] {
            typedChoicePending_ = false;
            emit portChosen();
        });
    });
}

void PortBar::showLinkState(const QString &text, const QColor &colour)
{
    LabelConnectionState->setText(text);
    // A frame in the state's colour, the words in the same: seen at a glance.
    LabelConnectionState->setStyleSheet(QStringLiteral("QLabel { color: %1; border: 1px solid %1; border-radius: 3px; }")
                                            .arg(colour.name()));
}

void PortBar::listPorts(const QString &demoText)
{
    const QSignalBlocker blocker(ComComboBox1);
    const QString shown = ComComboBox1->currentText();
    ComComboBox1->clear();
    for (const ports::Port &port : ports::list())
        ComComboBox1->addItem(ports::choiceText(port), port.path);
    if (!demoText.isEmpty())
        ComComboBox1->addItem(demoText, demoKey_);
    ComComboBox1->setCurrentIndex(-1);
    if (!shown.isEmpty())
        showChoice(shown);
}

void PortBar::setDemoText(const QString &demoText)
{
    const int demo = ComComboBox1->findData(demoKey_);
    if (demo < 0)
        return;
    const bool current = ComComboBox1->currentIndex() == demo;
    ComComboBox1->setItemText(demo, demoText);
    if (current)
        ComComboBox1->setEditText(demoText);
}

void PortBar::showChoice(const QString &text)
{
    int entry = ComComboBox1->findData(text);
    if (entry < 0)
        entry = ComComboBox1->findText(text);
    if (entry >= 0)
        ComComboBox1->setCurrentIndex(entry);
    else
        ComComboBox1->setCurrentText(text);
}

QString PortBar::pathOf(const QString &choice) const
{
    const int entry = ComComboBox1->findText(choice);
    return entry >= 0 && ComComboBox1->itemData(entry).isValid() ? ComComboBox1->itemData(entry).toString() : choice;
}
