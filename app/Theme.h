#pragma once
// The program's own look ("Amethyst"): light amethyst tones on the Fusion
// style, set whole so that a dark desktop theme cannot leave dark text on a
// dark ground. Labels keep their palette, so the throttle panel's red
// highlight stays visible.
class QApplication;

void applyTheme(QApplication &app);
