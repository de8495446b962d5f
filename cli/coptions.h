#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// The command line of zint9, parsed once: every command, the batch runner and the per-port
// worker read this and never the arguments again.
class COptions
{
public:
    enum EExit
    {
        kSuccess = 0,
        kFailure = 1,
        kUsage = 2,
        kRefused = 3,
    };

    // False with m_strError (a usage error) when an option is unknown, lacks its value or holds
    // no valid value.
    bool Parse(const QStringList& arguments);
    // Several ports, --repeat or --report: the batch's way.
    bool IsBatch() const;
    // The one port of a worker's job: everything but the ports, which the batch hands out.
    QJsonObject Job(const QString& strPort) const;
    static COptions FromJob(const QJsonObject& job);

    QString strCommand;
    QStringList positional;
    QStringList ports;       // --port, in order, and --ports split
    bool bPortsList = false; // --ports was given, even with one name
    QString strOut, strIn, strSensor, strBackupDir, strReport, strTrace;
    QString strRecord, strStation, strOperator, strSerial; // the record and who writes into it
    QString strSerials;                                    // a station's serials: a file, or "-"
    QString strProtocols;        // a folder for the protocol of every unit configured
    QString strEntry, strDevice; // restore --entry, history --device
    // The --record of a printed restore command: a worker's is its first process's, whose
    // record it was given (see CRestoreHint).
    std::optional<QString> restoreRecord;
    int nLimit = -1;                            // history --limit
    QDateTime since;                            // history --since
    QDateTime until;                            // history --until: entries before it
    QString strResult, strOperation, strSource; // history --result, --operation, --source
    bool bLatest = false;                       // history --latest
    bool bForce = false;
    std::optional<float> low, high, fail, band, filter, dacLow, dacHigh;
    std::optional<bool> coldJunction;
    bool bDemo = false, bJson = false, bCsv = false, bSync = false, bInit = false, bChangedOnly = false,
         bNoVerify = false, bQuiet = false, bRepeat = false;
    bool bHelp = false, bVersion = false;
    QString m_strError;

private:
    // The words parsed, or m_strError in this tool's words.
    bool ParseWords(class QCommandLineParser& parser, const QStringList& arguments);
    bool TakePorts(const class QCommandLineParser& parser);
    bool TakeNumbers(const class QCommandLineParser& parser);
    bool TakeHistory(const class QCommandLineParser& parser);
    // A day or a moment, where the option is given.
    bool TakeMoment(const class QCommandLineParser& parser, const char* pszName, QDateTime& moment);
    // One of the words, where the option is given.
    bool TakeWord(const class QCommandLineParser& parser, const char* pszName, const QStringList& words,
                  QString& strWord);
    bool CheckCombinations();
};
