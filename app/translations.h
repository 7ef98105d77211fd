// The user interface in the desktop's language: Qt's own texts and the
// program's, loaded once at start, before any window exists.
#ifndef TRANSLATIONS_H
#define TRANSLATIONS_H

#include <QLocale>
#include <QStringList>

// The folders searched for the program's own catalogues (vrelview_<lang>.qm),
// first found first: beside the executable as an installation and the build
// tree both lay them out.
QStringList translationFolders();

// Installs Qt's catalogue and the program's for `locale` into the running
// application, each when one exists for it; returns how many were installed.
int installTranslations(const QLocale &locale = QLocale::system());

#endif
