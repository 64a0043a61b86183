#pragma once
// Undo and redo history: a linked list of up to 32000 whole-state snapshots
// that never discards a branch, kept as a ring once full, and its file
// "UndoRedoHistory.his".
//
// Records are held compactly: each of the six arrays is stored at the
// narrowest width that holds all its values exactly (all zero, 8-bit, 16-bit
// signed or unsigned, else 32-bit) and shared with the record the snapshot
// was taken from when unchanged. A full history of typical edits takes a few
// tens of MB instead of 266 MB, and every value comes back exactly.
#include "table/TableCommon.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

using TImage = std::array<int32_t, tbl::kImageSize>;
using TPointArray = std::array<int32_t, tbl::kPoints>;

// One snapshot of a table's editable state, in record order.
struct TBufUndoRedo {
    static constexpr int kValueCount = 2082;
    TImage image1{};
    TImage image2{};
    TImage marks1{};
    TImage marks2{};
    TPointArray lmarks{};   // learned marks
    TPointArray learned{};  // learned values
    int32_t previous = 0;   // record that undo leads to
    int32_t next = 0;       // record that redo leads to
};

class TUndoHistory {
public:
    static constexpr int kMaxRecords = 32000;
    static constexpr int kRecordBytes = TBufUndoRedo::kValueCount * 2; // in the file
    static const char *const kFileName; // "UndoRedoHistory.his"

    TUndoHistory();
    ~TUndoHistory();

    int count() const { return static_cast<int>(records_.size()); }
    int current() const { return current_; }
    bool empty() const { return records_.empty(); }
    void clear();

    // Records state (its links are ignored) and links it in after the current record.
    void take(const TBufUndoRedo &state);
    // Move to the previous / next record and return its content in out.
    // False (out untouched) while the history is empty.
    bool undo(TBufUndoRedo *out);
    bool redo(TBufUndoRedo *out);

    // Expanded copy of record i (0 <= i < count()).
    TBufUndoRedo record(int i) const;
    int previousOf(int i) const { return records_.at(static_cast<size_t>(i)).previous; }
    int nextOf(int i) const { return records_.at(static_cast<size_t>(i)).next; }

    // The read-converter adjustment: undo and redo pass over the `skipped`
    // records before the current one (record c's previous := that of record
    // c - skipped, record c - skipped - 1's next := c). Applied only when
    // records c - skipped - 1 .. c were linked in one after another (so a young
    // history, or a ring that wrapped in between, is left alone); returns
    // whether it was applied.
    bool bypassBeforeCurrent(int skipped = 4);

    // Whole file, written to a temporary file beside it and renamed over the
    // old one; false on any failure (the old file is then kept).
    // reason: why it failed, as the system tells it.
    bool save(const QString &filePath, QString *reason = nullptr) const;
    // Replaces the history with the file's records. Stops at the last complete
    // record, never trusts the announced count for allocation, and keeps the
    // current index and every link inside the records read (an out-of-range
    // link points to its own record, an out-of-range index to the newest
    // one read). False, history unchanged, when no record could be read.
    bool load(const QString &filePath);

    // Bytes held by the records (payloads and bookkeeping), for the benchmark.
    size_t memoryBytes() const;

private:
    struct Packed;
    using PackedPtr = std::shared_ptr<const Packed>;
    struct Record {
        std::array<PackedPtr, 6> arrays; // image1, image2, marks1, marks2, lmarks, learned
        int32_t previous = 0;
        int32_t next = 0;
    };

    static PackedPtr pack(const int32_t *v, int n, const PackedPtr &candidate);
    static void unpack(const Packed &p, int32_t *out);
    static void encode16(const Packed &p, uint8_t *out); // 16-bit big-endian, as in the file
    Record packState(const TBufUndoRedo &state, const Record *base) const;
    void expand(const Record &r, TBufUndoRedo *out) const;

    std::vector<Record> records_;
    int current_ = 0;
};
