#pragma once

#include <string>

// Splits a job's target text (a command line or a quoted quick-delete path) into paths.
// Blanks separate targets; a double quote opens a stretch in which blanks are ordinary, and
// a quote followed by a blank (or at the very end) closes it. There is no escaping, and every
// blank outside quotes ends a target, so repeated blanks give empty targets.
class TargetList {
public:
    TargetList() = default;
    virtual ~TargetList() = default;

    // Stores the text and counts its targets. An empty text is refused (returns 0) and leaves
    // the count as it was; the walk position is never reset.
    int SetText(const std::string& text);

    int CountTargets() const;

    // The n-th target, counted from 1, exactly as it stands in the text (quotes included);
    // empty when n is out of range.
    const std::string& GetTarget(int n);

    // The next target with one enclosing quote removed at each end; empty once every counted
    // target has been produced.
    const std::string& NextTarget();

    std::string m_strCurrent;
    std::string m_strText;
    int m_nIndex = 0;
    int m_nCount = 0;
};
