#include "cdialogbuilder.h"

#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTreeWidget>
#include <QWidget>
#include <QtMath>

namespace
{
const QJsonObject& Templates()
{
    static const QJsonObject kTemplates = []
    {
        QFile file(QStringLiteral(":/zint9/dialogs.json"));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }();
    return kTemplates;
}

QRect RectOf(const QJsonValue& value)
{
    const QJsonArray rc = value.toArray();
    return QRect(rc.at(0).toInt(), rc.at(1).toInt(), rc.at(2).toInt(), rc.at(3).toInt());
}

QStringList StringsOf(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& item : value.toArray())
        list.append(item.toString());
    return list;
}

// Base units of the template font as Windows computes them: the average width of the alphabet
// and the character cell's height in whole pixels, which the rasteriser rounds up (6 x 13 for
// the 8-point font at 96 dpi). They are logical pixels, so they scale with the screen.
QSize BaseUnits()
{
    static const QSize kUnits = []
    {
        const QFont font = CDialogBuilder::TemplateFont();
        const int nAlphabet = QFontMetrics(font).horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        const QFontMetricsF metrics(font);
        return QSize((nAlphabet / 26 + 1) / 2, qCeil(metrics.ascent() + metrics.descent()));
    }();
    return kUnits;
}

bool IsCaption(const CDialogBuilder::SControl& control)
{
    return control.strKind == QLatin1String("static") && !control.strText.isEmpty();
}

// The caption of a field is the first text of its row to the left of it; -1 for none.
qsizetype CaptionOf(const CDialogBuilder::SControl& field, const QList<CDialogBuilder::SControl>& controls)
{
    qsizetype nCaption = -1;
    for (qsizetype i = 0; i < controls.size(); ++i)
    {
        const QRect& rc = controls[i].rcDlu;
        const bool bSameRow = rc.top() <= field.rcDlu.bottom() && rc.bottom() >= field.rcDlu.top();
        if (IsCaption(controls[i]) && bSameRow && rc.right() < field.rcDlu.left() &&
            (nCaption < 0 || rc.left() < controls[nCaption].rcDlu.left()))
            nCaption = i;
    }
    return nCaption;
}

// A list of rows with the given column headings, chosen a row at a time.
QWidget* CreateList(const CDialogBuilder::SControl& control, QWidget* pParent)
{
    auto* pList = new QTreeWidget(pParent);
    pList->setHeaderLabels(control.items);
    pList->setRootIsDecorated(false);
    pList->setUniformRowHeights(true);
    pList->setAllColumnsShowFocus(true);
    pList->setSelectionMode(QAbstractItemView::SingleSelection);
    return pList;
}

QWidget* CreateStandard(const CDialogBuilder::SControl& control, QWidget* pParent)
{
    const QString& strKind = control.strKind;
    if (strKind == QLatin1String("button"))
    {
        // The focused button answers Enter; elsewhere Enter presses the default button.
        auto* pButton = new QPushButton(control.strText, pParent);
        pButton->setAutoDefault(true);
        pButton->setDefault(control.styles.contains(QLatin1String("default")));
        return pButton;
    }
    if (strKind == QLatin1String("edit"))
    {
        auto* pEdit = new QLineEdit(control.strText, pParent);
        pEdit->setReadOnly(control.styles.contains(QLatin1String("readonly")));
        return pEdit;
    }
    if (strKind == QLatin1String("combo"))
    {
        auto* pCombo = new QComboBox(pParent);
        pCombo->addItems(control.items);
        return pCombo;
    }
    if (strKind == QLatin1String("list"))
        return CreateList(control, pParent);
    if (strKind == QLatin1String("progress"))
    {
        auto* pBar = new QProgressBar(pParent);
        pBar->setTextVisible(false);
        return pBar;
    }
    if (strKind == QLatin1String("hline") || strKind == QLatin1String("frame"))
    {
        auto* pFrame = new QFrame(pParent);
        pFrame->setFrameStyle((strKind == QLatin1String("hline") ? QFrame::HLine : QFrame::Box) |
                              QFrame::Sunken);
        return pFrame;
    }
    auto* pLabel = new QLabel(pParent);
    if (strKind == QLatin1String("bitmap") || strKind == QLatin1String("icon"))
    {
        // A bitmap shows at its own size; a static icon at the system's icon size.
        const QSize size = strKind == QLatin1String("icon") ? QSize(32, 32) : QSize();
        pLabel->setPixmap(CDialogBuilder::Picture(control.strImage, size));
        pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        pLabel->setAccessibleDescription(CDialogBuilder::PictureDescription(control.strImage));
        return pLabel;
    }
    pLabel->setText(control.strText);
    pLabel->setTextFormat(Qt::PlainText);
    pLabel->setWordWrap(control.styles.contains(QLatin1String("wrap")));
    const Qt::Alignment horizontal =
        control.styles.contains(QLatin1String("centre")) ? Qt::AlignHCenter : Qt::AlignLeft;
    pLabel->setAlignment(horizontal | Qt::AlignTop);
    return pLabel;
}
} // namespace

QFont CDialogBuilder::TemplateFont()
{
    // Metric-compatible stand-in for the 8-point dialog font: 11 pixels at 96 dpi.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QRect CDialogBuilder::ToPixels(const QRect& rcDlu)
{
    const QSize units = BaseUnits();
    auto x = [&](int n) { return (n * units.width() + 2) / 4; };
    auto y = [&](int n) { return (n * units.height() + 4) / 8; };
    return QRect(x(rcDlu.x()), y(rcDlu.y()), x(rcDlu.width()), y(rcDlu.height()));
}

QPixmap CDialogBuilder::Picture(const QString& strName, const QSize& size)
{
    QSvgRenderer renderer(QStringLiteral(":/zint9/%1.svg").arg(strName));
    QSize pixels = size.isEmpty() ? renderer.defaultSize() : size;
    if (pixels.isEmpty())
        pixels = QSize(1, 1);
    // Drawn at the screen's resolution; shown at its size in logical pixels.
    const qreal dRatio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(pixels * dRatio);
    pixmap.setDevicePixelRatio(dRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    return pixmap;
}

QString CDialogBuilder::PictureDescription(const QString& strName)
{
    static const QHash<QString, QString> kDescriptions = {
        {QStringLiteral("icon128"), QStringLiteral("Эмблема программы")},
        {QStringLiteral("bitmap129"), QStringLiteral("Эмблема, прибор ЗИНТ-9 сверху и название модели")},
        {QStringLiteral("bitmap163"), QStringLiteral("Компьютер, соединённый с прибором ЗИНТ-9")},
        {QStringLiteral("icon164"), QStringLiteral("Предупреждающий знак")},
    };
    return kDescriptions.value(strName);
}

void CDialogBuilder::SetUpWindow(const QJsonObject& dialog, QWidget* pDialog)
{
    pDialog->setFont(TemplateFont());
    const QJsonArray size = dialog.value(QLatin1String("size")).toArray();
    const QRect rcDialog = ToPixels(QRect(0, 0, size.at(0).toInt(), size.at(1).toInt()));
    // A child page takes whatever rectangle its frame gives it; a window keeps its size, or
    // where it is resizable grows from it.
    if (dialog.value(QLatin1String("child")).toBool())
        pDialog->resize(rcDialog.size());
    else
    {
        if (dialog.value(QLatin1String("resizable")).toBool())
        {
            pDialog->setMinimumSize(rcDialog.size());
            pDialog->resize(rcDialog.size());
        }
        else
            pDialog->setFixedSize(rcDialog.size());
        // Caption, system menu and modal frame: a close button and no maximise box; the frame
        // alone has a minimise box.
        Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (dialog.value(QLatin1String("minimizebox")).toBool())
            flags |= Qt::WindowMinimizeButtonHint;
        pDialog->setWindowFlags(flags);
    }
    if (dialog.contains(QLatin1String("caption")))
        pDialog->setWindowTitle(dialog.value(QLatin1String("caption")).toString());
}

CDialogBuilder::SControl CDialogBuilder::ControlOf(const QJsonObject& item)
{
    SControl control;
    control.nId = item.value(QLatin1String("id")).toInt(-1);
    control.strKind = item.value(QLatin1String("kind")).toString();
    control.strText = item.value(QLatin1String("text")).toString();
    control.rcDlu = RectOf(item.value(QLatin1String("rect")));
    control.styles = StringsOf(item.value(QLatin1String("style")));
    control.items = StringsOf(item.value(QLatin1String("items")));
    control.strImage = item.value(QLatin1String("image")).toString();
    control.strName = item.value(QLatin1String("name")).toString();
    return control;
}

QWidget* CDialogBuilder::Place(const SControl& control, QWidget* pDialog, const CreateFn& pfnCreate)
{
    QWidget* pWidget = pfnCreate ? pfnCreate(control, pDialog) : nullptr;
    if (!pWidget)
        pWidget = CreateStandard(control, pDialog);
    if (control.nId >= 0)
        pWidget->setObjectName(QString::number(control.nId));
    QRect rc = ToPixels(control.rcDlu);
    if (control.strKind == QLatin1String("combo"))
    {
        // The template's height is that of the opened list; the closed box is one line.
        rc.setHeight(pWidget->sizeHint().height());
        if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
            pCombo->setMaxVisibleItems(qMax(1, (control.rcDlu.height() - 14) / 8));
    }
    else if (control.strKind == QLatin1String("bitmap"))
        rc.setSize(pWidget->sizeHint());
    pWidget->setGeometry(rc);
    return pWidget;
}

void CDialogBuilder::NameFields(const QList<SControl>& controls, const QList<QWidget*>& widgets)
{
    // Fields are named by their captions, as screen readers name them on Windows; the caption
    // also labels its field, which is how some platforms' readers find the name of a list.
    for (qsizetype i = 0; i < controls.size(); ++i)
    {
        const QString& strKind = controls[i].strKind;
        const qsizetype nCaption = strKind == QLatin1String("edit") || strKind == QLatin1String("combo")
                                       ? CaptionOf(controls[i], controls)
                                       : -1;
        if (!controls[i].strName.isEmpty())
        {
            // Two fields of one row (a range's ends) are told apart by names of their own.
            widgets[i]->setAccessibleName(controls[i].strName);
            continue;
        }
        if (nCaption < 0)
            continue;
        widgets[i]->setAccessibleName(controls[nCaption].strText);
        auto* pLabel = qobject_cast<QLabel*>(widgets[nCaption]);
        if (pLabel && !pLabel->buddy()) // a caption labels the first field of its row
            pLabel->setBuddy(widgets[i]);
    }
}

bool CDialogBuilder::Build(int nTemplateId, QWidget* pDialog, const CreateFn& pfnCreate)
{
    const QJsonObject dialog = Templates().value(QString::number(nTemplateId)).toObject();
    if (dialog.isEmpty())
        return false;
    SetUpWindow(dialog, pDialog);
    QList<SControl> controls;
    QList<QWidget*> widgets;
    for (const QJsonValue& value : dialog.value(QLatin1String("controls")).toArray())
    {
        controls.append(ControlOf(value.toObject()));
        widgets.append(Place(controls.last(), pDialog, pfnCreate));
    }
    NameFields(controls, widgets);
    return true;
}
