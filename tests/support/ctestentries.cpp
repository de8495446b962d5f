#include "ctestentries.h"

#include "cfingerprint.h"
#include "cparamzt01.h"

#include <QUuid>

#include <cstring>

QList<CRecordEntry> CTestEntries::Reads(int nCount, const QString& strResult, CRecordStore::Images& images)
{
    images.clear();
    for (int i = 0; i < 5; ++i)
    {
        CParamZT01 image;
        std::memset(image.Image(), 0x20 + i, CParamZT01::kImageSize);
        images.append({CFingerprint::ImageHash(image),
                       QByteArray(reinterpret_cast<const char*>(image.Image()), CParamZT01::kImageSize)});
    }
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
    QList<CRecordEntry> entries;
    for (int i = 0; i < nCount; ++i)
    {
        CRecordEntry entry;
        entry.strId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        entry.timeStart = start.addMSecs(i);
        entry.strStation = QStringLiteral("line-9");
        entry.strOperator = QStringLiteral("smirnova");
        entry.strProgramVersion = QStringLiteral("1.0.0");
        entry.strFingerprint = QStringLiteral("%1").arg(i % 40, 64, 16, QLatin1Char('0'));
        entry.strOperation = QStringLiteral("read");
        entry.strResult = strResult;
        entry.strImageAfter = images[i % images.size()].first;
        entries.append(entry);
    }
    return entries;
}
