#pragma once
// The bar above the pages: the port chooser (the system's ports and the demo
// unit; a typed device path is chosen with Enter), Reconnect, what the unit
// said of itself, and the language chooser.
#include <QColor>
#include <QWidget>

class QComboBox;
class QLabel;
class QToolButton;

class PortBar : public QWidget {
    Q_OBJECT
public:
    // demoKey: what an entry for the demo unit stands for (its "path").
    PortBar(const QString &demoKey, QWidget *parent = nullptr);

    // Lists the system's ports, each with what is known of it, and the demo
    // unit last, under demoText (none when it is empty). Keeps what the
    // chooser shows and chooses nothing.
    void listPorts(const QString &demoText);
    // The demo unit's entry in another language.
    void setDemoText(const QString &demoText);
    // Shows a path or a chooser text: an entry as that entry (a text that only
    // matches one would make the chooser pick it again when it loses the focus).
    void showChoice(const QString &text);
    // What a chooser text stands for: an entry's path (or the demo key); a
    // typed text is the path itself.
    QString pathOf(const QString &choice) const;

    QComboBox *ComComboBox1 = nullptr;
    QToolButton *SpeedButtonReconnect = nullptr;
    QLabel *LabelFirmware = nullptr;
    QLabel *LabelHwVersion = nullptr;
    QLabel *LabelFOsc = nullptr;
    // The state of the link to the unit, in words and colour.
    QLabel *LabelConnectionState = nullptr;
    void showLinkState(const QString &text, const QColor &colour);
    QComboBox *ComboBoxLanguage = nullptr;

signals:
    // A port was picked from the list, or a typed path confirmed with Enter.
    void portChosen();
    // The chooser's list is about to open: the ports may be listed anew.
    void listAboutToOpen();

private:
    bool typedChoicePending_ = false;
    QString demoKey_;
};
