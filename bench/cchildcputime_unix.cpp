#include "cchildcputime.h"

#include <sys/resource.h>

double CChildCpuTime::Seconds()
{
    rusage usage = {};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
