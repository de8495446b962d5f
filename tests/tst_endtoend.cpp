#include "cdlgcalibrdac.h"
#include "cdlgchangesensor.h"
#include "cmyedit.h"
#include "cstringtable.h"
#include "cwizardfixture.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QStandardPaths>
#include <QTest>

#include <cstring>

using EFault = CSimDevice::EFault;

namespace
{
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
    auto type = [&](int nId, const char* pszText)
    {
        auto* pEdit = f.Control<CMyEdit>(&page, nId);
        pEdit->selectAll();
        QTest::keyClick(pEdit, Qt::Key_Backspace);
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
} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void configureADevice();
    void configureTheDemonstrationImage();
    void lineGoesSilentHalfWay();
    void adapterUnplugged_data();
    void adapterUnplugged();
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
    f.m_pDlg->OnOK();
    QCOMPARE(f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->text(), QStringLiteral("400"));
    QCOMPARE(f.m_app.m_nSensor, 3);
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

void TestEndToEnd::adapterUnplugged_data()
{
    QTest::addColumn<bool>("writing");
    QTest::newRow("while connecting") << false;
    QTest::newRow("while writing") << true;
}

void TestEndToEnd::adapterUnplugged()
{
    QFETCH(bool, writing);
    CWizardFixture f;
    if (writing)
    {
        f.m_pDlg->OnOK();
        QCOMPARE(f.m_pDlg->m_nCurPage, 1);
        f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->setText("700");
    }
    // The adapter is pulled out at block 20.
    f.AddFault(
        f.Fault(EFault::HangUp, 20, 1, writing ? CSimDevice::ERequest::Write : CSimDevice::ERequest::Read));
    QElapsedTimer timer;
    timer.start();
    f.m_pDlg->OnOK();
    const qint64 nElapsed = timer.elapsed();
    QCOMPARE(f.Texts(), QStringList({CStringTable::Load(writing ? 156 : 155)}));
    const QString strPort = f.m_sim.SlavePath();
    // A write cut at block 20 leaves new blocks before it and old ones after: the details say so,
    // where the image it held is kept, and how to put it back.
    const QString strDetail = f.m_shown[0].strDetail;
    QCOMPARE(strDetail.contains("Прибор может хранить частично записанный образ."), writing);
    QCOMPARE(strDetail.contains("Вернуть прежний образ: zint9 restore --port " + strPort), writing);
    QVERIFY2(strDetail.startsWith(writing ? "запись, блок 0x00a0: порт пропал"
                                          : "чтение образа, блок 0x00a0: порт пропал"),
             qPrintable(strDetail));
    // Waiting for answers from a line that is gone would take two answer time-outs, over a second.
    QVERIFY2(nElapsed < 900, qPrintable(QString::number(nElapsed)));
    QCOMPARE(f.m_pDlg->m_nCurPage, writing ? 1 : 0);
    QVERIFY(f.m_pDlg->isEnabled());
    QVERIFY(!f.m_app.m_bConnected || writing);

    // Plugged in again, the adapter appears in the list of the port page and can be chosen.
    f.m_sim.Stop();
    QVERIFY(f.m_sim.Start());
    f.m_ports = {f.m_sim.SlavePath()};
    if (writing)
        f.m_pDlg->OnBack();
    auto* pList = f.Control<QComboBox>(&f.m_pDlg->m_Page1, 1007);
    QTRY_COMPARE(pList->currentText(), f.m_sim.SlavePath());
    f.m_pDlg->OnOK();
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
    QCOMPARE(f.Texts().size(), 1);
    f.Control<QLineEdit>(&f.m_pDlg->m_Page2, 1010)->setText("700");
    f.m_pDlg->OnOK();
    QCOMPARE(f.Texts().last(), CStringTable::Load(157));
    QCOMPARE(f.DeviceImage().fHighLimit, 700.0f);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
