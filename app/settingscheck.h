// The check of a settings file before Qt reads it. QSettings parses every
// value of a section when the section is first read (and of every section
// when it writes), and turns "@Variant(...)" and "@DateTime(...)" values
// into objects through QDataStream, which reserves whatever sizes the bytes
// claim and nests as deep as they do: one such value ends the program at
// every start. The check reads the file as QSettings does and accepts such
// a value only when its type reads a bounded number of bytes and every size
// in it is backed by the bytes that follow.
#ifndef SETTINGSCHECK_H
#define SETTINGSCHECK_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

class SettingsCheck
{
public:
    // A settings file found unsafe: where it was, where it went ("" when it
    // could not be renamed) and what was unsafe in it.
    struct SetAside
    {
        QString file;
        QString movedTo;
        QString problem;
    };

    // Checks the text of an INI settings file.
    explicit SettingsCheck(const QByteArray &content);
    // Checks the file at `path`; a missing file is safe, one that cannot be
    // read is left to QSettings (which reads nothing of it either).
    static SettingsCheck ofFile(const QString &path);

    // True when QSettings can read every value of the file without harm.
    bool isSafe() const { return m_problem.isEmpty(); }
    // What is unsafe, with its line number; "" when the file is safe.
    QString problem() const { return m_problem; }
    // Number of "@Variant(...)" and "@DateTime(...)" values that were checked
    // and found sound (the values of lists counted one by one).
    int streamedValues() const { return m_streamed; }

    // Renames the file at `path` to a name beside it that no file has yet
    // ("<name>.unreadable", then "<name>.unreadable-2" ...); the new path, or
    // "" when it could not be renamed. Nothing is deleted.
    static QString setAside(const QString &path);
    // Checks the settings files of this user that a default QSettings reads
    // (the application's and the organisation's) and sets aside each one
    // that is unsafe. A file that cannot be renamed is left in place, and
    // the settings of this run go to a fresh folder instead, so that it is
    // never read. Call before anything reads settings.
    static QList<SetAside> setAsideUnsafeSettings();
    // The same for the files that changed since they were last found safe
    // (or were never checked): called before the settings are read again.
    static QList<SetAside> setAsideChangedSettings();

    // True when `state` is a QSplitter state that restoreState reads without
    // reserving more than its bytes hold, with sizes and a handle width in
    // the range of a screen and a valid orientation.
    static bool isSoundSplitterState(const QByteArray &state);

    // Stored values of a wrong type read as `fallback`: settingsBool and
    // settingsString (settingsaccess.h), which the dialogs use too.
    static bool boolValue(const QVariant &value, bool fallback);
    static QString stringValue(const QVariant &value, const QString &fallback = QString());

private:
    static QList<SetAside> setAsideSettings(bool onlyChanged);

    QString m_problem;
    int m_streamed = 0;
};

#endif
