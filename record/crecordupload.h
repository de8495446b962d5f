#pragma once

#include <QString>

#include <functional>

class CRecordStore;

// Takes the entries the local record holds and the plant's does not up to the plant, oldest
// first, in chunks of one transaction each. A chunk is noted as uploaded only once the plant has
// committed it, so an upload cut anywhere keeps every chunk that went up, sends the one it was
// cut in again and loses none; the entry's id keeps a second copy out.
class CRecordUpload
{
public:
    // Entries a chunk: a few statements and their round trips, so that a slow link commits one
    // well inside the seconds an uploader is given after a command.
    static constexpr int kChunk = 500;
    // Told before the first chunk and after each: the entries gone up so far, of those waiting.
    using Progress = std::function<void(int nUploaded, int nWaiting)>;

    static bool Run(CRecordStore& local, CRecordStore& plant, int& nUploaded, QString& strError,
                    const Progress& pfnProgress = Progress());
};
