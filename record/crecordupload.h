#pragma once

#include <QString>

class CRecordStore;

// Takes the entries the local record holds and the plant's does not up to the plant, oldest
// first, in batches of one transaction each. A batch is noted as uploaded only once the plant has
// committed it, so an upload cut anywhere sends some entries again and loses none; the entry's
// id keeps a second copy out.
class CRecordUpload
{
public:
    static bool Run(CRecordStore& local, CRecordStore& plant, int& nUploaded, QString& strError);
};
