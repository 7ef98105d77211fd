// What runs before the settings file is read or written: the program sets
// a hook that checks a file changed since it was last checked, so that no
// library reads a settings file that Qt cannot read safely.
#ifndef SETTINGSACCESS_H
#define SETTINGSACCESS_H

#include <functional>

// Runs the hook (nothing when none is set); called before a QSettings is made.
void beforeSettingsAccess();
// Sets the hook run by beforeSettingsAccess; an empty function removes it.
void setSettingsAccessHook(std::function<void()> hook);

#endif
