#pragma once

#include <QString>

class CParamZT01;

// Reading and saving 512-byte image files (sensor images, the demonstration image, backups, the
// command line's image files). A save either puts all 512 bytes on disk or leaves the old file
// whole; the reason of a failure is kept in m_strLastError.
class CImageFile
{
public:
    enum class ESave
    {
        Replace,   // an existing file is replaced once the new content is complete
        CreateNew, // the file must not exist yet; an existing one is never touched
    };

    // False when the path names something that exists but is not a regular file (a folder, a
    // device, a FIFO): opening such a thing could block for ever or replace it.
    bool CheckRegular(const QString& strPath);
    // Reads the first 512 bytes, opened exclusively.
    bool Read(const QString& strPath, CParamZT01& image);
    bool Save(const QString& strPath, const CParamZT01& image, ESave nMode = ESave::Replace);

    QString m_strLastError;
    bool m_bExists = false; // the last CreateNew save failed because the file exists
};
