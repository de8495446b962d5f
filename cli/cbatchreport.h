#pragma once

#include <QFile>
#include <QJsonObject>
#include <QStringList>

// The station's record: one CSV line per configured device, appended with one write each, so
// that an interrupted run never leaves a broken line.
class CBatchReport
{
public:
    // Opens for appending; a new (empty) file gets the header first.
    bool Open(const QString& strPath);
    bool Append(const QJsonObject& result);

    QString m_strError;

private:
    bool WriteLine(const QStringList& fields);

    QFile m_file;
    QStringList m_columns; // the file's own, in its order
};
