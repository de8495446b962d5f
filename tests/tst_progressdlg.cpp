#include "cprogressdlg.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

class TestProgressDlg : public QObject
{
    Q_OBJECT

private slots:
    // Every window a test made is gone with it.
    void cleanup()
    {
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            QVERIFY2(!pWidget->isVisible(), qPrintable(pWidget->windowTitle()));
    }
    void percent_data();
    void percent();
    void template132();
    void ownerDisabledWhileShown();
    void ownerAlreadyDisabledStaysDisabled();
    void destructorAloneEnablesOwner();
    void failedCreateEnablesOwner();
    void enterAndEscapeLeaveItOpen();
    void stepIt();
};

void TestProgressDlg::percent_data()
{
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("pos");
    QTest::addColumn<QString>("text");
    QTest::newRow("64: 0") << 64 << 0 << "0%";
    QTest::newRow("64: 1") << 64 << 1 << "1%";
    QTest::newRow("64: 32") << 64 << 32 << "50%";
    QTest::newRow("64: 63") << 64 << 63 << "98%";
    QTest::newRow("64: 64") << 64 << 64 << "100%";
    QTest::newRow("100: 10") << 100 << 10 << "10%";
    QTest::newRow("100: 100") << 100 << 100 << "100%";
    QTest::newRow("100: 101") << 100 << 101 << "1%";
    QTest::newRow("empty range 5-5") << 0 << 5 << "0%"; // no division by zero
}

void TestProgressDlg::percent()
{
    QFETCH(int, max);
    QFETCH(int, pos);
    QFETCH(QString, text);
    QWidget owner;
    CProgressDlg dlg;
    QVERIFY(dlg.Create(&owner));
    auto* pPercent = dlg.findChild<QLabel*>("1002");
    QVERIFY(pPercent);
    QCOMPARE(pPercent->text(), QStringLiteral("0 %"));
    dlg.SetRange(max == 0 ? 5 : 0, max == 0 ? 5 : max);
    dlg.SetPos(pos);
    QCOMPARE(pPercent->text(), text);
}

void TestProgressDlg::template132()
{
    QWidget owner;
    owner.move(100, 80);
    owner.show();
    CProgressDlg dlg;
    QVERIFY(dlg.Create(&owner));
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Подождите..."));
    dlg.SetText("Чтение образа EEPROM прибора...");
    QCOMPARE(dlg.findChild<QLabel*>("1000")->text(), QStringLiteral("Чтение образа EEPROM прибора..."));
    QVERIFY(dlg.m_progress);
    QCOMPARE(dlg.m_progress->objectName(), QStringLiteral("1001"));
    QCOMPARE(dlg.m_nMin, 0);
    QCOMPARE(dlg.m_nMax, 100);
    QCOMPARE(dlg.m_nStep, 10);
    dlg.SetPos(0);
    QCOMPARE(dlg.findChild<QLabel*>("1002")->text(), QStringLiteral("0%"));
}

void TestProgressDlg::ownerDisabledWhileShown()
{
    QWidget owner;
    QWidget child(&owner);
    {
        CProgressDlg dlg;
        // A child window leads to its top-level window.
        QVERIFY(dlg.Create(&child));
        QVERIFY(dlg.m_bOwnerDisabled);
        QVERIFY(!owner.isEnabled());
        dlg.DestroyWindow();
        QVERIFY(owner.isEnabled());
        QVERIFY(!dlg.m_bOwnerDisabled);
        QVERIFY(!dlg.isVisible());
    }
    QVERIFY(owner.isEnabled());
}

void TestProgressDlg::ownerAlreadyDisabledStaysDisabled()
{
    QWidget owner;
    owner.setEnabled(false);
    {
        CProgressDlg dlg;
        QVERIFY(dlg.Create(&owner));
        QVERIFY(!dlg.m_bOwnerDisabled);
    }
    QVERIFY(!owner.isEnabled());
}

void TestProgressDlg::destructorAloneEnablesOwner()
{
    QWidget owner;
    {
        CProgressDlg dlg;
        QVERIFY(dlg.Create(&owner));
        QVERIFY(!owner.isEnabled());
    }
    QVERIFY(owner.isEnabled());
}

void TestProgressDlg::failedCreateEnablesOwner()
{
    QWidget owner;
    CProgressDlg dlg;
    dlg.m_nTemplateID = 9999;
    QVERIFY(!dlg.Create(&owner));
    QVERIFY(owner.isEnabled());
    QVERIFY(!dlg.m_bOwnerDisabled);
}

void TestProgressDlg::enterAndEscapeLeaveItOpen()
{
    QWidget owner;
    CProgressDlg dlg;
    QVERIFY(dlg.Create(&owner));
    QTest::keyClick(&dlg, Qt::Key_Return);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(!dlg.close());
    QVERIFY(dlg.isVisible());
    QVERIFY(!owner.isEnabled());
}

void TestProgressDlg::stepIt()
{
    QWidget owner;
    CProgressDlg dlg;
    QVERIFY(dlg.Create(&owner));
    dlg.SetRange(0, 64);
    dlg.SetStep(1);
    dlg.SetPos(0);
    for (int i = 0; i < 32; ++i)
        dlg.StepIt();
    QCOMPARE(dlg.m_progress->value(), 32);
    QCOMPARE(dlg.findChild<QLabel*>("1002")->text(), QStringLiteral("50%"));
}

QTEST_MAIN(TestProgressDlg)
#include "tst_progressdlg.moc"
