#pragma once
// The dashboard page's gauges, value labels, switch and coolant pictures and
// running maxima, and the factory-test group of the miscellaneous-gauges
// page. Each dashboard record of the live tick (TMsgDashData) updates them
// and the dashboard chart's bottom title.
#include <functional>

#include <QWidget>

struct TMsgDashData;
struct TTpsCalibration;
class ChartDashboard;
class QAbstractButton;
class QGroupBox;
class QLabel;
class QSlider;
class Table;
class TGauge;

// Window controls the dashboard reads (and the log limit it moves).
struct DashboardControls {
    QAbstractButton *idleSwitchInverted = nullptr; // CheckBoxIdleSwitch
    QAbstractButton *fullSwitchInverted = nullptr; // CheckBoxFullSwitch
    QAbstractButton *descending = nullptr;         // SpeedButtonToyota ("F9")
    QAbstractButton *logLimitLock = nullptr;       // LockLogLimitSpeedButton
    QAbstractButton *autocorrection = nullptr;     // SpeedButtonAutocorr
    QAbstractButton *manualBorders = nullptr;      // SpeedButtonManualBorders ("F8")
    QSlider *logLimit = nullptr;                   // LogLimitTrackBar
};

class DashboardView : public QWidget {
    Q_OBJECT
public:
    DashboardView(Table &table, TTpsCalibration &calibration, ChartDashboard *chart, QWidget *parent = nullptr);

    void setControls(const DashboardControls &controls) { controls_ = controls; }
    // The sensor record's working angle, in degrees.
    void setSensorAngleSource(std::function<int()> source) { sensorAngle_ = std::move(source); }

    // Show dashboard record (message 32774).
    void showRecord(const TMsgDashData &record);
    // The Start command's reset of the running maxima.
    void resetTrackers();
    // The lamps' texts in English or Russian.
    void setLanguage(bool english);
    // What the last autotuning request said (its state colour and reason);
    // an idle colour without a reason clears it.
    void showAutotuneState(int colour, int reason);

    int maxMafInput() const { return maxMaf_; }
    int outputExtreme() const { return outputExtreme_; }
    int currentMafInput() const { return currentMaf_; }

    // The factory-test group; the window places it on the miscellaneous-gauges page.
    QGroupBox *factoryTestGroup() const { return GroupBox5; }

    // Chart bottom title for an angle in degrees and the output in volts.
    static QString chartTitle(int sensorAngle, int mafInput, int converterOutput, double referenceVolts,
                              bool english = true);
    // Volts rounded to one decimal, shortest form, "V" ("0.5V", "5V").
    static QString oneDecimalVolts(double volts);

    TGauge *GaugeO2, *GaugeAuxOut, *GaugeMarker, *GaugeRpm, *GaugeTps;
    QLabel *LabelO2Val, *LabelRpmDash, *LabelTpsDash, *LabelMaxMaf, *LabelMaxOut, *ECTLabel, *LabelAuxOutValue;
    QLabel *LabelMarkerDash, *LabelTpsPercentDash; // the marker's and the throttle percent's values
    QLabel *IdleSwOnImage, *IdleSwOffImage, *FullSwOnImage, *FullSwOffImage, *EngineCold, *EngineHot;
    QLabel *LabelAutotuneState;
    QGroupBox *GroupBox5;
    TGauge *GaugeO2_1, *GaugeConv, *GaugeMaf_1, *GaugeTps_1;

private:
    bool checked(QAbstractButton *button) const;

    Table &table_;
    TTpsCalibration &calibration_;
    ChartDashboard *chart_;
    DashboardControls controls_;
    std::function<int()> sensorAngle_;
    int maxMaf_ = 0;
    int outputExtreme_ = 0;
    bool english_ = true;
    int autotuneColour_ = 0;
    int autotuneReason_ = 0;
    bool descending_ = false; // as the last record was shown
    bool seen_ = false;       // a record has been shown
    // MaxMaf= and MaxOut= (MinOut=) in the language shown.
    void showMaxima();
    int currentMaf_ = 0;
    int lastConverter_ = 0; // the last record's output, for re-titling in another language
    void showTitle();
};
