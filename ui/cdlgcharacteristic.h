#pragma once

#include "coutputcharacteristic.h"

#include <QDialog>

class CCharacteristicView;
class CPage2;
class QLabel;

// «Характеристика»: the output characteristic of the settings as the parameters page holds them,
// before any write. It follows the page's fields as they are typed; Esc closes it.
class CDlgCharacteristic : public QDialog
{
    Q_OBJECT

public:
    CDlgCharacteristic(CPage2& page, QWidget* pParent);
    // Opened beside the frame, one at a time.
    static CDlgCharacteristic* Open(CPage2& page, QWidget* pParent);
    // The page's values as they stand, drawn; a field that holds no number is drawn as it
    // was last stored.
    void Follow();
    const COutputCharacteristic& Characteristic() const { return m_line; }

private:
    CPage2& m_page;
    CCharacteristicView* m_pView = nullptr;
    QLabel* m_pNote = nullptr;
    COutputCharacteristic m_line;
};
