#include "job/TargetList.h"

namespace {

// One pass over the text. Calls onEnd(begin, endExclusive) at every target end and stops
// early when onEnd returns false. Returns the number of target ends seen.
template <typename OnEnd>
int ScanTargets(const std::string& text, OnEnd onEnd) {
    const size_t len = text.size();
    size_t begin = 0;
    bool inQuotes = false;
    int ends = 0;

    auto finish = [&](size_t endExclusive, size_t nextBegin) {
        ++ends;
        const bool more = onEnd(begin, endExclusive < begin ? begin : endExclusive);
        begin = nextBegin;
        return more;
    };

    for (size_t i = 0; i < len; ++i) {
        const char c = text[i];
        const bool last = (i + 1 == len);
        if (c == '"' && !inQuotes) {
            inQuotes = true;  // opens a quoted stretch anywhere, also mid-target
        } else if (c == '"' && last) {
            inQuotes = false;
            if (!finish(i + 1, len)) break;
        } else if (c == '"' && text[i + 1] == ' ') {
            inQuotes = false;
            // The blank after the closing quote is the separator: skip it.
            if (!finish(i + 1, i + 2)) break;
            ++i;
        } else if (c == ' ' && !inQuotes) {
            if (!finish(i, i + 1)) break;
        } else if (last) {
            if (!finish(i + 1, len)) break;
        }
    }
    return ends;
}

}  // namespace

int TargetList::SetText(const std::string& text) {
    if (text.empty()) {
        m_strText.clear();
        return 0;
    }
    m_strText = text;
    m_nCount = CountTargets();
    return 1;
}

int TargetList::CountTargets() const {
    return ScanTargets(m_strText, [](size_t, size_t) { return true; });
}

const std::string& TargetList::GetTarget(int n) {
    m_strCurrent.clear();
    if (n < 1 || n > m_nCount) return m_strCurrent;
    int seen = 0;
    ScanTargets(m_strText, [&](size_t begin, size_t end) {
        if (++seen < n) return true;
        m_strCurrent.assign(m_strText, begin, end - begin);
        return false;
    });
    return m_strCurrent;
}

const std::string& TargetList::NextTarget() {
    if (m_nIndex >= m_nCount) {
        m_strCurrent.clear();
        return m_strCurrent;
    }
    GetTarget(m_nIndex + 1);
    ++m_nIndex;
    if (!m_strCurrent.empty() && m_strCurrent.front() == '"') m_strCurrent.erase(0, 1);
    if (!m_strCurrent.empty() && m_strCurrent.back() == '"') m_strCurrent.pop_back();
    return m_strCurrent;
}
