#include "cstringtable.h"

#include <QFile>
#include <QHash>

QHash<int, QString> CStringTable::Parse(const QByteArray& utf8)
{
    QHash<int, QString> table;
    for (const QByteArray& line : utf8.split('\n'))
    {
        const int nTab = line.indexOf('\t');
        if (line.startsWith('#') || nTab <= 0)
            continue;
        bool bOk = false;
        const int nId = line.left(nTab).toInt(&bOk);
        if (!bOk)
            continue;
        const QString strRaw = QString::fromUtf8(line.mid(nTab + 1));
        QString strText;
        strText.reserve(strRaw.size());
        for (qsizetype i = 0; i < strRaw.size(); ++i)
        {
            QChar ch = strRaw[i];
            if (ch == u'\\' && i + 1 < strRaw.size())
            {
                const QChar next = strRaw[++i];
                ch = next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next;
            }
            strText += ch;
        }
        table.insert(nId, strText);
    }
    return table;
}

QString CStringTable::Load(int nId)
{
    static const QHash<int, QString> kTable = []
    {
        QFile file(QStringLiteral(":/zint9/strings.txt"));
        return file.open(QIODevice::ReadOnly) ? Parse(file.readAll()) : QHash<int, QString>();
    }();
    return kTable.value(nId);
}
