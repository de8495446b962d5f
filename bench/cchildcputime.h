#pragma once

// CPU time (user and system) of the children that have ended and been waited for, with all
// their own waited-for descendants.
class CChildCpuTime
{
public:
    static double Seconds();
};
