#include "framework/ResString.h"

#include <vector>

bool LoadResString(UINT id, std::string& out, HINSTANCE module) {
    out.clear();
    if (module == nullptr) module = GetModuleHandleA(nullptr);
    // LoadStringA truncates silently: grow until the text clearly fits.
    for (int size = 512; size <= 65536; size *= 4) {
        std::vector<char> buf(static_cast<size_t>(size));
        const int n = LoadStringA(module, id, buf.data(), size);
        if (n <= 0) return false;
        if (n < size - 1) {
            out.assign(buf.data(), static_cast<size_t>(n));
            return true;
        }
    }
    return false;
}
