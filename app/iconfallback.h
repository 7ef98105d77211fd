#ifndef ICONFALLBACK_H
#define ICONFALLBACK_H

// Makes sure theme icons resolve where the desktop gives no icon theme (a
// bare X session, a fresh machine): falls back to an installed theme that
// has the names the window uses, so no icon-only button is blank.
void ensureIconTheme();

#endif
