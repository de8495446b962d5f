#include "cprotocol.h"

#include "cfingerprint.h"
#include "crecordkeeper.h"
#include "csettingsdiff.h"
#include "csettingstext.h"

#include <QMap>

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
    // A protocol says what a unit holds: a write that did not configure it has none of its own.
    const bool bWrite = protocol.IsWrite();
    const bool bEnded = entry.strResult == QLatin1String("done") ||
                        (bWrite && entry.strResult == QLatin1String("unverified"));
    if (entry.strImageAfter.isEmpty() || !bEnded)
    {
        strError =
            entry.strResult == QLatin1String("attempted")
                ? QStringLiteral("запись %1 не говорит, что хранит прибор: она не завершена").arg(strId)
            : bEnded ? QStringLiteral("запись %1 не говорит, что хранит прибор: образ не прочитан").arg(strId)
                     : QStringLiteral("запись %1 не настроила прибор (итог: %2); протокол его нынешнего "
                                      "состояния: zint9 protocol --port ПОРТ")
                           .arg(strId, ResultText(entry));
        return false;
    }
    if (!Image(keeper, entry.strImageAfter, protocol.held, strError))
        return false;
    if (bWrite && !entry.strImageBefore.isEmpty())
    {
        CParamZT01 before;
        if (!Image(keeper, entry.strImageBefore, before, strError))
            return false;
        protocol.before = before;
    }
    return true;
}

bool CProtocol::OfUnit(CRecordKeeper& keeper, const CRecordEntry& read, CProtocol& protocol,
                       QString& strError)
{
    CRecordStore::SQuery unit;
    unit.bDemo = read.bDemo;
    if (unit.bDemo)
        unit.strStation = read.strStation;
    else
        unit.strFingerprint = read.strFingerprint;
    QList<CRecordEntry> entries;
    QString strNote;
    if (!unit.bDemo && unit.strFingerprint.isEmpty())
        entries = {read}; // an erased device block names no unit: the read is all there is of it
    else if (!keeper.UnitEntries(unit, entries, strNote, strError))
        return false;
    const CRecordEntry* pRead = nullptr;
    const CRecordEntry* pAttempt = nullptr; // the latest write or restore
    for (const CRecordEntry& entry : std::as_const(entries))
    {
        const bool bHolds = entry.strImageAfter == read.strImageAfter;
        if (entry.strOperation == QLatin1String("read"))
        {
            if (!pRead && bHolds && entry.strResult == QLatin1String("done"))
                pRead = &entry;
        }
        // A twin on another port of the same run is not this unit's word.
        else if (!pAttempt && !(entry.bAmbiguous && entry.strPort != read.strPort))
            pAttempt = &entry;
    }
    // The latest write, while the unit still holds what it gave; else the unit as read.
    const bool bConfigured =
        pAttempt && !pAttempt->bPartial && pAttempt->strImageAfter == read.strImageAfter &&
        (pAttempt->strResult == QLatin1String("done") || pAttempt->strResult == QLatin1String("unverified"));
    const CRecordEntry* pTaken = bConfigured ? pAttempt : pRead;
    if (!pTaken)
    {
        strError = QStringLiteral("в записях нет чтения образа, который хранит прибор") +
                   (strNote.isEmpty() ? QString() : QStringLiteral(" (") + strNote + QLatin1Char(')'));
        return false;
    }
    if (!OfEntry(keeper, pTaken->strId, protocol, strError))
        return false;
    if (!bConfigured && pAttempt)
        protocol.lastAttempt = *pAttempt;
    // A read given no serial names the unit's latest one.
    for (const CRecordEntry& entry : std::as_const(entries))
        if (!protocol.IsWrite() && protocol.entry.strSerial.isEmpty() && !entry.strSerial.isEmpty())
            protocol.entry.strSerial = entry.strSerial;
    return true;
}

QString CProtocol::ResultText(const CRecordEntry& entry)
{
    static const QMap<QString, QString> kWords{
        {"done", "выполнена"},       {"unverified", "выполнена, не сверялась"},
        {"failed", "не выполнена"},  {"refused", "прибор отказал"},
        {"interrupted", "прервана"}, {"attempted", "не завершена"}};
    const QString strWords = kWords.value(entry.strResult, entry.strResult);
    return entry.strReason.isEmpty() ? strWords : strWords + QStringLiteral(": ") + entry.strReason;
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
    QList<SRow> rows{{QStringLiteral("Станция"), OrNone(entry.strStation, "не указана")},
                     {QStringLiteral("Оператор"), OrNone(entry.strOperator, "не указан")},
                     {QStringLiteral("Время"), LocalTime(entry.timeStart)},
                     {QStringLiteral("Итог"), Outcome()}};
    if (IsWrite())
        rows << SRow{QStringLiteral("Резервная копия"), OrNone(entry.strBackup, "не сделана")};
    if (lastAttempt)
        rows << SRow{QStringLiteral("Последняя запись"),
                     QStringLiteral("%1, %2").arg(LocalTime(lastAttempt->timeStart),
                                                  ResultText(*lastAttempt))}
             << SRow{QStringLiteral("Её резервная копия"), OrNone(lastAttempt->strBackup, "не сделана")}
             << SRow{QStringLiteral("Её запись в журнале"), lastAttempt->strId};
    rows << SRow{QStringLiteral("Запись в журнале"), entry.strId};
    return rows;
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
        return QStringLiteral("Прибор прочитан; протокол его состояния") +
               (entry.bPartial ? QStringLiteral("; прибор может хранить частично записанный образ")
                               : QString());
    const QString strDone =
        bRestore ? QStringLiteral("Образ восстановлен") : QStringLiteral("Запись выполнена");
    if (entry.verified.value_or(false))
        return strDone + QStringLiteral(", записанное сверено с прибором");
    return strDone + QStringLiteral(", записанное не сверялось с прибором");
}

QString CProtocol::LocalTime(const QDateTime& time)
{
    const QDateTime local = time.toLocalTime();
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
