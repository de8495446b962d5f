#include "ccontrolid.h"
#include "cdlgcalibrdac.h"
#include "cdlgchangesensor.h"
#include "cdlghistory.h"
#include "cmyedit.h"
#include "cquicktry.h"
#include "crecordjournal.h"
#include "cstringtable.h"
#include "cwizardfixture.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>

#include <cstring>

using EFault = CSimDevice::EFault;

namespace
{
void Key(QDialog& dialog, Qt::Key nKey)
{
    if (!dialog.isActiveWindow())
    {
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
    }
    QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, nKey);
}

// What the engineer does on the parameters page, through its widgets.
void EditEverything(CWizardFixture& f)
{
    CPage2& page = f.m_pDlg->m_Page2;
    f.m_pfnDialog = [](QDialog& dialog)
    {
        if (auto* pChange = qobject_cast<CDlgChangeSensor*>(&dialog))
            pChange->m_cbSensor->setCurrentIndex(3);
        if (auto* pDac = qobject_cast<CDlgCalibrDAC*>(&dialog))
        {
            pDac->m_edCalLow->clear();
            QTest::keyClicks(pDac->m_edCalLow, "4.01");
            pDac->m_edCalHigh->clear();
            QTest::keyClicks(pDac->m_edCalHigh, "19.99");
        }
        dialog.accept();
        return dialog.result();
    };
    f.Control<QPushButton>(&page, 1017)->click();
    // Tab into a field selects its text, and the typed value replaces it.
    auto type = [&](int nId, const char* pszText)
    {
        auto* pEdit = f.Control<CMyEdit>(&page, nId);
        pEdit->previousInFocusChain()->setFocus();
        Key(*f.m_pDlg, Qt::Key_Tab);
        QVERIFY(pEdit->hasFocus() && pEdit->selectedText() == pEdit->text());
        QTest::keyClicks(pEdit, pszText);
    };
    type(1009, "-50");
    type(1010, "400");
    type(1022, "21.5");
    type(1014, "5");
    type(1015, "2.5");
    f.Control<QComboBox>(&page, 1023)->setCurrentIndex(1);
    f.Control<QPushButton>(&page, 1019)->click();
}

// The image that the edits above make of a device image.
CParamZT01 Expected(const CParamZT01& device, const QByteArray& sensorFile)
{
    CParamZT01 file;
    std::memcpy(file.Image(), sensorFile.constData(), CParamZT01::kImageSize);
    CParamZT01 image = device;
    image.CopyFrom(file, CParamZT01::kSensorBlock);
    image.fLowLimit = -50;
    image.fHighLimit = 400;
    image.fFailOutput = 21.5f;
    image.fPeakBand = 5;
    image.fFilterTime = 2.5f;
    image.byColdJunction = 1;
    image.fDacCalLow = 4.01f;
    image.fDacCalHigh = 19.99f;
    return image;
}

// What a failed read or write cut at block 20 tells in its details.
void CheckPulledDetail(const QString& strDetail, bool bWriting)
{
    QCOMPARE(strDetail.contains("Прибор может хранить частично записанный образ."), bWriting);
    const QString strBackup = strDetail.section("Резервная копия прежнего образа: ", 1).section('\n', 0, 0);
    QCOMPARE(!strBackup.isEmpty() && QFile::exists(strBackup), bWriting);
    QCOMPARE(strDetail.contains("«История прибора...»"), bWriting);
    QVERIFY2(strDetail.startsWith(bWriting ? "запись, блок 0x00a0: порт пропал"
                                           : "чтение образа, блок 0x00a0: порт пропал"),
             qPrintable(strDetail));
}

// The adapter plugged in again: a new pty behind the adapter's own name.
void PlugInAgain(CWizardFixture& f, const QString& strPort)
{
    f.m_sim.Stop();
    QVERIFY(f.m_sim.Start());
    QFile::remove(strPort); // gone with the adapter, or still pointing at its old terminal
    QVERIFY(QFile::link(f.m_sim.SlavePath(), strPort));
}

// The adapter pulled out at block 20 of a connect or a write: the transfer fails at once.
void PullOut(CWizardFixture& f, bool writing)
{
    f.AddFault(
        f.Fault(EFault::HangUp, 20, 1, writing ? CSimDevice::ERequest::Write : CSimDevice::ERequest::Read));
    QElapsedTimer timer;
    timer.start();
    f.m_pDlg->OnOK();
    const qint64 nElapsed = timer.elapsed();
    QCOMPARE(f.Texts(), QStringList({CStringTable::Load(writing ? 156 : 155)}));
    // A write cut at block 20 leaves new blocks before it and old ones after: the details say
    // so, where the image it held is kept, and how the wizard puts it back.
    CheckPulledDetail(f.m_shown[0].strDetail, writing);
    // Waiting for answers from a line that is gone would take two answer time-outs, over a second.
    QVERIFY2(nElapsed < 900, qPrintable(QString::number(nElapsed)));
    QCOMPARE(f.m_pDlg->m_nCurPage, writing ? 1 : 0);
    QVERIFY(f.m_pDlg->isEnabled());
    QVERIFY(!f.m_app.m_bConnected);
}

// «Записать» while the adapter is still out: told to plug it in, nothing else changes.
void PressWhileAway(CWizardFixture& f, const QString& strPort)
{
    // The adapter's name goes with it: the terminal it led to may soon be another program's.
    f.m_sim.Stop();
    QVERIFY(QFile::remove(strPort));
    f.m_shown.clear();
    QTest::mouseClick(f.Button(1), Qt::LeftButton);
    QCOMPARE(f.Texts().size(), 1);
    QVERIFY2(f.m_shown[0].strDetail.contains(strPort), qPrintable(f.m_shown[0].strDetail));
    QVERIFY2(f.m_shown[0].strDetail.contains("подключите прибор"), qPrintable(f.m_shown[0].strDetail));
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
}

// Another unit on the port: refused, nothing written, the page keeps its edits.
void RefuseOtherUnit(CWizardFixture& f, const QString& strPort, const CParamZT01& other)
{
    f.m_shown.clear();
    const int nExchanges = f.Exchanges();
    QTest::mouseClick(f.Button(1), Qt::LeftButton);
    QCOMPARE(f.Texts().size(), 1);
    QVERIFY2(f.Texts().last().startsWith("К порту " + strPort + " подключён другой прибор."),
             qPrintable(f.Texts().last()));
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
    QCOMPARE(CTestFolder::Bytes(f.DeviceImage()), CTestFolder::Bytes(other)); // nothing written
    QVERIFY(f.Exchanges() > nExchanges);                                      // it was read to know it
    QCOMPARE(f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->text(), QStringLiteral("700"));
}

// A sensor change cut at block 30: the new sensor's codes and limits are in, its table is not.
// The unit is then plugged in again, and the port page shows.
void CutSensorChange(CWizardFixture& f)
{
    f.m_pDlg->OnOK();
    f.m_pfnDialog = [](QDialog& dialog)
    {
        qobject_cast<CDlgChangeSensor*>(&dialog)->m_cbSensor->setCurrentIndex(3);
        dialog.accept();
        return dialog.result();
    };
    f.Control<QPushButton>(&f.m_pDlg->m_Page2, 1017)->click();
    f.AddFault(f.Fault(EFault::HangUp, 30, 1, CSimDevice::ERequest::Write));
    f.m_pDlg->OnOK();
    f.m_sim.Stop();
    QVERIFY(f.m_sim.Start());
    f.m_ports = {f.m_sim.SlavePath()};
    f.m_pDlg->OnBack();
    QTRY_COMPARE(f.Control<QComboBox>(&f.m_pDlg->m_Page1, 1007)->currentText(), f.m_sim.SlavePath());
}

// The cut write in the unit's history, in the wizard's words; compared, the sensors' long names
// wrap within the list rather than run off it.
void CheckCutWriteInHistory(CWizardFixture& f)
{
    QStringList history;
    int nSensorRow = 0, nLine = 0;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        dialog.show();
        auto* pEntries = dialog.findChild<QTreeWidget*>("1041");
        QTreeWidgetItem* pWrite = pEntries->topLevelItem(1);
        history << pWrite->text(4) << pWrite->text(5) << pWrite->text(6);
        pEntries->setCurrentItem(pWrite);
        static_cast<CDlgHistory&>(dialog).OnCompare();
        auto* pCompare = dialog.findChild<QTreeWidget*>("1043");
        history << pCompare->topLevelItem(0)->text(0)
                << QString::number(pCompare->header()->length() <= pCompare->viewport()->width());
        nSensorRow = pCompare->visualItemRect(pCompare->topLevelItem(0)).height();
        nLine = pCompare->fontMetrics().height();
        return 0;
    };
    f.m_pDlg->OnHistory();
    QCOMPARE(history, QStringList({"запись", "прервано, частичный образ",
                                   "запись: порт пропал (адаптер отключён?)", "Тип датчика", "1"}));
    QVERIFY2(nSensorRow >= 2 * nLine, qPrintable(QString::number(nSensorRow)));
}

// The history window is made larger: the lists take the room, the buttons keep to their edges,
// and it opens at that size the next time. A read entry compared is headed «При чтении».
void CheckHistoryWindowGrows(CWizardFixture& f)
{
    QSize grown;
    QStringList seen;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        auto* pEntries = dialog.findChild<QTreeWidget*>("1041");
        auto* pClose = dialog.findChild<QPushButton*>("2");
        const QRect entries = pEntries->geometry();
        const QSize margin(dialog.width() - pClose->geometry().right(),
                           dialog.height() - pClose->geometry().bottom());
        dialog.resize(dialog.size() + QSize(300, 200));
        grown = dialog.size();
        seen << QString::number(pEntries->width() - entries.width())
             << QString::number(pEntries->height() > entries.height())
             << QString::number(dialog.width() - pClose->geometry().right() == margin.width() &&
                                dialog.height() - pClose->geometry().bottom() == margin.height());
        Key(dialog, Qt::Key_Escape);
        return dialog.result();
    };
    f.m_pDlg->OnHistory();
    QCOMPARE(seen, QStringList({"300", "1", "1"}));
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        seen << QString::number(dialog.size() == grown);
        auto* pEntries = dialog.findChild<QTreeWidget*>("1041");
        pEntries->setCurrentItem(pEntries->findItems("чтение", Qt::MatchExactly, 4).first());
        static_cast<CDlgHistory&>(dialog).OnCompare();
        seen << dialog.findChild<QTreeWidget*>("1043")->headerItem()->text(1);
        return 0;
    };
    f.m_pDlg->OnHistory();
    QCOMPARE(seen.mid(3), QStringList({"1", "При чтении"}));
}

// «Восстановить» on the entry in row nRow, confirmed.
void RestoreFromHistory(CWizardFixture& f, int nRow)
{
    f.m_nAnswer = 0;
    f.m_pfnDialog = [nRow](QDialog& dialog)
    {
        auto* pEntries = dialog.findChild<QTreeWidget*>("1041");
        pEntries->setCurrentItem(pEntries->topLevelItem(nRow));
        static_cast<CDlgHistory&>(dialog).OnRestore();
        return 0;
    };
    f.m_pDlg->OnHistory();
}
} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void configureADevice();
    void configureTheDemonstrationImage();
    void lineGoesSilentHalfWay();
    void wrongStoreFailsTheWrite_data();
    void wrongStoreFailsTheWrite();
    void adapterUnplugged_data();
    void adapterUnplugged();
    void tornSensorTable_data();
    void tornSensorTable();
    void unitHistory();
};

void TestEndToEnd::configureADevice()
{
    CWizardFixture f;
    const CParamZT01 device = f.DeviceImage();
    f.m_pDlg->OnOK();
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
    EditEverything(f);
    QTest::mouseClick(f.Button(1), Qt::LeftButton);
    QCOMPARE(f.Texts(), QStringList({CStringTable::Load(157)}));
    const QByteArray written = CTestFolder::Bytes(f.DeviceImage());
    QCOMPARE(written, CTestFolder::Bytes(Expected(device, f.m_folder.ReadFile("ImgEEPROM/R385_100.dat"))));
    // The device block, the factory calibration, is the device's own.
    QCOMPARE(written.left(80), CTestFolder::Bytes(device).left(80));
    QCOMPARE(written.mid(120, 8), CTestFolder::Bytes(device).mid(120, 8));
    QCOMPARE(written.mid(140, 2), CTestFolder::Bytes(device).mid(140, 2));
    QCOMPARE(f.m_pDlg->m_nCurPage, 0);
    // Reading it again shows what was written.
    Key(*f.m_pDlg, Qt::Key_Return);
    QCOMPARE(f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->text(), QStringLiteral("400"));
    QCOMPARE(f.m_app.m_nSensor, 3);
    // Back by mouse: Enter goes forward again, never to «Выход».
    QTest::mouseClick(f.Button(CControlId::kBack), Qt::LeftButton);
    QCOMPARE(f.m_pDlg->m_nCurPage, 0);
    Key(*f.m_pDlg, Qt::Key_Return);
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
}

void TestEndToEnd::configureTheDemonstrationImage()
{
    CWizardFixture f({"ttyS0"}, "ttyS0");
    f.m_app.m_Port.m_bDemo = true;
    f.m_pDlg->OnOK();
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
    QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1039)->text(),
             QStringLiteral("Порт: ttyS0. Версия прибора: 0x1555. Версия загрузчика: 0x0008"));
    EditEverything(f);
    f.m_pDlg->OnOK();
    QCOMPARE(f.Texts(), QStringList({CStringTable::Load(157)}));
    // In demonstration mode the device record is the start record: its device block is zero.
    CParamZT01 start;
    CParamZT01 expected = Expected(start, f.m_folder.ReadFile("ImgEEPROM/R385_100.dat"));
    expected.byOutRange = 5;
    const QByteArray written = f.m_folder.ReadFile("ImgEEPROM/demo.dat");
    QCOMPARE(written, CTestFolder::Bytes(expected));
    QCOMPARE(f.Exchanges(), 0); // no device was touched
}

void TestEndToEnd::lineGoesSilentHalfWay()
{
    CWizardFixture f;
    f.m_pDlg->OnOK();
    f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->setText("700");
    // From the 33rd write request on, nothing answers.
    f.AddFault(f.Fault(EFault::NoAnswer, -1, -1, CSimDevice::ERequest::Write, f.Exchanges() + 32));
    f.m_pDlg->OnOK();
    QCOMPARE(f.Texts(), QStringList({CStringTable::Load(156)}));
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
    QCOMPARE(f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->text(), QStringLiteral("700"));
    QVERIFY(f.m_pDlg->isEnabled());
    // The line is back: a second "Записать" writes the whole image.
    f.m_sim.WithDevice([](CSimDevice& device) { device.ClearFaults(); });
    f.m_pDlg->OnOK();
    QCOMPARE(f.Texts().last(), CStringTable::Load(157));
    QCOMPARE(f.DeviceImage().fHighLimit, 700.0f);
    QCOMPARE(CTestFolder::Bytes(f.DeviceImage()), CTestFolder::Bytes(f.m_app.m_ParamEdit));
}

void TestEndToEnd::wrongStoreFailsTheWrite_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("byte");
    QTest::newRow("a setting's block") << 14 << 0;
    QTest::newRow("the table's middle") << 40 << 5;
    QTest::newRow("the last byte") << 63 << 7;
}

void TestEndToEnd::wrongStoreFailsTheWrite()
{
    QFETCH(int, block);
    QFETCH(int, byte);
    CWizardFixture f;
    f.m_pDlg->OnOK();
    int nWindows = 0;
    const auto pfnCreate = f.m_app.m_Hooks.m_pfnCreateProgress;
    f.m_app.m_Hooks.m_pfnCreateProgress = [&]
    {
        ++nWindows;
        return pfnCreate();
    };
    // The unit acknowledges the block and keeps one byte of it wrong.
    CSimDevice::SFault fault = f.Fault(EFault::CorruptStore, block, 1, CSimDevice::ERequest::Write);
    fault.nByte = byte;
    f.AddFault(fault);
    auto* pHigh = f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1010);
    pHigh->setFocus();
    pHigh->selectAll();
    QTest::keyClicks(pHigh, "700");
    QTest::mouseClick(f.Button(1), Qt::LeftButton);
    QCOMPARE(nWindows, 1); // the read-back under the write's own window
    const int nAddress = 8 * block + byte;
    QCOMPARE(f.Texts().size(), 1);
    QVERIFY2(f.Texts()[0].contains(QString::asprintf("адрес %d (0x%03x)", nAddress, nAddress)),
             qPrintable(f.Texts()[0]));
    QCOMPARE(f.m_shown[0].strCaption, CStringTable::Load(107));
    const QString strDetail = f.m_shown[0].strDetail;
    const QString strBackup = strDetail.section("Резервная копия прежнего образа: ", 1).section('\n', 0, 0);
    QVERIFY2(QFile::exists(strBackup), qPrintable(strDetail));
    QVERIFY(strDetail.contains("«История прибора...»"));
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
    QCOMPARE(pHigh->text(), QStringLiteral("700"));
    const CRecordEntry& entry = static_cast<CRecordJournal*>(f.m_pDlg->m_Page1.m_pJournal)->Last();
    QCOMPARE(entry.strResult + " " + entry.strStep, QStringLiteral("failed verify"));
    QCOMPARE(entry.nAddress, nAddress);
    QVERIFY(entry.verified.has_value() && !*entry.verified);
    // The unit stores right again: the next press reads it again, writes and checks it.
    f.m_shown.clear();
    QTest::mouseClick(f.Button(1), Qt::LeftButton);
    QCOMPARE(f.Texts(), QStringList({CStringTable::Load(157)}));
    QCOMPARE(f.DeviceImage().fHighLimit, 700.0f);
    QVERIFY(static_cast<CRecordJournal*>(f.m_pDlg->m_Page1.m_pJournal)->Last().verified.value_or(false));
}

void TestEndToEnd::adapterUnplugged_data()
{
    QTest::addColumn<int>("when");     // pulled out 0 while connecting, 1 while writing, 2 between
    QTest::addColumn<int>("unitBack"); // the unit plugged in again: 0 the same, 1 another
    QTest::addColumn<bool>("early");   // «Записать» pressed once more before the adapter is back
    QTest::newRow("while connecting") << 0 << 0 << false;
    QTest::newRow("while writing, the same unit back") << 1 << 0 << false;
    QTest::newRow("while writing, pressed early, the same unit back") << 1 << 0 << true;
    QTest::newRow("while writing, another unit back") << 1 << 1 << false;
    QTest::newRow("between transfers, the same unit back") << 2 << 0 << false;
    QTest::newRow("between transfers, pressed early, another unit back") << 2 << 1 << true;
}

void TestEndToEnd::adapterUnplugged()
{
    QFETCH(int, when);
    QFETCH(int, unitBack);
    QFETCH(bool, early);
    CWizardFixture f;
    // The adapter has a name of its own that comes back with it, as /dev/ttyUSB0 does.
    const QString strPort = f.m_folder.FilePath("ttyUSB-lab");
    QVERIFY(QFile::link(f.m_sim.SlavePath(), strPort));
    f.m_ports = {strPort};
    auto* pList = f.Control<QComboBox>(&f.m_pDlg->m_Page1, 1007);
    f.m_pDlg->m_Page1.FillPortList();
    pList->setCurrentText(strPort);
    const CParamZT01 device = f.DeviceImage();
    if (when > 0)
    {
        f.m_pDlg->OnOK();
        QCOMPARE(f.m_pDlg->m_nCurPage, 1);
        f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->setText("700");
    }
    if (when < 2)
        PullOut(f, when == 1);
    if (QTest::currentTestFailed())
        return;
    if (early)
        PressWhileAway(f, strPort);
    if (QTest::currentTestFailed())
        return;

    // Plugged in again under the same name.
    PlugInAgain(f, strPort);
    if (QTest::currentTestFailed())
        return;
    CParamZT01 other = device;
    other.fDeviceCoef[0] = 1.25f;
    if (unitBack == 1)
        f.SetDeviceImage(other);
    if (when == 0)
    {
        QTRY_COMPARE(pList->currentText(), strPort);
        f.m_pDlg->OnOK();
    }
    // The first «Записать» opens the port again and writes, with the page's edits, to the same
    // unit only.
    f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->setText("700");
    if (unitBack == 1)
    {
        RefuseOtherUnit(f, strPort, other);
        if (QTest::currentTestFailed())
            return;
        f.SetDeviceImage(device); // the right unit back on the port
    }
    f.m_shown.clear();
    QTest::mouseClick(f.Button(1), Qt::LeftButton);
    QCOMPARE(f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->text(), QStringLiteral("700"));
    QCOMPARE(f.Texts(), QStringList({CStringTable::Load(157)}));
    CParamZT01 expected = device;
    expected.fHighLimit = 700;
    QCOMPARE(CTestFolder::Bytes(f.DeviceImage()), CTestFolder::Bytes(expected));
}

void TestEndToEnd::tornSensorTable_data()
{
    QTest::addColumn<int>("answer"); // 0 reload the sensor's data, 1 write as it is, 2 cancel
    QTest::newRow("reloaded from the file") << 0;
    QTest::newRow("written as it is") << 1;
    QTest::newRow("not written") << 2;
    QTest::newRow("reload asked, the file gone by then") << 3;
}

void TestEndToEnd::tornSensorTable()
{
    QFETCH(int, answer);
    CWizardFixture f;
    const CParamZT01 before = f.DeviceImage();
    CutSensorChange(f);
    if (QTest::currentTestFailed())
        return;

    // Connected again, the status line says the table is not the sensor's, and so does the record.
    f.m_pDlg->OnOK();
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
    auto* pStatus = f.Control<QLabel>(&f.m_pDlg->m_Page2, 1039);
    QCOMPARE(pStatus->text(), QStringLiteral("Данные датчика не совпадают с файлом R385_100.dat: возможно, "
                                             "запись была прервана"));
    QVERIFY(pStatus->toolTip().startsWith("Порт: "));
    QVERIFY(pStatus->geometry().bottom() < f.Control<QLabel>(&f.m_pDlg->m_Page2, 1016)->geometry().top());
    QVERIFY(f.m_pDlg->m_Page1.m_pJournal->UnitPartial());
    CheckCutWriteInHistory(f);
    if (QTest::currentTestFailed())
        return;

    // «Записать» asks first.
    f.m_shown.clear();
    f.m_nAnswer = answer;
    const QString strFile = f.m_folder.FilePath("ImgEEPROM/R385_100.dat");
    const QByteArray fileBytes = f.m_folder.ReadFile("ImgEEPROM/R385_100.dat");
    if (answer == 3)
        CMsgBox::SetQuestionScript(
            [&](const CMsgBox::SRecord& record)
            {
                f.m_shown.append(record);
                QFile::remove(strFile);
                return 0;
            });
    const QByteArray torn = CTestFolder::Bytes(f.DeviceImage());
    f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1009)->setText("-20");
    f.m_pDlg->OnOK();
    QVERIFY(f.Texts().first().startsWith("Данные датчика не совпадают с файлом R385_100.dat"));
    QCOMPARE(f.m_shown.first().buttons.size(), 3);
    CParamZT01 file;
    std::memcpy(file.Image(), fileBytes.constData(), CParamZT01::kImageSize);
    const CParamZT01 now = f.DeviceImage();
    const bool bWritten = answer == 0 || answer == 1;
    QCOMPARE(now.SameIn(file, CParamZT01::kSensorData), answer == 0);
    QCOMPARE(now.fLowLimit, bWritten ? -20.0f : 0.0f);
    QCOMPARE(CTestFolder::Bytes(now) == torn, !bWritten);
    QCOMPARE(f.Texts().size(), answer == 2 ? 1 : 2);
    if (answer == 3)
        QVERIFY2(f.Texts().last().contains("R385_100.dat"), qPrintable(f.Texts().last()));
    if (answer != 2)
        return;
    // Put back from its history, the unit holds its old sensor whole, and the line says so no more.
    RestoreFromHistory(f, 1); // the cut write
    QCOMPARE(CTestFolder::Bytes(f.DeviceImage()), CTestFolder::Bytes(before));
    QVERIFY2(pStatus->text().startsWith("Порт: "), qPrintable(pStatus->text()));
}

void TestEndToEnd::unitHistory()
{
    CWizardFixture f;
    const CParamZT01 device = f.DeviceImage();
    auto historyAction = [&f]
    {
        std::unique_ptr<QMenu> pMenu(f.m_pDlg->CreateSystemMenu());
        QAction* pAction = pMenu->actions().first();
        pAction->setParent(nullptr);
        return std::unique_ptr<QAction>(pAction);
    };
    QCOMPARE(historyAction()->text(), QStringLiteral("&История прибора..."));
    QVERIFY(!historyAction()->isEnabled()); // no unit in hand yet
    f.m_pDlg->OnOK();
    f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->setText("700");
    f.m_pDlg->OnOK();
    f.m_pDlg->OnOK();
    QVERIFY(historyAction()->isEnabled());

    // Keys alone: the entries, newest first, compared and one put back.
    QStringList focus, rows, compared, restored, who;
    f.m_nAnswer = 0;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        auto* pEntries = dialog.findChild<QTreeWidget*>("1041");
        for (int i = 0; i < pEntries->topLevelItemCount(); ++i)
            rows << pEntries->topLevelItem(i)->text(4) + " " + pEntries->topLevelItem(i)->text(5);
        who << pEntries->topLevelItem(0)->text(2) << pEntries->topLevelItem(0)->text(3);
        for (int i = 0; i < 5; ++i)
        {
            focus << dialog.focusWidget()->objectName();
            Key(dialog, Qt::Key_Tab);
        }
        Key(dialog, Qt::Key_Down); // the write
        Key(dialog, Qt::Key_Return);
        auto* pCompare = dialog.findChild<QTreeWidget*>("1043");
        for (int i = 0; i < pCompare->topLevelItemCount(); ++i)
            compared << QStringList({pCompare->topLevelItem(i)->text(0), pCompare->topLevelItem(i)->text(1),
                                     pCompare->topLevelItem(i)->text(2), pCompare->topLevelItem(i)->text(3)})
                            .join('|');
        Key(dialog, Qt::Key_Tab);
        Key(dialog, Qt::Key_Tab);
        Key(dialog, Qt::Key_Space); // «Восстановить...», answered «Восстановить»
        restored << pEntries->topLevelItem(0)->text(4) + " " + pEntries->topLevelItem(0)->text(5)
                 << QString::number(pCompare->columnCount()); // no sides left of another entry
        Key(dialog, Qt::Key_Escape);
        return dialog.result();
    };
    historyAction()->trigger();
    QCOMPARE(rows, QStringList({"чтение выполнено", "запись выполнено, сверено", "чтение выполнено"}));
    QCOMPARE(focus, QStringList({"1041", "1", "1042", "1043", "2"}));
    QCOMPARE(who, QStringList({CRecordJournal::DefaultIdentity().strOperator, f.m_sim.SlavePath()}));
    QCOMPARE(compared, QStringList({"Границы преобразования|0 ... 1000 °C|0 ... 700 °C|0 ... 700 °C"}));
    QCOMPARE(restored, QStringList({"восстановление выполнено, сверено", "1"}));
    QVERIFY(f.Texts().last().startsWith("Прибору возвращён образ до записи от "));
    QCOMPARE(CTestFolder::Bytes(f.DeviceImage()), CTestFolder::Bytes(device));
    QCOMPARE(f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->text(), QStringLiteral("1000"));
    CheckHistoryWindowGrows(f);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
