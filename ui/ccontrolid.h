#pragma once

#include <QString>

// The ids of the template controls that the code looks up; each control carries its id as its
// objectName (see CDialogBuilder). The numbers are the templates' in res/dialogs.json.
class CControlId
{
public:
    static QString Name(int nId) { return QString::number(nId); }

    // Buttons shared by the frame and the dialogs.
    static constexpr int kOk = 1;     // the frame's forward button, a dialog's OK
    static constexpr int kCancel = 2; // the frame's exit button, a dialog's cancel
    // Frame (template 102).
    static constexpr int kBack = 1003;
    static constexpr int kPicture = 1004;
    static constexpr int kPageArea = 1005;
    static constexpr int kTitle = 1006;
    // Port page (130).
    static constexpr int kPortList = 1007;
    // Parameters page (131); the DAC dialog (134) uses the same ids for its two calibrations.
    static constexpr int kLowLimit = 1009;
    static constexpr int kHighLimit = 1010;
    static constexpr int kPeakBand = 1014;
    static constexpr int kFilterTime = 1015;
    static constexpr int kSensor = 1016;
    static constexpr int kChangeSensor = 1017;
    static constexpr int kCalibrateDac = 1019;
    static constexpr int kDacLow = 1020;
    static constexpr int kDacHigh = 1021;
    static constexpr int kFailOutput = 1022;
    static constexpr int kColdJunction = 1023;
    static constexpr int kLowLimitUnit = 1024;
    static constexpr int kHighLimitUnit = 1025;
    static constexpr int kPeakBandUnit = 1026;
    static constexpr int kDacCaption = 1031;
    static constexpr int kDacLowUnit = 1032;
    static constexpr int kDacHighUnit = 1033;
    static constexpr int kStatus = 1039;
    // Progress window (132).
    static constexpr int kProgressText = 1000;
    static constexpr int kProgressBar = 1001;
    static constexpr int kProgressPercent = 1002;
    // Sensor dialog (133).
    static constexpr int kSensorList = 1018;
    // DAC dialog (134): the conversion limits shown for reference.
    static constexpr int kDacDialogLowLimit = 1027;
    static constexpr int kDacDialogHighLimit = 1028;
    static constexpr int kDacDialogLowUnit = 1029;
    static constexpr int kDacDialogHighUnit = 1030;
    static constexpr int kDacDialogDacLowUnit = 1034;
    static constexpr int kDacDialogDacHighUnit = 1035;
    // History window (135): the unit, its entries, the comparison and a note under it; its
    // OK button compares.
    static constexpr int kHistoryUnit = 1040;
    static constexpr int kHistoryEntries = 1041;
    static constexpr int kHistoryRestore = 1042;
    static constexpr int kHistoryCompare = 1043;
    static constexpr int kHistoryNote = 1044;
    static constexpr int kChart = 1050;
    static constexpr int kChartNote = 1051;
    // «Протокол настройки»: the page, what it is of, and its two ways out.
    static constexpr int kProtocolPage = 1052;
    static constexpr int kProtocolNote = 1053;
    static constexpr int kProtocolSave = 1054;
    static constexpr int kProtocolPrint = 1055;
};
