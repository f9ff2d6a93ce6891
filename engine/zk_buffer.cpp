// Clipped copy blitters (placeholder: only the clip computation so far).
#include <algorithm>

#include "ZKlib.h"

void ZK_AdjustCopyLimits(int x, int y, int width, int height) {
    const ClipWindow& w = zk_window[zk_curwindow & 15];
    int firstColumn = x < w.left ? w.left - x : 0;
    int endColumn = x + width > w.right ? w.right - x + 1 : width;
    int firstRow = y < w.top ? w.top - y : 0;
    int endRow = y + height > w.bottom ? w.bottom - y + 1 : height;
    if (zk_cursprite != -1) {
        const Sprite* s = zk_sprites[zk_cursprite];
        firstColumn = std::max(firstColumn, int(s->clipLeft));
        firstRow = std::max(firstRow, int(s->clipTop));
        endColumn = std::min(endColumn, s->clipRight + 1);
        endRow = std::min(endRow, s->clipBottom + 1);
    }
    zk_limits.firstColumn = int16_t(firstColumn);
    zk_limits.firstRow = int16_t(firstRow);
    zk_limits.endColumn = int16_t(endColumn);
    zk_limits.endRow = int16_t(endRow);
}
