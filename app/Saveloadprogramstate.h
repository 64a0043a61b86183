#pragma once
// The program state file "config.cfg": 28 bytes of user choices kept between
// runs (language, display choices, "F9", autotuning settings, the TPS
// calibration). Single bytes first, then twelve 16-bit big-endian numbers.
#include <array>
#include <cstdint>

#include <QByteArray>
#include <QString>

struct TProgramState {
    static constexpr int kSize = 28;
    static constexpr int kWords = 12;
    enum Word {
        Delta = 0,        // UpDown1
        RefO2,            // TrackBarRefO2 position
        TpsMin,           // TPS calibration record
        TpsMax,
        TrackBarB,        // position
        TrackBarT,
        ForcedIdleRpm,    // MaskEditForcedIdleRpm as a number
        ForcedIdleTps,    // MaskEditForcedIdleTps
        MafWindowStart,   // the correction window start kept as learned start
        Spare,            // kept, not used
        TrackBarBCopy,
        TrackBarTCopy,
    };

    int language = 1;       // signed byte: 0 Russian, 1 English, -1 no selection
    int o2ShowVafr = 1;     // oxygen shown in volts/AFR (else ADC counts)
    int descending = 0;     // "F9" down
    int tpsShowRaw = 0;     // TPS shown in raw counts (else percent)
    std::array<int, kWords> words = {10, 24, 0, 0, 1000, 1000, 1200, 2, 0, 10, 1000, 1000};

    QByteArray encode() const;
    // Reads the fields the bytes hold, in order; fields past the end of a
    // short file keep their values. Returns how many fields were read.
    int decode(const QByteArray &bytes);
    // Number of fields a file of n bytes holds whole (0..16).
    static int fieldsIn(int n);
};

namespace programstate {
constexpr const char *kFileName = "config.cfg";
// Written to a temporary file and renamed over the old one; where no
// temporary file can be made beside it (a read-only folder holding a
// writable file), written in place. Shows "Config file save error" when
// that fails.
bool save(const TProgramState &state, const QString &fileName);
// Shows "<name> Config file load error" when the file cannot be read (unless
// quietWhenMissing and it does not exist: a first start). At most 28 bytes
// are read. Returns the fields read, -1 when the file could not be read;
// size: the file's length.
int load(TProgramState &state, const QString &fileName, bool quietWhenMissing = false, qint64 *size = nullptr);
} // namespace programstate
