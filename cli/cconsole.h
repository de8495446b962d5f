#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>

class CFailure;

// Where the command line speaks: results on the output stream, messages on the error stream
// (or, in a batch worker, to the sink that carries them to the parent).
class CConsole
{
public:
    CConsole(std::FILE* pOut, std::FILE* pErr) : m_pOut(pOut), m_pErr(pErr) {}

    void Out(const QString& strText);
    // A piece of the output (UTF-8) as it is, no line break added, left to the stream's buffer so
    // that a long output goes out as it is made; false once the output has failed.
    bool Write(const QByteArray& text);
    void Err(const QString& strText);
    // A message of the program's own, "zint9: " first; returns nExit.
    int Error(int nExit, const QString& strText);
    // The «Причина: …» line of a failure: its step, block and reason.
    void Reason(const CFailure& failure);
    // Takes every line meant for the error stream instead of it.
    void SetErrorSink(std::function<void(const QString&)> pfnSink) { m_pfnErrorSink = std::move(pfnSink); }
    // The exit status once everything is out: a failure when the output could not be written
    // whole (a full disk, a closed pipe), said on the error stream.
    int Checked(int nExit);
    // Text for a terminal: control characters (which could forge a line, move the cursor or set
    // a window's title) escaped as \n, \r, \t, \e or \xHH; the rest as it is.
    static QString Printable(const QString& strText);
    // Rows in columns as wide as their widest cell, two spaces apart.
    static QString Columns(const QList<QStringList>& rows);
    std::FILE* OutStream() const { return m_pOut; }
    std::FILE* ErrStream() const { return m_pErr; }

private:
    std::FILE* m_pOut;
    std::FILE* m_pErr;
    std::function<void(const QString&)> m_pfnErrorSink;
    bool m_bOutFailed = false;
};
