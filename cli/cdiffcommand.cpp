#include "cdiffcommand.h"

#include "cconsole.h"
#include "cdevicecommand.h"
#include "coptions.h"
#include "crecordaccess.h"
#include "csettingsdiff.h"

#include <cstring>

namespace
{
constexpr int kTrouble = 2;
} // namespace

bool CDiffCommand::FromRecord(const QString& strSide, CParamZT01& image)
{
    CRecordKeeper& keeper = m_record.Keeper();
    const bool bBefore = strSide.endsWith(QLatin1Char('^'));
    const QString strId = strSide.mid(1, strSide.size() - (bBefore ? 2 : 1));
    CRecordEntry entry;
    QByteArray bytes;
    QString strError;
    // This station's entries that wait for the plant are as much the record as the plant's.
    if (!keeper.Entry(strId, entry, strError))
    {
        m_console.Error(kTrouble, strError);
        return false;
    }
    const QString& strHash = bBefore ? entry.strImageBefore : entry.strImageAfter;
    if (strHash.isEmpty())
    {
        m_console.Error(kTrouble,
                        QStringLiteral("в записи %1 нет образа %2")
                            .arg(strId, bBefore ? QStringLiteral("до неё") : QStringLiteral("после неё")));
        return false;
    }
    if (!keeper.Image(strHash, bytes, strError) || bytes.size() != CParamZT01::kImageSize)
    {
        m_console.Error(kTrouble, strError);
        return false;
    }
    std::memcpy(image.Image(), bytes.constData(), CParamZT01::kImageSize);
    return true;
}

bool CDiffCommand::Side(const QString& strSide, bool bPort, CParamZT01& image)
{
    if (bPort)
        return m_device.ReadImage(m_options, strSide, image);
    if (strSide.startsWith(QLatin1Char('@')))
        return FromRecord(strSide, image);
    return m_device.LoadImageFile(strSide, image);
}

int CDiffCommand::Run(const CZTAppConfig& app)
{
    // The files first, in their order, then the ports: "diff backup.bin --port P" is then and now.
    QList<QPair<QString, bool>> sides;
    for (const QString& strFile : m_options.positional)
        sides.append({strFile, false});
    for (const QString& strPort : m_options.ports)
        sides.append({strPort, true});
    if (sides.size() != 2)
        return m_console.Error(
            COptions::kUsage,
            QStringLiteral("команде diff нужны две стороны: файл, @ID, @ID^ или --port ИМЯ"));
    CParamZT01 images[2];
    for (int i = 0; i < 2; ++i)
        if (!Side(sides[i].first, sides[i].second, images[i]))
            return kTrouble;
    const CSettingsDiff diff(app, images[0], images[1]);
    if (diff.IsEqual())
    {
        m_console.Out(QStringLiteral("Образы совпадают."));
        return COptions::kSuccess;
    }
    QList<QStringList> rows{{QStringLiteral("Настройка"), sides[0].first, sides[1].first}};
    for (const CSettingsDiff::SRow& row : diff.m_rows)
        rows.append({row.strName, row.strA, row.strB});
    if (rows.size() > 1)
        m_console.Out(CConsole::Columns(rows));
    m_console.Out(QStringLiteral("Прочие различающиеся байты: блок прибора %1, блок датчика %2, остальные %3")
                      .arg(diff.m_nDevice)
                      .arg(diff.m_nSensor)
                      .arg(diff.m_nRest));
    return COptions::kFailure;
}
