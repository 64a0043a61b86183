#pragma once
// The bar above the pages: the port chooser (the system's ports and the demo
// unit; a typed device path is chosen with Enter), Reconnect, what the unit
// said of itself, and the language chooser.
#include <QWidget>

class QComboBox;
class QLabel;
class QToolButton;

class PortBar : public QWidget {
    Q_OBJECT
public:
    explicit PortBar(QWidget *parent = nullptr);

    QComboBox *ComComboBox1 = nullptr;
    QToolButton *SpeedButtonReconnect = nullptr;
    QLabel *LabelFirmware = nullptr;
    QLabel *LabelHwVersion = nullptr;
    QLabel *LabelFOsc = nullptr;
    QComboBox *ComboBoxLanguage = nullptr;

signals:
    // A port was picked from the list, or a typed path confirmed with Enter.
    void portChosen();
    // The chooser's list is about to open: the ports may be listed anew.
    void listAboutToOpen();

private:
    bool typedChoicePending_ = false;
};
