#include "cfileidentity.h"

#include <windows.h>

QByteArray CFileIdentity::Of(const QString& strPath)
{
    const HANDLE hFile = CreateFileW(reinterpret_cast<const wchar_t*>(strPath.utf16()), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return QByteArray();
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool bKnown = GetFileInformationByHandle(hFile, &info) != 0;
    CloseHandle(hFile);
    if (!bKnown)
        return QByteArray();
    return QByteArray::number(qulonglong(info.dwVolumeSerialNumber)) + ':' +
           QByteArray::number((qulonglong(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}
