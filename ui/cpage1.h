#pragma once

#include <QDialog>
#include <QPixmap>
#include <QStringList>

#include <functional>

class QComboBox;

// The port page: the machine's serial ports, the remembered choice and the connect sequence.
class CPage1 : public QDialog
{
    Q_OBJECT

public:
    explicit CPage1(QWidget* pParent = nullptr);

    // Takes the selected port into m_strPort (bSave) ; cannot fail.
    bool DoDataExchange(bool bSave);
    void OnInitDialog();
    // Closes the serial port and refills the list, selecting m_strPort where it is listed.
    void FillPortList();
    // Opens the port and reads the versions and the image; shows its own failure messages.
    bool Connect();

    QPixmap m_bmpPicture;
    QComboBox* m_cbPort = nullptr;
    QString m_strPort;

    // Lists the machine's ports; tests give their own list.
    static std::function<bool(QStringList&)> s_pfnEnumPorts;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void reject() override;
    // Right-clicks go on to the frame, whose menu holds the about entry.
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
};
