// zint9-sim: a ЗИНТ-9 transmitter on a pseudo-terminal, for training and for integration tests.
#include "csimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

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

// KIND[:from=N][:block=K][:count=C][:on=versions|read|write]
bool ParseFault(const QString& strSpec, CSimDevice::SFault& fault, QString& strError)
{
    const QStringList parts = strSpec.split(QLatin1Char(':'));
    static const QHash<QString, CSimDevice::EFault> kKinds = {
        {"no-answer", CSimDevice::EFault::NoAnswer},         {"truncated", CSimDevice::EFault::Truncated},
        {"bad-check", CSimDevice::EFault::BadCheck},         {"refusal", CSimDevice::EFault::Refusal},
        {"corrupt-store", CSimDevice::EFault::CorruptStore}, {"hang-up", CSimDevice::EFault::HangUp},
    };
    static const QHash<QString, CSimDevice::ERequest> kRequests = {
        {"versions", CSimDevice::ERequest::Versions},
        {"read", CSimDevice::ERequest::Read},
        {"write", CSimDevice::ERequest::Write},
    };
    if (!kKinds.contains(parts.first()))
    {
        strError =
            QStringLiteral("unknown fault '%1' (no-answer, truncated, bad-check, refusal, corrupt-store, "
                           "hang-up)")
                .arg(parts.first());
        return false;
    }
    fault.nKind = kKinds.value(parts.first());
    for (const QString& strPart : parts.mid(1))
    {
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
        else
            bOk = false;
        if (!bOk)
        {
            strError = QStringLiteral("cannot read '%1' in fault '%2'").arg(strPart, strSpec);
            return false;
        }
    }
    return true;
}

int Fail(const QString& strText)
{
    std::fprintf(stderr, "zint9-sim: %s\n", qPrintable(strText));
    return 1;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zint9-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZINT9_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "A simulated ЗИНТ-9 transmitter on a pseudo-terminal. Prints the path of the terminal's\n"
        "slave side; open that path as the serial port (in the configurator, in zint9 --port, or\n"
        "in a program of your own). Runs until interrupted.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption eeprom(
        "eeprom", "Keep the EEPROM in <file>; a missing file is created with a sample image.", "file");
    const QCommandLineOption version("device-version", "Device version (default 0x1555).", "word", "0x1555");
    const QCommandLineOption bootVersion("boot-version", "Boot-loader version (default 0x0008).", "word",
                                         "0x0008");
    const QCommandLineOption refusal("refusal-versions",
                                     "Versions a refusal carries (default: the device's).", "word,word");
    const QCommandLineOption pace("pace", "Answer at the line rate of 9600 baud, as a real line does.");
    const QCommandLineOption link("link", "Also make <path> a symbolic link to the slave side.", "path");
    const QCommandLineOption fault(
        "fault",
        "Inject a fault: KIND[:from=N][:block=K][:count=C|always][:on=versions|read|write]\n"
        "KIND is no-answer, truncated, bad-check, refusal, corrupt-store or hang-up (the\n"
        "simulator closes its side of the terminal, as an unplugged adapter); exchanges "
        "count every request from 0. May be repeated.",
        "fault");
    parser.addOptions({eeprom, version, bootVersion, refusal, pace, link, fault});
    parser.process(application);
    if (!parser.positionalArguments().isEmpty())
        return Fail(
            QStringLiteral("unexpected argument '%1'; see --help").arg(parser.positionalArguments().first()));

    CSimulator simulator;
    quint16 wVersion = 0, wBoot = 0;
    if (!ParseWord(parser.value(version), wVersion) || !ParseWord(parser.value(bootVersion), wBoot))
        return Fail(QStringLiteral("a version is a 16-bit number, such as 0x1555"));
    QString strError;
    const bool bSet = simulator.WithDevice(
        [&](CSimDevice& device)
        {
            device.SetVersions(wVersion, wBoot);
            device.SetRefusalVersions(wVersion, wBoot);
            if (parser.isSet(refusal))
            {
                const QStringList words = parser.value(refusal).split(QLatin1Char(','));
                quint16 wRefusal = 0, wRefusalBoot = 0;
                if (words.size() != 2 || !ParseWord(words[0], wRefusal) || !ParseWord(words[1], wRefusalBoot))
                {
                    strError = QStringLiteral("--refusal-versions takes two words, such as 0x1234,0x0009");
                    return false;
                }
                device.SetRefusalVersions(wRefusal, wRefusalBoot);
            }
            for (const QString& strSpec : parser.values(fault))
            {
                CSimDevice::SFault injected;
                if (!ParseFault(strSpec, injected, strError))
                    return false;
                device.AddFault(injected);
            }
            if (parser.isSet(eeprom) && !device.UseEepromFile(parser.value(eeprom)))
            {
                strError = device.m_strError;
                return false;
            }
            return true;
        });
    if (!bSet)
        return Fail(strError);
    simulator.SetPaced(parser.isSet(pace));
    if (!simulator.Start())
        return Fail(simulator.m_strError);
    if (parser.isSet(link))
    {
        QFile::remove(parser.value(link));
        if (!QFile::link(simulator.SlavePath(), parser.value(link)))
            return Fail(QStringLiteral("cannot make the link %1").arg(parser.value(link)));
    }
    std::printf("%s\n", qPrintable(simulator.SlavePath()));
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (!s_bStop)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    simulator.Stop();
    if (parser.isSet(link))
        QFile::remove(parser.value(link));
    return 0;
}
