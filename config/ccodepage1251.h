#pragma once

#include <QByteArray>
#include <QString>

// Windows-1251 (Cyrillic), the code page of the text files, whatever the system locale.
class CCodePage1251
{
public:
    static QString Decode(const QByteArray& bytes);
    // Characters without a Windows-1251 byte become "?".
    static QByteArray Encode(const QString& strText);
};
