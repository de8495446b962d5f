#include "cfingerprint.h"

#include "cparamzt01.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cstring>

QString CFingerprint::Of(const CParamZT01& image)
{
    QByteArray block;
    for (const CParamZT01::SRange& range : CParamZT01::kDeviceBlock)
        block.append(reinterpret_cast<const char*>(image.Image()) + range.nOffset, range.nSize);
    const auto all = [&block](char c)
    { return std::all_of(block.cbegin(), block.cend(), [c](char b) { return b == c; }); };
    if (all('\x00') || all('\xff'))
        return QString();
    return QString::fromLatin1(QCryptographicHash::hash(block, QCryptographicHash::Sha256).toHex());
}

QString CFingerprint::Short(const QString& strFingerprint)
{
    return strFingerprint.isEmpty() ? QStringLiteral("не определён") : strFingerprint.left(12);
}

QString CFingerprint::ImageHash(const CParamZT01& image)
{
    const QByteArray bytes(reinterpret_cast<const char*>(image.Image()), CParamZT01::kImageSize);
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString CFingerprint::SettingsHash(const CParamZT01& image)
{
    // The sensor block with the failure output and the filter time between its runs.
    static constexpr CParamZT01::SRange kSettings[] = {{92, 28}, {136, 4}, {143, 369}};
    QByteArray bytes;
    for (const CParamZT01::SRange& range : kSettings)
        bytes.append(reinterpret_cast<const char*>(image.Image()) + range.nOffset, range.nSize);
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString CFingerprint::ImageFault(const QString& strHash, const QByteArray& bytes)
{
    if (bytes.size() != CParamZT01::kImageSize)
        return QStringLiteral("образ в записях повреждён: %1 — %2 байт вместо %3")
            .arg(strHash.left(12))
            .arg(bytes.size())
            .arg(CParamZT01::kImageSize);
    CParamZT01 image;
    std::memcpy(image.Image(), bytes.constData(), CParamZT01::kImageSize);
    const QString strActual = CFingerprint::ImageHash(image);
    if (strActual == strHash)
        return QString();
    return QStringLiteral("образ в записях повреждён: %1 — его байты дают SHA-256 %2")
        .arg(strHash.left(12), strActual.left(12));
}
