// zint9-sim: a ЗИНТ-9 transmitter on a pseudo-terminal, for training and for integration tests.
#include "csimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <thread>

namespace
{
volatile std::sig_atomic_t s_bStop = 0;

void OnSignal(int)
{
    s_bStop = 1;
}

bool ParseWord(const QString& strText, quint16& wValue)
{
    bool bOk = false;
    const uint nValue = strText.toUInt(&bOk, 0);
    wValue = quint16(nValue);
    return bOk && nValue <= 0xFFFF;
}

// One KEY=VALUE of a fault.
bool ParseFaultPart(const QString& strPart, CSimDevice::SFault& fault)
{
    static const QHash<QString, CSimDevice::ERequest> kRequests = {
        {"versions", CSimDevice::ERequest::Versions},
        {"read", CSimDevice::ERequest::Read},
        {"write", CSimDevice::ERequest::Write},
    };
    const QString strKey = strPart.section(QLatin1Char('='), 0, 0);
    const QString strValue = strPart.section(QLatin1Char('='), 1);
    bool bOk = true;
    if (strKey == QLatin1String("from"))
        fault.nFromExchange = strValue.toInt(&bOk);
    else if (strKey == QLatin1String("block"))
        fault.nBlock = strValue.toInt(&bOk);
    else if (strKey == QLatin1String("count"))
        fault.nCount = strValue == QLatin1String("always") ? -1 : strValue.toInt(&bOk);
    else if (strKey == QLatin1String("on") && kRequests.contains(strValue))
        fault.nOn = kRequests.value(strValue);
    else if (strKey == QLatin1String("delay"))
        fault.nDelayMs = strValue.toInt(&bOk);
    else if (strKey == QLatin1String("pattern"))
        bOk = (fault.pattern = QByteArray::fromHex(strValue.toLatin1())).size() == 8;
    else if (strKey == QLatin1String("as"))
        fault.nOtherBlock = strValue.toInt(&bOk);
    else if (strKey == QLatin1String("byte"))
    {
        fault.nByte = strValue.toInt(&bOk);
        bOk = bOk && fault.nByte >= 0 && fault.nByte < 8;
    }
    else
        bOk = false;
    return bOk;
}

// KIND[:from=N][:block=K][:count=C][:on=versions|read|write][:delay=MS][:byte=B]
bool ParseFault(const QString& strSpec, CSimDevice::SFault& fault, QString& strError)
{
    const QStringList parts = strSpec.split(QLatin1Char(':'));
    static const QHash<QString, CSimDevice::EFault> kKinds = {
        {"no-answer", CSimDevice::EFault::NoAnswer},
        {"truncated", CSimDevice::EFault::Truncated},
        {"bad-check", CSimDevice::EFault::BadCheck},
        {"refusal", CSimDevice::EFault::Refusal},
        {"corrupt-store", CSimDevice::EFault::CorruptStore},
        {"hang-up", CSimDevice::EFault::HangUp},
        {"late", CSimDevice::EFault::Late},
        {"twice", CSimDevice::EFault::Twice},
        {"echo", CSimDevice::EFault::Echo},
        {"other-block", CSimDevice::EFault::OtherBlock},
        {"unacknowledged", CSimDevice::EFault::Unacknowledged},
    };
    if (!kKinds.contains(parts.first()))
    {
        strError =
            QStringLiteral("unknown fault '%1' (no-answer, truncated, bad-check, refusal, corrupt-store, "
                           "hang-up, late, twice, echo, other-block, unacknowledged)")
                .arg(parts.first());
        return false;
    }
    fault.nKind = kKinds.value(parts.first());
    for (const QString& strPart : parts.mid(1))
        if (!ParseFaultPart(strPart, fault))
        {
            strError = QStringLiteral("cannot read '%1' in fault '%2'").arg(strPart, strSpec);
            return false;
        }
    return true;
}

int Fail(const QString& strText)
{
    std::fprintf(stderr, "zint9-sim: %s\n", qPrintable(strText));
    return 1;
}

// Sets up the device as the options say; false with strError.
bool SetUp(const QCommandLineParser& parser, CSimDevice& device, QString& strError)
{
    quint16 wVersion = 0, wBoot = 0;
    if (!ParseWord(parser.value("device-version"), wVersion) ||
        !ParseWord(parser.value("boot-version"), wBoot))
    {
        strError = QStringLiteral("a version is a 16-bit number, such as 0x1555");
        return false;
    }
    device.SetVersions(wVersion, wBoot);
    device.SetRefusalVersions(wVersion, wBoot);
    if (parser.isSet("refusal-versions"))
    {
        const QStringList words = parser.value("refusal-versions").split(QLatin1Char(','));
        quint16 wRefusal = 0, wRefusalBoot = 0;
        if (words.size() != 2 || !ParseWord(words[0], wRefusal) || !ParseWord(words[1], wRefusalBoot))
        {
            strError = QStringLiteral("--refusal-versions takes two words, such as 0x1234,0x0009");
            return false;
        }
        device.SetRefusalVersions(wRefusal, wRefusalBoot);
    }
    for (const QString& strSpec : parser.values("fault"))
    {
        CSimDevice::SFault injected;
        if (!ParseFault(strSpec, injected, strError))
            return false;
        device.AddFault(injected);
    }
    if (parser.isSet("eeprom") && !device.UseEepromFile(parser.value("eeprom")))
    {
        strError = device.m_strError;
        return false;
    }
    if (parser.isSet("unit"))
    {
        bool bOk = false;
        const int nSeed = parser.value("unit").toInt(&bOk);
        if (!bOk)
        {
            strError = QStringLiteral("--unit takes a number");
            return false;
        }
        device.SetUnit(nSeed);
    }
    return true;
}

// The link is the simulator's own: a path that holds anything else than a symbolic link is
// refused, never removed.
bool MakeLink(const QString& strLink, const QString& strTarget, QString& strError)
{
    const QFileInfo existing(strLink);
    if (existing.exists() || existing.isSymLink())
    {
        if (!existing.isSymLink())
        {
            strError = QStringLiteral("%1 exists and is not a symbolic link; not replaced").arg(strLink);
            return false;
        }
        QFile::remove(strLink);
    }
    if (QFile::link(strTarget, strLink))
        return true;
    strError = QStringLiteral("cannot make the link %1").arg(strLink);
    return false;
}

// Removes strLink if it is still the simulator's own link to strSlave; one that leads
// elsewhere is another's.
void RemoveOwnLink(const QString& strLink, const QString& strSlave)
{
    const QFileInfo link(strLink);
    if (!strLink.isEmpty() && link.isSymLink() && link.symLinkTarget() == strSlave)
        QFile::remove(strLink);
}

void AddOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        "A simulated ЗИНТ-9 transmitter on a pseudo-terminal. Prints the path of the terminal's\n"
        "slave side; open that path as the serial port (in the configurator, in zint9 --port, or\n"
        "in a program of your own). Runs until interrupted.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(
        {{"eeprom", "Keep the EEPROM in <file>; a missing file is created with a sample image.", "file"},
         {"device-version", "Device version (default 0x1555).", "word", "0x1555"},
         {"boot-version", "Boot-loader version (default 0x0008).", "word", "0x0008"},
         {"refusal-versions", "Versions a refusal carries (default: the device's).", "word,word"},
         {"pace", "Answer at the line rate of 9600 baud, as a real line does."},
         {"bare", "Read answers carry zeros where the request's header would be, as some units' do."},
         {"link", "Also make <path> a symbolic link to the slave side (never replacing anything else).",
          "path"},
         {"unit",
          "Give the unit a device block of its own, made from <number>, so that simulated units differ.",
          "number"},
         {"fault",
          "Inject a fault:\n"
          "KIND[:from=N][:block=K][:count=C|always][:on=versions|read|write][:delay=MS][:byte=B|:pattern=HEX]"
          "[:as=K]\n"
          "KIND is no-answer, truncated, bad-check, refusal, corrupt-store (the block is\n"
          "acknowledged and stored with its byte B, default 0, changed, or as the 8 bytes of\n"
          "HEX), unacknowledged (stored, never acknowledged), hang-up (the simulator\n"
          "closes its side of the terminal, as an unplugged adapter), late (the answer comes after\n"
          "MS, default 600), twice (the answer is sent again after MS, default 30), echo (the\n"
          "request comes back before the answer, as from an adapter with local echo; with\n"
          "no-answer, a loopback plug) or other-block[:as=K] (a read answered, well sealed, with\n"
          "block K's answer, default the next block's, as a stale answer would be); exchanges\n"
          "count every request from 0. May be repeated.",
          "fault"}});
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zint9-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZINT9_VERSION));
    QCommandLineParser parser;
    AddOptions(parser);
    parser.process(application);
    if (!parser.positionalArguments().isEmpty())
        return Fail(
            QStringLiteral("unexpected argument '%1'; see --help").arg(parser.positionalArguments().first()));

    CSimulator simulator;
    QString strError;
    if (!simulator.WithDevice([&](CSimDevice& device) { return SetUp(parser, device, strError); }))
        return Fail(strError);
    simulator.SetPaced(parser.isSet("pace"));
    simulator.WithDevice([&](CSimDevice& device) { device.SetBareAnswers(parser.isSet("bare")); });
    if (!simulator.Start())
        return Fail(simulator.m_strError);
    const QString strLink = parser.value("link");
    if (!strLink.isEmpty() && !MakeLink(strLink, simulator.SlavePath(), strError))
        return Fail(strError);
    // Stopping is handled before the path is out: a program that stops the simulator as soon as
    // it has the path must still find its link taken away.
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("%s\n", qPrintable(simulator.SlavePath()));
    std::fflush(stdout);

    // The slave's path is freed by a hang-up and given to the next program that asks: the link
    // must not lead there.
    const QString strSlave = simulator.SlavePath();
    while (!s_bStop && !simulator.HasHungUp())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    RemoveOwnLink(strLink, strSlave);
    while (!s_bStop)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    simulator.Stop();
    RemoveOwnLink(strLink, strSlave);
    return 0;
}
