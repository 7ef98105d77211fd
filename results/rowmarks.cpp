#include "rowmarks.h"

#include <algorithm>

#include <sys/stat.h>

#include "cstringlistmodel.h"
#include "logpath.h"

QString RowMarks::logKey(const QString &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(LogPath::toBytes(path).constData(), &st) != 0)
        return QString();
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

bool RowMarks::toggle(const QString &log, const Mark &mark)
{
    ++m_generation;
    std::map<qint64, Mark> &marks = m_logs[log];
    const auto it = marks.find(mark.offset);
    if (it != marks.end()) {
        marks.erase(it);
        if (marks.empty())
            m_logs.erase(log);
        return false;
    }
    marks.emplace(mark.offset, mark);
    return true;
}

bool RowMarks::contains(const QString &log, qint64 offset) const
{
    const auto it = m_logs.find(log);
    return it != m_logs.end() && it->second.count(offset) > 0;
}

QVector<RowMarks::Mark> RowMarks::marks(const QString &log) const
{
    QVector<Mark> all;
    const auto it = m_logs.find(log);
    if (it != m_logs.end()) {
        for (const auto &entry : it->second)
            all.append(entry.second);
    }
    return all;
}

std::vector<qint64> RowMarks::offsets(const QString &log) const
{
    std::vector<qint64> all;
    const auto it = m_logs.find(log);
    if (it != m_logs.end()) {
        for (const auto &entry : it->second)
            all.push_back(entry.first);
    }
    return all;
}

int RowMarks::count(const QString &log) const
{
    const auto it = m_logs.find(log);
    return it == m_logs.end() ? 0 : int(it->second.size());
}

void MarkedRows::update(CStringListModel *model, const RowMarks &marks)
{
    CLog *log = model ? model->log() : nullptr;
    const int endBlock = model ? model->firstBlock() + int(model->blockCounts().size()) : 0;
    const int rowCount = model ? model->rowCount() : 0;
    const bool same = model == m_modelSeen && m_model && marks.generation() == m_generation && log
                      && model->firstBlock() == m_firstBlock;
    if (same && endBlock == m_endBlock && rowCount == m_rowCount)
        return;
    int from = 0;
    if (!same || endBlock < m_endBlock || rowCount < m_rowCount) {
        // Another result, other marks, or counts begun again: all anew.
        m_model = model;
        m_modelSeen = model;
        m_generation = marks.generation();
        m_firstBlock = model ? model->firstBlock() : 0;
        m_entries.clear();
        if (log) {
            for (const RowMarks::Mark &mark : marks.marks(RowMarks::logKey(log->logPath()))) {
                Entry entry;
                entry.mark = mark;
                m_entries.push_back(entry);
            }
        }
        from = m_firstBlock;
    } else {
        // Rows were added: the blocks counted since, and the last one
        // counted before, which a follow may have counted again.
        from = std::max(m_firstBlock, m_endBlock - 1);
    }
    m_endBlock = endBlock;
    m_rowCount = rowCount;
    if (model && log)
        resolveFrom(*model, from);
    m_rows.clear();
    for (const Entry &entry : m_entries) {
        if (entry.inBlock < 0)
            continue;
        const int row = model->rowsBefore(entry.block) + entry.inBlock;
        if (row < rowCount)
            m_rows.push_back(row);
    }
}

void MarkedRows::resolveFrom(CStringListModel &model, int firstBlock)
{
    const CLog *log = model.log();
    std::vector<qint64> offsets;
    std::vector<QString> texts;
    std::vector<int> inBlock;
    size_t i = 0;
    while (i < m_entries.size()) {
        const int block = log->blockAt(m_entries[i].mark.offset);
        size_t end = i + 1;
        while (end < m_entries.size() && log->blockAt(m_entries[end].mark.offset) == block)
            ++end;
        if (block >= firstBlock) {
            offsets.clear();
            texts.clear();
            for (size_t k = i; k < end; ++k) {
                offsets.push_back(m_entries[k].mark.offset);
                texts.push_back(m_entries[k].mark.text);
            }
            inBlock.assign(offsets.size(), -1);
            model.recordRowsInBlock(block, offsets.data(), texts.data(), int(offsets.size()), inBlock.data());
            for (size_t k = i; k < end; ++k) {
                m_entries[k].block = block;
                m_entries[k].inBlock = inBlock[k - i];
            }
        }
        i = end;
    }
}

bool MarkedRows::contains(int row) const
{
    return std::binary_search(m_rows.begin(), m_rows.end(), row);
}

int MarkedRows::after(int row) const
{
    const auto it = std::upper_bound(m_rows.begin(), m_rows.end(), row);
    return it == m_rows.end() ? -1 : *it;
}

int MarkedRows::before(int row) const
{
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), row);
    return it == m_rows.begin() ? -1 : *(it - 1);
}

int MarkedRows::rowOf(qint64 offset) const
{
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), offset,
                                     [](const Entry &e, qint64 o) { return e.mark.offset < o; });
    if (it == m_entries.end() || it->mark.offset != offset || it->inBlock < 0 || !m_model)
        return -1;
    const int row = m_model->rowsBefore(it->block) + it->inBlock;
    return row < m_rowCount ? row : -1;
}

QVector<qint64> MarkedRows::times() const
{
    QVector<qint64> times;
    for (const Entry &entry : m_entries) {
        if (entry.inBlock >= 0 && m_model && m_model->rowsBefore(entry.block) + entry.inBlock < m_rowCount)
            times.append(entry.mark.time);
    }
    return times;
}

std::vector<qint64> MarkedRows::offsets() const
{
    std::vector<qint64> offsets;
    for (const Entry &entry : m_entries) {
        if (entry.inBlock >= 0 && m_model && m_model->rowsBefore(entry.block) + entry.inBlock < m_rowCount)
            offsets.push_back(entry.mark.offset);
    }
    return offsets;
}
