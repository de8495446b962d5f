#include "cfailuretext.h"

#include <iterator>

#include <QDir>

namespace
{
QString Hex(int nValue, int nDigits)
{
    return QStringLiteral("0x%1").arg(nValue, nDigits, 16, QLatin1Char('0'));
}
} // namespace

QString CFailureText::Step(CFailure::EStep nStep)
{
    using EStep = CFailure::EStep;
    switch (nStep)
    {
    case EStep::None:
        return QString();
    case EStep::Values:
        return QStringLiteral("проверка значений");
    case EStep::Open:
        return QStringLiteral("открытие порта");
    case EStep::Versions:
        return QStringLiteral("чтение версий");
    case EStep::Read:
        return QStringLiteral("чтение образа");
    case EStep::Backup:
        return QStringLiteral("резервная копия");
    case EStep::Write:
        return QStringLiteral("запись");
    case EStep::Verify:
        return QStringLiteral("сверка");
    case EStep::File:
        return QStringLiteral("файл образа");
    }
    return QString();
}

QString CFailureText::StepKey(CFailure::EStep nStep)
{
    const char* const keys[] = {"",       "values", "open",   "versions", "read",
                                "backup", "write",  "verify", "read"};
    return QString::fromLatin1(keys[int(nStep)]);
}

QString CFailureText::StepOfKey(const QString& strKey)
{
    for (int i = int(CFailure::EStep::Values); i <= int(CFailure::EStep::File); ++i)
        if (StepKey(CFailure::EStep(i)) == strKey)
            return Step(CFailure::EStep(i));
    return strKey;
}

int CFailureText::MessageId(const CFailure& failure)
{
    switch (failure.m_nStep)
    {
    case CFailure::EStep::Open:
        return 153;
    case CFailure::EStep::Versions:
        return 154;
    case CFailure::EStep::Read:
    case CFailure::EStep::Verify:
        return 155;
    case CFailure::EStep::Write:
        return 156;
    default:
        return 0;
    }
}

QString CFailureText::ReasonKey(CFailure::EReason nReason)
{
    const char* const keys[] = {
        "",          "timeout",      "check-word", "wrong-block", "refused",
        "port-lost", "not-sent",     "port-open",  "file",        "mismatch",
        "rules",     "page-refused", "other-unit", "echo-only",   "device-block-differs"};
    static_assert(std::size(keys) == size_t(CFailure::EReason::DeviceBlockDiffers) + 1);
    return QString::fromLatin1(keys[int(nReason)]);
}

QString CFailureText::Reason(const CFailure& failure)
{
    using EReason = CFailure::EReason;
    switch (failure.m_nReason)
    {
    case EReason::None:
        return QString();
    case EReason::TimeOut:
        return QStringLiteral("нет ответа, получено %1 из %2 байт")
            .arg(failure.m_nReceived)
            .arg(failure.m_nExpected);
    case EReason::CheckWord:
        return QStringLiteral("неверное контрольное слово ответа");
    case EReason::WrongBlock:
        return QStringLiteral("ответ относится к блоку %1").arg(Hex(failure.m_nAnswerAddress, 4));
    case EReason::Refused:
        return QStringLiteral("прибор отказал, версия прибора %1, версия загрузчика %2")
            .arg(Hex(failure.m_wVersion, 4), Hex(failure.m_wBootVersion, 4));
    case EReason::PortLost:
        return QStringLiteral("порт пропал (адаптер отключён?)");
    case EReason::NotSent:
        return QStringLiteral("запрос не отправлен");
    case EReason::PortOpen:
        return failure.m_strDetail.isEmpty() ? QStringLiteral("порт не открыт") : failure.m_strDetail;
    case EReason::File:
        return failure.m_strPath.isEmpty()
                   ? failure.m_strDetail
                   : QDir::toNativeSeparators(failure.m_strPath) + QStringLiteral(": ") + failure.m_strDetail;
    case EReason::Mismatch:
        return QStringLiteral("адрес %1 (%2) содержит %3 вместо %4")
            .arg(failure.m_nAddress)
            .arg(Hex(failure.m_nAddress, 3), Hex(failure.m_byHave, 2), Hex(failure.m_byWant, 2));
    case EReason::Rules:
        return failure.m_strDetail;
    case EReason::PageRefused:
        return QStringLiteral("страница параметров не приняла значения");
    case EReason::DeviceBlockDiffers:
        return QStringLiteral("блок прибора, прочитанный снова, не совпадает с прочитанным при подключении "
                              "(ответ мог относиться к другому блоку): запись не выполнена");
    case EReason::EchoOnly:
        return QStringLiteral("линия возвращает запрос: эхо адаптера, прибор не отвечает");
    case EReason::OtherUnit:
        return QStringLiteral("к порту подключён другой прибор (его блок прибора не тот, что был прочитан)");
    }
    return QString();
}

QString CFailureText::Torn(const QString& strBackup, const QString& strRestore)
{
    return QStringLiteral("Прибор может хранить частично записанный образ.\n"
                          "Резервная копия прежнего образа: %1\n"
                          "Вернуть прежний образ: %2")
        .arg(QDir::toNativeSeparators(strBackup), strRestore);
}

QString CFailureText::TornInWizard(const QString& strBackup)
{
    return QStringLiteral("Прибор может хранить частично записанный образ.\n"
                          "Резервная копия прежнего образа: %1\n"
                          "Вернуть прежний образ: «История прибора...» в меню окна (правая кнопка мыши "
                          "или Shift+F10), затем «Восстановить».")
        .arg(QDir::toNativeSeparators(strBackup));
}

QString CFailureText::MismatchInWizard(const CFailure& failure)
{
    return QStringLiteral("Ошибка записи образа EEPROM прибора.\nПрочитанное из прибора после записи не "
                          "совпадает с записанным: %1.")
        .arg(Reason(failure));
}

QString CFailureText::SensorMismatch(const QString& strFile)
{
    return QStringLiteral("данные датчика не совпадают с файлом %1: возможно, запись была прервана")
        .arg(strFile);
}

QString CFailureText::Describe(const CFailure& failure)
{
    if (!failure.IsSet())
        return QString();
    QString strText = Step(failure.m_nStep);
    if (failure.m_nAddress >= 0 && failure.m_nReason != CFailure::EReason::Mismatch)
        strText += QStringLiteral(", блок ") + Hex(failure.m_nAddress, 4);
    const QString strReason = Reason(failure);
    return strReason.isEmpty() ? strText : strText + QStringLiteral(": ") + strReason;
}
