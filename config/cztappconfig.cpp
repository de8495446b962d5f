#include "cztappconfig.h"

#include "ccodepage1251.h"
#include "cfilelock.h"
#include "cimagefile.h"
#include "cnumbertext.h"
#include "cstringtable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cmath>
#include <cstring>

namespace
{
// The lines of a text file: CR LF or a bare LF ends a line, the last line may lack its end.
QList<QByteArray> SplitLines(const QByteArray& content)
{
    QList<QByteArray> lines = content.split('\n');
    if (!content.isEmpty() && content.endsWith('\n'))
        lines.removeLast();
    if (content.isEmpty())
        lines.clear();
    for (qsizetype i = 0; i < lines.size(); ++i)
    {
        const bool bEnded = i + 1 < lines.size() || content.endsWith('\n');
        if (bEnded && lines[i].endsWith('\r'))
            lines[i].chop(1);
    }
    return lines;
}

// A real of the catalogue, which must be a finite number: a limit of "inf", "nan" or 1e400
// would let every value through, or none.
bool Real(const QByteArray& line, float& fValue)
{
    fValue = CNumberText::ParseReal(line);
    const QByteArray text = line.trimmed().toLower();
    return std::isfinite(fValue) && !text.contains("inf") && !text.contains("nan");
}
} // namespace

bool CZTAppConfig::LoadSensorCatalogue()
{
    const QString strPath = AppPath(QStringLiteral("Sensors.dat"));
    const bool bLoaded = [&]
    {
        if (!CImageFile().CheckRegular(strPath))
            return false;
        QFile file(strPath);
        if (!file.open(QIODevice::ReadOnly) || !CFileLock::Lock(file))
            return false;
        const QList<QByteArray> lines = SplitLines(file.readAll());
        qsizetype nLine = 0;
        auto next = [&](QByteArray& line)
        {
            if (nLine >= lines.size())
                return false;
            line = lines[nLine++];
            return true;
        };
        QByteArray name, count, filter, band;
        if (!next(name) || !next(count))
            return false;
        if (CCodePage1251::Decode(name) != CStringTable::Load(104))
            return false;
        m_nSensors = CNumberText::ParseByte(count);
        if (m_nSensors == 0)
            return false;
        if (!next(filter) || !next(band))
            return false;
        if (!Real(filter, m_fMaxFilterTime) || !Real(band, m_fMaxBandPercent))
            return false;
        m_Sensors = QList<tagSTSENSORS>(m_nSensors);
        for (tagSTSENSORS& sensor : m_Sensors)
        {
            QByteArray fields[7];
            for (QByteArray& field : fields)
                if (!next(field))
                    return false;
            sensor.strName = CCodePage1251::Decode(fields[0]);
            sensor.strFileName = CCodePage1251::Decode(fields[1]);
            sensor.byType = CNumberText::ParseByte(fields[2]);
            sensor.byCode = CNumberText::ParseByte(fields[3]);
            sensor.strUnit = CCodePage1251::Decode(fields[4]);
            if (!Real(fields[5], sensor.fMin) || !Real(fields[6], sensor.fMax))
                return false;
        }
        return true;
    }();
    if (bLoaded)
        return true;
    const QString strText = CStringTable::Load(139);
    ShowMessage(QString::asprintf(strText.toUtf8().constData(),
                                  QDir::toNativeSeparators(strPath).toUtf8().constData()),
                CStringTable::Load(57344), EMsgIcon::Exclamation);
    SetDefaultSensors();
    return false;
}

void CZTAppConfig::SetDefaultSensors()
{
    m_nSensors = 5;
    m_Sensors = {
        {QStringLiteral("Термопара ТХА (K)"), QStringLiteral("TcplK.dat"), 0, 1, QStringLiteral("°C"), -200,
         1360},
        {QStringLiteral("Термопара ТХК (L)"), QStringLiteral("TcplL.dat"), 0, 0, QStringLiteral("°C"), -200,
         800},
        {QStringLiteral("ТСМ (50М) W100 = 1,4280"), QStringLiteral("R428_50.dat"), 1, 13,
         QStringLiteral("°C"), -200, 200},
        {QStringLiteral("ТСП (Pt 100) W100 = 1,3850"), QStringLiteral("R385_100.dat"), 1, 1,
         QStringLiteral("°C"), -200, 850},
        {QStringLiteral("ТСП (100П) W100 = 1,3910"), QStringLiteral("R391_100.dat"), 1, 5,
         QStringLiteral("°C"), -232, 1100},
    };
}

int CZTAppConfig::FindSensor(CParamZT01 image) const
{
    for (qsizetype i = 0; i < m_Sensors.size(); ++i)
        if (m_Sensors[i].byType == image.bySensorType && m_Sensors[i].byCode == image.bySensorCode)
            return int(i);
    return -1;
}

int CZTAppConfig::SensorIndex(const QString& strSensor) const
{
    bool bNumber = false;
    int nSensor = strSensor.toInt(&bNumber);
    if (!bNumber)
    {
        nSensor = -1;
        for (qsizetype i = 0; i < m_Sensors.size() && nSensor < 0; ++i)
            if (m_Sensors[i].strName.compare(strSensor, Qt::CaseInsensitive) == 0 ||
                m_Sensors[i].strFileName.compare(strSensor, Qt::CaseInsensitive) == 0)
                nSensor = int(i);
    }
    return nSensor >= 0 && nSensor < m_Sensors.size() ? nSensor : -1;
}

void CZTAppConfig::RestoreDeviceData()
{
    m_ParamEdit.CopyFrom(m_ParamDevice, CParamZT01::kDeviceBlock);
}

bool CZTAppConfig::LoadSensorImage(int nSensor)
{
    if (nSensor < 0 || nSensor >= m_Sensors.size())
        return false;
    const tagSTSENSORS& sensor = m_Sensors[nSensor];

    std::unique_ptr<CProgress> pProgress = CreateProgress();
    pProgress->SetText(sensor.strName + CStringTable::Load(146) + sensor.strFileName +
                       CStringTable::Load(147));
    pProgress->SetRange(0, 100);
    pProgress->SetStep(1);
    pProgress->PumpMessages();
    pProgress->SetPos(0);

    CParamZT01 scratch;
    if (ReadSensorFile(nSensor, scratch))
    {
        QThread::msleep(100);
        pProgress->PumpMessages();
        pProgress->SetPos(20);
        m_ParamEdit.CopyFrom(scratch, CParamZT01::kSensorBlock);
        m_strSensorMismatch.clear();
        QThread::msleep(100);
        pProgress->PumpMessages();
        pProgress->SetPos(80);
        RestoreDeviceData();
        QThread::msleep(100);
        pProgress->PumpMessages();
        pProgress->SetPos(100);
        m_nSensor = FindSensor(m_ParamEdit);
        if (m_Hooks.m_pfnPageExchange)
            m_Hooks.m_pfnPageExchange(false);
        return true;
    }
    pProgress->PumpMessages();
    pProgress->SetPos(100);
    pProgress.reset();
    ShowMessage(QString::asprintf(CStringTable::Load(148).toUtf8().constData(),
                                  sensor.strFileName.toUtf8().constData()),
                CStringTable::Load(57344), EMsgIcon::Stop);
    return false;
}

bool CZTAppConfig::ReadSensorFile(int nSensor, CParamZT01& image)
{
    if (nSensor < 0 || nSensor >= m_Sensors.size())
        return false;
    // A file shorter than an image is as unusable as a missing one: taking nothing from it and
    // reporting success would make the user believe the sensor had changed.
    // The catalogue names a file in ImgEEPROM/, never a path elsewhere.
    const QString& strName = m_Sensors[nSensor].strFileName;
    const bool bPlainName = !strName.isEmpty() && strName != QLatin1String(".") &&
                            strName != QLatin1String("..") && !strName.contains(QLatin1Char('/')) &&
                            !strName.contains(QLatin1Char('\\')) && !strName.contains(QChar(0));
    return bPlainName && ReadImageFile(AppPath(QStringLiteral("ImgEEPROM/") + strName), image);
}

QString CZTAppConfig::SensorFileMismatch(const CParamZT01& image)
{
    const int nSensor = FindSensor(image);
    CParamZT01 file;
    // A sensor the catalogue does not know, or whose file cannot be read, is nobody's to judge.
    if (!ReadSensorFile(nSensor, file) || image.SameIn(file, CParamZT01::kSensorData))
        return QString();
    return m_Sensors[nSensor].strFileName;
}

bool CZTAppConfig::ReloadSensorData()
{
    CParamZT01 file;
    if (!ReadSensorFile(FindSensor(m_ParamEdit), file))
        return false;
    m_ParamEdit.CopyFrom(file, CParamZT01::kSensorData);
    m_strSensorMismatch.clear();
    return true;
}

bool CZTAppConfig::ReadImageFile(const QString& strPath, CParamZT01& image)
{
    CImageFile file;
    if (file.Read(strPath, image))
        return true;
    m_strLastError = file.m_strLastError;
    return false;
}

void CZTAppConfig::SetDataDir(const QString& strProgramDir)
{
    m_strAppDir = strProgramDir;
    m_bInstalledData = false;
    if (QFileInfo::exists(AppPath(QStringLiteral("Sensors.dat"))))
        return;
    // Installed as bin/ and share/zint9-configurator/ under one prefix, wherever that is.
    const QString strShared = QDir::cleanPath(strProgramDir + QStringLiteral("/../share/zint9-configurator"));
    if (QFileInfo(strShared).isDir())
    {
        m_strAppDir = strShared;
        m_bInstalledData = true;
    }
}

QString CZTAppConfig::AppPath(const QString& strName) const
{
    return m_strAppDir + QLatin1Char('/') + strName;
}

void CZTAppConfig::ShowMessage(const QString& strText, const QString& strCaption, EMsgIcon nIcon) const
{
    if (m_Hooks.m_pfnMessage)
        m_Hooks.m_pfnMessage(strText, strCaption, nIcon);
}

namespace
{
// An operation's view of the shared display: closing it leaves the display open.
class CProgressRelay : public CProgress
{
public:
    explicit CProgressRelay(CProgress& shared) : m_shared(shared) {}
    void SetText(const QString& strText) override { m_shared.SetText(strText); }
    void SetRange(int nMin, int nMax) override { m_shared.SetRange(nMin, nMax); }
    void SetStep(int nStep) override { m_shared.SetStep(nStep); }
    void SetPos(int nPos) override { m_shared.SetPos(nPos); }
    void StepIt() override { m_shared.StepIt(); }
    void PumpMessages() override { m_shared.PumpMessages(); }

private:
    CProgress& m_shared;
};
} // namespace

void CZTAppConfig::BeginSharedProgress()
{
    m_pSharedProgress.reset(); // the one before closes first
    m_pSharedProgress = CreateProgress();
}

std::unique_ptr<CProgress> CZTAppConfig::CreateProgress() const
{
    if (m_pSharedProgress)
        return std::make_unique<CProgressRelay>(*m_pSharedProgress);
    std::unique_ptr<CProgress> pProgress;
    if (m_Hooks.m_pfnCreateProgress)
        pProgress = m_Hooks.m_pfnCreateProgress();
    return pProgress ? std::move(pProgress) : std::make_unique<CProgress>();
}
