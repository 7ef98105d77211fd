// The linear matcher. A match is tried from the places its fixed-width start
// is found by a needle; "+" runs never give back what they took, and a run
// that failed once is remembered, so that a search stays linear in the text.
#include "linearpattern.h"

#include <array>

namespace matcher {

namespace {

// A sequence of single characters, classes, "+" runs whose class cannot
// contain what follows them, and assertions: decided left to right
// without backtracking, unit by unit as QRegExp does.
class LinearPattern : public Pattern
{
public:
    enum class Op : quint8 { Char, Class, Start, End, WordBoundary, NotWordBoundary, Ahead, NotAhead };
    struct Item
    {
        Op op = Op::Char;
        bool plus = false;
        int run = -1; // number of the "+" run
        ushort ch = 0;
        const CharSet *set = nullptr;
    };

    static std::unique_ptr<LinearPattern> build(const Alts &alts)
    {
        if (alts.size() != 1)
            return nullptr;
        const Seq &seq = alts.front();
        std::unique_ptr<LinearPattern> p(new LinearPattern);
        for (size_t i = 0; i < seq.size(); ++i) {
            const Node &node = seq[i];
            Item item;
            switch (node.kind) {
            case NodeKind::Set: {
                const bool plus = node.min == 1 && node.max == -1;
                if (!node.once() && !plus)
                    return nullptr;
                if (plus) {
                    // The run must end where the next item begins.
                    if (i + 1 < seq.size()) {
                        const Node &next = seq[i + 1];
                        if (next.kind == NodeKind::End) {
                        } else if (!next.isSet() || next.min != 1 || next.set->intersects(*node.set)) {
                            return nullptr;
                        }
                    }
                }
                const int single = node.set->single();
                item.plus = plus;
                if (plus)
                    item.run = p->m_runs++;
                if (single >= 0) {
                    item.op = Op::Char;
                    item.ch = ushort(single);
                } else {
                    item.op = Op::Class;
                }
                p->m_sets.push_back(node.set);
                item.set = node.set.get();
                break;
            }
            case NodeKind::Start: item.op = Op::Start; break;
            case NodeKind::End: item.op = Op::End; break;
            case NodeKind::WordBoundary: item.op = Op::WordBoundary; break;
            case NodeKind::NotWordBoundary: item.op = Op::NotWordBoundary; break;
            case NodeKind::Ahead:
            case NodeKind::NotAhead: {
                if (node.alts.size() != 1 || node.alts.front().size() != 1)
                    return nullptr;
                const Node &inner = node.alts.front().front();
                if (!inner.isSet() || !inner.once())
                    return nullptr;
                item.op = node.kind == NodeKind::Ahead ? Op::Ahead : Op::NotAhead;
                p->m_sets.push_back(inner.set);
                item.set = inner.set.get();
                break;
            }
            case NodeKind::Group:
                return nullptr;
            }
            p->m_items.push_back(item);
        }
        p->planSearch();
        return p;
    }

    Verdict search(const QString &text) const override
    {
        const QStringView view(text);
        return verdictOf(find(reinterpret_cast<const ushort *>(view.utf16()), view.size(), view));
    }
    Verdict search(AsciiView text) const override
    {
        return verdictOf(find(text.data, text.size, text));
    }
    bool needles(std::vector<const Needle *> *out) const override
    {
        const Needle &needle = m_required.isEmpty() ? m_needle : m_required;
        if (needle.isEmpty())
            return false;
        out->push_back(&needle);
        return true;
    }

private:
    // `t` holds the `n` units of `view`.
    template<typename T, typename View>
    bool find(const T *t, qsizetype n, View view) const
    {
        if (!m_required.isEmpty() && m_required.find(view, 0) < 0)
            return false;
        RunMemo memo;
        if (m_anchored)
            return matchAt(t, n, 0, &memo);
        if (!m_needle.isEmpty()) {
            qsizetype from = 0;
            while (true) {
                const qsizetype at = m_needle.find(view, from);
                if (at < 0)
                    return false;
                if (matchAt(t, n, at, &memo))
                    return true;
                from = at + 1;
            }
        }
        // A leading "+" run that fails from its first character fails from
        // any later one too, so only the starts of runs are tried; this keeps
        // long runs from being scanned once per character.
        const Item *lead = m_items.empty() ? nullptr : &m_items.front();
        const bool leadingRun = lead && lead->plus;
        for (qsizetype start = 0; start <= n; ++start) {
            if (leadingRun && start > 0 && lead->set->test(t[start - 1]))
                continue;
            if (matchAt(t, n, start, &memo))
                return true;
        }
        return false;
    }

    // The runs of one search that ended in a failure. A "+" run never gives
    // back what it took, so an attempt whose run starts inside such a run
    // ends where it ended and fails as it failed; remembering them keeps
    // the search linear in the text (".\d+x" over a long run of digits).
    class RunMemo
    {
    public:
        // Whether an attempt whose run `run` starts at `pos` is bound to fail.
        bool failed(int run, qsizetype pos) const
        {
            const Span *span = find(run);
            return span && pos >= span->start && pos < span->end;
        }
        void remember(int run, qsizetype start, qsizetype end)
        {
            if (run < kFixed) {
                m_fixed[size_t(run)] = {start, end};
                m_valid |= quint64(1) << run;
                return;
            }
            if (m_more.size() <= size_t(run - kFixed))
                m_more.resize(size_t(run - kFixed) + 1, Span{0, 0});
            m_more[size_t(run - kFixed)] = {start, end};
        }

    private:
        struct Span
        {
            qsizetype start;
            qsizetype end;
        };
        static constexpr int kFixed = 64;
        const Span *find(int run) const
        {
            if (run < kFixed)
                return (m_valid >> run) & 1 ? &m_fixed[size_t(run)] : nullptr;
            return size_t(run - kFixed) < m_more.size() ? &m_more[size_t(run - kFixed)] : nullptr;
        }
        quint64 m_valid = 0;
        std::array<Span, kFixed> m_fixed; // only entries marked in m_valid are set
        std::vector<Span> m_more;
    };

    void planSearch()
    {
        m_anchored = !m_items.empty() && m_items.front().op == Op::Start;
        // The plain characters in front of the first item of varying width
        // lie at fixed distances from the start of a match: they are searched
        // for together. A longer run of plain characters further on cannot
        // say where a match starts, but a text without it cannot match: it
        // is looked for once, before anything else.
        std::vector<Needle::Unit> fixed;
        int width = 0;
        QString run;
        QString longest;
        for (const Item &item : m_items) {
            if (item.op == Op::Char && !item.plus) {
                if (width >= 0)
                    fixed.push_back({width++, item.ch});
                run.append(QChar(item.ch));
                continue;
            }
            if (run.size() > longest.size())
                longest = run;
            run.clear();
            if (item.plus)
                width = -1;
            else if (item.op == Op::Class && width >= 0)
                ++width;
        }
        if (run.size() > longest.size())
            longest = run;
        m_needle = Needle(fixed);
        if (longest.size() > int(fixed.size()))
            m_required = Needle(longest);
    }

    template<typename T>
    static bool isWord(const T *t, qsizetype n, qsizetype pos)
    {
        return pos >= 0 && pos < n && wordSet().test(t[pos]);
    }

    template<typename T>
    bool matchAt(const T *t, qsizetype n, qsizetype pos, RunMemo *memo) const
    {
        if (pos < 0)
            return false;
        // The run of the current attempt that a failure would be charged to.
        int lastRun = -1;
        qsizetype runStart = 0;
        qsizetype runEnd = 0;
        const auto fail = [&] {
            if (lastRun >= 0)
                memo->remember(lastRun, runStart, runEnd);
            return false;
        };
        for (const Item &item : m_items) {
            switch (item.op) {
            case Op::Char:
            case Op::Class: {
                const bool in = pos < n && (item.op == Op::Char ? t[pos] == item.ch : item.set->test(t[pos]));
                if (!in)
                    return fail();
                if (!item.plus) {
                    ++pos;
                    break;
                }
                if (memo->failed(item.run, pos))
                    return false;
                lastRun = item.run;
                runStart = pos;
                ++pos;
                if (item.op == Op::Char) {
                    while (pos < n && t[pos] == item.ch)
                        ++pos;
                } else {
                    while (pos < n && item.set->test(t[pos]))
                        ++pos;
                }
                runEnd = pos;
                break;
            }
            case Op::Start:
                if (pos != 0)
                    return fail();
                break;
            case Op::End:
                if (pos != n)
                    return fail();
                break;
            case Op::WordBoundary:
                if (isWord(t, n, pos - 1) == isWord(t, n, pos))
                    return fail();
                break;
            case Op::NotWordBoundary:
                if (isWord(t, n, pos - 1) != isWord(t, n, pos))
                    return fail();
                break;
            case Op::Ahead:
                if (pos >= n || !item.set->test(t[pos]))
                    return fail();
                break;
            case Op::NotAhead:
                if (pos < n && item.set->test(t[pos]))
                    return fail();
                break;
            }
        }
        return true;
    }

    std::vector<Item> m_items;
    int m_runs = 0;
    std::vector<std::shared_ptr<CharSet>> m_sets;
    bool m_anchored = false;
    Needle m_needle;   // the plain characters of the fixed-width start
    Needle m_required; // a longer literal further on; usually empty
};

} // namespace

std::unique_ptr<Pattern> buildLinear(const Alts &alts)
{
    return LinearPattern::build(alts);
}

} // namespace matcher
