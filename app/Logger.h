#pragma once

#include <QDateTime>
#include <QDir>
#include <QFileInfoList>
#include <QObject>
#include <QString>

// The program's plain-text log in the working directory. One process-wide
// instance chooses its file once at start-up: it continues the newest log
// file unless that one has outgrown the size limit, in which case it starts a
// file named by the start time. Every append opens and closes the file, so
// the log is complete on disk after each line; a file that cannot be opened
// drops the text silently.
class Logger : public QObject
{
    Q_OBJECT

public:
    // Any level other than zero enables logging.
    static constexpr int level = 3;
    static constexpr qint64 sizeLimit = 102400;
    static const QString baseName;

    // The process-wide logger in the current working directory, created on
    // the first call with owner as its parent; later calls return it.
    static Logger* instance(QObject* owner = nullptr);

    // Chooses the log file in directory and writes the banner. startTime
    // names a new file and dates the banner.
    explicit Logger(const QString& directory, const QDateTime& startTime = QDateTime::currentDateTime(),
                    QObject* parent = nullptr);

    // Appends text and a line end unless text already ends with one.
    void append(const QString& text) const;

    // Absolute path of the file appends go to.
    QString filePath() const { return m_filePath; }

    // The directory's log files, newest (greatest name) first.
    static QFileInfoList logFiles(const QDir& directory);
    // The size and name table printed to standard output at start-up.
    static QString listing(const QFileInfoList& files);
    // The file to continue, or a new name when there is none or the newest is too large.
    static QString chooseFileName(const QFileInfoList& newestFirst, const QDateTime& now);
    static QString newFileName(const QDateTime& now);
    static QString banner(const QDateTime& now);

private:
    static constexpr bool enabled = level != 0;
    QString m_filePath;
};
