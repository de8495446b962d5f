#include "cdlgcalibrdac.h"
#include "cdlgchangesensor.h"
#include "cmyedit.h"
#include "cquicktry.h"
#include "cstringtable.h"
#include "ctitlepage.h"
#include "cwizardfixture.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <QTest>

#include <cstring>

namespace
{
QString Field(CWizardFixture& f, int nId)
{
    return f.Control<QLineEdit>(&f.m_pDlg->m_Page2, nId)->text();
}

void SetField(CWizardFixture& f, int nId, const QString& strText)
{
    f.Control<QLineEdit>(&f.m_pDlg->m_Page2, nId)->setText(strText);
}

// Sends a key to the widget with the keyboard focus of the dialog, as the keyboard would.
void Key(QDialog& dialog, Qt::Key nKey)
{
    if (!dialog.isActiveWindow())
    {
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
    }
    QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, nKey);
}

QString Accessible(QObject* pObject, QAccessible::Text nText)
{
    QAccessibleInterface* pInterface = QAccessible::queryAccessibleInterface(pObject);
    return pInterface ? pInterface->text(nText) : QStringLiteral("<none>");
}

// A field's caption as a screen reader finds it: its name (an edit field), or on platforms that
// name a list by its current entry, the label that labels it. They must agree where both exist.
QString Caption(QWidget* pField)
{
    QAccessibleInterface* pInterface = QAccessible::queryAccessibleInterface(pField);
    if (!pInterface)
        return QStringLiteral("<none>");
    QString strLabel;
    for (const auto& [pLabel, nRelation] : pInterface->relations(QAccessible::Label))
        strLabel = pLabel->text(QAccessible::Name);
    const QString strName = pInterface->text(QAccessible::Name);
    if (!qobject_cast<QComboBox*>(pField) && !strLabel.isEmpty() && strLabel != strName)
        return strName + QStringLiteral(" / labelled ") + strLabel;
    return qobject_cast<QComboBox*>(pField) ? strLabel : strName;
}

QImage StripImage(const QString& strText, int nWidth)
{
    CTitlePage strip(strText);
    strip.resize(nWidth, 20);
    return strip.grab().toImage();
}
} // namespace

class TestPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void portSelection_data();
    void portSelection();
    void noPortsInDemoMode();
    void livePortList();
    void titleGradient();
    void titleText_data();
    void titleText();
    void pictureTransparency();
    void accessibleNames();
    void numericField_data();
    void numericField();
    void numericFieldShortcuts();
    void fillAndStore();
    void unsetCalibrationHidden();
    void unknownSensor();
    void validation_data();
    void validation();
    void storeRefusesNonNumbers_data();
    void storeRefusesNonNumbers();
    void changeSensor();
    void messageBoxShowsItsCaption();
    void focusAfterDialogs_data();
    void focusAfterDialogs();
    void sensorImageFiles_data();
    void sensorImageFiles();
    void dacCalibration_data();
    void dacCalibration();
    void dacCalibrationStart_data();
    void dacCalibrationStart();
};

void TestPages::portSelection_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("selected");
    // The simulator's port (under /dev) is always listed too.
    QTest::newRow("exact match") << QStringList{"ttyUSB0", "ttyS0"} << "ttyUSB0"
                                 << QStringList{"/dev", "ttyS0", "ttyUSB0"} << "ttyUSB0";
    QTest::newRow("other case") << QStringList{"ttyUSB0", "ttyS0"} << "TTYUSB0"
                                << QStringList{"/dev", "ttyS0", "ttyUSB0"} << "/dev";
    QTest::newRow("no longer present")
        << QStringList{"COM3", "COM1"} << "COM9" << QStringList{"/dev", "COM1", "COM3"} << "/dev";
}

void TestPages::portSelection()
{
    QFETCH(QStringList, ports);
    QFETCH(QString, remembered);
    QFETCH(QStringList, listed);
    QFETCH(QString, selected);
    CWizardFixture f(ports, remembered);
    auto* pList = f.Control<QComboBox>(&f.m_pDlg->m_Page1, 1007);
    QStringList texts;
    for (int i = 0; i < pList->count(); ++i)
        texts << (pList->itemText(i).startsWith("/dev") ? "/dev" : pList->itemText(i));
    QCOMPARE(texts, listed);
    QCOMPARE(pList->currentText().startsWith("/dev") ? "/dev" : pList->currentText(), selected);
    QCOMPARE(f.m_pDlg->m_Page1.m_strPort, remembered); // choosing takes effect only at the next exchange
}

void TestPages::noPortsInDemoMode()
{
    CWizardFixture f;
    f.m_app.m_Port.m_bDemo = true;
    f.m_ports.clear();
    f.m_pDlg->m_Page1.FillPortList();
    QCOMPARE(f.Control<QComboBox>(&f.m_pDlg->m_Page1, 1007)->currentIndex(), -1);
    f.m_pDlg->OnOK();
    QCOMPARE(f.Texts(), QStringList({"Не выбран порт подключения!"}));
    QCOMPARE(f.m_pDlg->m_nCurPage, 0);
}

void TestPages::livePortList()
{
    CWizardFixture f({"ttyS0", "ttyUSB0"}, "ttyS0");
    auto* pList = f.Control<QComboBox>(&f.m_pDlg->m_Page1, 1007);
    auto texts = [pList]
    {
        QStringList list;
        for (int i = 0; i < pList->count(); ++i)
            list << (pList->itemText(i).startsWith("/dev") ? "/dev" : pList->itemText(i));
        return list;
    };
    // The engineer picks ttyUSB0; an adapter is plugged in and ttyS0 goes away.
    QTest::keyClick(pList, Qt::Key_Down);
    QCOMPARE(pList->currentText(), QStringLiteral("ttyUSB0"));
    f.m_ports = {"ttyUSB0", f.m_sim.SlavePath()};
    f.m_portDetails = {{"ttyACM0", "/dev/ttyACM0", "USB-Serial Controller", "Trelm", "A1B2"}};
    QTRY_COMPARE(texts(), QStringList({"/dev", "ttyACM0", "ttyUSB0"}));
    QCOMPARE(pList->currentText(), QStringLiteral("ttyUSB0"));
    const QString strTip =
        QStringLiteral("/dev/ttyACM0\nUSB-Serial Controller\nИзготовитель: Trelm\nСерийный номер: A1B2");
    QCOMPARE(pList->itemData(1, Qt::ToolTipRole).toString(), strTip);
    QCOMPARE(pList->itemData(2, Qt::ToolTipRole).toString(), QStringLiteral("ttyUSB0"));
    // The chosen adapter is unplugged: neither it nor the remembered port is there, entry 0 is chosen.
    f.m_ports = {f.m_sim.SlavePath()};
    QTRY_COMPARE(texts(), QStringList({"/dev", "ttyACM0"}));
    QCOMPARE(pList->currentIndex(), 0);
    QTest::keyClick(pList, Qt::Key_Down);
    QCOMPARE(pList->toolTip(), strTip);
    // A long name shows whole in the drop-down, and in the tooltip of the narrow box.
    const QString strLong = QStringLiteral("/dev/serial/by-id/usb-Trelm_USB-Serial_A1B2-if00-port0");
    f.m_ports << strLong << "/dev/pts/13";
    QTRY_COMPARE(pList->count(), 4);
    pList->setCurrentText(strLong);
    QCOMPARE(pList->toolTip(), strLong);
    // The box grows for it as far as the page allows; a pseudo-terminal's name shows whole.
    QVERIFY(pList->geometry().right() < f.m_pDlg->m_Page1.width());
    pList->setCurrentText("/dev/pts/13");
    QStyleOptionComboBox option;
    option.initFrom(pList);
    const QRect rcText =
        pList->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, pList);
    QVERIFY2(rcText.width() >= pList->fontMetrics().horizontalAdvance("/dev/pts/13"),
             qPrintable(QString::number(rcText.width())));
    // Under a style whose drop-down is as wide as the box, as much as under the one here.
    for (const QString& strStyle : {QString(), QStringLiteral("Windows")})
    {
        std::unique_ptr<QStyle> pStyle(strStyle.isEmpty() ? nullptr : QStyleFactory::create(strStyle));
        pList->setStyle(pStyle.get());
        pList->showPopup();
        QTRY_VERIFY(pList->view()->isVisible());
        const int nShown = pList->view()->viewport()->width();
        pList->hidePopup();
        pList->setStyle(nullptr);
        QVERIFY2(nShown >= pList->view()->fontMetrics().horizontalAdvance(strLong),
                 qPrintable(strStyle + ' ' + QString::number(nShown)));
    }
    pList->setCurrentText("ttyACM0");
    // The name is what is stored, not the description.
    f.m_pDlg->OnCancel();
    QCOMPARE(QSettings().value("Settings/ConnectionPort").toString(), QStringLiteral("ttyACM0"));
}

void TestPages::titleGradient()
{
    const QImage image = StripImage(QStringLiteral("x"), 540);
    QCOMPARE(image.pixelColor(0, 19), QColor(138, 171, 199));
    QCOMPARE(image.pixelColor(10, 19).red(), 138); // ten additions of 0.1 stay just below 139
    QCOMPARE(image.pixelColor(11, 19).red(), 139);
    QCOMPARE(image.pixelColor(539, 19), QColor(191, 224, 254));
    QCOMPARE(StripImage(QStringLiteral("x"), 1).pixelColor(0, 19), QColor(138, 171, 199));
    // No text: the button face, no gradient.
    CTitlePage empty;
    empty.resize(100, 20);
    const QImage blank = empty.grab().toImage();
    QCOMPARE(blank.pixelColor(0, 5), empty.palette().color(QPalette::Button));
    QCOMPARE(blank.pixelColor(99, 5), empty.palette().color(QPalette::Button));
}

void TestPages::titleText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("right");
    QTest::newRow("step and description") << "Этап 1\tПодключение прибора и чтение настроек" << true;
    QTest::newRow("no tab") << "Этап 1" << false;
    QTest::newRow("leading tab") << "\tЭтап 1" << false;
}

void TestPages::titleText()
{
    QFETCH(QString, text);
    QFETCH(bool, right);
    const QImage image = StripImage(text, 600);
    int nFirst = -1, nLast = -1, nTop = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y).red() < 60)
            {
                nFirst = nFirst < 0 ? x : nFirst;
                nLast = x;
                nTop = nTop < 0 ? y : qMin(nTop, y);
            }
    QVERIFY(nFirst >= 2 && nFirst <= (text.startsWith('\t') ? 60 : 4));
    QVERIFY(nTop >= 1);
    // The description ends 2 pixels from the right edge; without a tab nothing is at the right.
    QCOMPARE(nLast >= 590 && nLast <= 597, right);
}

void TestPages::pictureTransparency()
{
    CWizardFixture f;
    const QImage page = f.m_pDlg->m_Page1.grab().toImage();
    const QColor background = f.m_pDlg->m_Page1.palette().color(QPalette::Window);
    QCOMPARE(page.pixelColor(12, 12), background);                   // white corner of the picture
    QCOMPARE(page.pixelColor(10 + 130, 10 + 80), QColor("#2b5d8c")); // the laptop's screen
    // Base units of 6 x 13 for the 8-point template font: the frame is 383 x 205 dialog units
    // and shows the side banner whole.
    QCOMPARE(f.m_pDlg->size(), QSize(575, 333));
    QCOMPARE(f.m_pDlg->m_wndPicture->geometry(), QRect(2, 3, 124, 317));
    QVERIFY(f.m_pDlg->rect().contains(f.m_pDlg->m_wndPicture->geometry()));
    // Its title bar: a minimise box and no maximise box.
    QVERIFY(f.m_pDlg->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!f.m_pDlg->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

void TestPages::accessibleNames()
{
    CWizardFixture f;
    CZTDlg& dlg = *f.m_pDlg;
    QCOMPARE(Accessible(dlg.m_wndTitle, QAccessible::Name),
             QStringLiteral("Этап 1: Подключение прибора и чтение настроек"));
    QCOMPARE(Caption(f.Control<QComboBox>(&dlg.m_Page1, 1007)),
             QStringLiteral("Укажите порт подключения прибора:"));
    QCOMPARE(Accessible(dlg.m_wndPicture, QAccessible::Description),
             QStringLiteral("Эмблема, прибор ЗИНТ-9 сверху и название модели"));
    QCOMPARE(Accessible(&dlg.m_Page1, QAccessible::Description),
             QStringLiteral("Компьютер, соединённый с прибором ЗИНТ-9"));
    dlg.OnOK();
    QCOMPARE(Accessible(dlg.m_wndTitle, QAccessible::Name),
             QStringLiteral("Этап 2: Настройка параметров и запись в прибор"));
    const QList<std::pair<int, QString>> fields = {{1009, "Границы преобразования: нижняя граница"},
                                                   {1010, "Границы преобразования: верхняя граница"},
                                                   {1022, "Значение выхода ЦАП при аварии:"},
                                                   {1023, "Холодный спай:"},
                                                   {1014, "Полоса пикового фильтра:"},
                                                   {1015, "Постоянная времени НЧ-фильтра:"}};
    for (const auto& [nId, strName] : fields)
        QCOMPARE(Caption(f.Control<QWidget>(&dlg.m_Page2, nId)), strName);
    CDlgCalibrDAC dac;
    QCOMPARE(Caption(dac.m_edCalLow), QStringLiteral("Калибровки ЦАП: нижний конец диапазона"));
    QCOMPARE(Caption(dac.m_edCalHigh), QStringLiteral("Калибровки ЦАП: верхний конец диапазона"));
    QCOMPARE(Caption(dac.findChild<QLineEdit*>("1027")),
             QStringLiteral("Границы преобразования: нижняя граница"));
    QCOMPARE(Caption(dac.findChild<QLineEdit*>("1028")),
             QStringLiteral("Границы преобразования: верхняя граница"));
    QList<QLabel*> pictures;
    for (QLabel* pLabel : dac.findChildren<QLabel*>())
        if (!pLabel->pixmap().isNull())
            pictures << pLabel;
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(Accessible(pictures[0], QAccessible::Description), QStringLiteral("Предупреждающий знак"));
}

void TestPages::numericField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("selected"); // characters selected from the caret on; the caret then after them
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("minus first") << "" << 0 << 0 << "-"
                                 << "-";
    QTest::newRow("point first") << "" << 0 << 0 << "."
                                 << ".";
    QTest::newRow("digit first") << "" << 0 << 0 << "7"
                                 << "7";
    QTest::newRow("minus before 3") << "3" << 0 << 0 << "-"
                                    << "-3";
    QTest::newRow("minus after 3") << "3" << 1 << 0 << "-"
                                   << "3";
    QTest::newRow("second minus") << "-3" << 0 << 0 << "-"
                                  << "-3";
    QTest::newRow("second point jumps") << "12.5" << 4 << 0 << ".7"
                                        << "12.75";
    QTest::newRow("point inside") << "12" << 1 << 0 << "."
                                  << "1.2";
    QTest::newRow("letters and others") << "1" << 1 << 0 << "ae+, E"
                                        << "1";
    // A typed character replaces the selection, and is judged against what remains.
    QTest::newRow("minus over the whole text") << "300" << 0 << 3 << "-50"
                                               << "-50";
    QTest::newRow("minus over a selected minus") << "-3" << 0 << 1 << "-"
                                                 << "-3";
    QTest::newRow("minus over a selection inside") << "123" << 1 << 2 << "-"
                                                   << "123";
    QTest::newRow("point over the selected point") << "1.5" << 1 << 2 << ".2"
                                                   << "1.2";
    QTest::newRow("point beside a selection jumps") << "12.5" << 0 << 2 << ".7"
                                                    << "12.75";
    QTest::newRow("digit over the whole text") << "-12.5" << 0 << 5 << "9"
                                               << "9";
}

void TestPages::numericField()
{
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(int, selected);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    CMyEdit edit;
    edit.setText(text);
    edit.setCursorPosition(caret);
    if (selected > 0)
        edit.setSelection(caret, selected);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), expected);
}

void TestPages::numericFieldShortcuts()
{
    QApplication::clipboard()->setText("789");
    CMyEdit edit;
    edit.setText("12");
    edit.selectAll();
    for (Qt::Key nKey : {Qt::Key_V, Qt::Key_X, Qt::Key_C, Qt::Key_Z})
        QTest::keyClick(&edit, nKey, Qt::ControlModifier);
    QCOMPARE(edit.text(), QStringLiteral("12"));
    QVERIFY(edit.hasSelectedText());
    // Pasting by other routes is not filtered; the reading rule copes with what arrives.
    QApplication::clipboard()->setText("x5");
    edit.paste();
    QCOMPARE(edit.text(), QStringLiteral("x5"));
    // Control+Backspace types a control character: dropped, no word is deleted.
    edit.setText("12");
    edit.setCursorPosition(2);
    QTest::keyClick(&edit, Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(edit.text(), QStringLiteral("12"));
    // Text an input method commits is filtered as typed characters are.
    for (const QString& strCommit : {QStringLiteral("abc"), QStringLiteral("3.4-"), QStringLiteral(".")})
    {
        QInputMethodEvent commit;
        commit.setCommitString(strCommit);
        QApplication::sendEvent(&edit, &commit);
    }
    QCOMPARE(edit.text(), QStringLiteral("123.4"));
    // Keys that type nothing keep their meaning.
    edit.setText("123");
    edit.setCursorPosition(0);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QStringLiteral("2"));
}

void TestPages::fillAndStore()
{
    CWizardFixture f;
    CParamZT01 image = f.DeviceImage();
    image.byColdJunction = 7;
    image.fFailOutput = 20.5f;
    f.SetDeviceImage(image);
    f.m_pDlg->OnOK();
    QCOMPARE(f.Control<QComboBox>(&f.m_pDlg->m_Page2, 1023)->currentText(), QStringLiteral("Учитывать"));
    QCOMPARE(Field(f, 1022), QStringLiteral("20.5"));
    for (int nId : {1024, 1025, 1026})
        QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, nId)->text(), QStringLiteral("°C"));
    QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1032)->text(), QStringLiteral("мА"));
    QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1020)->text(), QStringLiteral("4.0123"));
    // A pasted "12abc" reads as 12; the store writes cold junction as 1.
    SetField(f, 1009, "12abc");
    QVERIFY(f.m_pDlg->m_Page2.DoDataExchange(true));
    QCOMPARE(f.m_app.m_ParamEdit.fLowLimit, 12.0f);
    QCOMPARE(f.m_app.m_ParamEdit.byColdJunction, quint8(1));
    // The status line shows a port name and the versions, zero-padded.
    f.m_app.m_Port.m_strPortName = "COM1";
    f.m_app.m_wVersion = 0x0102;
    f.m_app.m_wBootVersion = 0x0003;
    f.m_pDlg->m_Page2.hide();
    f.m_pDlg->m_Page2.show();
    QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1039)->text(),
             QStringLiteral("Порт: COM1. Версия прибора: 0x0102. Версия загрузчика: 0x0003"));
    // A USB adapter's stable name is long: the path is shortened, the versions stay whole.
    const QString strPort = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";
    f.m_app.m_Port.m_strPortName = strPort;
    f.m_pDlg->m_Page2.hide();
    f.m_pDlg->m_Page2.show();
    auto* pStatus = f.Control<QLabel>(&f.m_pDlg->m_Page2, 1039);
    QVERIFY2(pStatus->text().startsWith("Порт: /dev/") && pStatus->text().contains(QChar(0x2026)) &&
                 pStatus->text().endsWith(". Версия прибора: 0x0102. Версия загрузчика: 0x0003"),
             qPrintable(pStatus->text()));
    QVERIFY(pStatus->fontMetrics().horizontalAdvance(pStatus->text()) <= pStatus->width());
    QCOMPARE(pStatus->toolTip(), "Порт: " + strPort + ". Версия прибора: 0x0102. Версия загрузчика: 0x0003");
}

void TestPages::unsetCalibrationHidden()
{
    CWizardFixture f;
    CParamZT01 image = f.DeviceImage();
    std::memset(image.Image() + 128, 0xFF, 4);
    f.SetDeviceImage(image);
    f.m_pDlg->OnOK();
    for (int nId : {1031, 1020, 1021, 1032, 1033})
        QVERIFY(!f.Control<QWidget>(&f.m_pDlg->m_Page2, nId)->isVisible());
    QVERIFY(f.Control<QWidget>(&f.m_pDlg->m_Page2, 1019)->isVisible());
    // Written back unchanged.
    f.m_pDlg->OnOK();
    QCOMPARE(CTestFolder::Bytes(f.DeviceImage()).mid(128, 4), QByteArray(4, char(0xFF)));
}

void TestPages::unknownSensor()
{
    CWizardFixture f;
    f.m_pDlg->OnOK(); // a unit of a known sensor first
    f.m_pDlg->OnBack();
    CParamZT01 image = f.DeviceImage();
    image.bySensorType = 9;
    f.SetDeviceImage(image);
    f.m_pDlg->OnOK();
    QCOMPARE(f.m_app.m_nSensor, -1);
    QVERIFY(f.Texts().contains("An invalid argument was encountered."));
    // The sensor line names what this unit holds, not the last unit's sensor.
    QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1016)->text(),
             QStringLiteral("нет в каталоге (тип 9, код %1)").arg(image.bySensorCode));
    f.m_shown.clear();
    f.m_pDlg->OnOK(); // the write
    QCOMPARE(f.Texts().last(), QStringLiteral("An invalid argument was encountered."));
    QCOMPARE(f.m_shown.last().nIcon, EMsgIcon::Stop);
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
    // The DAC dialog cannot name the unit either; it still opens with the focus on "Отмена".
    f.m_shown.clear();
    QStringList seen;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        seen << dialog.findChild<QLabel*>("1029")->text() << dialog.findChild<QLineEdit*>("1020")->text()
             << dialog.focusWidget()->objectName();
        Key(dialog, Qt::Key_Return);
        return dialog.result();
    };
    const quint32 nCalLow = std::bit_cast<quint32>(f.m_app.m_ParamEdit.fDacCalLow);
    f.Control<QPushButton>(&f.m_pDlg->m_Page2, 1019)->click();
    QCOMPARE(f.Texts().last(), QStringLiteral("An invalid argument was encountered."));
    QCOMPARE(seen, QStringList({"", "0", "2"}));
    QCOMPARE(std::bit_cast<quint32>(f.m_app.m_ParamEdit.fDacCalLow), nCalLow);
}

void TestPages::validation_data()
{
    QTest::addColumn<QStringList>("values"); // low, high, failure output, band, filter time
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");
    QTest::addColumn<bool>("written");
    QTest::newRow("sensor range ends") << QStringList{"-200", "1360", "3.6", "0", "1"} << "" << 0 << true;
    QTest::newRow("low below range")
        << QStringList{"-200.01", "100", "3.6", "0", "1"}
        << "Значение границ преобразования, для данного типа датчика,\n должно быть между -200.00 и 1360.00"
        << 1009 << false;
    QTest::newRow("high above range: focus in low field")
        << QStringList{"0", "1361", "3.6", "0", "1"}
        << "Значение границ преобразования, для данного типа датчика,\n должно быть между -200.00 и 1360.00"
        << 1009 << false;
    QTest::newRow("low above high is fine") << QStringList{"100", "0", "3.6", "0", "1"} << "" << 0 << true;
    QTest::newRow("filter time 0 and 60") << QStringList{"0", "100", "3.6", "0", "60"} << "" << 0 << true;
    QTest::newRow("filter time negative")
        << QStringList{"0", "100", "3.6", "0", "-1"}
        << "Значение постоянной времени НЧ-фильтра,\n должно быть между 0 и 60 секунд!" << 1015 << false;
    QTest::newRow("failure output 24") << QStringList{"0", "100", "24", "0", "1"} << "" << 0 << true;
    QTest::newRow("failure output -5") << QStringList{"0", "100", "-5", "0", "1"} << "" << 0 << true;
    QTest::newRow("failure output 24.5")
        << QStringList{"0", "100", "24.5", "0", "1"}
        << "Значение выхода ЦАП при аварии\n должно быть не более 24" << 1022 << false;
    QTest::newRow("band 15") << QStringList{"0", "100", "3.6", "15", "1"} << "" << 0 << true;
    QTest::newRow("band 0.2") << QStringList{"0", "100", "3.6", "0.2", "1"} << "" << 0 << true;
    QTest::newRow("band 16") << QStringList{"0", "100", "3.6", "16", "1"}
                             << "Слишком большое значение полосы фильтра\n(для указанных границ "
                                "преобразования, максимальное значение = 15)!"
                             << 1014 << false;
    QTest::newRow("band 0.05 switches the filter off")
        << QStringList{"0", "100", "3.6", "0.05", "1"}
        << "Слишком малое значение полосы фильтра.\nФильтр будет отключен!" << 0 << true;
    // The maximum named is the one the check applies: 4.5 rounds to 4 as printf rounds halves.
    QTest::newRow("band 4.5 of a span of 30") << QStringList{"0", "30", "3.6", "4.5", "1"} << "" << 0 << true;
    QTest::newRow("band 4.6 of a span of 30")
        << QStringList{"0", "30", "3.6", "4.6", "1"}
        << "Слишком большое значение полосы фильтра\n(для указанных границ "
           "преобразования, максимальное значение = 4)!"
        << 1014 << false;
    QTest::newRow("first failure only")
        << QStringList{"-300", "100", "30", "0", "1"}
        << "Значение границ преобразования, для данного типа датчика,\n должно быть "
           "между -200.00 и 1360.00"
        << 1009 << false;
}

void TestPages::validation()
{
    QFETCH(QStringList, values);
    QFETCH(QString, message);
    QFETCH(int, focus);
    QFETCH(bool, written);
    CWizardFixture f;
    f.m_pDlg->OnOK();
    const int nIds[] = {1009, 1010, 1022, 1014, 1015};
    for (int i = 0; i < 5; ++i)
        SetField(f, nIds[i], values[i]);
    f.m_pDlg->OnOK();
    QCOMPARE(f.Texts(), message.isEmpty() ? QStringList({CStringTable::Load(157)})
                        : written         ? QStringList({message, CStringTable::Load(157)})
                                          : QStringList({message}));
    if (!message.isEmpty())
    {
        QCOMPARE(f.m_shown[0].strCaption, QStringLiteral("Внимание!"));
        QCOMPARE(f.m_shown[0].nIcon, EMsgIcon::Exclamation);
        QCOMPARE(f.m_shown[0].pOwner, &f.m_pDlg->m_Page2);
    }
    QCOMPARE(f.m_pDlg->m_nCurPage, written ? 0 : 1);
    if (focus)
        QCOMPARE(f.m_pDlg->focusWidget(), f.Control<QWidget>(&f.m_pDlg->m_Page2, focus));
    if (values[3] == "0.05")
    {
        QCOMPARE(f.DeviceImage().fPeakBand, 0.0f);
        QCOMPARE(Field(f, 1014), QStringLiteral("0"));
    }
    else if (written)
        QCOMPARE(f.DeviceImage().fFilterTime, values[4].toFloat());
}

void TestPages::storeRefusesNonNumbers_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty band") << 1014 << "";
    QTest::newRow("minus alone") << 1009 << "-";
    QTest::newRow("point alone") << 1010 << ".";
    QTest::newRow("pasted nan") << 1022 << "nan";
    QTest::newRow("pasted infinity") << 1015 << "inf";
    QTest::newRow("pasted 0x") << 1014 << "0x";
    QTest::newRow("pasted 0x and a letter") << 1022 << "0xz";
}

void TestPages::storeRefusesNonNumbers()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    CWizardFixture f;
    f.m_pDlg->OnOK();
    const QByteArray before = CTestFolder::Bytes(f.m_app.m_ParamEdit);
    SetField(f, 1009, "5");
    SetField(f, field, text);
    const int nExchanges = f.Exchanges();
    f.m_pDlg->OnOK();
    QCOMPARE(f.Texts(), QStringList({"Please enter a number."}));
    QCOMPARE(f.m_shown[0].strCaption, QStringLiteral("Конфигуратор ЗИНТ-9"));
    QCOMPARE(f.m_shown[0].nIcon, EMsgIcon::Exclamation);
    QCOMPARE(f.m_pDlg->focusWidget(), f.Control<QWidget>(&f.m_pDlg->m_Page2, field));
    QCOMPARE(f.Control<QLineEdit>(&f.m_pDlg->m_Page2, field)->selectedText(), text);
    QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamEdit), before);
    QCOMPARE(f.Exchanges(), nExchanges);
}

void TestPages::changeSensor()
{
    CWizardFixture f;
    f.m_pDlg->OnOK();
    const CParamZT01 device = f.m_app.m_ParamDevice;
    SetField(f, 1022, "21"); // outside the sensor block: survives the change
    QStringList listed;
    int nPreselected = -2;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        auto& change = static_cast<CDlgChangeSensor&>(dialog);
        for (int i = 0; i < change.m_cbSensor->count(); ++i)
            listed << change.m_cbSensor->itemText(i);
        nPreselected = change.m_cbSensor->currentIndex();
        change.m_cbSensor->setCurrentIndex(3);
        change.accept();
        return change.result();
    };
    f.Control<QPushButton>(&f.m_pDlg->m_Page2, 1017)->click();
    QCOMPARE(listed, QStringList({"Термопара ТХА (K)", "Термопара ТХК (L)", "ТСМ (50М) W100 = 1,4280",
                                  "ТСП (Pt 100) W100 = 1,3850", "ТСП (100П) W100 = 1,3910"}));
    QCOMPARE(nPreselected, 0);
    QCOMPARE(f.m_app.m_nSensor, 3);
    QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1016)->text(),
             QStringLiteral("ТСП (Pt 100) W100 = 1,3850 (-200...850 °C)"));
    QCOMPARE(Field(f, 1010), QStringLiteral("500"));
    QCOMPARE(f.m_app.m_ParamEdit.fFailOutput, 21.0f);
    QCOMPARE(f.m_app.m_ParamEdit.byColdJunction, quint8(0));
    QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamEdit).left(80), CTestFolder::Bytes(device).left(80));
    QVERIFY(f.m_pDlg->isEnabled());
    // Tab to "Отмена" and Enter cancel: the page keeps its unsaved edits.
    SetField(f, 1010, "400");
    QStringList focus;
    int nResult = -1;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        focus << dialog.focusWidget()->objectName();
        Key(dialog, Qt::Key_Tab);
        focus << dialog.focusWidget()->objectName();
        Key(dialog, Qt::Key_Tab);
        focus << dialog.focusWidget()->objectName();
        Key(dialog, Qt::Key_Return);
        return nResult = dialog.result();
    };
    f.Control<QPushButton>(&f.m_pDlg->m_Page2, 1017)->click();
    QCOMPARE(focus, QStringList({"1018", "1", "2"}));
    QCOMPARE(nResult, int(QDialog::Rejected));
    QCOMPARE(Field(f, 1010), QStringLiteral("400"));
    QCOMPARE(f.m_app.m_nSensor, 3);
    // Enter in the list presses OK: the current sensor chosen again resets the limits.
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        Key(dialog, Qt::Key_Return);
        return nResult = dialog.result();
    };
    f.Control<QPushButton>(&f.m_pDlg->m_Page2, 1017)->click();
    QCOMPARE(nResult, int(QDialog::Accepted));
    QCOMPARE(Field(f, 1010), QStringLiteral("500"));
}

void TestPages::messageBoxShowsItsCaption()
{
    // The title bar is as wide as the box: a short text must not cut the caption.
    const QString strCaption = CStringTable::Load(151);
    const std::unique_ptr<QMessageBox> pBox =
        CMsgBox::Box({CStringTable::Load(157), strCaption, EMsgIcon::Information, nullptr, {}, {}});
    pBox->show();
    QVERIFY(QTest::qWaitForWindowExposed(pBox.get()));
    const int nCaption = QFontMetrics(pBox->font()).horizontalAdvance(strCaption);
    QVERIFY2(pBox->width() >= nCaption * 3 / 2, qPrintable(QString::number(pBox->width())));
}

void TestPages::focusAfterDialogs_data()
{
    QTest::addColumn<int>("button");
    QTest::newRow("«Изменить...»") << 1017;
    QTest::newRow("«Калибровка ЦАП...»") << 1019;
}

void TestPages::focusAfterDialogs()
{
    QFETCH(int, button);
    CWizardFixture f;
    f.m_pDlg->OnOK();
    f.m_pfnDialog = [](QDialog& dialog)
    {
        if (auto* pChange = qobject_cast<CDlgChangeSensor*>(&dialog))
            pChange->m_cbSensor->setCurrentIndex(2);
        Key(dialog, Qt::Key_Return);
        return dialog.result();
    };
    auto* pButton = f.Control<QPushButton>(&f.m_pDlg->m_Page2, button);
    pButton->setFocus();
    Key(*f.m_pDlg, Qt::Key_Space);
    QCOMPARE(f.m_pDlg->focusWidget(), pButton);
    // Enter there opens the dialog again: it never writes by accident.
    const int nExchanges = f.Exchanges();
    int nOpened = 0;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        ++nOpened;
        dialog.reject();
        return dialog.result();
    };
    Key(*f.m_pDlg, Qt::Key_Return);
    QCOMPARE(nOpened, 1);
    QCOMPARE(f.Exchanges(), nExchanges);
    QCOMPARE(f.m_pDlg->m_nCurPage, 1);
}

void TestPages::sensorImageFiles_data()
{
    QTest::addColumn<int>("size"); // -1: no file, -2: a FIFO
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("loaded");
    const QString strName = "TcplL.dat";
    QTest::newRow("missing") << -1 << strName << false;
    QTest::newRow("short") << 511 << strName << false;
    QTest::newRow("long") << 600 << strName << true;
    QTest::newRow("FIFO") << -2 << strName << false;
    // The catalogue names a file in ImgEEPROM/, never a path, even to a file that exists.
    QTest::newRow("path") << 512 << "../ImgEEPROM/TcplL.dat" << false;
    QTest::newRow("parent folder") << 512 << ".." << false;
    QTest::newRow("NUL byte") << 512 << QString("TcplL.dat") + QChar(0) + "x" << false;
}

void TestPages::sensorImageFiles()
{
    QFETCH(int, size);
    QFETCH(QString, name);
    QFETCH(bool, loaded);
    CDeviceFixture f;
    f.m_app.m_Sensors[1].strFileName = name;
    f.m_app.m_ParamDevice = f.DeviceImage();
    f.m_app.m_ParamEdit = f.m_app.m_ParamDevice;
    f.m_app.m_nSensor = 0;
    const QString strFile = "ImgEEPROM/TcplL.dat";
    QByteArray content = f.m_folder.ReadFile(strFile);
    QFile::remove(f.m_folder.FilePath(strFile));
    if (size >= 0)
        f.m_folder.WriteFile(strFile, (content + QByteArray(100, char(0x5A))).left(size));
    if (size == -2)
        QVERIFY(f.m_folder.MakeFifo(strFile));
    const QByteArray before = CTestFolder::Bytes(f.m_app.m_ParamEdit);
    QCOMPARE(f.m_app.LoadSensorImage(1), loaded);
    QCOMPARE(f.m_progress.last(), QStringLiteral("closed"));
    QCOMPARE(f.m_progress.first(),
             "text Термопара ТХК (L)(файл " + name + ")\nЧтение образа EEPROM прибора...");
    if (!loaded)
    {
        QCOMPARE(f.m_messages.size(), 1);
        QCOMPARE(f.m_messages[0].strText, "Невозможно открыть файл образа EEPROM для данного датчика (" +
                                              name.section(QChar(0), 0, 0) + ")!");
        QCOMPARE(f.m_messages[0].nIcon, EMsgIcon::Stop);
        QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamEdit), before);
        QCOMPARE(f.m_app.m_nSensor, 0);
        return;
    }
    QCOMPARE(f.m_app.m_nSensor, 1);
    QCOMPARE(f.m_nPageFills, 1);
    // The file's device block is erased; the device's stays.
    QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamEdit).left(80), before.left(80));
    QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamEdit).mid(152), content.mid(152));
    QCOMPARE(f.m_app.LoadSensorImage(5), false); // not a catalogue index
    QCOMPARE(f.m_app.LoadSensorImage(-1), false);
}

void TestPages::dacCalibration_data()
{
    QTest::addColumn<int>("range");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");
    QTest::newRow("set values") << 5 << "4.0123"
                                << "19.987"
                                << "" << 0;
    QTest::newRow("low 12") << 5 << "12"
                            << "20"
                            << "" << 0;
    QTest::newRow("low 12.01") << 5 << "12.01"
                               << "20"
                               << "Значение данной калибровки ЦАП должно быть между 0.00 и 12.00" << 1020;
    QTest::newRow("high 11.5") << 5 << "4"
                               << "11.5"
                               << "Значение данной калибровки ЦАП должно быть между 12.00 и 28.00" << 1021;
    QTest::newRow("both out: the low end first")
        << 5 << "-1"
        << "40"
        << "Значение данной калибровки ЦАП должно быть между 0.00 и 12.00" << 1020;
    QTest::newRow("code 9 as code 6")
        << 9 << "10.5"
        << "20"
        << "Значение данной калибровки ЦАП должно быть между 0.00 и 10.00" << 1020;
    QTest::newRow("code 2 keeps the negative low end") << 2 << "-5"
                                                       << "5"
                                                       << "" << 0;
    QTest::newRow("code 3 range") << 3 << "-20.5"
                                  << "10"
                                  << "Значение данной калибровки ЦАП должно быть между -20.00 и 0.00" << 1020;
    QTest::newRow("not a number") << 5 << "-"
                                  << "20"
                                  << "Please enter a number." << 1020;
}

void TestPages::dacCalibration()
{
    QFETCH(int, range);
    QFETCH(QString, low);
    QFETCH(QString, high);
    QFETCH(QString, message);
    QFETCH(int, focus);
    CWizardFixture f;
    f.m_pDlg->OnOK();
    f.m_app.m_ParamEdit.byOutRange = quint8(range);
    QStringList seen;
    bool bAccepted = false;
    bool bFocus = true;
    Qt::WindowFlags flags;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        auto& dac = static_cast<CDlgCalibrDAC&>(dialog);
        auto* pLimit = dac.findChild<QLineEdit*>("1027");
        seen << dac.m_edCalLow->text() << pLimit->text() << QString::number(pLimit->isReadOnly())
             << dac.findChild<QLabel*>("1029")->text();
        dac.m_edCalLow->setText(low);
        dac.m_edCalHigh->setText(high);
        // A modal frame with a close button only.
        flags = dac.windowFlags();
        dac.accept();
        bAccepted = dac.result() == QDialog::Accepted;
        if (focus)
            bFocus = dac.focusWidget() == dac.findChild<QWidget*>(QString::number(focus));
        return dac.result();
    };
    f.Control<QPushButton>(&f.m_pDlg->m_Page2, 1019)->click();
    QCOMPARE(seen, QStringList({"4.0123", "0", "1", "°C"}));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint) && flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint) && !flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(bFocus);
    QCOMPARE(bAccepted, message.isEmpty());
    QCOMPARE(f.Texts(), message.isEmpty() ? QStringList() : QStringList({message}));
    if (message.isEmpty())
    {
        QCOMPARE(f.m_app.m_ParamEdit.fDacCalLow, low.toFloat());
        QCOMPARE(f.m_app.m_ParamEdit.fDacCalHigh, high.toFloat());
        QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1021)->text(), high);
        QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1033)->text(),
                 range < 4 ? QStringLiteral("В") : QStringLiteral("мА"));
    }
    else
        QCOMPARE(f.m_app.m_ParamEdit.fDacCalLow, 4.0123f); // not accepted: the record keeps its value
}

void TestPages::dacCalibrationStart_data()
{
    QTest::addColumn<int>("range");
    QTest::addColumn<bool>("lowUnset");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("unit");
    QTest::newRow("code 5 unset") << 5 << true << "4"
                                  << "20"
                                  << "мА";
    QTest::newRow("code 0 unset") << 0 << true << "0"
                                  << "5"
                                  << "В";
    QTest::newRow("only the high end unset") << 5 << false << "4"
                                             << "20"
                                             << "мА";
}

void TestPages::dacCalibrationStart()
{
    QFETCH(int, range);
    QFETCH(bool, lowUnset);
    QFETCH(QString, low);
    QFETCH(QString, high);
    QFETCH(QString, unit);
    CWizardFixture f;
    f.m_pDlg->OnOK();
    CParamZT01& edit = f.m_app.m_ParamEdit;
    edit.byOutRange = quint8(range);
    edit.fDacCalLow = lowUnset ? std::bit_cast<float>(0xFFFFFFFFu) : 7.5f;
    edit.fDacCalHigh = std::bit_cast<float>(0xFFFFFFFFu);
    const quint32 nLow = std::bit_cast<quint32>(edit.fDacCalLow);
    auto* pOpen = f.Control<QPushButton>(&f.m_pDlg->m_Page2, 1019);
    // The dialog opens with the focus on "Отмена": Enter at once cancels, the unset pair stays.
    QStringList seen;
    f.m_pfnDialog = [&](QDialog& dialog)
    {
        auto& dac = static_cast<CDlgCalibrDAC&>(dialog);
        seen << dac.m_edCalLow->text() << dac.m_edCalHigh->text() << dac.findChild<QLabel*>("1034")->text()
             << dac.focusWidget()->objectName();
        Key(dac, Qt::Key_Return);
        return dac.result();
    };
    pOpen->click();
    QCOMPARE(seen, QStringList({low, high, unit, "2"}));
    QCOMPARE(std::bit_cast<quint32>(edit.fDacCalLow), nLow);
    QCOMPARE(std::bit_cast<quint32>(edit.fDacCalHigh), 0xFFFFFFFFu);
    // Typing, then Escape, leaves the record alone; Enter in a field presses OK.
    for (Qt::Key nKey : {Qt::Key_Escape, Qt::Key_Return})
    {
        f.m_pfnDialog = [&](QDialog& dialog)
        {
            auto& dac = static_cast<CDlgCalibrDAC&>(dialog);
            Key(dac, Qt::Key_Tab);
            dac.m_edCalLow->selectAll();
            QTest::keyClicks(dac.focusWidget(), "2.5");
            Key(dac, nKey);
            return dac.result();
        };
        pOpen->click();
        QCOMPARE(std::bit_cast<quint32>(edit.fDacCalHigh),
                 nKey == Qt::Key_Escape ? 0xFFFFFFFFu : std::bit_cast<quint32>(high.toFloat()));
    }
    QCOMPARE(edit.fDacCalLow, 2.5f);
    QCOMPARE(f.Control<QLabel>(&f.m_pDlg->m_Page2, 1020)->text(), QStringLiteral("2.5"));
}

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
