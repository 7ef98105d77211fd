#include "cfilter.h"

#include "filtermatch.h"
#include "settingsaccess.h"

#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("filter");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
const QString kPartSeparator = QStringLiteral("::");
// The fourth part of a stored value, our own: the exact start of a range
// of one second.
const QString kStartKey = QStringLiteral("start=");
// Parts of our own after it: the hidden values of each criterion list.
const QString kHideKeys[6] = {QStringLiteral("hide-statuses="), QStringLiteral("hide-kinds="),
                              QStringLiteral("hide-events="),   QStringLiteral("hide-groups="),
                              QStringLiteral("hide-users="),    QStringLiteral("hide-parameters=")};
const QString kListSeparator = QStringLiteral(";;");
const QString kEntrySeparator = QStringLiteral("##");

} // namespace

CFilter::CFilter(const QString &name)
    : name(name)
    , m_lists({QStringList(), QStringList(), QStringList(), QStringList(), QStringList(), QStringList()})
    , m_hidden(m_lists)
{
}

const QList<QStringList> &CFilter::lists() const
{
    return m_lists;
}

void CFilter::setLists(const QList<QStringList> &lists)
{
    m_lists = lists;
    m_matcher.reset();
}

const QList<QStringList> &CFilter::hidden() const
{
    return m_hidden;
}

void CFilter::setHidden(const QList<QStringList> &hidden)
{
    m_hidden = hidden.mid(0, 6);
    while (m_hidden.size() < 6)
        m_hidden.append(QStringList());
    m_matcher.reset();
}

bool CFilter::hidesAnything() const
{
    for (const QStringList &list : m_hidden) {
        if (!list.isEmpty())
            return true;
    }
    return false;
}

const CMatcher &CFilter::matcher() const
{
    // Built lazily and shared by copies of the record: the lists can only
    // change through setLists/setHidden/load/reset, which drop it.
    if (!m_matcher)
        m_matcher.reset(new CMatcher(m_lists, m_hidden));
    return *m_matcher;
}

QString CFilter::unstorableReason(const QString &key) const
{
    QStringList parts;
    const auto note = [&parts](const QString &part) {
        const QString quoted = QLatin1Char('"') + part + QLatin1Char('"');
        if (!parts.contains(quoted))
            parts.append(quoted);
    };
    for (const QString &separator : {QStringLiteral("/"), QStringLiteral("\\")}) {
        if (key.contains(separator))
            note(separator);
    }
    const QList<QStringList> lists = toPatternForm(m_lists);
    for (int l = 0; l < lists.size(); ++l) {
        const QStringList &list = lists.at(l);
        for (int e = 0; e < list.size(); ++e) {
            const QString &entry = list.at(e);
            if (entry.isEmpty())
                note(QString());
            for (const QString &separator : {kPartSeparator, kListSeparator, kEntrySeparator}) {
                if (entry.contains(separator))
                    note(separator);
            }
            // The leftmost split takes a trailing "#" or ";" into the
            // separator that follows the entry.
            if (e + 1 < list.size() && entry.endsWith(QLatin1Char('#')))
                note(QStringLiteral("#"));
            if (l + 1 < lists.size() && e + 1 == list.size() && entry.endsWith(QLatin1Char(';')))
                note(QStringLiteral(";"));
        }
    }
    // A hidden value is one part of its own, its entries joined by "##".
    for (const QStringList &list : m_hidden) {
        for (int e = 0; e < list.size(); ++e) {
            const QString &entry = list.at(e);
            if (entry.isEmpty())
                note(QString());
            for (const QString &separator : {kPartSeparator, kEntrySeparator}) {
                if (entry.contains(separator))
                    note(separator);
            }
            // A trailing "#" or ":" runs into the separator after it.
            if (e + 1 < list.size() && entry.endsWith(QLatin1Char('#')))
                note(QStringLiteral("#"));
            if (entry.endsWith(QLatin1Char(':')))
                note(QStringLiteral(":"));
        }
    }
    return parts.join(QStringLiteral(", "));
}

bool CFilter::save(const QString &key) const
{
    if (!unstorableReason(key).isEmpty())
        return false;
    const QString value = QString::number(period) + kPartSeparator
        + (time.isNull() ? QString() : time.toString(kTimeFormat)) + kPartSeparator
        + listsText();
    QString stored = start.isValid() && start == time
        ? value + kPartSeparator + kStartKey + start.toString(kTimeFormat)
        : value;
    for (int i = 0; i < m_hidden.size() && i < 6; ++i) {
        if (!m_hidden.at(i).isEmpty())
            stored += kPartSeparator + kHideKeys[i] + m_hidden.at(i).join(kEntrySeparator);
    }
    beforeSettingsAccess();
    QSettings settings;
    settings.beginGroup(kGroup);
    settings.setValue(key, stored);
    settings.endGroup();
    // A settings file that cannot be written keeps the value in memory only.
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void CFilter::load()
{
    beforeSettingsAccess();
    QSettings settings;
    settings.beginGroup(kGroup);
    // toString() copes with values of the wrong type (numbers, lists) that
    // another program or a hand edit may have left under the key.
    const QString value = settings.value(name).toString();
    settings.endGroup();

    const QStringList parts = value.split(kPartSeparator, Qt::KeepEmptyParts);
    // Fewer than six lists describe nothing and match much more than the
    // filter was saved for; more come from older values whose entries held
    // separators, which load as they always did.
    unreadable = parts.size() < 3 || parts.at(2).split(kListSeparator, Qt::KeepEmptyParts).size() < 6;
    if (parts.size() < 3)
        return;

    period = parts.at(0).toInt();
    time = parts.at(1).isEmpty() ? QDateTime() : QDateTime::fromString(parts.at(1), kTimeFormat);
    if (!time.isValid())
        time = QDateTime();
    start = QDateTime();
    QList<QStringList> hiddenLists;
    for (int i = 0; i < 6; ++i)
        hiddenLists.append(QStringList());
    // Our own parts, in any order; one of a key not known here is passed over.
    for (int p = 3; p < parts.size(); ++p) {
        const QString &part = parts.at(p);
        if (part.startsWith(kStartKey)) {
            const QDateTime first = QDateTime::fromString(part.mid(kStartKey.size()), kTimeFormat);
            // Only what the time line makes of a second: the start is the end.
            if (time.isValid() && first.isValid() && first == time)
                start = first;
            continue;
        }
        for (int i = 0; i < 6; ++i) {
            if (part.startsWith(kHideKeys[i]))
                hiddenLists[i] += part.mid(kHideKeys[i].size()).split(kEntrySeparator, Qt::SkipEmptyParts);
        }
    }
    // A hand-written name or number becomes the pattern it stands for.
    setHidden(toPatternForm(hiddenLists));

    QList<QStringList> lists;
    const QStringList pieces = parts.at(2).split(kListSeparator, Qt::KeepEmptyParts);
    lists.reserve(pieces.size());
    for (const QString &piece : pieces)
        lists.append(piece.split(kEntrySeparator, Qt::SkipEmptyParts));
    setLists(lists);
}

bool CFilter::remove()
{
    bool written = false;
    {
        beforeSettingsAccess();
        QSettings settings;
        settings.beginGroup(kGroup);
        settings.remove(name);
        settings.endGroup();
        settings.sync();
        written = settings.status() == QSettings::NoError;
    }
    reset();
    return written;
}

void CFilter::reset()
{
    period = 0;
    time = QDateTime();
    start = QDateTime();
    m_lists.clear();
    setHidden({});
}

QString CFilter::listsText() const
{
    // Converting once more keeps entries that somehow arrived in display
    // form from being stored as such; pattern-form entries pass unchanged.
    const QList<QStringList> lists = toPatternForm(m_lists);
    QStringList joined;
    joined.reserve(lists.size());
    for (const QStringList &list : lists)
        joined.append(list.join(kEntrySeparator));
    return joined.join(kListSeparator);
}

QList<CFilterPtr> &filterList()
{
    static QList<CFilterPtr> list;
    return list;
}

int &currentFilterIndex()
{
    static int index = 0;
    return index;
}

QList<QStringList> toPatternForm(const CFilter &filter)
{
    return toPatternForm(filter.lists());
}

QList<QStringList> toDisplayForm(const CFilter &filter)
{
    return toDisplayForm(filter.lists());
}
