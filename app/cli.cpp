// tarvix-cli: the configurator's link without a window, for field laptops,
// batch programming and scripts. Messages go to stderr exactly as the window
// shows them; the exit status is 0 only when the job was done and verified.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QElapsedTimer>
#include <QStringList>
#include <QThread>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "link/Firmware.h"
#include "link/PortInfo.h"
#include "table/Backup.h"
#include "log/LogCsv.h"
#include "log/Log_iat_ect_corr.h"
#include "log/Oxygensensor.h"
#include "throttle/TpsCalibration.h"
#include "link/MessageSink.h"
#include "link/Rxtx.h"
#include "link/DeviceSession.h"
#include "link/TableTransfer.h"
#ifdef TARVIX_DEMO_UNIT
#include "sim/Emulator.h"
#endif
#include "table/TableFile.h"
#include "table/Table_iat_ect_corr.h"

namespace {

#ifdef TARVIX_DEMO_UNIT
#define TARVIX_PORT_HELP                                                                                                \
    "--port PATH: the serial device (e.g. /dev/ttyUSB0); \"demo\" uses the\n"                                        \
    "built-in emulated unit.\n"
#define TARVIX_DATA_HELP "~/.local/share/tarvix"
#define TARVIX_PORTS_HELP                                                                                               \
    "cannot be used (no permission, held by another program, gone). The demo\n"                                       \
    "unit comes last. Nothing is opened.\n"
#else
#define TARVIX_PORT_HELP "--port NAME: the serial port (e.g. COM5).\n"
#define TARVIX_DATA_HELP "%LOCALAPPDATA%/tarvix"
// Windows tells whether a port is free only to a program that opens it.
#define TARVIX_PORTS_HELP                                                                                               \
    "cannot be used (held by another program, gone). Each port is opened for a\n"                                     \
    "moment to tell.\n"
#endif

const char kUsage[] =
    "usage: tarvix-cli COMMAND [ARGS] --port PATH\n"
    "  identify                   identify the unit\n"
    "  read FILE.tab              read the unit's table into a file\n"
    "  write FILE.tab             store a table file in the unit, verified\n"
    "  quick-write FILE.tab       send a table file to the unit's working memory\n"
    "  flash FILE.enc [--recovery]  update the unit's firmware\n"
    "  log FILE.log --seconds N [--sensor TYPE]\n"
    "                             record the live data stream for N seconds;\n"
    "                             TYPE 0..4 is the oxygen sensor (default 2, 0-5V)\n"
    "  export-csv FILE.log [OUT.csv]  a log file as comma-separated values (no --port)\n"
    "  ports                      the serial ports, what they are and whether they open\n"
    "read, write and quick-write first keep the unit's table as found in the\n"
    "backups folder (--backups DIR; default " TARVIX_DATA_HELP "/backups);\n"
    "--no-backup skips that.\n"
    "write and quick-write refuse a file that is not 392, 256 or 512 bytes\n"
    "long unless --force is given.\n"
    TARVIX_PORT_HELP
    "tarvix-cli COMMAND --help tells more of one command; --version the version.\n";

// What each command does, for "tarvix-cli COMMAND --help".
struct VerbHelp {
    const char *verb;
    const char *text;
};
const VerbHelp kVerbHelp[] = {
    {"identify", "usage: tarvix-cli identify --port PATH\n"
                 "Asks the unit who it is and prints its device id, firmware, hardware and\n"
                 "oscillator. Exit status 0 when it is a unit this program works with (id 6).\n"
                 "A unit still streaming live data from an earlier run is stopped first.\n"},
    {"read", "usage: tarvix-cli read FILE.tab --port PATH\n"
             "Identifies the unit and reads its 392-byte table image into FILE.tab\n"
             "(\".tab\" is appended when the name lacks it). An existing file is replaced\n"
             "only once the new one is complete.\n"},
    {"write", "usage: tarvix-cli write FILE.tab --port PATH\n"
              "Identifies the unit, stores FILE.tab in its EEPROM byte by byte with echo,\n"
              "then reads the table back and compares it. Exit status 0 only when the\n"
              "unit holds exactly what was sent. A file that is not 392 bytes (or 256\n"
              "or 512, older layouts) is refused before the unit is touched; --force\n"
              "sends it all the same.\n"},
    {"quick-write", "usage: tarvix-cli quick-write FILE.tab --port PATH\n"
                    "Sends FILE.tab to the unit's working memory in one burst. Nothing is\n"
                    "stored: the unit forgets it at power-off unless \"write\" stores it.\n"
                    "Files of other sizes than 392, 256 and 512 bytes need --force.\n"},
    {"flash", "usage: tarvix-cli flash FILE.enc [--recovery] --port PATH\n"
              "Updates the unit's firmware from a firmware file. --recovery is for a unit\n"
              "that already sits in its boot loader (after an interrupted update, or\n"
              "started with the update jumper set): nothing is sent to call the boot loader.\n"
              "A damaged file (no block, text after its last pair, a block cut short) is\n"
              "refused before anything is sent. Exit status 0 only when the unit\n"
              "acknowledged every block. Unless --recovery or --no-backup is given, the\n"
              "unit is identified and its table kept in the backups folder first; the\n"
              "closing message names that file.\n"},
    {"ports", "usage: tarvix-cli ports\n"
              "Lists the serial ports, one per line: the path, what the system knows of it\n"
              "(USB adapter's maker and product, Bluetooth, built-in) and \"ok\" or why it\n"
              TARVIX_PORTS_HELP},
    {"export-csv", "usage: tarvix-cli export-csv FILE.log [OUT.csv]\n"
                   "Writes the records of a log file as comma-separated values: a header row\n"
                   "with the column names, then one row per record (time in seconds, then the\n"
                   "values as stored). OUT.csv defaults to FILE with \".csv\". No port needed.\n"},
    {"log", "usage: tarvix-cli log FILE.log --seconds N [--sensor TYPE] --port PATH\n"
            "Records the live data stream for N seconds into FILE.log. TYPE is the oxygen\n"
            "sensor: 0..4, default 2 (0-5V signal). When the stream ends early the cause\n"
            "is told, every record received is saved and the exit status is 1.\n"},
};

int verbHelp(const QString &verb)
{
    for (const VerbHelp &h : kVerbHelp)
        if (verb == QLatin1String(h.verb))
            return std::fputs(h.text, stdout), 0;
    return std::fputs(kUsage, stdout), 0;
}

class StderrSink : public MessageSink {
public:
    void showMessage(const QString &text) override
    {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        ++count;
    }
    int count = 0;
};

// Progress of a long job on stderr: on a terminal one line redrawn in place,
// otherwise (a log file, a pipe) a line at every tenth of the way.
class LineProgress : public TransferProgress {
public:
    void setCaption(const QString &caption) override { caption_ = caption; }
    void setRange(int minimum, int maximum) override
    {
        min_ = minimum;
        max_ = maximum;
    }
    void setPosition(int position) override
    {
        position_ = position;
        if (visible_)
            draw();
    }
    int position() const override { return position_; }
    void showProgress() override { visible_ = true; }
    void hideProgress() override
    {
        if (visible_ && terminal_ && shownPercent_ >= 0)
            std::fprintf(stderr, "\n");
        visible_ = false;
        shownPercent_ = -1;
    }
    bool progressVisible() const override { return visible_; }

private:
    // Redraws only when the shown percentage or caption changes.
    void draw()
    {
        const int span = max_ > min_ ? max_ - min_ : 1;
        int percent = (position_ - min_) * 100 / span;
        if (!terminal_)
            percent -= percent % 10;
        if (percent == shownPercent_ && caption_ == shownCaption_)
            return;
        if (terminal_ && shownPercent_ >= 0 && caption_ != shownCaption_)
            std::fprintf(stderr, "\n"); // a new phase keeps the last line of the one before
        shownPercent_ = percent;
        shownCaption_ = caption_;
        std::fprintf(stderr, terminal_ ? "\r%s %3d%%" : "%s %3d%%\n", caption_.toUtf8().constData(), percent);
        std::fflush(stderr);
    }
#ifdef _WIN32
    const bool terminal_ = ::_isatty(::_fileno(stderr)) != 0;
#else
    const bool terminal_ = ::isatty(::fileno(stderr)) == 1;
#endif
    QString caption_, shownCaption_;
    int shownPercent_ = -1;
    int min_ = 0, max_ = 100, position_ = 0;
    bool visible_ = false;
};

struct Session {
#ifdef TARVIX_DEMO_UNIT
    std::unique_ptr<sim::Emulator> demo;
#endif
    TZiravBroadcaster broadcaster;
    std::unique_ptr<TRXTX> channel = std::make_unique<TRXTX>(broadcaster);
    Table table;
    QString firmwareText; // of the unit last identified

    bool open(const QString &port)
    {
        QString path = port;
#ifdef TARVIX_DEMO_UNIT
        if (port == QLatin1String("demo")) {
            demo = sim::startDemoUnit();
            path = QString::fromStdString(demo->slavePath());
        }
#endif
        // The window's words for a port that does not open.
        try {
            channel->reopen(path);
            return true;
        } catch (const std::exception &e) {
            showMessage(device::tryAgainText(e));
            return false;
        }
    }

    // Identification as the window does it: only id 6 is worked with; the
    // table is read in the same sequence when asked.
    // into: where the table goes (the session's table when none).
    bool identifyCompatible(bool print, bool readTable = false, Table *into = nullptr)
    {
        try {
            const device::Unit unit = device::connect(*channel, into ? *into : table, {false, readTable});
            const TDeviceInfo &info = unit.info;
            firmwareText = info.firmwareText;
            if (print) {
                std::printf("device id: %d\nfirmware: %s\n", info.deviceId, info.firmwareText.toUtf8().constData());
                if (!info.hardwareText.isEmpty())
                    std::printf("hardware: %s\n", info.hardwareText.toUtf8().constData());
                if (!info.oscillatorText.isEmpty())
                    std::printf("oscillator: %s\n", info.oscillatorText.toUtf8().constData());
            }
            return unit.compatible && (!readTable || unit.tableRead);
        } catch (const std::exception &e) {
            showMessage(device::tryAgainText(e));
            return false;
        }
    }
};

// Records the live stream through the same reader and log as the window,
// then saves the log file. The unit's table is not touched.
int recordLog(Session &s, const QString &file, int seconds, int sensorType, const QString &recordings)
{
    TTpsCalibration tps;
    Log log(tps, *s.channel, s.broadcaster);
    log.setUpView(nullptr, nullptr);
    // Kept as it arrives, whatever becomes of the run.
    log.setRecordingsFolder(recordings);
    QObject::connect(&log, &Log::recordingKept, [](const QString &path) {
        std::printf("recording kept in %s\n", QDir::toNativeSeparators(path).toLocal8Bit().constData());
        std::fflush(stdout);
    });
    log.setSensorType(sensorType);
    TStartSettings settings;
    log.setStartSettings(settings);
    TMsgStartLiveData start(sensorType);
    s.broadcaster.broadcast(start);
    // The end of the stream (device silent, unplugged, too many bad frames)
    // arrives as a queued stop; the loop ends early then.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < qint64(seconds) * 1000 && log.recording()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    const bool endedEarly = !log.recording();
    if (endedEarly)
        showMessage(QStringLiteral("Live data stopped: ") +
                    (log.lastStopReason().isEmpty() ? QStringLiteral("the stream ended") : log.lastStopReason()));
    TMsgStopLiveData stop;
    s.broadcaster.broadcast(stop);
    log.shutdown();
    QCoreApplication::processEvents();
    std::printf("records recorded: %d\nbad frames skipped: %d\n", log.count(), log.lastStreamBadFrames());
    if (log.count() == 0) {
        showMessage(QStringLiteral("No live data received; nothing saved."));
        return 1;
    }
    if (!log.saveToFile(file))
        return 1;
    return endedEarly ? 1 : 0;
}

// Converts a log file to CSV; needs no unit.
int exportCsv(const QStringList &files)
{
    if (files.isEmpty() || files.size() > 2)
        return -1;
    TZiravBroadcaster broadcaster;
    TRXTX channel(broadcaster);
    TTpsCalibration tps;
    Log log(tps, channel, broadcaster);
    log.setUpView(nullptr, nullptr);
    if (!log.loadFromFile(files[0]))
        return 1;
    const QString out = files.size() == 2 ? files[1] : logcsv::csvNameFor(files[0]);
    if (!logcsv::exportCsv(log, out))
        return 1;
    std::printf("records written: %d\n", log.count());
    return 0;
}

// The ports with what is known of them and whether they can be used.
int listPorts()
{
    for (const ports::Port &port : ports::list()) {
        const QString reason = ports::reasonText(ports::check(port.path), true);
        std::printf("%s\t%s\t%s\n", port.path.toLocal8Bit().constData(),
                    (port.description.isEmpty() ? QStringLiteral("serial port") : port.description).toUtf8().constData(),
                    (reason.isEmpty() ? QStringLiteral("ok") : reason).toUtf8().constData());
    }
#ifdef TARVIX_DEMO_UNIT
    std::printf("demo\tthe built-in emulated unit (--port demo)\tok\n");
#endif
    return 0;
}

// The unit's table as found, kept before anything is changed. A backup that
// cannot be written stops nothing. Returns its path, "" when it failed.
QString keepBackup(const QString &folder, const Table &table, const QString &firmwareText)
{
    const backup::Result saved = backup::save(folder, table.imageBytes(1), firmwareText);
    if (saved.ok)
        std::printf("backup: %s\n", QDir::toNativeSeparators(saved.path).toLocal8Bit().constData());
    else
        std::fprintf(stderr, "backup failed: %s\n", saved.error.toLocal8Bit().constData());
    return saved.ok ? saved.path : QString();
}

// A file about to be stored in a unit must be a table: a text file or a cut
// one would otherwise become the unit's characteristic. Checked before
// anything is connected or backed up; --force takes any size the format reads.
bool checkTableFile(const QString &file, bool force)
{
    const QFileInfo info(file);
    if (!info.isFile()) {
        showMessage(file + QStringLiteral("Tab file load error"));
        return false;
    }
    if (force || tbl::isTableFileSize(info.size()))
        return true;
    showMessage(QStringLiteral("%1 holds %2 bytes: it is not a table file (a table holds 392 bytes, older files 256 "
                               "or 512). Nothing was sent. --force sends it all the same.")
                    .arg(file)
                    .arg(info.size()));
    return false;
}

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString port;
    bool recovery = false;
    bool keepBackups = true;
    bool force = false;
    QString backups = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                      QStringLiteral("/tarvix/backups");
    int seconds = -1;
    int sensorType = o2::kDefaultType;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--port") && i + 1 < args.size())
            port = args[++i];
        else if (args[i] == QLatin1String("--recovery"))
            recovery = true;
        else if (args[i] == QLatin1String("--no-backup"))
            keepBackups = false;
        else if (args[i] == QLatin1String("--force"))
            force = true;
        else if (args[i] == QLatin1String("--backups") && i + 1 < args.size())
            backups = args[++i];
        else if (args[i] == QLatin1String("--seconds") && i + 1 < args.size())
            seconds = args[++i].toInt();
        else if (args[i] == QLatin1String("--sensor") && i + 1 < args.size()) {
            bool ok = false;
            sensorType = args[++i].toInt(&ok);
            if (!ok || sensorType < 0 || sensorType >= o2::kTypeCount)
                return usage();
        }
        else if (args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h"))
            return verbHelp(positional.isEmpty() ? QString() : positional.front());
        else if (args[i] == QLatin1String("--version"))
            return std::printf("tarvix-cli %s\n", TARVIX_VERSION), 0;
        else if (args[i].startsWith(QLatin1String("--")))
            return usage();
        else
            positional.append(args[i]);
    }
    if (!positional.isEmpty() && positional.front() == QLatin1String("export-csv")) {
        StderrSink sink;
        ScopedMessageSink installed(&sink);
        const int status = exportCsv(positional.mid(1));
        return status < 0 ? usage() : status;
    }
    if (positional.size() == 1 && positional.front() == QLatin1String("ports"))
        return listPorts();
    static const QStringList known = {QStringLiteral("identify"),    QStringLiteral("read"),
                                      QStringLiteral("write"),       QStringLiteral("quick-write"),
                                      QStringLiteral("flash"),       QStringLiteral("log")};
    if (!positional.isEmpty() && !known.contains(positional.front())) {
        std::fprintf(stderr, "unknown command: %s\n", positional.front().toLocal8Bit().constData());
        return usage();
    }
    if (positional.isEmpty() || port.isEmpty())
        return usage();
    const QString command = positional.takeFirst();
    const bool needsFile = command != QLatin1String("identify");
    if (needsFile != (positional.size() == 1) || positional.size() > 1)
        return usage();
    const QString file = needsFile ? positional.front() : QString();

    StderrSink sink;
    ScopedMessageSink installed(&sink);
    // A file that cannot be what the command needs is refused before the
    // unit is touched.
    if (command == QLatin1String("flash") && firmware::readFile(file) != firmware::Outcome::Success)
        return 1;
    if ((command == QLatin1String("write") || command == QLatin1String("quick-write")) && !checkTableFile(file, force))
        return 1;
    Session s;
    if (!s.open(port))
        return 1;

    if (command == QLatin1String("identify"))
        return s.identifyCompatible(true) ? 0 : 1;

    if (command == QLatin1String("log")) {
        if (seconds <= 0)
            return usage();
        // Beside the backups folder: ~/.local/share/tarvix/recordings.
        return recordLog(s, file, seconds, sensorType,
                         QFileInfo(backups).absoluteDir().filePath(QStringLiteral("recordings")));
    }

    if (command == QLatin1String("flash")) {
        // The closing message names this unit's table, read and kept just
        // now. A unit in its boot loader cannot say which it is: nothing is
        // named rather than a guess.
        QString before;
        if (!recovery && keepBackups) {
            Table found;
            try {
                const device::Unit unit = device::connect(*s.channel, found, {false, true, true});
                if (unit.compatible && unit.tableRead)
                    before = keepBackup(backups, found, unit.info.firmwareText);
            } catch (const std::exception &) {
                // No answer: the update itself tells what happened.
            }
        }
        LineProgress progress;
        progress.setCaption(QStringLiteral("Firmware"));
        progress.showProgress();
        const auto outcome = firmware::update(
            *s.channel, file, recovery, [&](int percent) { progress.setPosition(percent); },
            backup::firmwareNote(before));
        progress.hideProgress();
        return outcome == firmware::Outcome::Success ? 0 : 1;
    }

    if (command == QLatin1String("read")) {
        if (!s.identifyCompatible(false, true))
            return 1;
        if (keepBackups)
            keepBackup(backups, s.table, s.firmwareText);
        if (!tbl::saveTabFile(s.table, file, 1))
            return 1;
        std::printf("read the unit's table into %s\n", file.toLocal8Bit().constData());
        return 0;
    }

    if (command == QLatin1String("write") || command == QLatin1String("quick-write")) {
        if (keepBackups) {
            // The unit's table as found, read before the file is sent over it.
            Table found;
            if (!s.identifyCompatible(false, true, &found))
                return 1;
            keepBackup(backups, found, s.firmwareText);
        }
        if (!tbl::loadTabFile(s.table, file, 1))
            return 1;
        if (!s.identifyCompatible(false))
            return 1;
        if (command == QLatin1String("quick-write")) {
            if (transfer::quickWrite(s.table, *s.channel) != transfer::Outcome::Done)
                return 1;
            std::printf("sent %s to the unit's working memory (not stored: lost when it is switched off)\n",
                        file.toLocal8Bit().constData());
            return 0;
        }
        LineProgress progress;
        if (transfer::fullWrite(s.table, *s.channel, progress) != transfer::Outcome::Done)
            return 1;
        std::printf("wrote %s to the unit and verified it\n", file.toLocal8Bit().constData());
        return 0;
    }
    return usage();
}
