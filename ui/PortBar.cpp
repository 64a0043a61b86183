#include "ui/PortBar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

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

PortBar::PortBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PortBar"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
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
    ComboBoxLanguage = named(new QComboBox(this), "ComboBoxLanguage");
    ComboBoxLanguage->addItems({QString::fromUtf8("Русский"), QStringLiteral("English")});
    row->addWidget(named(new QLabel(QStringLiteral("COM port"), this), "LabelPort"));
    row->addWidget(ComComboBox1);
    row->addWidget(SpeedButtonReconnect);
    row->addSpacing(16);
    row->addWidget(LabelFirmware);
    row->addSpacing(12);
    row->addWidget(LabelHwVersion);
    row->addSpacing(12);
    row->addWidget(LabelFOsc);
    row->addStretch(1);
    row->addWidget(new QLabel(QStringLiteral("Язык/Language"), this));
    row->addWidget(ComboBoxLanguage);

    // A pick from the list chooses at once; a typed path is chosen with Enter.
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
