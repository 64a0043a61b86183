#pragma once
// The dashboard page's frame: Start and Stop with the oxygen sensor chooser,
// the place of the chart and the gauges, the correction group, the place of
// the throttle panel and its tools, and the O2 reference bar. The window puts
// the table's views into the places once the table exists.
#include <QWidget>

class QAction;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QSlider;
class QToolButton;
class QVBoxLayout;
class CorrectionGroup;

class DashboardPage {
public:
    // Lays the frame out on page; Start and Stop run the two actions.
    DashboardPage(QWidget *page, QAction *start, QAction *stop);

    QToolButton *Button2 = nullptr; // Start
    QToolButton *Button6 = nullptr; // Stop
    QComboBox *ComboBoxO2 = nullptr;
    CorrectionGroup *correction = nullptr;
    QSlider *TrackBarRefO2 = nullptr;
    QLabel *LabelRefO2 = nullptr;
    QLabel *LabelLogO2RefFromDash = nullptr;
    QLabel *LabelRefO2FromDashInPercent = nullptr;
    // The chart and the gauges, side by side.
    QHBoxLayout *viewArea = nullptr;
    // The throttle panel and the table tools below it.
    QVBoxLayout *throttleArea = nullptr;
};
