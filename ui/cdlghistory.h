#pragma once

#include "crecordentry.h"
#include "crecordstore.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QRect>
#include <QString>

#include <functional>

class CParamZT01;
class CRecordKeeper;
class QLabel;
class QTreeWidget;

// The connected unit's history: the record's entries for its fingerprint, newest first; the
// chosen entry's images compared with the unit's as last read, and the image the unit held
// before the entry put back through the frame's write session.
class CDlgHistory : public QDialog
{
    Q_OBJECT

public:
    // Writes an image back as a restore, verified and recorded; true once it is in the unit.
    // strWhat names the image for the messages ("образ до записи от …").
    using RestoreFn = std::function<bool(const CParamZT01& image, const QString& strWhat)>;

    // query names the unit: its fingerprint, or in demonstration mode this station's
    // demonstration entries.
    CDlgHistory(CRecordKeeper& keeper, const CRecordStore::SQuery& query, RestoreFn pfnRestore,
                QWidget* pParent = nullptr);

    // Reads the unit's entries again and lists them, the newest chosen.
    void Fill();
    // Shown for the unit in hand: by the device block read at connect; in demonstration mode,
    // the demonstration image's at this station.
    static void ShowForUnit(CRecordKeeper& keeper, const QString& strStation, RestoreFn pfnRestore,
                            QWidget* pOwner);
    void OnCompare();
    void OnRestore();

    QLabel* m_wndUnit = nullptr;
    QTreeWidget* m_lstEntries = nullptr;
    QTreeWidget* m_lstCompare = nullptr;
    QLabel* m_wndNote = nullptr;
    QList<CRecordEntry> m_entries;

protected:
    void resizeEvent(QResizeEvent* pEvent) override;
    // Remembers the window's size for the next time.
    void done(int nResult) override;

private:
    // The chosen entry, or null.
    const CRecordEntry* Chosen() const;
    // No comparison shown: its sides and its note go with the entry they were of.
    void ClearComparison();
    // An image of the record; false after saying why.
    bool RecordImage(const QString& strHash, CParamZT01& image);
    // The images of an entry to compare, each with its column heading.
    bool Sides(const CRecordEntry& entry, QStringList& headings, QList<CParamZT01>& images);

    CRecordKeeper& m_keeper;
    CRecordStore::SQuery m_query;
    RestoreFn m_pfnRestore;
    QString m_strHeading;                   // the comparison's first heading, the settings' names
    QString m_strListNote;                  // what the record said of the list (a plant not reached)
    QHash<QWidget*, QRect> m_templateRects; // where the template puts each control
};
