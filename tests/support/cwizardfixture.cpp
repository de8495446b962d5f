#include "cwizardfixture.h"

#include "cpage1.h"

#include <QDialog>
#include <QTimer>

CWizardFixture::CWizardFixture(const QStringList& extraPorts, const QString& strRemembered)
{
    m_app.m_Hooks = {};
    // Each test keeps a record of its own: a unit's history is that test's alone.
    m_savedRecord = qgetenv("ZINT9_RECORD");
    qputenv("ZINT9_RECORD", m_folder.FilePath("record.sqlite").toLocal8Bit());
    m_ports = extraPorts;
    m_ports << m_sim.SlavePath();
    CPage1::s_pfnEnumPorts = [this](QList<CSerialPort::SPortInfo>& list)
    {
        list = m_portDetails;
        for (const QString& strName : m_ports)
            list.append({strName, {}, {}, {}, {}});
        return true;
    };
    QSettings().remove("Settings/HistoryWindowSize"); // windows open at the template's size
    QSettings().setValue("Settings/ConnectionPort",
                         strRemembered.isNull() ? m_sim.SlavePath() : strRemembered);
    CMsgBox::SetMessageScript([this](const CMsgBox::SRecord& record) { m_shown.append(record); });
    CMsgBox::SetDialogScript([this](QDialog& dialog) { return m_pfnDialog ? m_pfnDialog(dialog) : 0; });
    CMsgBox::SetQuestionScript(
        [this](const CMsgBox::SRecord& record)
        {
            m_shown.append(record);
            return m_nAnswer >= 0 ? m_nAnswer : int(record.buttons.size()) - 1;
        });
    m_pDlg = std::make_unique<CZTDlg>();
    m_pDlg->m_Page1.m_pPortTimer->setInterval(50); // ports that come and go are seen at once
    m_pDlg->show();
}

CWizardFixture::~CWizardFixture()
{
    m_pDlg.reset();
    if (m_savedRecord.isNull())
        qunsetenv("ZINT9_RECORD");
    else
        qputenv("ZINT9_RECORD", m_savedRecord);
    CMsgBox::SetMessageScript({});
    CMsgBox::SetDialogScript({});
    CMsgBox::SetQuestionScript({});
    CPage1::s_pfnEnumPorts = &CSerialPort::EnumPortDetails;
}

QPushButton* CWizardFixture::Button(int nId) const
{
    return m_pDlg->findChild<QPushButton*>(QString::number(nId));
}

QStringList CWizardFixture::Texts() const
{
    QStringList texts;
    for (const CMsgBox::SRecord& record : m_shown)
        texts << record.strText;
    return texts;
}
