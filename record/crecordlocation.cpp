#include "crecordlocation.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

namespace
{
// What a PostgreSQL URL's query may set; anything else is a piece of a mistyped password.
const char* const kParameters[] = {
    "host",
    "hostaddr",
    "port",
    "dbname",
    "user",
    "password",
    "passfile",
    "service",
    "connect_timeout",
    "client_encoding",
    "options",
    "application_name",
    "sslmode",
    "sslcert",
    "sslkey",
    "sslrootcert",
    "sslcrl",
    "sslpassword",
    "sslcompression",
    "gssencmode",
    "krbsrvname",
    "target_session_attrs",
    "keepalives",
    "keepalives_idle",
    "keepalives_interval",
    "keepalives_count",
    "tcp_user_timeout",
    "channel_binding",
    "require_auth",
    "load_balance_hosts",
};

bool IsPasswordKey(const QString& strKey)
{
    return strKey.contains(QLatin1String("password"), Qt::CaseInsensitive);
}
} // namespace

QString CRecordLocation::Of(const QString& strGiven)
{
    if (!strGiven.isEmpty())
        return strGiven;
    const QString strEnvironment = qEnvironmentVariable("ZINT9_RECORD");
    if (!strEnvironment.isEmpty())
        return strEnvironment;
    const QString strSetting = QSettings().value(QStringLiteral("Settings/RecordDatabase")).toString();
    if (!strSetting.isEmpty())
        return strSetting;
    return User();
}

QString CRecordLocation::User()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/record.sqlite");
}

bool CRecordLocation::Check(const QString& strGiven, QString& strError)
{
    const QString strLocation = Of(strGiven);
    // A scheme of one letter is a Windows drive.
    static const QRegularExpression kScheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+):"));
    const QString strScheme = kScheme.match(strLocation).captured(1);
    QString strWrong;
    if (IsPostgres(strLocation))
        CheckUrl(strLocation, strWrong);
    else if (LooksPostgres(strLocation))
        strWrong = QStringLiteral("адрес базы записей пишется postgresql://…");
    else if (!strScheme.isEmpty() && strScheme != QLatin1String("sqlite"))
        strWrong = QStringLiteral("записи — это sqlite:ФАЙЛ, postgresql://… или путь к файлу");
    if (strWrong.isEmpty())
        return true;
    const QString strFrom = !strGiven.isEmpty() ? QStringLiteral("--record")
                            : !qEnvironmentVariable("ZINT9_RECORD").isEmpty()
                                ? QStringLiteral("ZINT9_RECORD")
                                : QStringLiteral("настройка RecordDatabase");
    strError = QStringLiteral("%1 «%2»: %3").arg(strFrom, Redacted(strLocation), strWrong);
    return false;
}

bool CRecordLocation::CheckUrl(const QString& strUrl, QString& strError)
{
    const QString strEncode =
        QStringLiteral("; знаки ?, #, /, @ и % в имени или пароле записываются как %3F, %23, %2F, %40, %25");
    const QUrl url(strUrl, QUrl::StrictMode);
    const QString strDatabase = url.path(QUrl::FullyDecoded).mid(1);
    QString strWrong;
    if (!url.isValid())
        strWrong = QStringLiteral("адрес базы записей неверен");
    else if (url.hasFragment())
        strWrong = QStringLiteral("в адресе есть знак #");
    else if (strDatabase.contains(QLatin1Char('/')) || strDatabase.contains(QLatin1Char('@')))
        strWrong = QStringLiteral("имя базы содержит / или @");
    for (const auto& [strKey, strValue] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
    {
        if (!strWrong.isEmpty())
            break;
        bool bKnown = false;
        for (const char* pszKey : kParameters)
            bKnown = bKnown || strKey == QLatin1String(pszKey);
        if (!bKnown)
            strWrong = QStringLiteral("в адресе неизвестный параметр (часть пароля?)");
    }
    if (strWrong.isEmpty())
        return true;
    strError = strWrong + strEncode;
    return false;
}

bool CRecordLocation::IsPostgres(const QString& strLocation)
{
    return strLocation.startsWith(QLatin1String("postgresql://")) ||
           strLocation.startsWith(QLatin1String("postgres://"));
}

bool CRecordLocation::LooksPostgres(const QString& strLocation)
{
    // "postgresql:/…", "postgresql//…": a URL mistyped, never a file to make.
    return strLocation.startsWith(QLatin1String("postgres"), Qt::CaseInsensitive) && !IsPostgres(strLocation);
}

QString CRecordLocation::Redacted(const QString& strLocation)
{
    if (LooksPostgres(strLocation))
        return QStringLiteral("postgresql:***");
    // Any URL, a mistyped one too: a password in its user part or in its query is never shown.
    const qsizetype nScheme = strLocation.indexOf(QLatin1String("://"));
    if (nScheme < 0)
        return strLocation;
    QUrl url(strLocation, QUrl::StrictMode);
    QString strWrong;
    // A malformed one may hold a piece of its password anywhere.
    if (!url.isValid() || (IsPostgres(strLocation) && !CheckUrl(strLocation, strWrong)))
        return strLocation.left(nScheme) + QStringLiteral("://***");
    if (!url.password().isEmpty())
        url.setPassword(QStringLiteral("***"));
    QUrlQuery query;
    for (const auto& [strKey, strValue] : QUrlQuery(url).queryItems(QUrl::FullyEncoded))
        query.addQueryItem(strKey, IsPasswordKey(QUrl::fromPercentEncoding(strKey.toLatin1()))
                                       ? QStringLiteral("***")
                                       : strValue);
    url.setQuery(query);
    return url.toString();
}

QString CRecordLocation::WithoutPassword(const QString& strLocation)
{
    if (!IsPostgres(strLocation))
        return Key(strLocation);
    QUrl url(strLocation, QUrl::StrictMode);
    QString strWrong;
    if (!url.isValid() || !CheckUrl(strLocation, strWrong))
        return Redacted(strLocation); // a piece of its password may be anywhere
    url.setPassword(QString());
    QUrlQuery query;
    for (const auto& [strKey, strValue] : QUrlQuery(url).queryItems(QUrl::FullyEncoded))
    {
        const QString strName = QUrl::fromPercentEncoding(strKey.toLatin1());
        if (!IsPasswordKey(strName))
            query.addQueryItem(strKey, strValue);
    }
    url.setQuery(query);
    return url.toString();
}

QString CRecordLocation::SqlitePath(const QString& strLocation)
{
    return strLocation.startsWith(QLatin1String("sqlite:")) ? strLocation.mid(7) : strLocation;
}

QString CRecordLocation::Key(const QString& strLocation)
{
    if (IsPostgres(strLocation))
        return Redacted(strLocation);
    return QStringLiteral("sqlite:") + QFileInfo(SqlitePath(strLocation)).absoluteFilePath();
}
