#pragma once
// Every recording of the live stream is kept on disk as it arrives, in the
// log file format, so that closing the window without saving, a crash or a
// power loss costs at most the last moments of it. The newest kKeep stay.
#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QString>

class RecordingKeeper {
public:
    static constexpr int kKeep = 100;

    // folder: where recordings go ("" keeps nothing).
    explicit RecordingKeeper(const QString &folder = QString(), int keep = kKeep);
    ~RecordingKeeper();
    RecordingKeeper(const RecordingKeeper &) = delete;
    RecordingKeeper &operator=(const RecordingKeeper &) = delete;

    void setFolder(const QString &folder) { folder_ = folder; }
    QString folder() const { return folder_; }

    // A new recording: its file ("2026-12-11_07-30-00.log", a number added
    // when that name is taken) with the header, then the oldest recordings
    // beyond keep are removed. False with error() set when it cannot be kept.
    bool begin(const QByteArray &header, const QDateTime &when = QDateTime::currentDateTime());
    // Records as the file holds them. They reach the system at once (a crash
    // of the program keeps them) and the disk at least once a second.
    bool append(const QByteArray &records);
    // The last records reach the disk; the file is closed.
    void end();

    bool active() const { return fd_ >= 0; }
    QString path() const { return path_; }
    QString error() const { return error_; }

    // The name a recording started at when gets (sequence > 1: a later one in that second).
    static QString fileName(const QDateTime &when, int sequence = 1);

private:
    bool fail(const QString &what, int code);

    QString folder_;
    int keep_;
    int fd_ = -1;
    QString path_, error_;
    QElapsedTimer sinceSync_;
};
