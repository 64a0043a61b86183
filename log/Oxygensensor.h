#pragma once
// Oxygen sensors: the five types of ComboBoxO2, the conversion of the frame's
// raw byte into the O2 column, its presentation on the dashboard, and the two
// set points (reference and target) with their track bars and labels.
#include <optional>

#include <QString>
#include <QStringList>

class Log;

// Colours travel as 32-bit values with red in the low byte (0x00BBGGRR), the
// layout the dashboard's colour fields have always used: (237, 240, 108) is 7139565.
constexpr int colourValue(int r, int g, int b)
{
    return r | (g << 8) | (b << 16);
}

namespace o2 {

enum SensorType {
    Narrow01V = 0,     // "0-1V Signal": higher means richer
    InnovateMtxL = 1,  // air-fuel ratio x 10
    Signal05V = 2,     // "0-5V Signal"
    Aem304110 = 3,     // air-fuel ratio x 10
    Aem300300 = 4,     // air-fuel ratio x 10
};
constexpr int kTypeCount = 5;
constexpr int kDefaultType = Signal05V; // selected at start-up

// The entry texts of ComboBoxO2, in index order.
QStringList sensorNames(bool english = true);
// Types 1, 3 and 4 store an air-fuel ratio x 10; 0 and 2 the raw code.
bool isAfrType(int type);
// +1 for type 0 (a higher value is richer), -1 for every other type.
int richSign(int type);

// Frame byte 7 as stored in the log's O2 column.
int recordingValue(int raw, int type);

constexpr int kBlue = colourValue(0, 128, 255);
constexpr int kGreen = colourValue(0, 221, 0);
constexpr int kYellow = colourValue(255, 255, 0);
constexpr int kOrange = colourValue(255, 128, 0);
constexpr int kRed = colourValue(255, 0, 0);

struct Display {
    int gauge = 0;   // 0..255 (air-fuel types are not limited)
    int colour = 0;  // colourValue()
    QString text;    // "0.51V", "14.7"
    QString text2;   // "11%", " " or empty
};
// How an O2 value (as stored) is shown for a sensor type.
Display display(int value, int type);

// Hint of a grid cell or of the O2Ref edit: "14.70 AFR" or "2.51 V".
QString hintText(int value, int type);
// The same for a cell's or the edit's text; nullopt when the text is not a number.
std::optional<QString> hintForText(const QString &text, int type);

// Leading decimal digits of a text as a C conversion reads them ("14x" is 14,
// "x" is 0); an optional sign and leading blanks are accepted.
int leadingNumber(const QString &text);

// MaskEditO2REF takes digits, Enter and Backspace only; any other key is refused with
// its message. Returns whether the key is taken.
bool o2RefKeyAccepted(QChar key);

} // namespace o2

// A vertical track bar of the log settings: its value is Max + Min - Position.
struct TVerticalBar {
    int min = 0;
    int max = 255;
    int position = 0;
    int value() const { return max + min - position; }
    void setValue(int v) { position = max + min - v; }
};

// TrackBarRefO2 and TrackBarLogO2Target with their labels. The window copies
// the bars' ranges and positions and the texts into its controls after each
// call, and passes a bar's new position in when the user moves it.
class TO2Setpoints {
public:
    // The log that receives the set points (not owned; may be null).
    void bindLog(Log *log) { log_ = log; }

    // ComboBoxO2 changed: ranges, both positions, labels, MaskEditO2REF.
    void sensorTypeChanged(int type);
    // The user moved TrackBarRefO2 / TrackBarLogO2Target.
    void referencePositionChanged(int position);
    void targetPositionChanged(int position);

    int sensorType() const { return type_; }
    const TVerticalBar &reference() const { return ref_; }
    const TVerticalBar &target() const { return target_; }

    QString labelRefO2;                   // LabelRefO2
    QString labelLogO2RefFromDash;        // LabelLogO2RefFromDash
    QString labelRefO2FromDashInPercent;  // LabelRefO2FromDashInPercent
    QString labelRefO2Log;                // LabelRefO2Log
    QString labelLogMixturePercent;       // LabelLogMixtuePercent
    QString o2RefEditText = QStringLiteral("30"); // MaskEditO2REF

private:
    void referenceChanged();
    void targetChanged();
    // Pulls the target back onto the rich side of the reference (or onto it).
    bool keepTargetRich();

    int type_ = o2::kDefaultType;
    TVerticalBar ref_{0, 255, 127};
    TVerticalBar target_{0, 255, 127};
    Log *log_ = nullptr;
};
