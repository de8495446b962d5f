#pragma once

#include <QByteArray>
#include <QString>

// Which file a path names now: the same text as long as the same file is there, another once it
// has been replaced, empty when there is none. A file kept open goes on after its name is taken
// by another, and whatever is written into it is lost with it.
class CFileIdentity
{
public:
    static QByteArray Of(const QString& strPath);
};
