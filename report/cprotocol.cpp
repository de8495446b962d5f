#include "cprotocol.h"

#include "cfingerprint.h"
#include "crecordkeeper.h"
#include "csettingsdiff.h"
#include "csettingstext.h"

#include <cstdlib>
#include <cstring>

namespace
{
QString Version(int nVersion)
{
    return nVersion < 0 ? QStringLiteral("не известна") : CSettingsText::Hex(quint16(nVersion));
}

QString OrNone(const QString& strText, const char* pszNone)
{
    return strText.isEmpty() ? QString::fromUtf8(pszNone) : strText;
}

// A name from a file: letters, digits and a few marks; anything else as "_".
QString FileSafe(const QString& strText)
{
    QString strSafe;
    for (const QChar ch : strText.left(40))
        strSafe += ch.isLetterOrNumber() || ch == u'-' || ch == u'_' || ch == u'.' ? ch : QChar(u'_');
    return strSafe;
}
} // namespace

bool CProtocol::Image(CRecordKeeper& keeper, const QString& strHash, CParamZT01& image, QString& strError)
{
    QByteArray bytes;
    if (!keeper.Image(strHash, bytes, strError))
        return false;
    strError = CFingerprint::ImageFault(strHash, bytes);
    if (!strError.isEmpty())
        return false;
    std::memcpy(image.Image(), bytes.constData(), CParamZT01::kImageSize);
    return true;
}

bool CProtocol::OfEntry(CRecordKeeper& keeper, const QString& strId, CProtocol& protocol, QString& strError)
{
    protocol = CProtocol();
    if (!keeper.Entry(strId, protocol.entry, strError))
        return false;
    const CRecordEntry& entry = protocol.entry;
    if (entry.strImageAfter.isEmpty() || entry.strResult == QLatin1String("attempted"))
    {
        strError = QStringLiteral("запись %1 не говорит, что хранит прибор: %2")
                       .arg(strId, entry.strResult == QLatin1String("attempted")
                                       ? QStringLiteral("она не завершена")
                                       : QStringLiteral("образ прибора не прочитан"));
        return false;
    }
    if (!Image(keeper, entry.strImageAfter, protocol.held, strError))
        return false;
    if (protocol.IsWrite() && !entry.strImageBefore.isEmpty())
    {
        CParamZT01 before;
        if (!Image(keeper, entry.strImageBefore, before, strError))
            return false;
        protocol.before = before;
    }
    return true;
}

bool CProtocol::OfUnit(CRecordKeeper& keeper, const CRecordStore::SQuery& unit, const QString& strHeldHash,
                       CProtocol& protocol, QString& strError)
{
    QList<CRecordEntry> entries;
    QString strNote;
    if (!keeper.UnitEntries(unit, entries, strNote, strError))
        return false;
    const CRecordEntry* pRead = nullptr;
    const CRecordEntry* pWrite = nullptr;
    for (const CRecordEntry& entry : std::as_const(entries))
    {
        const bool bHolds = entry.strImageAfter == strHeldHash && !entry.bPartial;
        if (entry.strOperation == QLatin1String("read"))
        {
            if (!pRead && bHolds && entry.strResult == QLatin1String("done"))
                pRead = &entry;
            continue;
        }
        // The latest write or restore says what the unit got, if it still holds that.
        const bool bConfigured =
            entry.strResult == QLatin1String("done") || entry.strResult == QLatin1String("unverified");
        if (bConfigured && bHolds)
            pWrite = &entry;
        break;
    }
    const CRecordEntry* pTaken = pWrite ? pWrite : pRead;
    if (!pTaken)
    {
        strError = QStringLiteral("в записях нет ни записи, ни чтения образа, который хранит прибор") +
                   (strNote.isEmpty() ? QString() : QStringLiteral(" (") + strNote + QLatin1Char(')'));
        return false;
    }
    if (!OfEntry(keeper, pTaken->strId, protocol, strError))
        return false;
    // A read given no serial names the unit's latest one.
    for (const CRecordEntry& entry : std::as_const(entries))
        if (protocol.entry.strSerial.isEmpty() && !entry.strSerial.isEmpty())
            protocol.entry.strSerial = entry.strSerial;
    return true;
}

QList<CProtocol::SRow> CProtocol::Unit() const
{
    const char* pszNone = entry.bDemo ? "нет: демонстрационный образ" : "не определён (блок прибора стёрт)";
    return {{QStringLiteral("Отпечаток"), OrNone(entry.strFingerprint, pszNone)},
            {QStringLiteral("Серийный номер"), OrNone(entry.strSerial, "не указан")},
            {QStringLiteral("Версия прибора"), Version(entry.nVersion)},
            {QStringLiteral("Версия загрузчика"), Version(entry.nBootVersion)},
            {QStringLiteral("Порт"),
             entry.bDemo ? QStringLiteral("демонстрация, без прибора") : OrNone(entry.strPort, "не указан")}};
}

QList<CProtocol::SRow> CProtocol::Work() const
{
    return {{QStringLiteral("Станция"), OrNone(entry.strStation, "не указана")},
            {QStringLiteral("Оператор"), OrNone(entry.strOperator, "не указан")},
            {QStringLiteral("Время"), LocalTime()},
            {QStringLiteral("Итог"), Outcome()},
            {QStringLiteral("Резервная копия"), IsWrite()
                                                    ? OrNone(entry.strBackup, "не сделана")
                                                    : QStringLiteral("не нужна: прибор не записывался")},
            {QStringLiteral("Запись в журнале"), entry.strId}};
}

QList<CProtocol::SRow> CProtocol::Settings(const CZTAppConfig& app) const
{
    QList<SRow> rows;
    for (const QString& strLine : CSettingsText::Lines(app, held, CSettingsText::Object(app, held)))
    {
        const qsizetype nColon = strLine.indexOf(QStringLiteral(": "));
        rows << SRow{strLine.left(nColon), strLine.mid(nColon + 2)};
    }
    return rows;
}

QList<CProtocol::SChange> CProtocol::Changes(const CZTAppConfig& app) const
{
    QList<SChange> changes;
    if (!before)
        return changes;
    const CSettingsDiff diff(app, *before, held);
    for (const CSettingsDiff::SRow& row : diff.m_rows)
        changes << SChange{row.strName, row.strA, row.strB};
    return changes;
}

QString CProtocol::Outcome() const
{
    const bool bRestore = entry.strOperation == QLatin1String("restore");
    if (!IsWrite())
        return QStringLiteral("Прибор прочитан; протокол его состояния, запись не выполнялась");
    const QString strDone =
        bRestore ? QStringLiteral("Образ восстановлен") : QStringLiteral("Запись выполнена");
    if (entry.verified.value_or(false))
        return strDone + QStringLiteral(", записанное сверено с прибором");
    return strDone + QStringLiteral(", записанное не сверялось с прибором");
}

QString CProtocol::LocalTime() const
{
    const QDateTime local = entry.timeStart.toLocalTime();
    const int nOffsetMin = local.offsetFromUtc() / 60;
    const QString strOffset = QString::asprintf("UTC%c%02d:%02d", nOffsetMin < 0 ? '-' : '+',
                                                std::abs(nOffsetMin) / 60, std::abs(nOffsetMin) % 60);
    const QString strZone = local.timeZoneAbbreviation();
    if (nOffsetMin == 0 && strZone == QLatin1String("UTC"))
        return local.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss 'UTC'"));
    return local.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss ")) +
           (strZone.isEmpty() || strZone == strOffset ? strOffset
                                                      : strZone + QStringLiteral(" (") + strOffset + ')');
}

QString CProtocol::FileName() const
{
    const QString strUnit = !entry.strSerial.isEmpty()        ? FileSafe(entry.strSerial)
                            : !entry.strFingerprint.isEmpty() ? CFingerprint::Short(entry.strFingerprint)
                                                              : QStringLiteral("demo");
    return QStringLiteral("protocol-%1-%2.pdf")
        .arg(strUnit, entry.timeStart.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
}
