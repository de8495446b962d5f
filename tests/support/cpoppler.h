#pragma once

#include <QString>
#include <QStringList>

// What poppler's tools (poppler-utils) say of a PDF: its text, its fonts, its pages.
class CPoppler
{
public:
    // The tool's output, or a text that says it failed (and matches nothing a test looks for).
    static QString Run(const QString& strTool, const QStringList& arguments);
    // The text in the order it was drawn: a value wrapped in its column stays together.
    static QString Text(const QString& strPdf)
    {
        return Run(QStringLiteral("pdftotext"), {"-raw", strPdf, "-"});
    }
};
