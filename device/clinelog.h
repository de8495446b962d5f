#pragma once

#include <QLoggingCategory>
#include <QString>

// The traffic log of the device line: every request and answer with its meaning. Off unless
// enabled (QT_LOGGING_RULES="zint9.line.debug=true", or Start). Log with qCDebug(lcLine), whose
// arguments are not evaluated while the category is off.
Q_DECLARE_LOGGING_CATEGORY(lcLine)

class CLineLog
{
public:
    // Turns the log on and writes its lines to strPath ("-" for standard error); other
    // categories go where they went before. False, with strError, if the file cannot be written.
    static bool Start(const QString& strPath, QString& strError);
    // Turns the log off again and closes its file; false, with pError, when a line could not be
    // written (a full disk).
    static bool Stop(QString* pError = nullptr);

    // One line: the time since the port was opened, the direction ('>' to the device, '<' from
    // it, '-' neither), what the exchange means and the bytes as they went over the wire.
    static QString Line(qint64 nMs, char cDirection, const QString& strMeaning, const QByteArray& raw = {});
    // Tetrad text as it is, with the line feed and anything unprintable escaped.
    static QByteArray Text(const void* pBuffer, int n);
    // Raw bytes in hexadecimal.
    static QByteArray Hex(const void* pBuffer, int n);
};
