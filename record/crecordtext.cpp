#include "crecordtext.h"

#include "crecordlocation.h"
#include "crecordschema.h"

#include <QDir>

namespace
{
QString Shown(const QString& strLocation)
{
    return CRecordLocation::IsPostgres(strLocation)
               ? CRecordLocation::Redacted(strLocation)
               : QDir::toNativeSeparators(CRecordLocation::SqlitePath(strLocation));
}
} // namespace

QString CRecordText::NoEntry(const QStringList& locations, const QString& strWhat)
{
    QStringList shown;
    for (const QString& strLocation : locations)
        shown << Shown(strLocation);
    return QStringLiteral("в записях %1 нет записи %2").arg(shown.join(QStringLiteral(" и ")), strWhat);
}

QString CRecordText::Damaged(const QString& strLocation, const QString& strWhy)
{
    return QStringLiteral("файл записей %1 повреждён (%2)").arg(Shown(strLocation), strWhy);
}

QString CRecordText::SetAside(const QString& strLocation, const QString& strWhy, const QString& strAside)
{
    return QStringLiteral("файл записей %1 повреждён (%2): он сохранён как %3, записи ведутся в новом файле")
        .arg(Shown(strLocation), strWhy, QDir::toNativeSeparators(strAside));
}

QString CRecordText::Replaced(const QString& strLocation)
{
    return QStringLiteral("файл записей %1 заменён или удалён во время работы: записи продолжены в файле, "
                          "который теперь под этим именем")
        .arg(Shown(strLocation));
}

QString CRecordText::ReplacedHeld(const QString& strLocation)
{
    return QStringLiteral("файл записей %1 заменён или удалён во время работы, а рядом лежит чужой журнал "
                          "%1-wal: записи отложены до следующего запуска")
        .arg(Shown(strLocation));
}

QString CRecordText::Newer(const QString& strLocation, int nVersion)
{
    return QStringLiteral(
               "записи %1 ведёт более новая версия программы (схема %2, эта версия знает схемы до %3): "
               "в них не пишется")
        .arg(Shown(strLocation))
        .arg(nVersion)
        .arg(CRecordSchema::kVersion);
}

QString CRecordText::Unprepared(const QString& strLocation, int nVersion)
{
    const bool bPlant = CRecordLocation::IsPostgres(strLocation);
    const QString strWho = bPlant ? QStringLiteral("её владелец командой zint9 history --init --record АДРЕС")
                                  : QStringLiteral("запуск с правом записи в файл");
    if (nVersion == 0)
        return QStringLiteral("в базе записей %1 нет таблиц записей: их создаёт %2")
            .arg(Shown(strLocation), strWho);
    return QStringLiteral(
               "таблицы записей %1 — схемы %2, а эта программа работает со схемой %3: их обновляет %4")
        .arg(Shown(strLocation))
        .arg(nVersion)
        .arg(CRecordSchema::kVersion)
        .arg(strWho);
}
