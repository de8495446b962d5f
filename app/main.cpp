#include "cztapp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    CZTApp theApp;
    theApp.InitInstance();
    return theApp.ExitInstance();
}
