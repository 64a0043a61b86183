// Figures for the undo history; prints, never fails.
//   bench_history [folder]   (folder for the temporary files; default: system temp)
// Fills a history to 32000 records with realistic edits, reports the peak
// resident memory, the time of one typical edit (snapshot + apply correction +
// learned interpolation), and saving and loading the full history as ratios
// to writing / reading the same byte count with one buffered call.
#include "table/Table_iat_ect_corr.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>

using namespace tbl;
using Clock = std::chrono::steady_clock;

namespace {
long statusKb(const char *key)
{
    std::ifstream f("/proc/self/status");
    std::string line;
    const std::string k = std::string(key) + ":";
    while (std::getline(f, line))
        if (line.compare(0, k.size(), k) == 0)
            return std::stol(line.substr(k.size()));
    return -1;
}

double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

template <class F>
double best(int runs, F f)
{
    double b = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        f();
        b = std::min(b, secondsSince(t0));
    }
    return b;
}

// One of the edits a user makes on the dashboard and the charts.
void realisticEdit(Table &t, std::mt19937 &rng, TWindowState &w)
{
    std::uniform_int_distribution<int> code(0, 255), corr(-12, 12), kind(0, 9);
    const int a = code(rng);
    const int b = std::min(255, a + code(rng) % 12);
    switch (kind(rng)) {
    case 0:
    case 1:
    case 2:
    case 3:
        t.applyCorrectionToWindow(corr(rng), a, b, 3);
        break;
    case 4:
        t.applyCorrectionToWindow(corr(rng), a, b, 1);
        break;
    case 5:
        t.editPoint(TableSeries::Tab1, a, code(rng), false, false);
        break;
    case 6: {
        TOperatingPoint op;
        op.iatCode = a;
        op.ectCode = b;
        t.setOperatingPoint(op);
        w.recording = true;
        t.applyTemperatureCorrection(a % 2 ? TempTarget::IAT : TempTarget::ECT, corr(rng), w);
        break;
    }
    case 7:
        t.editPoint(TableSeries::Tab1, a, code(rng), true, b % 2 == 0);
        break;
    case 8:
        t.clearLearned(a, b);
        break;
    default:
        t.addLearnedPoint(a);
        t.applyCorrectionToWindow(corr(rng), a, a, 0);
        break;
    }
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir tmp(argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).filePath("bench-XXXXXX") : QString());
    if (!tmp.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString path = Table::historyPath(tmp.path());
    const long rssStart = statusKb("VmRSS");
    long peakFull = 0;
    qint64 fileBytes = 0;
    double saveS = 0, loadS = 0, editUs = 0;
    size_t modelBytes = 0;
    {
        auto t = std::make_unique<Table>();
        TextParamFields boxes;
        t->setUpTableView(nullptr, true, false, &boxes);
        TWindowState w;
        t->oneToOne(w, 5.0f);
        t->setSlot(kSlotMin, 5);
        t->setSlot(kSlotMax, 250);
        t->setSlot(kSlotKick, 240);
        std::mt19937 rng(12345);
        const auto t0 = Clock::now();
        while (t->history().count() < TUndoHistory::kMaxRecords)
            realisticEdit(*t, rng, w);
        const double fillS = secondsSince(t0);
        peakFull = statusKb("VmHWM");
        modelBytes = t->history().memoryBytes();
        std::printf("filled %d records in %.2f s\n", t->history().count(), fillS);

        // One typical edit on the full (ring) history.
        const int edits = 5000;
        std::uniform_int_distribution<int> code(0, 250), corr(-8, 8);
        const auto e0 = Clock::now();
        for (int i = 0; i < edits; ++i) {
            const int a = code(rng);
            t->applyCorrectionToWindow(corr(rng), a, a + 4, 3);
        }
        editUs = secondsSince(e0) / edits * 1e6;

        saveS = best(3, [&] { t->saveHistory(tmp.path()); });
        fileBytes = QFileInfo(path).size();
    }
    {
        auto u = std::make_unique<Table>();
        u->setUpTableView(nullptr, true, false, nullptr);
        loadS = best(3, [&] { u->loadHistory(tmp.path()); });
        std::printf("loaded %d records, current %d\n", u->history().count(), u->history().current());
    }
    const long peakAfterLoad = statusKb("VmHWM");

    // References: the same byte count with one buffered call.
    QByteArray block(static_cast<int>(fileBytes), '\x5a');
    const QString refPath = QDir(tmp.path()).filePath("reference.bin");
    const double writeRefS = best(3, [&] {
        QFile f(refPath);
        f.open(QIODevice::WriteOnly);
        f.write(block);
        f.close();
    });
    // The same one call through the safe replace (temporary file renamed over
    // the old one) that the history save uses.
    const double safeWriteRefS = best(3, [&] {
        QSaveFile f(refPath);
        f.open(QIODevice::WriteOnly);
        f.write(block);
        f.commit();
    });
    const double readRefS = best(3, [&] {
        QFile f(refPath);
        f.open(QIODevice::ReadOnly);
        f.read(block.data(), block.size());
    });

    std::printf("history file: %lld bytes\n", static_cast<long long>(fileBytes));
    std::printf("peak RSS with a full history: %.1f MB (process at start %.1f MB, records %.1f MB)"
                " -- bound 150 MB, naive layout 266 MB\n",
                peakFull / 1024.0, rssStart / 1024.0, modelBytes / 1048576.0);
    std::printf("peak RSS after save and load: %.1f MB\n", peakAfterLoad / 1024.0);
    std::printf("typical edit (snapshot + apply correction + learned interpolation): %.1f us\n", editUs);
    std::printf("save: %.3f s; one-call write %.3f s, ratio %.2f (target <= 2);"
                " one-call write with the same safe replace %.3f s, ratio %.2f\n",
                saveS, writeRefS, saveS / writeRefS, safeWriteRefS, saveS / safeWriteRefS);
    std::printf("load: %.3f s, one-call read %.3f s, ratio %.2f (target <= 2)\n", loadS, readRefS, loadS / readRefS);
    return 0;
}
