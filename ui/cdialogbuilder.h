#pragma once

#include <QFont>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

class QJsonObject;
class QWidget;
class QPixmap;

// Turns the dialog templates of res/dialogs.json into widgets. Layouts are in dialog units of
// the template font, converted to pixels with that font's metrics, so every window keeps its
// proportions whatever the font's size. Each control's objectName is its template id.
class CDialogBuilder
{
public:
    struct SControl
    {
        int nId = -1; // -1 for controls without an id
        QString strKind;
        QString strText;
        QRect rcDlu;
        QStringList styles;
        QStringList items;
        QString strImage;
        QString strName; // the field's own name for screen readers; empty: its caption's
    };
    // Creates the widget of a control whose kind needs a class of the caller's; returning
    // nullptr lets the builder create its standard widget.
    using CreateFn = std::function<QWidget*(const SControl& control, QWidget* pParent)>;

    // Sizes pDialog, sets its caption and font and creates its controls. False for an unknown
    // template.
    static bool Build(int nTemplateId, QWidget* pDialog, const CreateFn& pfnCreate = {});
    static QFont TemplateFont();
    static QRect ToPixels(const QRect& rcDlu);
    // A picture of res/ (icon128, bitmap129, bitmap163, icon164) at the given size, or at its
    // own size when the size is empty.
    static QPixmap Picture(const QString& strName, const QSize& size = {});
    // What a picture shows, for screen readers.
    static QString PictureDescription(const QString& strName);

private:
    // Size, frame, caption and font of the window.
    static void SetUpWindow(const QJsonObject& dialog, QWidget* pDialog);
    static SControl ControlOf(const QJsonObject& item);
    // Creates the control's widget and puts it where the template says.
    static QWidget* Place(const SControl& control, QWidget* pDialog, const CreateFn& pfnCreate);
    // Names each field after its caption.
    static void NameFields(const QList<SControl>& controls, const QList<QWidget*>& widgets);
};
