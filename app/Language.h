#pragma once
// English and Russian texts of the window: captions by the object name of
// their control, the shortcut help, the progress window's caption and the
// folder of the sound cues. Applying a language rewrites every caption at
// once; controls that do not exist (yet) are passed over.
#include <QString>
#include <QStringList>

#include <vector>

class QMenuBar;
class QObject;

namespace lang {

constexpr int kRussian = 0;
constexpr int kEnglish = 1;

struct Caption {
    const char *object;
    const char *english;
    const char *russian;
};
// Every localised caption, in the order they are applied.
const std::vector<Caption> &captions();
// A menu entry by its place: bar (log 0, comparison 1, table graph 2,
// dashboard 3, options 4, firmware 5), entry of the bar and, for an entry of
// a submenu, its index there (-1 for the bar's entry itself).
struct MenuCaption {
    int bar;
    int entry;
    int sub;
    const char *english;
    const char *russian;
};
const std::vector<MenuCaption> &menuCaptions();
// Tool tips by the object name of their control, as captions are.
const std::vector<Caption> &toolTips();
void applyToolTips(QObject *root, int language);

// Captions the entries of the bars, given in the order above; places that do
// not exist are passed over.
void applyMenuCaptions(const std::vector<QMenuBar *> &bars, int language);

// The shortcut help, one entry per line ("" for an empty line); empty for
// a language that is neither.
QStringList helpLines(int language);
// The unit's identification labels beside the port chooser, with their value.
// What the port bar says of the link to the unit, always in view.
enum class LinkState { NoUnit, Connecting, Connected, Live, Reading, Writing, Updating, Lost };
// "connected: fw 2.3 hw 3" ("подключено: ПО 2.3 плата 3"); the hardware part
// only where the unit tells it.
QString linkStateText(int language, LinkState state, const QString &firmware, const QString &hardware);
enum class UnitLabel { Firmware, Hardware, Oscillator };
QString unitLabel(int language, UnitLabel which, const QString &value);
// Value-axis title of the table, comparison and dashboard charts.
QString tableAxisTitle(int language);
// The log chart's value-axis and time-axis titles.
QStringList logAxisTitles(int language);
// "Sound/En/" or "Sound/Ru/"; any other index keeps the previous folder.
QString soundFolder(int language, const QString &previous);
// English for 1, Russian for any other index (-1 included).
bool isEnglish(int language);
// The program's name, and the window's title, which says when edits live
// only in the unit's working memory.
QString programName(int language);
QString windowTitle(int language, bool unstoredEdits);
// The main page's tab has an icon only: its tool tip names it.
QString mainPageTip(int language);
// The demo unit's entry in the port chooser; the English text is also what
// the entry stands for.
inline constexpr char kDemoUnitEntry[] = "Demo unit (emulated)";
QString demoUnitEntry(int language);
// A question with its answers (button texts, the last one cancels).
struct Question {
    QString text;
    QStringList answers;
};
// Asked before leaving a unit that holds edits not stored in it: store them,
// leave them in its working memory, cancel.
Question unstoredEditsQuestion(int language);
// Qt's own texts (file dialogs, Yes/No, Cancel) in the language, from the
// distribution's Qt translations; false when they are not installed (Qt's
// English texts then stay).
bool useQtTranslations(int language);
// Sets each caption on the object of that name under root (a tab page's
// caption on its tab, a menu's title, a group box's title, an action's or a
// button's or a label's text, a window's title).
void applyCaptions(QObject *root, int language);

} // namespace lang
