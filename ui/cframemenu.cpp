#include "cframemenu.h"

#include "cconfigfiles.h"
#include "cdlgcharacteristic.h"
#include "cdlgprotocol.h"
#include "crecordjournal.h"
#include "cstringtable.h"

#include <QMenu>

QMenu* CFrameMenu::Create(const SFrame& frame)
{
    QWidget* pOwner = &frame.owner;
    CPage2* pPage = &frame.page;
    CRecordKeeper* pKeeper = &frame.keeper;
    CRecordJournal* pJournal = &frame.journal;
    auto* pMenu = new QMenu(pOwner);
    // A unit's history while one is in hand: the parameters page shows.
    QAction* pHistory = pMenu->addAction(QStringLiteral("&История прибора..."), pOwner, frame.pfnHistory);
    QAction* pSave = pMenu->addAction(QStringLiteral("&Сохранить настройки в файл..."), pOwner,
                                      [=] { CConfigFiles(*pOwner, *pPage, pJournal).Save(); });
    QAction* pLoad = pMenu->addAction(QStringLiteral("&Загрузить настройки из файла..."), pOwner,
                                      [=] { CConfigFiles(*pOwner, *pPage, pJournal).Load(); });
    QAction* pChart = pMenu->addAction(QStringLiteral("&Характеристика..."), pOwner,
                                       [=] { CDlgCharacteristic::Open(*pPage, pOwner); });
    QAction* pProtocol = pMenu->addAction(QStringLiteral("&Протокол настройки..."), pOwner,
                                          [=] { CDlgProtocol::ShowForUnit(*pKeeper, *pJournal, pOwner); });
    for (QAction* pAction : {pHistory, pSave, pLoad, pChart})
        pAction->setEnabled(frame.bParameters);
    // Back on the first page after a write, the unit just written is still the one in hand.
    pProtocol->setEnabled(frame.bParameters || !pJournal->Last().strId.isEmpty());
    if (const QString strAbout = CStringTable::Load(101); !strAbout.isEmpty())
    {
        pMenu->addSeparator();
        pMenu->addAction(strAbout, pOwner, frame.pfnAbout);
    }
    return pMenu;
}
