#pragma once

#include "coutputcharacteristic.h"

#include <QWidget>

// The output characteristic in a window, drawn by CCharacteristicPainter as the protocol draws it.
class CCharacteristicView : public QWidget
{
    Q_OBJECT

public:
    explicit CCharacteristicView(QWidget* pParent = nullptr);
    void SetCharacteristic(const COutputCharacteristic& line);
    const COutputCharacteristic& Characteristic() const { return m_line; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    COutputCharacteristic m_line;
};
