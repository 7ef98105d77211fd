// A literal pre-check done in the same pass that finds where a text ends
// and whether it is ASCII: most texts a filter passes over are told apart
// there, without a search of their own.
#ifndef MATCHER_TEXTGATE_H
#define MATCHER_TEXTGATE_H

#include <QtGlobal>

#include <vector>

#include "needles.h"

namespace matcher {

// The needles of up to two lists, each by its rarest characters. An
// ASCII text in which one of the lists finds none of its needles fails that
// list, and with it the filter.
class TextGate
{
public:
    // Takes a list every text of which that it matches holds one of
    // `needles`; false, with nothing taken, when the gate cannot: it holds
    // two lists already, or there are more than two needles, or none, or
    // one is empty or not ASCII.
    bool addList(const std::vector<const Needle *> &needles);
    bool isEmpty() const { return m_lists == 0; }
    // The length of the text at `s` that a NUL byte ends before `end` (or
    // `end` does), and in `ascii` whether it is ASCII; `mayPass` is false
    // only for an ASCII text in which one of the lists finds none of its
    // needles.
    qsizetype length(const char *s, const char *end, bool *ascii, bool *mayPass) const;

private:
    static constexpr int kLists = 2;
    static constexpr int kNeedles = 2;
    static constexpr int kKeys = 3;
    struct Probe
    {
        int offset[kKeys];
        char ch[kKeys];
    };
    struct List
    {
        Probe probes[kNeedles];
        int count = 0;
    };
    // Lists of one needle look for three of its characters, which tell
    // apart even needles of digits and commas; lists of two, for two of
    // each, which keeps the loop short.
    static constexpr int keysOf(int needles) { return needles == 1 ? kKeys : 2; }
    template<int Lists, int Needles>
    struct Offsets
    {
        int at[Lists][Needles][keysOf(Needles)];
    };
    template<int Lists, int Needles>
    Offsets<Lists, Needles> offsets() const;
    void chooseScan();
    template<int Lists, int Needles>
    qsizetype scan(const char *s, const char *end, bool *ascii, bool *mayPass) const;
#ifdef __x86_64__
    template<int Lists, int Needles>
    __attribute__((target("avx2"))) qsizetype scanWide(const char *s, const char *end, bool *ascii,
                                                       bool *mayPass) const;
#endif

    List m_list[kLists];
    int m_lists = 0;
    // The scan for the numbers of lists and needles, and the processor.
    qsizetype (TextGate::*m_scan)(const char *, const char *, bool *, bool *) const = nullptr;
    int m_reach = 0; // the furthest offset of a probe's character
};

} // namespace matcher

#endif
