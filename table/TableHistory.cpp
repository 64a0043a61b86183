#include "table/TableHistory.h"

#include "table/SafeFile.h"

#include <QFile>

#include <algorithm>
#include <cstring>

const char *const TUndoHistory::kFileName = "UndoRedoHistory.his";

namespace {
constexpr int kArraySizes[6] = {tbl::kImageSize, tbl::kImageSize, tbl::kImageSize,
                                tbl::kImageSize, tbl::kPoints, tbl::kPoints};
// In the file the learned values come before the learned marks.
constexpr int kFileOrder[6] = {0, 1, 2, 3, 5, 4};

int32_t *arrayOf(TBufUndoRedo &b, int k)
{
    switch (k) {
    case 0: return b.image1.data();
    case 1: return b.image2.data();
    case 2: return b.marks1.data();
    case 3: return b.marks2.data();
    case 4: return b.lmarks.data();
    default: return b.learned.data();
    }
}
const int32_t *arrayOf(const TBufUndoRedo &b, int k)
{
    return arrayOf(const_cast<TBufUndoRedo &>(b), k);
}
} // namespace

namespace {
inline uint8_t *put16(uint8_t *p, int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u >> 8);
    p[1] = static_cast<uint8_t>(u);
    return p + 2;
}
inline int32_t get16(const uint8_t *p)
{
    return (static_cast<int32_t>(p[0]) << 8) | p[1];
}
constexpr int kChunkRecords = 128; // about 0.5 MB per write or read
} // namespace

struct TUndoHistory::Packed {
    enum Kind : uint8_t { Zero, U8, I16, U16, I32 };
    Kind kind = Zero;
    int n = 0;
    std::vector<uint8_t> data;

    int32_t at(int i) const
    {
        switch (kind) {
        case Zero: return 0;
        case U8: return data[static_cast<size_t>(i)];
        case I16: { int16_t v; std::memcpy(&v, &data[static_cast<size_t>(i) * 2], 2); return v; }
        case U16: { uint16_t v; std::memcpy(&v, &data[static_cast<size_t>(i) * 2], 2); return v; }
        case I32: { int32_t v; std::memcpy(&v, &data[static_cast<size_t>(i) * 4], 4); return v; }
        }
        return 0;
    }
};

TUndoHistory::TUndoHistory() = default;
TUndoHistory::~TUndoHistory() = default;

void TUndoHistory::clear()
{
    records_.clear();
    current_ = 0;
}

TUndoHistory::PackedPtr TUndoHistory::pack(const int32_t *v, int n, const PackedPtr &candidate)
{
    if (candidate && candidate->n == n) {
        int32_t old[tbl::kImageSize];
        unpack(*candidate, old);
        if (std::memcmp(old, v, static_cast<size_t>(n) * sizeof(int32_t)) == 0)
            return candidate;
    }
    int32_t lo = v[0], hi = v[0];
    for (int i = 1; i < n; ++i) {
        lo = std::min(lo, v[i]);
        hi = std::max(hi, v[i]);
    }
    auto p = std::make_shared<Packed>();
    p->n = n;
    if (lo == 0 && hi == 0) {
        // One shared all-zero array per size keeps empty images nearly free.
        static const PackedPtr zero392 = [] { auto z = std::make_shared<Packed>(); z->n = tbl::kImageSize; return z; }();
        static const PackedPtr zero256 = [] { auto z = std::make_shared<Packed>(); z->n = tbl::kPoints; return z; }();
        if (n == tbl::kImageSize)
            return zero392;
        if (n == tbl::kPoints)
            return zero256;
        return p;
    }
    if (lo >= 0 && hi <= 255) {
        p->kind = Packed::U8;
        p->data.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            p->data[static_cast<size_t>(i)] = static_cast<uint8_t>(v[i]);
    } else if (lo >= -32768 && hi <= 32767) {
        p->kind = Packed::I16;
        p->data.resize(static_cast<size_t>(n) * 2);
        for (int i = 0; i < n; ++i) {
            const int16_t x = static_cast<int16_t>(v[i]);
            std::memcpy(&p->data[static_cast<size_t>(i) * 2], &x, 2);
        }
    } else if (lo >= 0 && hi <= 65535) {
        p->kind = Packed::U16;
        p->data.resize(static_cast<size_t>(n) * 2);
        for (int i = 0; i < n; ++i) {
            const uint16_t x = static_cast<uint16_t>(v[i]);
            std::memcpy(&p->data[static_cast<size_t>(i) * 2], &x, 2);
        }
    } else {
        p->kind = Packed::I32;
        p->data.resize(static_cast<size_t>(n) * 4);
        std::memcpy(p->data.data(), v, static_cast<size_t>(n) * 4);
    }
    return p;
}

void TUndoHistory::unpack(const Packed &p, int32_t *out)
{
    const int n = p.n;
    switch (p.kind) {
    case Packed::Zero:
        std::fill(out, out + n, 0);
        break;
    case Packed::U8:
        for (int i = 0; i < n; ++i)
            out[i] = p.data[static_cast<size_t>(i)];
        break;
    case Packed::I32:
        std::memcpy(out, p.data.data(), static_cast<size_t>(n) * 4);
        break;
    default:
        for (int i = 0; i < n; ++i)
            out[i] = p.at(i);
        break;
    }
}

TUndoHistory::Record TUndoHistory::packState(const TBufUndoRedo &state, const Record *base) const
{
    Record r;
    for (int k = 0; k < 6; ++k)
        r.arrays[static_cast<size_t>(k)] = pack(arrayOf(state, k), kArraySizes[k],
                                                base ? base->arrays[static_cast<size_t>(k)] : PackedPtr());
    return r;
}

void TUndoHistory::expand(const Record &r, TBufUndoRedo *out) const
{
    for (int k = 0; k < 6; ++k)
        unpack(*r.arrays[static_cast<size_t>(k)], arrayOf(*out, k));
    out->previous = r.previous;
    out->next = r.next;
}

void TUndoHistory::take(const TBufUndoRedo &state)
{
    const int n = count();
    const int c = current_;
    Record r = packState(state, n > 0 ? &records_[static_cast<size_t>(c)] : nullptr);
    r.previous = c;
    if (n < kMaxRecords) {
        const int newIndex = n;
        if (n == 0 || c == n - 1) {
            r.next = newIndex;
            if (n > 0) {
                records_[static_cast<size_t>(c)].next = newIndex;
                records_[0].previous = newIndex; // undo from the oldest leads to the newest
            }
        } else {
            // After undos the new record goes in after the current one, ahead
            // of where redo would have gone; no branch is dropped.
            r.next = records_[static_cast<size_t>(c)].next;
            records_[static_cast<size_t>(c)].next = newIndex;
        }
        records_.push_back(std::move(r));
        current_ = newIndex;
        return;
    }
    // Full: a ring that overwrites the record after the current one.
    if (c == kMaxRecords - 1) {
        records_[static_cast<size_t>(c)].next = 0;
        r.next = 1;
        records_[0] = std::move(r);
        current_ = 0;
    } else {
        records_[static_cast<size_t>(c)].next = c + 1;
        r.next = (c + 2 > kMaxRecords - 2) ? 0 : c + 2;
        records_[static_cast<size_t>(c) + 1] = std::move(r);
        current_ = c + 1;
    }
}

bool TUndoHistory::undo(TBufUndoRedo *out)
{
    if (records_.empty())
        return false;
    current_ = records_[static_cast<size_t>(current_)].previous;
    if (out)
        expand(records_[static_cast<size_t>(current_)], out);
    return true;
}

bool TUndoHistory::redo(TBufUndoRedo *out)
{
    if (records_.empty())
        return false;
    current_ = records_[static_cast<size_t>(current_)].next;
    if (out)
        expand(records_[static_cast<size_t>(current_)], out);
    return true;
}

TBufUndoRedo TUndoHistory::record(int i) const
{
    TBufUndoRedo b;
    expand(records_.at(static_cast<size_t>(i)), &b);
    return b;
}

bool TUndoHistory::bypassBeforeCurrent(int skipped)
{
    const int c = current_;
    if (skipped < 1 || c - skipped - 1 < 0 || c >= count())
        return false;
    for (int j = 0; j <= skipped; ++j)
        if (records_[static_cast<size_t>(c - j)].previous != c - j - 1)
            return false;
    records_[static_cast<size_t>(c)].previous = records_[static_cast<size_t>(c - skipped)].previous;
    records_[static_cast<size_t>(c - skipped - 1)].next = c;
    return true;
}


void TUndoHistory::encode16(const Packed &p, uint8_t *out)
{
    const int n = p.n;
    switch (p.kind) {
    case Packed::Zero:
        std::memset(out, 0, static_cast<size_t>(n) * 2);
        break;
    case Packed::U8:
        for (int i = 0; i < n; ++i) {
            out[2 * i] = 0;
            out[2 * i + 1] = p.data[static_cast<size_t>(i)];
        }
        break;
    default:
        for (int i = 0; i < n; ++i)
            put16(out + 2 * i, p.at(i));
        break;
    }
}

bool TUndoHistory::save(const QString &filePath, QString *reason) const
{
    const safefile::Result written = safefile::write(filePath, [this](QIODevice &file) {
        std::vector<uint8_t> buf(static_cast<size_t>(kChunkRecords) * kRecordBytes + 4);
        uint8_t *p = buf.data();
        p = put16(p, count());
        p = put16(p, current_);
        // Consecutive records mostly share arrays: encode each distinct array once.
        const Packed *lastArray[6] = {};
        std::vector<uint8_t> lastBytes[6];
        for (int k = 0; k < 6; ++k)
            lastBytes[k].resize(static_cast<size_t>(kArraySizes[k]) * 2);
        for (const Record &rec : records_) {
            for (int k : kFileOrder) {
                const Packed *a = rec.arrays[static_cast<size_t>(k)].get();
                if (a != lastArray[k]) {
                    encode16(*a, lastBytes[k].data());
                    lastArray[k] = a;
                }
                std::memcpy(p, lastBytes[k].data(), lastBytes[k].size());
                p += lastBytes[k].size();
            }
            p = put16(p, rec.previous);
            p = put16(p, rec.next);
            if (buf.data() + buf.size() - p < kRecordBytes) {
                const qint64 len = p - buf.data();
                if (file.write(reinterpret_cast<const char *>(buf.data()), len) != len)
                    return false;
                p = buf.data();
            }
        }
        const qint64 len = p - buf.data();
        return len == 0 || file.write(reinterpret_cast<const char *>(buf.data()), len) == len;
    });
    if (reason)
        *reason = written.reason;
    return written.ok();
}

namespace {
// Reads up to len bytes, looping over short reads; returns the count read.
qint64 readFully(QFile &f, uint8_t *dst, qint64 len)
{
    qint64 got = 0;
    while (got < len) {
        const qint64 r = f.read(reinterpret_cast<char *>(dst) + got, len - got);
        if (r <= 0)
            break;
        got += r;
    }
    return got;
}
} // namespace

bool TUndoHistory::load(const QString &filePath)
{
    QFile file(filePath);
    // Reads are large chunks already; Qt's own buffer would only add a copy.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    uint8_t head[4];
    if (readFully(file, head, 4) != 4)
        return false;
    const int announced = get16(head);
    const int currentRead = get16(head + 2);
    // The announced count is only an upper bound: never reserve more records
    // than the ring holds or than the file's size can contain.
    const qint64 bySize = std::max<qint64>(0, (file.size() - 4) / kRecordBytes);
    const int limit = static_cast<int>(std::min<qint64>({announced, kMaxRecords, bySize}));

    std::vector<Record> loaded;
    loaded.reserve(static_cast<size_t>(limit));
    std::vector<uint8_t> buf(static_cast<size_t>(kChunkRecords) * kRecordBytes);
    TBufUndoRedo r;
    std::vector<uint8_t> previousRaw(kRecordBytes);
    bool truncated = false;
    // Reading goes by chunks up to the announced count and stops at the first
    // short chunk, so memory follows what the file really holds.
    const int wanted = std::min(announced, kMaxRecords);
    while (!truncated && static_cast<int>(loaded.size()) < wanted) {
        const int chunk = std::min(kChunkRecords, wanted - static_cast<int>(loaded.size()));
        const qint64 got = readFully(file, buf.data(), static_cast<qint64>(chunk) * kRecordBytes);
        const int complete = static_cast<int>(got / kRecordBytes);
        truncated = complete < chunk;
        for (int k = 0; k < complete; ++k) {
            const uint8_t *p = buf.data() + static_cast<size_t>(k) * kRecordBytes;
            const uint8_t *rec0 = p;
            Record rec;
            for (int a : kFileOrder) {
                const size_t bytes = static_cast<size_t>(kArraySizes[a]) * 2;
                const size_t offset = static_cast<size_t>(p - rec0);
                // An array equal, byte for byte, to the previous record's is shared undecoded.
                if (!loaded.empty() && std::memcmp(p, previousRaw.data() + offset, bytes) == 0) {
                    rec.arrays[static_cast<size_t>(a)] = loaded.back().arrays[static_cast<size_t>(a)];
                } else {
                    int32_t *v = arrayOf(r, a);
                    for (int i = 0; i < kArraySizes[a]; ++i)
                        v[i] = get16(p + 2 * i);
                    rec.arrays[static_cast<size_t>(a)] = pack(v, kArraySizes[a], PackedPtr());
                }
                p += bytes;
            }
            rec.previous = get16(p);
            rec.next = get16(p + 2);
            std::memcpy(previousRaw.data(), rec0, kRecordBytes);
            loaded.push_back(std::move(rec));
        }
    }
    if (loaded.empty())
        return false;
    const int m = static_cast<int>(loaded.size());
    for (int i = 0; i < m; ++i) {
        Record &rec = loaded[static_cast<size_t>(i)];
        if (rec.previous >= m)
            rec.previous = i;
        if (rec.next >= m)
            rec.next = i;
    }
    records_ = std::move(loaded);
    current_ = currentRead < m ? currentRead : m - 1;
    return true;
}

size_t TUndoHistory::memoryBytes() const
{
    // Each shared array is charged to its holders in equal parts.
    double total = static_cast<double>(records_.capacity() * sizeof(Record));
    for (const Record &rec : records_)
        for (const PackedPtr &p : rec.arrays)
            total += static_cast<double>(sizeof(Packed) + 32 + p->data.capacity()) / static_cast<double>(p.use_count());
    return static_cast<size_t>(total);
}
