// libvrelintegration.so.1 - desktop integration (stand-in).
#ifndef VRELINTEGRATION_H
#define VRELINTEGRATION_H

#include <QMenu>
#include <QRect>

class QSettings;
class QWidget;

// Records the version text and display name of the application (for the
// help menu's About box and the window system); sets no other state.
void vrelInit(const char *version, const char *displayName);

// Stores the widget's geometry in `settings` (no group may be open).
void vrelSaveGeometry(const QWidget *widget, QSettings *settings, bool flag);

// Applies the geometry stored by vrelSaveGeometry; with nothing stored, a
// non-null `defaultRect` is applied, a null one leaves the widget as it is.
void vrelRestoreGeometry(QWidget *widget, QSettings *settings, const QRect &defaultRect, bool flag);

// The desktop's standard help menu: "About" (display name and version) and
// "About Qt".
class VrelHelpMenu : public QMenu
{
    Q_OBJECT
public:
    explicit VrelHelpMenu(QWidget *parent = nullptr);
};

#endif
