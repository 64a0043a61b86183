#pragma once
// The eight operating parameters (slots 256..263): how a stored byte is shown
// in its edit box and how typed text is stored, plus the main view's track
// bars and labels that drive the hidden edit boxes. Pure functions, so the
// window and the model cannot drift apart.
#include <QString>

#include <array>

namespace tbl {

// Index of a parameter = slot - 256.
enum ParamIndex {
    ParamMafTime = 0,      // 256 MaskEditMafTime: sampling time in 1/100 s, raw
    ParamThreshold = 1,    // 257 MaskEditTreshold: raw
    ParamEnrichment = 2,   // 258 MaskEditEnrichmentFactor: 128 + R(p x 1.28)
    ParamEnleanment = 3,   // 259 MaskEditEnleanmentFactor: R(p x 1.28)
    ParamSmoothMaf = 4,    // 260 MaskEditSmoothMaf: R(p x 1.28)
    ParamSmoothTps = 5,    // 261 MaskEditTps
    ParamSmoothRpm = 6,    // 262 MaskEditRpm
    ParamTpsThreshold = 7, // 263 MaskEditTpsThreshold: always stored as 255
};

// Stored defaults of slots 256..263.
constexpr std::array<int, 8> kDefaultParams = {4, 5, 128, 64, 128, 128, 128, 255};

// Value shown in the edit box for a stored slot value.
int paramShown(int param, int stored);
// Value stored for a shown (typed) value. The enrichment is capped at 255:
// 128 + R(100 x 1.28) = 256 would reach the device as byte 0, i.e. -100 %.
int paramStored(int param, int shown);
// "%i" of the shown value.
QString paramText(int param, int stored);
// The stored value for an edit box's text. A box still showing what the
// stored byte shows keeps that byte: the percentages cannot express every
// byte (130 shows as 2 %, which would store 131), and a table read from the
// unit or a file must go back unchanged when the user did not touch it.
// The TPS threshold is stored as 255 whatever the box holds.
int paramFromText(int param, int stored, const QString &text);
// The C-style decimal conversion of an edit box: optional blanks, optional
// sign, leading digits; anything else (or nothing) gives 0. Saturates instead
// of overflowing.
int parseLeadingInt(const QString &text);

// The edit boxes of one image, in slot order (index = ParamIndex). The window
// adapts its eight QLineEdit/masked boxes to this; TextParamFields keeps the
// texts itself where no boxes are bound.
class ParamFields {
public:
    virtual ~ParamFields() = default;
    virtual QString text(int param) const = 0;
    virtual void setText(int param, const QString &text) = 0;
};

class TextParamFields : public ParamFields {
public:
    QString text(int param) const override { return texts.at(static_cast<size_t>(param)); }
    void setText(int param, const QString &text) override { texts.at(static_cast<size_t>(param)) = text; }
    std::array<QString, 8> texts;
};

// Track bars of the main view, each paired with a hidden parameter box.
enum TrackBarId {
    TrackBarMafSm = 0,
    TrackBarTpsSm,
    TrackBarRpmSm,
    TrackBarMafTime,
    TrackBarMafPorog,
    TrackBarEnrichment,
    TrackBarEnleanment,
    TrackBarCount
};

struct TrackBarInfo {
    const char *trackBar;  // control name
    const char *editBox;   // paired hidden edit box
    const char *label;     // label showing the value
    int param;             // ParamIndex of the edit box
    int min;
    int max;
    int designPosition;
};

const TrackBarInfo &trackBarInfo(int id);
// Text written into the edit box for a track-bar position (decimal).
QString trackBarEditText(int position);
// Text of the track bar's own label for a position: "100", "0.04s", "+5%", "-50%";
// in Russian the seconds are "с" ("0.04с").
// LabelSmoothTPSSignal (the smoothing prefix of the sensor settings, ": " and the
// number) is composed by the window from trackBarEditText.
QString trackBarLabelText(int id, int position, bool english = true);
// Position for an edit-box text; ok = false when the text is not a number
// (the window reports the conversion error), the position is then unchanged
// by the caller. The result is limited to the bar's range.
int trackBarPositionFromText(int id, const QString &text, bool *ok);

} // namespace tbl
