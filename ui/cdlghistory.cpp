#include "cdlghistory.h"
#include "ccontrolid.h"

#include "cdialogbuilder.h"
#include "cfailuretext.h"
#include "cfingerprint.h"
#include "cmsgbox.h"
#include "crecordkeeper.h"
#include "csettingsdiff.h"
#include "csettingstext.h"
#include "cstringtable.h"
#include "cztappdevice.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <cstring>

namespace
{
constexpr int kChangesColumn = 6; // the last column of the entries

const QString kSizeKey = QStringLiteral("Settings/HistoryWindowSize");

QString Time(const CRecordEntry& entry)
{
    return entry.timeStart.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString Operation(const QString& strOperation)
{
    if (strOperation == QLatin1String("write"))
        return QStringLiteral("запись");
    if (strOperation == QLatin1String("restore"))
        return QStringLiteral("восстановление");
    return QStringLiteral("чтение");
}

QString Result(const CRecordEntry& entry)
{
    static const QHash<QString, QString> kResults = {
        {QStringLiteral("done"), QStringLiteral("выполнено")},
        {QStringLiteral("unverified"), QStringLiteral("записано без сверки")},
        {QStringLiteral("attempted"), QStringLiteral("начато, не завершено")},
        {QStringLiteral("failed"), QStringLiteral("ошибка")},
        {QStringLiteral("refused"), QStringLiteral("отказ")},
        {QStringLiteral("interrupted"), QStringLiteral("прервано")},
    };
    QStringList parts{kResults.value(entry.strResult, entry.strResult)};
    if (entry.verified.value_or(false))
        parts << QStringLiteral("сверено");
    if (entry.bPartial)
        parts << QStringLiteral("частичный образ");
    if (entry.bAmbiguous)
        parts << QStringLiteral("неоднозначен");
    return parts.join(QStringLiteral(", "));
}

QString Changes(const CRecordEntry& entry)
{
    if (!entry.strReason.isEmpty())
        return CFailureText::StepOfKey(entry.strStep) + QStringLiteral(": ") + entry.strReason;
    return entry.strChanges;
}

// The image the unit held before the entry: a read changed nothing, so it is the one read.
const QString& ImageBefore(const CRecordEntry& entry)
{
    return entry.strOperation == QLatin1String("read") ? entry.strImageAfter : entry.strImageBefore;
}

// What the entry did, for the headings: "записи".
QString OfOperation(const CRecordEntry& entry)
{
    return entry.strOperation == QLatin1String("write")     ? QStringLiteral("записи")
           : entry.strOperation == QLatin1String("restore") ? QStringLiteral("восстановления")
                                                            : QStringLiteral("чтения");
}

// The same with its time, for the messages: "записи от 2026-12-09 10:00:00".
QString OfEntry(const CRecordEntry& entry)
{
    return OfOperation(entry) + QStringLiteral(" от ") + Time(entry);
}
// The settings' names as wide as they are; the sides share the rest of the width, and a row is as
// high as its longest value wrapped there (a sensor's name is long).
void FitSides(QTreeWidget* pList)
{
    pList->header()->setStretchLastSection(false);
    pList->resizeColumnToContents(0);
    const int nSides = pList->columnCount() - 1;
    // Room is kept for a vertical scroll bar, which many wrapped rows bring.
    int nRoom = pList->viewport()->width() - pList->columnWidth(0);
    if (!pList->verticalScrollBar()->isVisible())
        nRoom -= pList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, pList);
    const int nWidth = nRoom / std::max(nSides, 1);
    for (int i = 1; i <= nSides; ++i)
        pList->setColumnWidth(i, nWidth);
    const QFontMetrics metrics(pList->font());
    const int nMargin = 2 * (pList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, pList) + 1);
    for (int nRow = 0; nRow < pList->topLevelItemCount(); ++nRow)
    {
        QTreeWidgetItem* pItem = pList->topLevelItem(nRow);
        int nHeight = metrics.height();
        for (int i = 1; i <= nSides; ++i)
            nHeight = std::max(
                nHeight,
                metrics.boundingRect(QRect(0, 0, nWidth - nMargin, 0), Qt::TextWordWrap, pItem->text(i))
                    .height());
        pItem->setSizeHint(0, QSize(pList->columnWidth(0), nHeight + 2));
    }
}
} // namespace

CDlgHistory::CDlgHistory(CRecordKeeper& keeper, const CRecordStore::SQuery& query, RestoreFn pfnRestore,
                         QWidget* pParent)
    : QDialog(pParent), m_keeper(keeper), m_query(query), m_pfnRestore(std::move(pfnRestore))
{
    CDialogBuilder::Build(135, this);
    m_wndUnit = findChild<QLabel*>(CControlId::Name(CControlId::kHistoryUnit));
    m_lstEntries = findChild<QTreeWidget*>(CControlId::Name(CControlId::kHistoryEntries));
    m_lstCompare = findChild<QTreeWidget*>(CControlId::Name(CControlId::kHistoryCompare));
    m_wndNote = findChild<QLabel*>(CControlId::Name(CControlId::kHistoryNote));
    m_lstEntries->setAccessibleName(QStringLiteral("Записи о приборе"));
    m_lstCompare->setAccessibleName(QStringLiteral("Сравнение настроек"));
    m_wndNote->setTextFormat(Qt::PlainText);
    m_strHeading = m_lstCompare->headerItem()->text(0);
    // A sensor's name is long: the sides share the width and wrap rather than scroll away.
    m_lstCompare->setWordWrap(true);
    m_lstCompare->setUniformRowHeights(false);
    // The window grows from the template's size, as it was left last time.
    for (QWidget* pControl : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        m_templateRects.insert(pControl, pControl->geometry());
    setSizeGripEnabled(true);
    resize(QSettings().value(kSizeKey, size()).toSize().expandedTo(minimumSize()));
    auto* pCompare = findChild<QPushButton*>(CControlId::Name(CControlId::kOk));
    auto* pRestore = findChild<QPushButton*>(CControlId::Name(CControlId::kHistoryRestore));
    connect(pCompare, &QPushButton::clicked, this, &CDlgHistory::OnCompare);
    connect(pRestore, &QPushButton::clicked, this, &CDlgHistory::OnRestore);
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kCancel)), &QPushButton::clicked, this,
            &QDialog::reject);
    // Enter reaches «Сравнить», the default button, of itself.
    connect(m_lstEntries, &QTreeWidget::itemDoubleClicked, this, &CDlgHistory::OnCompare);
    connect(m_lstEntries, &QTreeWidget::currentItemChanged, this,
            [this, pCompare, pRestore]
            {
                const CRecordEntry* pEntry = Chosen();
                pCompare->setEnabled(pEntry);
                pRestore->setEnabled(pEntry && !ImageBefore(*pEntry).isEmpty());
                ClearComparison();
            });
}

void CDlgHistory::resizeEvent(QResizeEvent* pEvent)
{
    QDialog::resizeEvent(pEvent);
    // The lists take what the window grew by: all of its width, its height three parts to the
    // entries and two to the comparison; the controls below them move along.
    const int nWider = width() - minimumWidth();
    const int nTaller = height() - minimumHeight();
    const int nEntries = nTaller * 3 / 5;
    const QHash<int, QMargins> grow = {
        {CControlId::kHistoryUnit, {0, 0, nWider, 0}},
        {CControlId::kHistoryEntries, {0, 0, nWider, nEntries}},
        {CControlId::kOk, {0, nEntries, 0, nEntries}},
        {CControlId::kHistoryRestore, {0, nEntries, 0, nEntries}},
        {CControlId::kHistoryCompare, {0, nEntries, nWider, nTaller}},
        {CControlId::kHistoryNote, {0, nTaller, nWider, nTaller}},
        {CControlId::kCancel, {nWider, nTaller, nWider, nTaller}},
    };
    for (auto it = m_templateRects.cbegin(); it != m_templateRects.cend(); ++it)
    {
        const QMargins move = grow.value(it.key()->objectName().toInt());
        it.key()->setGeometry(it.value().adjusted(move.left(), move.top(), move.right(), move.bottom()));
    }
    if (m_lstCompare->columnCount() > 1)
        FitSides(m_lstCompare);
}

void CDlgHistory::done(int nResult)
{
    QSettings().setValue(kSizeKey, size());
    QDialog::done(nResult);
}

void CDlgHistory::ClearComparison()
{
    m_lstCompare->clear();
    m_lstCompare->setColumnCount(1);
    m_lstCompare->setHeaderLabels({m_strHeading});
    m_wndNote->setText(m_strListNote);
}

void CDlgHistory::Fill()
{
    m_lstEntries->clear();
    QString strNote, strError;
    const QString strUnit = m_query.bDemo
                                ? QStringLiteral("Демонстрационный образ")
                                : QStringLiteral("Прибор ") + CFingerprint::Short(m_query.strFingerprint);
    m_entries.clear();
    if (m_query.strFingerprint.isEmpty() && !m_query.bDemo)
        m_wndUnit->setText(
            QStringLiteral("Прибор не определён (блок прибора стёрт): записи о нём не найти."));
    else if (!m_keeper.UnitEntries(m_query, m_entries, strNote, strError))
        m_wndUnit->setText(QStringLiteral("Записи не открываются: ") + strError);
    else
        m_wndUnit->setText(
            QStringLiteral("%1: записи, новые сверху (%2)").arg(strUnit).arg(m_entries.size()));
    m_strListNote = strNote;
    ClearComparison();
    for (const CRecordEntry& entry : std::as_const(m_entries))
    {
        const QString strPort = entry.bDemo ? QStringLiteral("демонстрация") : entry.strPort;
        auto* pItem =
            new QTreeWidgetItem(m_lstEntries, {Time(entry), entry.strStation, entry.strOperator, strPort,
                                               Operation(entry.strOperation), Result(entry), Changes(entry)});
        const QString strTip =
            QStringLiteral("%1\nОператор: %2\nПорт: %3").arg(entry.strId, entry.strOperator, strPort);
        // A change is elided in its column: its tooltip holds it whole.
        for (int i = 0; i < pItem->columnCount(); ++i)
            pItem->setToolTip(i, i == kChangesColumn && !Changes(entry).isEmpty() ? Changes(entry) : strTip);
    }
    for (int i = 0; i < kChangesColumn; ++i)
        m_lstEntries->resizeColumnToContents(i);
    if (m_lstEntries->topLevelItemCount() > 0)
        m_lstEntries->setCurrentItem(m_lstEntries->topLevelItem(0));
    else
        emit m_lstEntries->currentItemChanged(nullptr, nullptr);
    m_lstEntries->setFocus();
}

const CRecordEntry* CDlgHistory::Chosen() const
{
    const int nRow = m_lstEntries->indexOfTopLevelItem(m_lstEntries->currentItem());
    return nRow >= 0 && nRow < m_entries.size() ? &m_entries[nRow] : nullptr;
}

bool CDlgHistory::RecordImage(const QString& strHash, CParamZT01& image)
{
    QByteArray bytes;
    QString strError;
    if (m_keeper.Image(strHash, bytes, strError) && bytes.size() == CParamZT01::kImageSize)
    {
        std::memcpy(image.Image(), bytes.constData(), CParamZT01::kImageSize);
        return true;
    }
    // A damaged image is said as such: it is never written into the unit.
    CMsgBox::Show(this, QStringLiteral("Образ не взят из записей:\n") + strError, CStringTable::Load(107),
                  EMsgIcon::Stop);
    return false;
}

bool CDlgHistory::Sides(const CRecordEntry& entry, QStringList& headings, QList<CParamZT01>& images)
{
    const bool bRead = entry.strOperation == QLatin1String("read");
    const QList<QPair<QString, QString>> hashes = {
        {QStringLiteral("До ") + OfOperation(entry), bRead ? QString() : entry.strImageBefore},
        {bRead ? QStringLiteral("При чтении") : QStringLiteral("После ") + OfOperation(entry),
         entry.strImageAfter}};
    for (const auto& [strHeading, strHash] : hashes)
    {
        if (strHash.isEmpty())
            continue;
        CParamZT01 image;
        if (!RecordImage(strHash, image))
            return false;
        headings << strHeading;
        images << image;
    }
    CParamZT01 held;
    ZTApp().HeldImage(held);
    headings << QStringLiteral("Прочитано из прибора");
    images << held;
    return true;
}

void CDlgHistory::OnCompare()
{
    const CRecordEntry* pEntry = Chosen();
    QStringList headings{m_strHeading};
    QList<CParamZT01> images;
    if (!pEntry || !Sides(*pEntry, headings, images))
        return;
    const CZTAppDevice& app = ZTApp();
    QList<QStringList> lines;
    for (const CParamZT01& image : std::as_const(images))
        lines << CSettingsText::Lines(app, image, CSettingsText::Object(app, image));
    m_lstCompare->clear();
    m_lstCompare->setHeaderLabels(headings);
    // The settings in which the images differ, as zint9 diff lists them.
    for (qsizetype i = 0; i < lines.first().size(); ++i)
    {
        const QString strName = lines.first()[i].section(QStringLiteral(": "), 0, 0);
        QStringList row{strName};
        for (const QStringList& side : std::as_const(lines))
            row << side.value(i).section(QStringLiteral(": "), 1);
        if (row.mid(1).count(row[1]) != row.size() - 1)
            new QTreeWidgetItem(m_lstCompare, row);
    }
    FitSides(m_lstCompare);
    const CSettingsDiff diff(app, images[images.size() - 2], images.last());
    m_wndNote->setText(
        m_lstCompare->topLevelItemCount() == 0 && diff.IsEqual()
            ? QStringLiteral("Образы совпадают.")
            : QStringLiteral(
                  "Прочие байты, которыми «%1» отличается от прибора: блок прибора %2, блок датчика %3, "
                  "остальные %4.")
                  .arg(headings[headings.size() - 2])
                  .arg(diff.m_nDevice)
                  .arg(diff.m_nSensor)
                  .arg(diff.m_nRest));
}

void CDlgHistory::OnRestore()
{
    const CRecordEntry* pEntry = Chosen();
    if (!pEntry)
        return;
    const bool bRead = pEntry->strOperation == QLatin1String("read");
    CParamZT01 image;
    if (!RecordImage(ImageBefore(*pEntry), image))
        return;
    const QString strWhat =
        (bRead ? QStringLiteral("образ, прочитанный при ") : QStringLiteral("образ до ")) + OfEntry(*pEntry);
    const QString strText =
        QStringLiteral(
            "Вернуть прибору %1?\n\nНастройки и калибровка ЦАП будут взяты из этого образа, блок "
            "прибора (заводская калибровка) останется прежним. Записанное будет сверено с прибором.")
            .arg(strWhat);
    if (CMsgBox::Ask(this, strText, windowTitle(),
                     {QStringLiteral("Восстановить"), QStringLiteral("Отмена")}) != 0)
        return;
    if (m_pfnRestore)
        m_pfnRestore(image, strWhat);
    Fill(); // the restore is an entry of its own, done or not
}

void CDlgHistory::ShowForUnit(CRecordKeeper& keeper, const QString& strStation, RestoreFn pfnRestore,
                              QWidget* pOwner)
{
    CRecordStore::SQuery query;
    query.bDemo = ZTApp().m_Port.m_bDemo;
    if (query.bDemo)
        query.strStation = strStation;
    else
        query.strFingerprint = CFingerprint::Of(ZTApp().m_ParamDevice);
    CDlgHistory dlg(keeper, query, std::move(pfnRestore), pOwner);
    dlg.Fill();
    CMsgBox::Exec(dlg);
}
