#pragma once

#include "cprotocol.h"

#include <QWidget>

class CZTAppConfig;

// The protocol's page as it will print, fitted into the widget.
class CProtocolView : public QWidget
{
    Q_OBJECT

public:
    explicit CProtocolView(QWidget* pParent = nullptr);
    void SetProtocol(const CProtocol& protocol, const CZTAppConfig& app);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    void Render();

    const CZTAppConfig* m_pApp = nullptr;
    CProtocol m_protocol;
    QImage m_page; // drawn for the widget's size and the screen's pixel ratio
};
