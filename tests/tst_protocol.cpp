#include "cclirun.h"
#include "cpoppler.h"
#include "cquicktry.h"
#include "crecordentry.h"
#include "crecordstore.h"
#include "csimulator.h"
#include "ctestfolder.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <ctime>

#include <sys/stat.h>

using EFault = CSimDevice::EFault;

namespace
{
// The page's text without its layout: a value wrapped in its column reads as one word.
QString Squeezed(const QString& strText)
{
    QString strSqueezed = strText;
    return strSqueezed.remove(QRegularExpression(QStringLiteral("\\s+")));
}
} // namespace

// «Протокол настройки» from the command line: every field of the unit's write read back from
// the PDF, the unit as it stands after a refused write, a station's protocol per unit, and what
// is refused.
class TestProtocol : public QObject
{
    Q_OBJECT

private:
    int Run(QStringList arguments)
    {
        arguments.replaceInStrings(QStringLiteral("SIM"), m_pSim->SlavePath());
        return CCliRun::Run(arguments, m_pFolder->Path(), m_strOut, m_strErr);
    }
    // The entries of the test's record, newest first.
    QJsonArray History()
    {
        if (Run({"history", "--json"}) != 0)
            return {};
        return QJsonDocument::fromJson(m_strOut.toUtf8()).array();
    }

    std::unique_ptr<CSimulator> m_pSim;
    std::unique_ptr<CTestFolder> m_pFolder;
    QString m_strOut;
    QString m_strErr;

private slots:
    void initTestCase();
    void init();
    void cleanup() { m_pSim.reset(); }
    void everyField_data();
    void everyField();
    void refused_data();
    void refused();
};

void TestProtocol::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // A zone of its own, without the zone database: the protocol names it with its offset.
    qputenv("TZ", "MSK-3");
    tzset();
}

void TestProtocol::init()
{
    m_pFolder = std::make_unique<CTestFolder>();
    qputenv("ZINT9_RECORD", ("sqlite:" + m_pFolder->FilePath("record.sqlite")).toUtf8());
    m_pSim = std::make_unique<CSimulator>();
    QVERIFY(m_pSim->Start());
    m_pSim->WithDevice([](CSimDevice& device) { device.SetUnit(7); });
}

void TestProtocol::everyField_data()
{
    QTest::addColumn<QString>("way");      // how the protocol is asked for
    QTest::addColumn<bool>("refusedLast"); // a refused write follows the one written
    QTest::addColumn<bool>("twinSince");   // then a unit of the same data is written on another port
    QTest::newRow("of the write's entry") << "entry" << false << false;
    QTest::newRow("of the unit on its port") << "port" << false << false;
    QTest::newRow("at a station, of each unit written") << "station" << false << false;
    QTest::newRow("of the unit after a refused write: as read") << "port" << true << false;
    QTest::newRow("of the unit on its port, its twin written since") << "port" << false << true;
}

void TestProtocol::everyField()
{
    QFETCH(QString, way);
    QFETCH(bool, refusedLast);
    QFETCH(bool, twinSince);
    const QString strPdf = m_pFolder->FilePath("protocol.pdf");
    QStringList set{"set",       "--port",     "SIM",      "--low",        "10",
                    "--fail",    "21.5",       "--serial", "SN-0042",      "--station",
                    "Участок 3", "--operator", "Петрова",  "--backup-dir", m_pFolder->FilePath("b")};
    // Another unit's protocol of the same seconds, with a serial alike in its first letters, is
    // never written over.
    QStringList others;
    for (int nSecond = 0; way == "station" && nSecond < 10; ++nSecond)
    {
        const QDateTime at = QDateTime::currentDateTime().addSecs(nSecond);
        others << "protocol-SN-0042-" + at.toString("yyyyMMdd-HHmmss") + ".pdf";
        m_pFolder->WriteFile(others.last(), "another unit's");
    }
    if (way == "station")
        set << "--protocols" << m_pFolder->Path() << "--json";
    QCOMPARE(Run(set), 0);
    // Its file is said beside the write's own output, which stays one JSON document.
    QVERIFY(way != "station" || QJsonDocument::fromJson(m_strOut.toUtf8()).isObject());
    for (const QString& strOther : std::as_const(others))
        QCOMPARE(m_pFolder->ReadFile(strOther), QByteArray("another unit's"));
    const QString strMade = m_strErr.section(QStringLiteral("Протокол настройки: "), 1).section('\n', 0, 0);
    const QString strBackup =
        m_strErr.section(QStringLiteral("Резервная копия образа прибора: "), 1).section('\n', 0, 0);
    QVERIFY2(QFileInfo::exists(strBackup), qPrintable(m_strErr));
    QJsonArray entries = History();
    QCOMPARE(entries.size(), 2);
    QJsonObject taken = entries[0].toObject(); // the write
    QCOMPARE(taken["operation"].toString(), QStringLiteral("write"));
    QCOMPARE(taken["backup"].toString(), strBackup);
    QString refusedBackup;
    if (refusedLast)
    {
        m_pSim->WithDevice([](CSimDevice& device)
                           { device.AddLastingFault(EFault::Refusal, CSimDevice::ERequest::Write); });
        QCOMPARE(Run({"set", "--port", "SIM", "--low", "20", "--backup-dir", m_pFolder->FilePath("b")}), 1);
        refusedBackup =
            m_strErr.section(QStringLiteral("Резервная копия образа прибора: "), 1).section('\n', 0, 0);
        QVERIFY2(QFileInfo::exists(refusedBackup), qPrintable(m_strErr));
    }
    const QString strTwinBackup = m_pFolder->FilePath("twin.bin");
    if (twinSince)
    {
        // Two units alike on two ports of one run: the other's write is not this unit's.
        CRecordStore store;
        CRecordEntry twin;
        QVERIFY(store.Open(QString::fromLocal8Bit(qgetenv("ZINT9_RECORD"))) &&
                store.Entry(taken["id"].toString(), twin));
        twin.strId = "the-twin's-write";
        twin.timeStart = twin.timeStart.addSecs(1);
        twin.strPort = "/dev/ttyTWIN";
        twin.strBackup = strTwinBackup;
        twin.bAmbiguous = true;
        QVERIFY(store.Put(twin, {}));
    }
    if (way == "entry")
        QCOMPARE(Run({"protocol", "--entry", taken["id"].toString(), "--out", strPdf}), 0);
    else if (way == "port")
        QCOMPARE(Run({"protocol", "--port", "SIM", "--out", strPdf, "--station", "Участок 3", "--operator",
                      "Петрова"}),
                 0);
    if (refusedLast)
        taken = History()[0].toObject(); // the read the protocol made: the unit as it stands
    const QString strFile = way == "station" ? strMade : strPdf;
    QVERIFY2(QFileInfo::exists(strFile), qPrintable(m_strOut + m_strErr));
    if (way == "station")
        QVERIFY2(QFileInfo(strFile).fileName().startsWith("protocol-SN-0042-") && strFile.endsWith("-2.pdf"),
                 qPrintable(strFile));
    const QString strText = CPoppler::Run("pdftotext", {"-layout", strFile, "-"});
    const QString strAll = Squeezed(CPoppler::Text(strFile));
    const QDateTime time = QDateTime::fromString(taken["time"].toString(), Qt::ISODateWithMs).toLocalTime();
    const QStringList fields{"Протокол настройки",
                             taken["fingerprint"].toString(),
                             "SN-0042",
                             "0x1555",
                             "0x0008",
                             m_pSim->SlavePath(),
                             "Участок 3",
                             "Петрова",
                             time.toString("dd.MM.yyyy HH:mm:ss") + " MSK (UTC+03:00)",
                             "Термопара",
                             "10 ... 1000 °C",
                             "21.5 мА",
                             "Учитывать",
                             "4...20 мА",
                             "Калибровки ЦАП",
                             taken["id"].toString(),
                             "Характеристика выхода",
                             "авария: 21.5 мА",
                             "10 °C → 4 мА",
                             "Настройку выполнил"};
    for (const QString& strField : fields)
        QVERIFY2(strAll.contains(Squeezed(strField)), qPrintable(strField + " not in:\n" + strText));
    if (refusedLast)
    {
        QVERIFY2(strText.contains("Прибор прочитан") && !strText.contains("Что изменила"),
                 qPrintable(strText));
        // The write since, which did not configure the unit, with its backup.
        QVERIFY2(strAll.contains(Squeezed("Последняя запись")) &&
                     strAll.contains(Squeezed("прибор отказал")) && strAll.contains(Squeezed(refusedBackup)),
                 qPrintable(strText));
    }
    else
    {
        QVERIFY2(strAll.contains(Squeezed("Запись выполнена, записанное сверено с прибором")),
                 qPrintable(strText));
        QVERIFY2(strAll.contains(Squeezed("0 ... 1000 °C → 10 ... 1000 °C")), qPrintable(strText));
        QVERIFY2(strAll.contains(Squeezed("3.6 мА → 21.5 мА")), qPrintable(strText));
        QVERIFY2(strAll.contains(Squeezed(strBackup)), qPrintable(strText));
        QVERIFY2(!strText.contains("TWIN") && !strAll.contains(Squeezed(strTwinBackup)), qPrintable(strText));
    }
    // Every letter from fonts the file carries: Cyrillic prints on any machine.
    const QStringList fonts = CPoppler::Run("pdffonts", {strFile}).split('\n', Qt::SkipEmptyParts).mid(2);
    QVERIFY(!fonts.isEmpty());
    for (const QString& strFont : fonts)
        QVERIFY2(
            QRegularExpression("\\s+yes\\s+(yes|no)\\s+(yes|no)\\s+\\d+\\s+\\d+$").match(strFont).hasMatch(),
            qPrintable(strFont));
    QCOMPARE(CPoppler::Run("pdfinfo", {strFile}).contains(QRegularExpression("Pages:\\s+1\\n")), true);
}

void TestProtocol::refused_data()
{
    QTest::addColumn<QString>("ask");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("said");
    QTest::newRow("an entry the record does not hold") << "unknown" << 1 << "нет записи";
    QTest::newRow("a write that never ended") << "attempted" << 1 << "она не завершена";
    QTest::newRow("a write the unit refused")
        << "refused" << 1 << "не настроила прибор (итог: прибор отказал";
    QTest::newRow("onto a FIFO") << "fifo" << 1 << "это не обычный файл";
    QTest::newRow("neither an entry nor a port") << "none" << 2 << "нужен --entry ID или --port";
    QTest::newRow("both an entry and a port") << "both" << 2 << "нужен --entry ID или --port";
    QTest::newRow("a station's missing folder") << "folder" << 2 << "нет такой папки";
    QTest::newRow("protocols of a read") << "read" << 2 << "--protocols только для set и write";
}

void TestProtocol::refused()
{
    QFETCH(QString, ask);
    QFETCH(int, exit);
    QFETCH(QString, said);
    const QString strFifo = m_pFolder->FilePath("fifo");
    QVERIFY(::mkfifo(QFile::encodeName(strFifo).constData(), 0600) == 0);
    QCOMPARE(Run({"set", "--port", "SIM", "--low", "10"}), 0);
    const QString strWrite = History()[0].toObject()["id"].toString();
    if (ask == "attempted")
    {
        CRecordStore store;
        CRecordEntry entry;
        entry.strId = "cut-before-its-end";
        entry.timeStart = QDateTime::currentDateTimeUtc();
        entry.strOperation = "write";
        entry.strResult = "attempted";
        entry.strImageAfter = History()[0].toObject()["imageAfter"].toString();
        QVERIFY(store.Open(QString::fromLocal8Bit(qgetenv("ZINT9_RECORD"))) && store.Put(entry, {}));
    }
    QString strRefused;
    if (ask == "refused")
    {
        m_pSim->WithDevice([](CSimDevice& device)
                           { device.AddLastingFault(EFault::Refusal, CSimDevice::ERequest::Write); });
        QCOMPARE(Run({"set", "--port", "SIM", "--low", "20"}), 1);
        strRefused = History()[0].toObject()["id"].toString();
    }
    const QMap<QString, QStringList> arguments{
        {"unknown", {"protocol", "--entry", "no-such-entry"}},
        {"attempted", {"protocol", "--entry", "cut-before-its-end"}},
        {"refused", {"protocol", "--entry", strRefused}},
        {"fifo", {"protocol", "--entry", strWrite, "--out", strFifo}},
        {"none", {"protocol"}},
        {"both", {"protocol", "--entry", strWrite, "--port", "SIM"}},
        {"folder", {"set", "--port", "SIM", "--low", "11", "--protocols", m_pFolder->FilePath("none")}},
        {"read", {"read", "--port", "SIM", "--protocols", m_pFolder->Path()}}};
    QCOMPARE(Run(arguments[ask] + QStringList{"--backup-dir", m_pFolder->FilePath("b")}), exit);
    QVERIFY2(m_strErr.contains(said), qPrintable(m_strErr));
    QCOMPARE(QDir(m_pFolder->Path()).entryList({"*.pdf"}), QStringList());
    QVERIFY(QFileInfo(strFifo).isFile() == false && QFileInfo::exists(strFifo));
}

QTEST_MAIN(TestProtocol)
#include "tst_protocol.moc"
