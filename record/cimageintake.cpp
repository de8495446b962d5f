#include "cimageintake.h"

#include "cfilevalues.h"
#include "cparamzt01.h"
#include "cwritejournal.h"
#include "cztappconfig.h"

CImageIntake::SVerdict CImageIntake::Judge(CZTAppConfig& app, CWriteJournal* pJournal,
                                           const CParamZT01& source, const QString& strPath)
{
    SVerdict verdict;
    verdict.strFault = CFileValues::Fault(app, source, strPath);
    verdict.strTable = app.SensorFileMismatch(source);
    verdict.bPartial = pJournal && pJournal->ImagePartial(source);
    verdict.nOrigin = pJournal ? pJournal->ImageOrigin(source) : -1;
    return verdict;
}

void CImageIntake::Apply(CParamZT01& edit, const CParamZT01& source)
{
    edit.CopyFrom(source, CParamZT01::kSensorBlock);
    edit.fFailOutput = source.fFailOutput;
    edit.fFilterTime = source.fFilterTime;
}
