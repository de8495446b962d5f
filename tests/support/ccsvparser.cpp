#include "ccsvparser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

QList<QStringList> CCsvParser::Parse(const QByteArray& csv)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, io, json, sys\n"
                                 "text = sys.stdin.buffer.read().decode('utf-8')\n"
                                 "print(json.dumps(list(csv.reader(io.StringIO(text, newline='')))))\n")});
    if (!python.waitForStarted())
    {
        qWarning("python3 cannot be started: %s", qPrintable(python.errorString()));
        return {};
    }
    python.write(csv);
    python.closeWriteChannel();
    python.waitForFinished(30000);
    if (python.exitCode() != 0)
        qWarning("the CSV parser refused: %s", python.readAllStandardError().constData());
    QList<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
    {
        QStringList fields;
        for (const QJsonValue& field : row.toArray())
            fields << field.toString();
        rows << fields;
    }
    return rows;
}
