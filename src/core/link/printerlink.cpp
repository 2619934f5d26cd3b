#include "link/printerlink.h"

int PrinterLink::writeBudgetMs(int length)
{
    // 1 s more for every 8 KB: a logo download at full speed takes about that.
    return DefaultBudgetMs + 1000 * (length > 0 ? length / 8192 : 0);
}

ReplyMatcher rawAnswer(int n)
{
    return [n](const unsigned char*, int length) {
        return length >= n ? ReplyScan{ReplyScan::Frame, n} : ReplyScan{ReplyScan::NeedMore, 0};
    };
}
