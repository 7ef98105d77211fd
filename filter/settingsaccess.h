// What runs before the settings file is read or written: the program sets
// a hook that checks a file changed since it was last checked, so that no
// library reads a settings file that Qt cannot read safely.
#ifndef SETTINGSACCESS_H
#define SETTINGSACCESS_H

#include <QString>
#include <QVariant>

#include <functional>

// Runs the hook (nothing when none is set); called before a QSettings is made.
void beforeSettingsAccess();
// Sets the hook run by beforeSettingsAccess; an empty function removes it.
void setSettingsAccessHook(std::function<void()> hook);

// Stored values of a wrong type (a list where a flag or a text is expected,
// a font, bytes...) read as `fallback`, so that no reader goes on with what
// Qt's conversions make of them. A flag is a bool, a number, or the text
// "true", "false", "1" or "0" that INI files hold; a text is a text or a
// number.
bool settingsBool(const QVariant &value, bool fallback);
QString settingsString(const QVariant &value, const QString &fallback = QString());

#endif
