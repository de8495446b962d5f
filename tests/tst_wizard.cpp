#include "caboutdlg.h"
#include "cconfigfiles.h"
#include "cdlgcharacteristic.h"
#include "cdlgprotocol.h"
#include "cfilelock.h"
#include "cfingerprint.h"
#include "cfulldisk.h"
#include "cimagebackup.h"
#include "cmyedit.h"
#include "cpoppler.h"
#include "cquicktry.h"
#include "crecordstore.h"
#include "cstringtable.h"
#include "ctitlepage.h"
#include "cwizardfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

using EFault = CSimDevice::EFault;

namespace
{
const QString kStage1 = QStringLiteral("Этап 1\tПодключение прибора и чтение настроек");
const QString kStage2 = QStringLiteral("Этап 2\tНастройка параметров и запись в прибор");

void CheckState(CWizardFixture& f, int nPage)
{
    QCOMPARE(f.m_pDlg->m_nCurPage, nPage);
    QCOMPARE(f.m_pDlg->m_Page1.isVisible(), nPage == 0);
    QCOMPARE(f.m_pDlg->m_Page2.isVisible(), nPage == 1);
    QCOMPARE(f.Button(1003)->isEnabled(), nPage == 1);
    QCOMPARE(f.Button(1003)->text(), QStringLiteral("<< Назад"));
    QCOMPARE(f.Button(1)->text(), nPage == 1 ? QStringLiteral("Записать") : QStringLiteral("Далее >>"));
    QVERIFY(f.Button(1)->isEnabled());
    QCOMPARE(f.Button(2)->text(), QStringLiteral("Выход"));
    QVERIFY(f.Button(2)->isEnabled());
    QCOMPARE(f.m_pDlg->m_wndTitle->Text(), nPage == 1 ? kStage2 : kStage1);
    QVERIFY(f.m_pDlg->isEnabled()); // no progress window is left over
}
} // namespace

class TestWizard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Backups go below the home folder: one of the test's own.
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        QStandardPaths::setTestModeEnabled(true);
    }
    void cleanup();
    void startState();
    void connectSucceeds();
    void connectFails_data();
    void connectFails();
    void backDropsUnstoredEdits();
    void writeSucceeds();
    void writeFails();
    void writeRefused();
    void writeRefusedByValidation();
    void exitStoresThePort();
    void exitWithNoPorts();
    void demoCaption();
    void aboutBox();
    void aboutOverTheWholeFrame();
    void noCloseDuringTransfer();
    void enterAndEscape();
    void characteristicWindow();
    void protocolWindow_data();
    void protocolWindow();
    void configurationFiles_data();
    void configurationFiles();
    void backupBeforeWrite_data();
    void backupBeforeWrite();

private:
    QTemporaryDir m_home;
};

void TestWizard::cleanup()
{
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        QVERIFY2(!pWidget->isVisible() || pWidget->inherits("CZTDlg"), pWidget->metaObject()->className());
}

void TestWizard::startState()
{
    CWizardFixture f;
    CheckState(f, 0);
    QCOMPARE(f.m_pDlg->windowTitle(), QStringLiteral("Конфигуратор ЗИНТ-9"));
    QCOMPARE(f.m_pDlg->m_arrTemplates, QList<quint32>({130, 131}));
    QCOMPARE(f.m_pDlg->m_arrTitles, QStringList({kStage1, kStage2}));
    QVERIFY(!f.m_pDlg->windowIcon().isNull());
    QVERIFY(f.Button(1)->isDefault());
    QCOMPARE(f.m_pDlg->m_Page1.geometry(), f.m_pDlg->m_wndPageArea->geometry());
    QVERIFY(f.m_shown.isEmpty());
}

void TestWizard::connectSucceeds()
{
    CWizardFixture f;
    f.m_pDlg->OnOK();
    CheckState(f, 1);
    QVERIFY(f.m_shown.isEmpty());
    QVERIFY(f.m_app.m_bConnected);
    QVERIFY(f.m_app.m_Port.m_bOpen);
    QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamEdit), CTestFolder::Bytes(f.DeviceImage()));
    QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1039)->text(),
             QStringLiteral("Порт: %1. Версия прибора: 0x1555. Версия загрузчика: 0x0008")
                 .arg(f.m_sim.SlavePath()));
    QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1016)->text(),
             QStringLiteral("Термопара ТХА (K) (-200...1360 °C)"));
}

void TestWizard::connectFails_data()
{
    QTest::addColumn<int>("scenario");
    QTest::addColumn<int>("message");
    QTest::addColumn<QString>("detail");
    QTest::newRow("no port") << 0 << 152 << QString();
    QTest::newRow("port held elsewhere")
        << 1 << 153
        << QStringLiteral("порт занят другой программой (процесс %1, %2)")
               .arg(QCoreApplication::applicationPid())
               .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName().left(15));
    QTest::newRow("no versions") << 2 << 154
                                 << QStringLiteral("чтение версий: нет ответа, получено 0 из 4 байт");
    QTest::newRow("image read fails")
        << 3 << 155 << QStringLiteral("чтение образа, блок 0x0018: неверное контрольное слово ответа");
}

void TestWizard::connectFails()
{
    QFETCH(int, scenario);
    QFETCH(int, message);
    QFETCH(QString, detail);
    CWizardFixture f;
    CSerialPort holder;
    if (scenario == 0)
    {
        f.m_ports.clear();
        f.m_pDlg->m_Page1.FillPortList();
    }
    else if (scenario == 1)
        QVERIFY(holder.Open(f.m_sim.SlavePath()));
    else if (scenario == 2)
        f.AddFault(f.Fault(EFault::NoAnswer, -1, 1, CSimDevice::ERequest::Versions));
    else
        f.AddFault(f.Fault(EFault::BadCheck, 3, 2, CSimDevice::ERequest::Read));
    f.m_app.m_wVersion = 0x7777;
    f.m_pDlg->OnOK();
    CheckState(f, 0);
    QCOMPARE(f.m_shown.size(), 1);
    QCOMPARE(f.m_shown[0].strText, CStringTable::Load(message));
    QCOMPARE(f.m_shown[0].strCaption, QStringLiteral("Внимание!"));
    QCOMPARE(f.m_shown[0].nIcon, EMsgIcon::Stop);
    QCOMPARE(f.m_shown[0].pOwner, &f.m_pDlg->m_Page1);
    // Why it failed goes into the box's details; the message stays as it was.
    QCOMPARE(f.m_shown[0].strDetail, detail);
    QVERIFY(!f.m_app.m_bConnected);
    QVERIFY(!f.m_app.m_Port.m_bOpen); // the list was refilled, closing the port
    // A failed version read keeps the old versions; a failed image read keeps the new ones.
    QCOMPARE(f.m_app.m_wVersion, quint16(scenario == 3 ? 0x1555 : 0x7777));
    // The port just tried is selected again.
    auto* pList = f.Control<QComboBox>(&f.m_pDlg->m_Page1, 1007);
    QCOMPARE(pList->currentText(), scenario == 0 ? QString() : f.m_sim.SlavePath());
}

void TestWizard::backDropsUnstoredEdits()
{
    CWizardFixture f;
    f.m_pDlg->OnOK();
    const QByteArray before = CTestFolder::Bytes(f.m_app.m_ParamEdit);
    f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1009)->setText("123");
    QTest::mouseClick(f.Button(1003), Qt::LeftButton);
    CheckState(f, 0);
    QVERIFY(!f.m_app.m_Port.m_bOpen);
    QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamEdit), before);
    // Back on the port page does nothing.
    f.m_pDlg->OnBack();
    CheckState(f, 0);
    // The next connect reads afresh and shows the device's value.
    f.m_pDlg->OnOK();
    CheckState(f, 1);
    QCOMPARE(f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1009)->text(), QStringLiteral("0"));
}

void TestWizard::writeSucceeds()
{
    CWizardFixture f;
    const CParamZT01 before = f.DeviceImage();
    f.m_pDlg->OnOK();
    f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1010)->setText("900");
    QTest::mouseClick(f.Button(1), Qt::LeftButton);
    CheckState(f, 0);
    QCOMPARE(f.m_shown.size(), 1);
    QCOMPARE(f.m_shown[0].strText, QStringLiteral("Новые настройки записаны в прибор."));
    QCOMPARE(f.m_shown[0].strCaption, QStringLiteral("Конфигуратор ЗИНТ-9"));
    QCOMPARE(f.m_shown[0].nIcon, EMsgIcon::Information);
    QCOMPARE(f.m_shown[0].pOwner, f.m_pDlg.get());
    QCOMPARE(f.DeviceImage().fHighLimit, 900.0f);
    QVERIFY(!f.m_app.m_Port.m_bOpen);
    // The image read from the device was saved before the write.
    const QDir backups(CImageBackup::DefaultFolder());
    const QStringList names = backups.entryList(QDir::Files, QDir::Time);
    QVERIFY(!names.isEmpty());
    QVERIFY(names.first().contains("-v1555"));
    QFile backup(backups.filePath(names.first()));
    QVERIFY(backup.open(QIODevice::ReadOnly));
    QCOMPARE(backup.readAll(), CTestFolder::Bytes(before));
}

void TestWizard::writeFails()
{
    CWizardFixture f;
    f.m_pDlg->OnOK();
    const int nNow = f.Exchanges();
    f.AddFault(f.Fault(EFault::NoAnswer, -1, 2, CSimDevice::ERequest::Write, nNow));
    f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1010)->setText("800");
    f.m_pDlg->OnOK();
    CheckState(f, 1);
    QCOMPARE(f.Texts(), QStringList({CStringTable::Load(156)}));
    QCOMPARE(f.m_shown[0].strCaption, QStringLiteral("Внимание!"));
    QCOMPARE(f.m_shown[0].nIcon, EMsgIcon::Stop);
    // The first block failed twice: its step, block and reason are in the details.
    QCOMPARE(f.m_shown[0].strDetail, QStringLiteral("запись, блок 0x0000: нет ответа, получено 0 из 1 байт"));
    QVERIFY(f.m_app.m_Port.m_bOpen);
    QCOMPARE(f.m_app.m_ParamEdit.fHighLimit, 800.0f);
    QCOMPARE(f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1010)->text(), QStringLiteral("800"));
    // Pressed again, the write goes through.
    f.m_pDlg->OnOK();
    CheckState(f, 0);
    QCOMPARE(f.DeviceImage().fHighLimit, 800.0f);
}

void TestWizard::writeRefused()
{
    CWizardFixture f;
    f.m_sim.WithDevice([](CSimDevice& device) { device.SetRefusalVersions(0x1234, 0x0009); });
    f.AddFault(f.Fault(EFault::Refusal, 0, 1, CSimDevice::ERequest::Write));
    f.m_pDlg->OnOK();
    f.m_pDlg->OnOK();
    CheckState(f, 1);
    QCOMPARE(f.Texts(),
             QStringList({"Ошибка записи параметров!\nВерсия прибора: 0x1234. Версия загрузчика:0x 0009.",
                          CStringTable::Load(156)}));
    QCOMPARE(f.m_shown[1].strDetail,
             QStringLiteral(
                 "запись, блок 0x0000: прибор отказал, версия прибора 0x1234, версия загрузчика 0x0009"));
    QCOMPARE(f.m_shown[0].strCaption, QStringLiteral("Конфигуратор ЗИНТ-9"));
    QCOMPARE(f.m_shown[0].nIcon, EMsgIcon::Stop);
}

void TestWizard::writeRefusedByValidation()
{
    CWizardFixture f;
    f.m_pDlg->OnOK();
    const int nNow = f.Exchanges();
    f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1022)->setText("30");
    f.m_pDlg->OnOK();
    CheckState(f, 1);
    QCOMPARE(f.Texts(), QStringList({CStringTable::Load(159)}));
    QCOMPARE(f.Exchanges(), nNow); // nothing was sent
    f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1022)->setText("");
    f.m_pDlg->OnOK();
    QCOMPARE(f.Texts().last(), QStringLiteral("Please enter a number."));
    QCOMPARE(f.Exchanges(), nNow);
}

void TestWizard::exitStoresThePort()
{
    CWizardFixture f({"ttyS0", "ttyUSB1"});
    f.m_pDlg->OnOK();
    CheckState(f, 1);
    QTest::mouseClick(f.Button(2), Qt::LeftButton);
    QVERIFY(!f.m_pDlg->isVisible());
    QCOMPARE(f.m_pDlg->result(), int(QDialog::Rejected));
    QCOMPARE(QSettings().value("Settings/ConnectionPort").toString(), f.m_sim.SlavePath());
}

void TestWizard::exitWithNoPorts()
{
    CWizardFixture f;
    f.m_ports.clear();
    f.m_pDlg->m_Page1.FillPortList();
    f.m_pDlg->OnCancel();
    QVERIFY(QSettings().contains("Settings/ConnectionPort"));
    QCOMPARE(QSettings().value("Settings/ConnectionPort").toString(), QString());
}

void TestWizard::demoCaption()
{
    CDeviceFixture base;
    base.m_app.m_Port.m_bDemo = true;
    CZTDlg dlg;
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Конфигуратор ЗИНТ-9. Демонстрационный режим"));
    dlg.hide();
}

void TestWizard::aboutBox()
{
    CWizardFixture f;
    QStringList opened;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        opened << dialog.metaObject()->className() << dialog.windowTitle();
        return int(QDialog::Accepted);
    };
    std::unique_ptr<QMenu> pMenu(f.m_pDlg->CreateSystemMenu());
    const QList<QAction*> actions = pMenu->actions();
    QVERIFY(actions.size() >= 2);
    QVERIFY(actions[actions.size() - 2]->isSeparator());
    QCOMPARE(actions.last()->text(), QStringLiteral("&О программе Конфигуратор ЗИНТ-9..."));
    actions.last()->trigger();
    QCOMPARE(opened, QStringList({"CAboutDlg", "О программе Конфигуратор ЗИНТ-9"}));
    f.m_pDlg->OnOK();
    f.m_pDlg->OnSysCommand(0x0013); // the low four bits do not matter
    QCOMPARE(opened.size(), 4);
    CheckState(f, 1);
    f.m_pDlg->OnSysCommand(0xF060 & 0xFF00); // other commands are not the about box
    QCOMPARE(opened.size(), 4);
}

void TestWizard::aboutOverTheWholeFrame()
{
    CWizardFixture f;
    QStringList opened;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        opened << dialog.metaObject()->className();
        return int(QDialog::Accepted);
    };
    // Each request must open the frame's menu, whose last item opens the about box.
    auto about = [&](const std::function<void()>& fnRequest)
    {
        opened.clear();
        fnRequest();
        auto* pMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!pMenu)
            return QStringLiteral("no menu");
        pMenu->actions().last()->trigger();
        pMenu->close();
        return opened.join(u',');
    };
    // Through the window, as the window system delivers a click.
    auto rightClick = [](QWidget* pWidget)
    {
        return [pWidget]
        {
            QWidget* pWindow = pWidget->window();
            QTest::mouseClick(pWindow->windowHandle(), Qt::RightButton, {},
                              pWidget->mapTo(pWindow, pWidget->rect().center()));
        };
    };
    auto keys = [](QWidget* pWidget, Qt::Key nKey, Qt::KeyboardModifiers nModifiers)
    {
        return [=]
        {
            pWidget->setFocus();
            QTest::keyClick(pWidget, nKey, nModifiers);
        };
    };
    CPage1& page1 = f.m_pDlg->m_Page1;
    CPage2& page2 = f.m_pDlg->m_Page2;
    for (bool bDemo : {false, true})
    {
        f.m_app.m_Port.m_bDemo = bDemo;
        QCOMPARE(about(rightClick(f.m_pDlg->m_wndPicture)), QStringLiteral("CAboutDlg"));
        QCOMPARE(about(rightClick(&page1)), QStringLiteral("CAboutDlg")); // over the port picture
        QCOMPARE(about(keys(f.Control<QComboBox>(&page1, 1007), Qt::Key_F10, Qt::ShiftModifier)),
                 QStringLiteral("CAboutDlg"));
        QCOMPARE(about(keys(f.Button(1), Qt::Key_Menu, Qt::NoModifier)), QStringLiteral("CAboutDlg"));
        f.m_pDlg->OnOK();
        CheckState(f, 1);
        QCOMPARE(about(rightClick(f.Control<QLabel>(&page2, 1016))), QStringLiteral("CAboutDlg"));
        QCOMPARE(about(keys(f.Control<CMyEdit>(&page2, 1009), Qt::Key_Menu, Qt::NoModifier)),
                 QStringLiteral("CAboutDlg"));
        QCOMPARE(about(keys(f.Control<QPushButton>(&page2, 1017), Qt::Key_F10, Qt::ShiftModifier)),
                 QStringLiteral("CAboutDlg"));
        CheckState(f, 1); // the same page in the same state
        f.m_pDlg->OnBack();
    }
    // F10 alone is not a menu request.
    QCOMPARE(about(keys(f.Button(1), Qt::Key_F10, Qt::NoModifier)), QStringLiteral("no menu"));
}

void TestWizard::noCloseDuringTransfer()
{
    CWizardFixture f;
    QList<bool> enabled;
    // A close request of the window manager that arrives while a transfer runs.
    auto requestClose = [&]
    {
        QTimer::singleShot(0, f.m_pDlg.get(),
                           [&]
                           {
                               enabled << f.m_pDlg->isEnabled();
                               f.m_pDlg->windowHandle()->close();
                           });
    };
    requestClose();
    f.m_pDlg->OnOK(); // connect: versions and image are read
    QCOMPARE(enabled, QList<bool>({false}));
    CheckState(f, 1);
    requestClose();
    f.m_pDlg->OnOK(); // the write
    QCOMPARE(enabled, QList<bool>({false, false}));
    CheckState(f, 0);
    QCOMPARE(f.Texts(), QStringList({CStringTable::Load(157)}));
    // Between transfers a close request closes the frame as before.
    f.m_pDlg->windowHandle()->close();
    QVERIFY(!f.m_pDlg->isVisible());
}

void TestWizard::enterAndEscape()
{
    CWizardFixture f;
    auto* pList = f.Control<QComboBox>(&f.m_pDlg->m_Page1, 1007);
    pList->setFocus();
    QTest::keyClick(pList, Qt::Key_Return);
    CheckState(f, 0);
    QVERIFY(f.m_shown.isEmpty());
    QTest::keyClick(pList, Qt::Key_Escape);
    QVERIFY(f.m_pDlg->isVisible());
    QVERIFY(!pList->hasFocus());
    f.m_pDlg->OnOK();
    auto* pField = f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1009);
    pField->setFocus();
    QTest::keyClick(pField, Qt::Key_Return);
    CheckState(f, 1);
    QTest::keyClick(pField, Qt::Key_Escape);
    QVERIFY(f.m_pDlg->isVisible());
    // Escape on a frame button exits.
    f.Button(1003)->setFocus();
    QTest::keyClick(f.Button(1003), Qt::Key_Escape);
    QVERIFY(!f.m_pDlg->isVisible());
}

void TestWizard::backupBeforeWrite_data()
{
    QTest::addColumn<bool>("demo");
    QTest::newRow("device") << false;
    QTest::newRow("demonstration") << true;
}

void TestWizard::backupBeforeWrite()
{
    QFETCH(bool, demo);
    CWizardFixture f;
    f.m_app.m_Port.m_bDemo = demo;
    f.m_pDlg->OnOK();
    CheckState(f, 1);
    const CParamZT01 before = f.DeviceImage();
    const QByteArray demoBefore = f.m_folder.ReadFile("ImgEEPROM/demo.dat");
    f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1010)->setText("700");
    // No backup, no write: the folder of backups cannot be made.
    const QString strFolder = CImageBackup::DefaultFolder();
    QVERIFY(QDir(strFolder).removeRecursively());
    QVERIFY(QDir().mkpath(QFileInfo(strFolder).path()));
    QFile blocker(strFolder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    f.m_pDlg->OnOK();
    CheckState(f, 1);
    QCOMPARE(f.m_shown.size(), 1);
    QVERIFY2(f.m_shown[0].strText.startsWith("Не удалось сохранить резервную копию образа EEPROM прибора.\n"
                                             "Запись в прибор не выполнена."),
             qPrintable(f.m_shown[0].strText));
    QCOMPARE(f.m_shown[0].strCaption, QStringLiteral("Внимание!"));
    QCOMPARE(f.m_shown[0].nIcon, EMsgIcon::Stop);
    QCOMPARE(CTestFolder::Bytes(f.DeviceImage()), CTestFolder::Bytes(before));
    QCOMPARE(f.m_folder.ReadFile("ImgEEPROM/demo.dat"), demoBefore);
    QVERIFY(blocker.remove());
    if (!demo)
        return;
    // A demonstration write onto a full disk fails as a write does, and demo.dat stays whole.
    f.m_shown.clear();
    {
        CFullDisk disk(f.m_folder.FilePath("ImgEEPROM"));
        if (!disk.IsFull())
            QSKIP(qPrintable(disk.Reason()));
        f.m_pDlg->OnOK();
        CheckState(f, 1);
        QCOMPARE(f.Texts(), QStringList({CStringTable::Load(156)}));
        QCOMPARE(f.m_folder.ReadFile("ImgEEPROM/demo.dat"), demoBefore);
    }
    // The backup made before the failed write holds demo.dat as it was.
    const QDir backups(strFolder);
    const QStringList names = backups.entryList(QDir::Files);
    QCOMPARE(names.size(), 1);
    QFile backup(backups.filePath(names.first()));
    QVERIFY(backup.open(QIODevice::ReadOnly));
    QCOMPARE(backup.readAll(), demoBefore);
}

void TestWizard::characteristicWindow()
{
    // The characteristic of the page's values as they are typed, before any write; Esc closes it.
    CWizardFixture f;
    f.m_pDlg->OnOK();
    std::unique_ptr<QMenu> pMenu(f.m_pDlg->CreateSystemMenu());
    QAction* pChart = nullptr;
    for (QAction* pAction : pMenu->actions())
        if (pAction->text() == "&Характеристика...")
            pChart = pAction;
    QVERIFY(pChart && pChart->isEnabled());
    pChart->trigger();
    CDlgCharacteristic* pDlg = f.m_pDlg->findChild<CDlgCharacteristic*>();
    QVERIFY(pDlg && pDlg->isVisible());
    f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1009)->setText("-20");
    f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1010)->setText("900");
    f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1022)->setText("21.5");
    const COutputCharacteristic& line = pDlg->Characteristic();
    QCOMPARE(line.fLowLimit, -20.0f);
    QCOMPARE(line.fHighLimit, 900.0f);
    QCOMPARE(line.OutputAt(-20), line.fOutLow);
    QCOMPARE(line.OutputAt(900), line.fOutHigh);
    QCOMPARE(line.fFail, 21.5f);
    QCOMPARE(f.m_app.m_ParamEdit.fHighLimit, f.DeviceImage().fHighLimit); // nothing stored yet
    // Looked at as drawn, at scale 1 and 2 (ZINT9_SHOTS names a folder to keep the pictures in).
    for (const qreal fScale : {1.0, 2.0})
    {
        QPixmap picture(pDlg->size() * fScale);
        picture.setDevicePixelRatio(fScale);
        pDlg->render(&picture);
        QVERIFY(!picture.toImage().isNull());
        if (!qEnvironmentVariableIsEmpty("ZINT9_SHOTS"))
            picture.save(QDir(qEnvironmentVariable("ZINT9_SHOTS"))
                             .filePath(QStringLiteral("characteristic-x%1.png").arg(fScale)));
    }
    QTest::keyClick(pDlg, Qt::Key_Escape);
    QTRY_VERIFY(!f.m_pDlg->findChild<CDlgCharacteristic*>());
}

void TestWizard::protocolWindow_data()
{
    QTest::addColumn<bool>("write"); // the unit written first
    QTest::addColumn<bool>("demo");
    QTest::newRow("after a write") << true << false;
    QTest::newRow("as read, before any write") << false << false;
    QTest::newRow("demonstration, after a write") << true << true;
}

void TestWizard::protocolWindow()
{
    // The unit's protocol from the frame's menu, of its latest write or as read: its page shown,
    // saved as a PDF with Enter and printed, both the record's word on it.
    QFETCH(bool, write);
    QFETCH(bool, demo);
    CWizardFixture f;
    f.m_app.m_Port.m_bDemo = demo;
    f.m_pDlg->OnOK();
    if (write)
    {
        f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1010)->setText("900");
        f.m_pDlg->OnOK();
        CheckState(f, 0); // written, back at the start with the unit in hand
    }
    CRecordStore store;
    QList<CRecordEntry> latest;
    QVERIFY(store.Open(QString::fromLocal8Bit(qgetenv("ZINT9_RECORD"))));
    CRecordStore::SQuery query;
    query.nLimit = 1;
    QVERIFY(store.Find(query, latest) && latest.size() == 1);
    QCOMPARE(latest[0].strOperation, QString(write ? "write" : "read"));
    QTemporaryDir folder;
    const QString strSaved = folder.filePath("protocol.pdf"), strPrinted = folder.filePath("printed.pdf");
    QString strSuggested;
    CDlgProtocol::s_pfnChoose = [&](const QString& strName) { return strSuggested = strName, strSaved; };
    CDlgProtocol::s_pfnPrintDialog = [&](QPrinter& printer)
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(strPrinted);
        return true;
    };
    CProtocol shown;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        if (auto* pDlg = qobject_cast<CDlgProtocol*>(&dialog))
        {
            shown = pDlg->Protocol();
            pDlg->show();
            QTest::keyClick(pDlg, Qt::Key_Return);
            f.Control<QPushButton>(pDlg, 1055)->click();
            pDlg->grab().save(QDir::temp().filePath("zint9-protocol-window.png"));
        }
        return int(QDialog::Rejected);
    };
    std::unique_ptr<QMenu> pMenu(f.m_pDlg->CreateSystemMenu());
    for (QAction* pAction : pMenu->actions())
        if (pAction->text() == "&Протокол настройки..." && pAction->isEnabled())
            pAction->trigger();
    CDlgProtocol::s_pfnChoose = {};
    CDlgProtocol::s_pfnPrintDialog = {};
    QCOMPARE(shown.entry.strId, latest[0].strId);
    QVERIFY2(strSuggested.endsWith("/" + shown.FileName()), qPrintable(strSuggested));
    for (const QString& strPdf : {strSaved, strPrinted})
    {
        const QString strText = CPoppler::Text(strPdf);
        QVERIFY2(strText.contains(latest[0].strId) &&
                     strText.contains(write ? "Запись выполнена" : "Прибор прочитан") &&
                     strText.contains(write ? "900 °C" : "1000 °C"),
                 qPrintable(strPdf + ":\n" + strText));
    }
    QVERIFY(f.m_shown.size() <= 1); // the write's own message, no warning
}

void TestWizard::configurationFiles_data()
{
    QTest::addColumn<QString>("file"); // what the file is: saved here, torn, another version's
    QTest::addColumn<QString>("said"); // what the wizard says on loading it
    QTest::addColumn<int>("answer");   // to a question: 0 load, 1 do not
    QTest::addColumn<bool>("loaded");
    const QString strVersions = "прочитан из прибора версии 0x1556, а подключён прибор версии 0x1555";
    QTest::newRow("saved here") << "saved"
                                << "Происхождение образа неизвестно" << 1 << true;
    QTest::newRow("a torn sensor table") << "torn"
                                         << "образ из прерванной записи" << 0 << false;
    QTest::newRow("another version's, not confirmed") << "other version" << strVersions << 1 << false;
    QTest::newRow("another version's, confirmed") << "other version" << strVersions << 0 << true;
}

void TestWizard::configurationFiles()
{
    // The page's settings saved to a file and taken back as zint9 write --in takes one: never the
    // unit's own block or its DAC calibration, and nothing reaches the unit until «Записать».
    QFETCH(QString, file);
    QFETCH(QString, said);
    QFETCH(int, answer);
    QFETCH(bool, loaded);
    CWizardFixture f;
    const CParamZT01 before = f.DeviceImage();
    f.m_pDlg->OnOK();
    CMyEdit* pHigh = f.Control<CMyEdit>(&f.m_pDlg->m_Page2, 1010);
    pHigh->setText("900");
    QTemporaryDir folder;
    const QString strPath = folder.filePath("настройки.bin");
    // Through the frame's menu, as the user goes, the file dialog answered.
    CConfigFiles::s_pfnChoose = [&](bool) { return strPath; };
    std::unique_ptr<QMenu> pMenu(f.m_pDlg->CreateSystemMenu());
    auto run = [&](const QString& strAction)
    {
        for (QAction* pAction : pMenu->actions())
            if (pAction->text() == strAction && pAction->isEnabled())
                return pAction->trigger(), true;
        return false;
    };
    QVERIFY(run("&Сохранить настройки в файл..."));
    QFile saved(strPath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QByteArray bytes = saved.readAll();
    QCOMPARE(bytes.size(), CParamZT01::kImageSize);
    CParamZT01 image = CTestFolder::Filled(0);
    std::copy(bytes.begin(), bytes.end(), image.Image());
    QCOMPARE(image.fHighLimit, 900.0f);
    QCOMPARE(CFingerprint::Of(image), CFingerprint::Of(before));
    image.fDacCalLow = 4.5f; // a file's calibration is never another unit's
    if (file == "torn")
        image.Image()[200] ^= 0x5A; // inside the sensor table
    else if (file == "other version")
    {
        CRecordStore store;
        CRecordEntry entry;
        entry.strId = "read-of-another-version";
        entry.timeStart = QDateTime::currentDateTimeUtc();
        entry.strOperation = "read";
        entry.strResult = "done";
        entry.nVersion = 0x1556;
        entry.strImageAfter = CFingerprint::ImageHash(image);
        QVERIFY(store.Open(QString::fromLocal8Bit(qgetenv("ZINT9_RECORD"))));
        QVERIFY(store.Put(entry, {{entry.strImageAfter, CTestFolder::Bytes(image)}}));
    }
    QVERIFY(saved.remove());
    QFile again(strPath);
    QVERIFY(again.open(QIODevice::WriteOnly) &&
            again.write(CTestFolder::Bytes(image)) == CParamZT01::kImageSize);
    again.close();
    pHigh->setText("700");
    f.m_shown.clear();
    f.m_nAnswer = answer;
    QVERIFY(run("&Загрузить настройки из файла..."));
    CConfigFiles::s_pfnChoose = {};
    QCOMPARE(f.m_shown.size(), 1);
    QVERIFY2(f.m_shown[0].strText.contains(said), qPrintable(f.m_shown[0].strText));
    QCOMPARE(pHigh->text(), loaded ? QStringLiteral("900") : QStringLiteral("700"));
    QCOMPARE(f.m_app.m_ParamEdit.fDacCalLow, before.fDacCalLow);
    QCOMPARE(CTestFolder::Bytes(f.DeviceImage()), CTestFolder::Bytes(before));
}

QTEST_MAIN(TestWizard)
#include "tst_wizard.moc"
