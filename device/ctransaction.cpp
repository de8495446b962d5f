#include "ctransaction.h"

namespace
{
const char* const kResults[] = {"attempted", "done",    "unverified", "already",
                                "failed",    "refused", "interrupted"};
} // namespace

QString CTransaction::OperationKey(EOperation nOperation)
{
    const char* const keys[] = {"read", "write", "restore"};
    return QString::fromLatin1(keys[int(nOperation)]);
}

QString CTransaction::ResultKey(EResult nResult)
{
    return QString::fromLatin1(kResults[int(nResult)]);
}

CTransaction::EResult CTransaction::ResultOfKey(const QString& strKey)
{
    for (int i = 0; i < int(std::size(kResults)); ++i)
        if (strKey == QLatin1String(kResults[i]))
            return EResult(i);
    return EResult::Failed;
}
