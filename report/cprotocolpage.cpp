#include "cprotocolpage.h"

#include "ccharacteristicpainter.h"
#include "cimagefile.h"
#include "coutputcharacteristic.h"
#include "cprotocol.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace
{
constexpr qreal kMarginMm = 18;
constexpr qreal kSignatureMm = 24; // from the sheet's foot: the signature lines and the footer
constexpr qreal kChartMinMm = 45, kChartMaxMm = 72;
constexpr qsizetype kValueMax = 200;

// One pass over the sheet: measuring only, or drawing too. fScale shrinks every font, for a
// protocol too long for its page at full size.
struct SSheet
{
    QPainter& painter;
    QRectF page;
    qreal fPxMm;
    qreal fScale;
    bool bDraw;
    qreal fY = 0;

    qreal Mm(qreal fMm) const { return fMm * fPxMm; }
    qreal Left() const { return page.left() + Mm(kMarginMm); }
    qreal Width() const { return page.width() - 2 * Mm(kMarginMm); }
    QFont Font(qreal fPoints, bool bBold = false) const
    {
        return CProtocolPage::Font(fPoints * fScale, bBold);
    }
    // Text wrapped into a column; its height.
    qreal Text(qreal fX, qreal fY0, qreal fWidth, const QString& strText, const QFont& font,
               int nFlags = Qt::AlignLeft | Qt::TextWordWrap) const
    {
        const QFontMetricsF metrics(font, painter.device());
        // A word too long for its column (a fingerprint, a path) breaks anywhere rather than
        // running off the page; other text breaks between words.
        for (const QString& strWord : strText.split(QLatin1Char(' ')))
            if (metrics.horizontalAdvance(strWord) > fWidth)
                nFlags = (nFlags & ~Qt::TextWordWrap) | Qt::TextWrapAnywhere;
        const QRectF box(fX, fY0, fWidth, 10000);
        const QRectF used = metrics.boundingRect(box, nFlags, strText);
        if (bDraw)
        {
            painter.setFont(font);
            painter.drawText(box, nFlags, strText);
        }
        return used.height();
    }
    void Rule(qreal fX, qreal fWidth, qreal fAt, qreal fThickMm = 0.2) const
    {
        if (bDraw)
            painter.fillRect(QRectF(fX, fAt, fWidth, Mm(fThickMm)), QColor(0x80, 0x80, 0x80));
    }
    void Heading(qreal fX, qreal fWidth, const QString& strText)
    {
        fY += Mm(3.5);
        fY += Text(fX, fY, fWidth, strText, Font(10.5, true));
        Rule(fX, fWidth, fY + Mm(0.3));
        fY += Mm(1.5);
    }
    // Name and value a row, the names in a column of fNameWidth.
    void Rows(qreal fX, qreal fWidth, qreal fNameWidth, const QList<CProtocol::SRow>& rows)
    {
        for (const CProtocol::SRow& row : rows)
        {
            // A value of no reasonable length (a station's name of pages) is shortened in its
            // middle, where a path keeps its ends.
            QString strValue = row.strValue;
            if (strValue.size() > kValueMax)
                strValue = strValue.left(kValueMax / 2) + QStringLiteral("…") + strValue.right(kValueMax / 2);
            const qreal fName = Text(fX, fY, fNameWidth - Mm(2), row.strName, Font(8.5));
            const qreal fValue = Text(fX + fNameWidth, fY, fWidth - fNameWidth, strValue, Font(9));
            fY += qMax(fName, fValue) + Mm(0.8);
        }
    }
};

void PaintTitle(SSheet& sheet, const CProtocol& protocol)
{
    const qreal fX = sheet.Left(), fWidth = sheet.Width();
    sheet.fY = sheet.page.top() + sheet.Mm(kMarginMm - 4);
    sheet.Text(fX, sheet.fY + sheet.Mm(1.5), fWidth, QStringLiteral("Конфигуратор ЗИНТ-9 " ZINT9_VERSION),
               sheet.Font(8), Qt::AlignRight);
    sheet.fY += sheet.Text(fX, sheet.fY, fWidth, QStringLiteral("Протокол настройки"), sheet.Font(16, true));
    sheet.fY +=
        sheet.Text(fX, sheet.fY, fWidth,
                   QStringLiteral("нормирующего преобразователя температуры ЗИНТ-9") +
                       (protocol.entry.bDemo ? QStringLiteral(" — демонстрация, без прибора") : QString()),
                   sheet.Font(10));
    sheet.Rule(fX, fWidth, sheet.fY + sheet.Mm(1), 0.4);
    sheet.fY += sheet.Mm(1.5);
}

void PaintFacts(SSheet& sheet, const CProtocol& protocol, const CZTAppConfig& app)
{
    const qreal fX = sheet.Left(), fWidth = sheet.Width(), fGap = sheet.Mm(6);
    const qreal fHalf = (fWidth - fGap) / 2, fTop = sheet.fY;
    sheet.Heading(fX, fHalf, QStringLiteral("Прибор"));
    sheet.Rows(fX, fHalf, sheet.Mm(33), protocol.Unit());
    const qreal fLeftEnd = sheet.fY;
    sheet.fY = fTop;
    sheet.Heading(fX + fHalf + fGap, fHalf, QStringLiteral("Кто, где и когда"));
    sheet.Rows(fX + fHalf + fGap, fHalf, sheet.Mm(33), protocol.Work());
    sheet.fY = qMax(sheet.fY, fLeftEnd);
    sheet.Heading(fX, fWidth,
                  protocol.IsWrite() ? QStringLiteral("Настройки прибора после записи")
                                     : QStringLiteral("Настройки прибора, как они прочитаны"));
    sheet.Rows(fX, fWidth, sheet.Mm(62), protocol.Settings(app));
}

void PaintChanges(SSheet& sheet, const CProtocol& protocol, const CZTAppConfig& app)
{
    if (!protocol.IsWrite())
        return;
    const qreal fX = sheet.Left(), fWidth = sheet.Width();
    sheet.Heading(fX, fWidth, QStringLiteral("Что изменила эта запись"));
    const QList<CProtocol::SChange> changes = protocol.Changes(app);
    if (changes.isEmpty())
    {
        sheet.fY += sheet.Text(fX, sheet.fY, fWidth,
                               protocol.before ? QStringLiteral("Настройки не изменились: записаны те же.")
                                               : QStringLiteral("Образ до записи в записях не сохранён."),
                               sheet.Font(9));
        return;
    }
    QList<CProtocol::SRow> rows;
    for (const CProtocol::SChange& change : changes)
        rows << CProtocol::SRow{change.strName, change.strBefore + QStringLiteral("  →  ") + change.strAfter};
    sheet.Rows(fX, fWidth, sheet.Mm(62), rows);
}

// The characteristic in what is left above the signature, within its bounds; false where even
// the smallest does not fit.
bool PaintChart(SSheet& sheet, const CProtocol& protocol, const CZTAppConfig& app)
{
    const qreal fX = sheet.Left(), fWidth = sheet.Width();
    sheet.Heading(fX, fWidth, QStringLiteral("Характеристика выхода"));
    const qreal fBottom = sheet.page.bottom() - sheet.Mm(kMarginMm + kSignatureMm);
    const qreal fHeight = qMin(fBottom - sheet.fY, sheet.Mm(kChartMaxMm));
    if (fHeight < sheet.Mm(kChartMinMm))
        return false;
    if (sheet.bDraw)
    {
        sheet.painter.setFont(sheet.Font(8));
        sheet.painter.setPen(Qt::black);
        CCharacteristicPainter::Paint(sheet.painter, QRectF(fX, sheet.fY, fWidth, fHeight),
                                      COutputCharacteristic::Of(app, protocol.held));
    }
    sheet.fY += fHeight;
    return true;
}

void PaintSignature(SSheet& sheet, const CProtocol& protocol)
{
    const qreal fX = sheet.Left(), fWidth = sheet.Width();
    qreal fY = sheet.page.bottom() - sheet.Mm(kMarginMm + kSignatureMm - 8);
    const qreal fSign = sheet.Mm(55), fName = sheet.Mm(55);
    const qreal fLabel = fWidth - fSign - fName - sheet.Mm(8);
    sheet.Text(fX, fY, fLabel, QStringLiteral("Настройку выполнил:"), sheet.Font(9.5));
    const qreal fLine = fY + sheet.Mm(4.5);
    sheet.Rule(fX + fLabel, fSign, fLine);
    sheet.Rule(fX + fLabel + fSign + sheet.Mm(8), fName, fLine);
    sheet.Text(fX + fLabel, fLine + sheet.Mm(0.5), fSign, QStringLiteral("подпись"), sheet.Font(7),
               Qt::AlignHCenter);
    sheet.Text(fX + fLabel + fSign + sheet.Mm(8), fLine + sheet.Mm(0.5), fName,
               QStringLiteral("фамилия, инициалы"), sheet.Font(7), Qt::AlignHCenter);
    fY = sheet.page.bottom() - sheet.Mm(kMarginMm - 4);
    sheet.Rule(fX, fWidth, fY - sheet.Mm(1));
    sheet.Text(fX, fY, fWidth, QStringLiteral("Запись в журнале %1").arg(protocol.entry.strId),
               sheet.Font(7));
}
} // namespace

QFont CProtocolPage::Font(qreal fPoints, bool bBold)
{
    // DejaVu Sans is a dependency of the package; where it is missing, the nearest sans serif.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(fPoints);
    font.setBold(bBold);
    // Without ligatures: an id or a hash ("…22ff") reads and copies as its letters.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

void CProtocolPage::Paint(QPainter& painter, const QRectF& page, qreal fDpi, const CProtocol& protocol,
                          const CZTAppConfig& app)
{
    painter.save();
    painter.fillRect(page, Qt::white);
    painter.setPen(Qt::black);
    qreal fScale = 1;
    for (const qreal fTried : {1.0, 0.9, 0.8, 0.7})
    {
        fScale = fTried;
        SSheet trial{painter, page, fDpi / 25.4, fScale, false};
        PaintTitle(trial, protocol);
        PaintFacts(trial, protocol, app);
        PaintChanges(trial, protocol, app);
        if (PaintChart(trial, protocol, app))
            break;
    }
    SSheet sheet{painter, page, fDpi / 25.4, fScale, true};
    PaintTitle(sheet, protocol);
    PaintFacts(sheet, protocol, app);
    PaintChanges(sheet, protocol, app);
    PaintChart(sheet, protocol, app);
    PaintSignature(sheet, protocol);
    painter.restore();
}

bool CProtocolPage::WritePdf(const QString& strPath, const CProtocol& protocol, const CZTAppConfig& app,
                             QString& strError)
{
    CImageFile target;
    if (!target.CheckRegular(strPath))
    {
        strError = target.m_strLastError;
        return false;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        constexpr int kDpi = 300;
        writer.setResolution(kDpi);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(QStringLiteral("Протокол настройки ЗИНТ-9"));
        writer.setCreator(QStringLiteral("Конфигуратор ЗИНТ-9 " ZINT9_VERSION));
        QPainter painter;
        if (!painter.begin(&writer))
        {
            strError = QStringLiteral("PDF не создаётся");
            return false;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        Paint(painter, QRectF(0, 0, writer.width(), writer.height()), kDpi, protocol, app);
        painter.end();
    }
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(buffer.data()) != buffer.data().size() ||
        !file.commit())
    {
        strError = file.errorString();
        return false;
    }
    return true;
}
