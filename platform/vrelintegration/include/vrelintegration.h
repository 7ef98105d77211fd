// libvrelintegration.so.1 - desktop integration (stand-in).
#ifndef VRELINTEGRATION_H
#define VRELINTEGRATION_H

#include <QMenu>
#include <QRect>

class QSettings;
class QWidget;

// Records the version text and display name of the application for the help
// menu's About box; sets no application, organisation or display name.
void vrelInit(const char *version, const char *displayName);

// Stores the widget's geometry in `settings` under "VrelGeometry/geometry"
// (no group may be open, none is left open); `flag` is not used.
void vrelSaveGeometry(const QWidget *widget, QSettings *settings, bool flag);

// Applies the geometry stored by vrelSaveGeometry; with nothing stored, a
// non-null `defaultRect` is applied, a null one leaves the widget as it is.
// Leaves no group open; `flag` is not used.
void vrelRestoreGeometry(QWidget *widget, QSettings *settings, const QRect &defaultRect, bool flag);

// The desktop's standard help menu, titled "&Help": "About" (a box with the
// display name and version) and "About Qt".
class VrelHelpMenu : public QMenu
{
    Q_OBJECT
public:
    explicit VrelHelpMenu(QWidget *parent = nullptr);
};

#endif
