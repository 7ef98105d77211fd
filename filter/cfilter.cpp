#include "cfilter.h"

#include "filtermatch.h"

#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("filter");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
const QString kPartSeparator = QStringLiteral("::");
const QString kListSeparator = QStringLiteral(";;");
const QString kEntrySeparator = QStringLiteral("##");

} // namespace

CFilter::CFilter(const QString &name)
    : name(name)
    , m_lists({QStringList(), QStringList(), QStringList(), QStringList(), QStringList(), QStringList()})
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

const CMatcher &CFilter::matcher() const
{
    // Built lazily and shared by copies of the record: the lists can only
    // change through setLists/load/reset, which drop it.
    if (!m_matcher)
        m_matcher.reset(new CMatcher(m_lists));
    return *m_matcher;
}

void CFilter::save(const QString &key) const
{
    const QString value = QString::number(period) + kPartSeparator
        + (time.isNull() ? QString() : time.toString(kTimeFormat)) + kPartSeparator
        + listsText();
    QSettings settings;
    settings.beginGroup(kGroup);
    settings.setValue(key, value);
    settings.endGroup();
}

void CFilter::load()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    // toString() copes with values of the wrong type (numbers, lists) that
    // another program or a hand edit may have left under the key.
    const QString value = settings.value(name).toString();
    settings.endGroup();

    const QStringList parts = value.split(kPartSeparator, Qt::KeepEmptyParts);
    if (parts.size() < 3)
        return;

    period = parts.at(0).toInt();
    time = parts.at(1).isEmpty() ? QDateTime() : QDateTime::fromString(parts.at(1), kTimeFormat);
    if (!time.isValid())
        time = QDateTime();

    QList<QStringList> lists;
    const QStringList pieces = parts.at(2).split(kListSeparator, Qt::KeepEmptyParts);
    lists.reserve(pieces.size());
    for (const QString &piece : pieces)
        lists.append(piece.split(kEntrySeparator, Qt::SkipEmptyParts));
    setLists(lists);
}

void CFilter::remove()
{
    {
        QSettings settings;
        settings.beginGroup(kGroup);
        settings.remove(name);
        settings.endGroup();
    }
    reset();
}

void CFilter::reset()
{
    period = 0;
    time = QDateTime();
    m_lists.clear();
    m_matcher.reset();
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
