#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "job/TargetList.h"

// Properties that must hold for any text: no crash or memory error, no target longer than the
// text, the walk never produces more targets than were counted, and it always ends.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TargetList list;
    list.SetText(text);
    const int count = list.CountTargets();
    if (count < 0 || static_cast<size_t>(count) > text.size()) std::abort();
    if (!text.empty() && count != list.m_nCount) std::abort();

    for (int n = 0; n <= count + 1; ++n) {
        const std::string& raw = list.GetTarget(n);
        if ((n < 1 || n > count) && !raw.empty()) std::abort();
        if (!raw.empty() && text.find(raw) == std::string::npos) std::abort();
    }

    int produced = 0;
    for (;;) {
        const std::string& t = list.NextTarget();
        if (t.size() > text.size()) std::abort();
        if (list.m_nIndex > count) std::abort();
        if (t.empty() && list.m_nIndex >= count) break;
        if (!t.empty()) ++produced;
        if (produced > count) std::abort();
    }
    return 0;
}
