#pragma once

#include <QFont>
#include <QRectF>
#include <QString>

class CProtocol;
class CZTAppConfig;
class QPainter;

// «Протокол настройки» on one A4 page: the unit, who made it where and when, every setting the
// unit holds, what the write changed, the output characteristic and a line for a signature. The
// same page goes to a PDF file, a printer and the wizard's preview.
class CProtocolPage
{
public:
    static constexpr qreal kWidthMm = 210;
    static constexpr qreal kHeightMm = 297;

    // The page's typeface at a size: one that holds Cyrillic, so that a PDF embeds its letters.
    static QFont Font(qreal fPoints, bool bBold = false);
    // Paints onto a device of dpi dots an inch whose sheet is page (in its pixels).
    static void Paint(QPainter& painter, const QRectF& page, qreal fDpi, const CProtocol& protocol,
                      const CZTAppConfig& app);
    // A one-page PDF at strPath, written all or nothing and never into a FIFO or a device.
    static bool WritePdf(const QString& strPath, const CProtocol& protocol, const CZTAppConfig& app,
                         QString& strError);
};
