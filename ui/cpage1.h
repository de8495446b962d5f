#pragma once

#include "cfailure.h"
#include "cserialport.h"

#include <QDialog>
#include <QPixmap>
#include <QStringList>

#include <functional>

class QComboBox;
class QTimer;

// The port page: the machine's serial ports, the remembered choice and the connect sequence.
class CWriteJournal;

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
    // Follows ports that appeared or went away, keeping the selection while its port is listed.
    void RefreshPortList();
    // Opens the port and reads the versions and the image; shows its own failure messages.
    bool Connect();
    // Says why a connect failed: the port, the versions or the image; strMore adds to the details.
    static void ShowConnectFailure(QWidget* pOwner, const CFailure& failure,
                                   const QString& strMore = QString());

    QPixmap m_bmpPicture;
    QComboBox* m_cbPort = nullptr;
    QString m_strPort;
    CWriteJournal* m_pJournal = nullptr; // the record of the connects, where one is kept
    // A port the system does not list (a pseudo-terminal, a network adapter), given at start-up:
    // always listed, and chosen at initialisation.
    QString m_strGivenPort;
    QTimer* m_pPortTimer = nullptr; // polls the port list while the page shows
    int m_nPortWidth = 0;           // the port list's width in the template

    // Lists the machine's ports; tests give their own list.
    static std::function<bool(QList<CSerialPort::SPortInfo>&)> s_pfnEnumPorts;
    static QString PortToolTip(const CSerialPort::SPortInfo& info);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void reject() override;
    // Right-clicks go on to the frame, whose menu holds the about entry.
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    QList<CSerialPort::SPortInfo> ListPorts() const;
    // Fills the list with ports (sorted) and selects strSelect where listed, else entry 0.
    void SetPorts(const QList<CSerialPort::SPortInfo>& ports, const QString& strSelect);
};
