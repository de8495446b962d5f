#include "cstartoptions.h"

#include <QCommandLineParser>

namespace
{
// Qt's own options, which QApplication takes out of the arguments itself.
const char* const kQtValued[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                 "style",    "stylesheet",         "display",       "geometry",
                                 "session",  "qwindowgeometry",    "qwindowtitle",  "qwindowicon"};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
} // namespace

bool CStartOptions::IsDemo(const QStringList& arguments)
{
    return arguments.size() >= 2 && arguments.at(1) == QLatin1String("/demo");
}

bool CStartOptions::Parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QStringList valued{QStringLiteral("port"), QStringLiteral("trace")};
    for (const QString& strName : valued)
        parser.addOption(QCommandLineOption(strName, QString(), QStringLiteral("value")));
    for (const char* pszName : kQtValued)
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(pszName), QString(), QStringLiteral("value")));
    for (const char* pszName : {"help", "h", "version"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(pszName)));
    for (const char* pszName : kQtFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(pszName)));
    // The parser's own texts are English; the two cases a user meets are told apart here.
    const QString strLast = arguments.size() > 1 ? arguments.last() : QString();
    for (const QString& strName : valued)
        if (strLast == QLatin1String("--") + strName)
        {
            m_strError = QStringLiteral("параметру %1 нужно значение").arg(strLast);
            return false;
        }
    if (!parser.parse(arguments))
    {
        const QStringList unknown = parser.unknownOptionNames();
        m_strError = unknown.isEmpty()
                         ? parser.errorText()
                         : QStringLiteral("неизвестный параметр %1%2; см. zint9-configurator --help")
                               .arg(unknown.first().size() > 1 ? "--" : "-", unknown.first());
        return false;
    }
    bDemo = IsDemo(arguments);
    bHelp = parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("h"));
    bVersion = parser.isSet(QStringLiteral("version"));
    strPort = parser.value(QStringLiteral("port"));
    strTrace = parser.value(QStringLiteral("trace"));
    return true;
}
