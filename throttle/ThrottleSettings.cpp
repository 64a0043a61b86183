#include "throttle/ThrottleSettings.h"

#include "table/Table_iat_ect_corr.h"

namespace kma {
namespace {

const QStringList kLabels = {"LabelMain",        "LabelAux",        "LabelMainMax",    "LabelKick",
                             "LabelMainMin",     "LabelAuxMax",     "LabelAuxMin",     "LabelIdleSw",
                             "LabelIdleSwValue", "LabelFullSw",     "LabelFullSwValue", "LabelSmoothTPSSignal",
                             "LabelRefVoltage"};
const QStringList kValueLabels = {"LabelMainMax",     "LabelKick",   "LabelMainMin",
                                  "LabelIdleSwValue", "LabelFullSwValue", "LabelAuxMax",
                                  "LabelAuxMin",      "LabelSmoothTPSSignal", "LabelRefVoltage"};

struct ModeInfo {
    const char *action;
    const char *caption;
    const char *captionLabel; // colour only
    const char *valueLabel;   // colour and bold
};
const ModeInfo kModes[kEditModes] = {
    {"EditMain", "Main", "LabelMain", ""},
    {"EditIdleSw", "Idle SW", "LabelIdleSw", "LabelIdleSwValue"},
    {"EditFullSw", "Full SW", "LabelFullSw", "LabelFullSwValue"},
    {"EditAuxMin", "Aux Min", "", "LabelAuxMin"},
    {"EditAuxMax", "Aux Max", "", "LabelAuxMax"},
    {"EditMax", "Max", "", "LabelMainMax"},
    {"EditMin", "Min", "", "LabelMainMin"},
    {"EditKick", "Kick", "", "LabelKick"},
    {"EditTpsSmoothingFactor", "TPS signal smoothing", "", "LabelSmoothTPSSignal"},
    {"EditRefVoltage", "Ref", "", "LabelRefVoltage"},
};

const ModeInfo &info(int mode)
{
    return kModes[tbl::clampInt(mode, 0, kEditModes - 1)];
}

// T[Byte(slot)] x Ref / 255: the main output at the input code a slot holds.
QString outputAt(const Table &table, int slot)
{
    const int code = table.byteAt(slot);
    return tbl::voltsText(table.slot(code) * double(table.referenceVoltage()) / 255.0);
}

} // namespace

QStringList sensorTypeNames()
{
    return {QStringLiteral("Pajero/Delica 4M40"), QStringLiteral("Pajero/Delica 4M40 EFI"),
            QStringLiteral("Mazda WL-T"),         QStringLiteral("Isuzu"),
            QStringLiteral("Nissan"),             QStringLiteral("Korvel")};
}

Preset preset(int index)
{
    struct Row {
        int direction, calSide;
        bool invert;
        int angle;
    };
    static const Row kRows[] = {{0, 1, false, 45}, {0, 1, false, 60}, {1, 1, false, 45},
                                {0, 1, false, 45}, {0, 1, true, 45},  {0, 0, false, 90}};
    Preset p;
    if (index < 0 || index >= int(std::size(kRows)))
        return p; // only the angle: 90
    const Row &r = kRows[index];
    p.direction = r.direction;
    p.calSide = r.calSide;
    p.invertIdle = r.invert;
    p.invertFull = r.invert;
    p.angle = r.angle;
    return p;
}

void setSwitchInversion(Table &table, bool idleSwitch, bool inverted)
{
    table.setSlot(idleSwitch ? tbl::kSlotIdleInvert : tbl::kSlotFullInvert, inverted ? 128 : 0);
}

const char *editActionName(int mode)
{
    return info(mode).action;
}

QString editCaption(int mode, bool russian)
{
    if (mode == 8 && russian)
        return QString::fromUtf8("Сглаживание сигнала TPS");
    return QString::fromLatin1(info(mode).caption);
}

const QStringList &panelLabels()
{
    return kLabels;
}

const QStringList &valueLabels()
{
    return kValueLabels;
}

QStringList highlightedLabels(int mode)
{
    QStringList out;
    const ModeInfo &m = info(mode);
    if (*m.captionLabel)
        out.append(QString::fromLatin1(m.captionLabel));
    if (*m.valueLabel)
        out.append(QString::fromLatin1(m.valueLabel));
    return out;
}

QString selectedValueLabel(int mode)
{
    return QString::fromLatin1(info(mode).valueLabel);
}

bool modeNeedsManualBorders(int mode)
{
    return mode >= EditIdleSw && mode <= EditAuxMax;
}

std::optional<int> modeWindowPosition(const Table &table, int mode)
{
    switch (mode) {
    case EditIdleSw:
        return table.byteAt(tbl::kSlotIdleSwitch);
    case EditFullSw:
        return table.byteAt(tbl::kSlotFullSwitch);
    case EditAuxMin:
        return tbl::clampCode(table.slot(tbl::kSlotAuxFirst));
    case EditAuxMax:
        return tbl::clampCode(table.slot(tbl::kSlotAuxFirst + 2));
    case EditMax:
        return table.byteAt(tbl::kSlotMax);
    case EditMin:
        return table.byteAt(tbl::kSlotMin);
    case EditKick:
        return table.byteAt(tbl::kSlotKick);
    default:
        return std::nullopt;
    }
}

PanelValues panelValues(const Table &table)
{
    PanelValues v;
    v.max = outputAt(table, tbl::kSlotMax);
    v.min = outputAt(table, tbl::kSlotMin);
    v.kick = outputAt(table, tbl::kSlotKick);
    v.idleSwitch = outputAt(table, tbl::kSlotIdleSwitch);
    v.fullSwitch = outputAt(table, tbl::kSlotFullSwitch);
    // The auxiliary output always on the fixed 5 V scale.
    v.auxMin = tbl::voltsText(table.slot(tbl::kSlotAuxFirst + 1) * 5.0 / 255.0);
    v.auxMax = tbl::voltsText(table.slot(tbl::kSlotAuxFirst + 3) * 5.0 / 255.0);
    v.ref = tbl::refVoltageLabel(table.referenceVoltage());
    return v;
}

QString smoothingLabel(int percent, bool russian)
{
    return (russian ? QString::fromUtf8("Сглаживание  сигнала датчика") : QStringLiteral("TPS signal smoothing"))
           + QStringLiteral(": ") + QString::number(percent);
}

void windowStartMoved(Table &table, TWindowState &w)
{
    int p = w.windowStart;
    const int kick = table.byteAt(tbl::kSlotKick);
    switch (w.editMode) {
    case EditIdleSw:
        table.setSlot(tbl::kSlotIdleSwitch, p);
        table.setSlot(tbl::kSlotIdleSwitch + 1, p);
        break;
    case EditFullSw:
        table.setSlot(tbl::kSlotFullSwitch, p);
        table.setSlot(tbl::kSlotFullSwitch + 1, p);
        break;
    case EditAuxMin: {
        const int upper = table.slot(tbl::kSlotAuxFirst + 2);
        if (p >= upper)
            p = tbl::clampCode(upper);
        table.setSlot(tbl::kSlotAuxFirst, p);
        break;
    }
    case EditAuxMax: {
        const int lower = table.slot(tbl::kSlotAuxFirst);
        if (p <= lower)
            p = tbl::clampCode(lower);
        table.setSlot(tbl::kSlotAuxFirst + 2, p);
        break;
    }
    case EditMax:
        p = std::max(p, kick);
        break;
    case EditMin:
        p = std::min(p, kick);
        break;
    case EditKick:
        p = tbl::clampInt(p, table.byteAt(tbl::kSlotMin), std::max(table.byteAt(tbl::kSlotMin),
                                                                   table.byteAt(tbl::kSlotMax)));
        break;
    default:
        return;
    }
    w.windowStart = p;
    w.windowEnd = p;
}

AuxSnapshot auxSnapshot(const Table &table)
{
    AuxSnapshot s{};
    for (int k = 0; k < 4; ++k)
        s[size_t(k)] = table.slot(tbl::kSlotAuxFirst + k);
    return s;
}

void auxCorrection(Table &table, int mode, const AuxSnapshot &snapshot, int correction)
{
    for (int k = 0; k < 4; ++k)
        table.setSlot(tbl::kSlotAuxFirst + k, snapshot[size_t(k)]);
    const int k = mode == EditAuxMin ? 1 : (mode == EditAuxMax ? 3 : -1);
    if (k < 0)
        return;
    table.setSlot(tbl::kSlotAuxFirst + k, tbl::addLimited(snapshot[size_t(k)], correction, 0, 255));
    table.refresh();
}

int limitSmoothing(int percent)
{
    return tbl::clampInt(percent, 0, 100);
}

} // namespace kma
