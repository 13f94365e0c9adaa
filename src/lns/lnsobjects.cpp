#include "lnsobjects.h"

#include <platform/tracelog.h>

namespace lns {

ObjectPtr findAncestor(const ObjectPtr &obj, int classId)
{
    try {
        ObjectPtr cur = obj;
        // A bounded walk: a broken parent chain must not hang the caller.
        for (int depth = 0; cur && depth < 64; ++depth) {
            if (cur->classId() == classId)
                return cur;
            cur = cur->parent();
        }
    } catch (const LnsError &e) {
        platform::traceCaughtError(QStringLiteral("findAncestor"), e.number(), e.description());
    }
    return nullptr;
}

QVector<WriteRecord> Network::writeHistory(const HistoryFilter &)
{
    throw LnsError(ErrNotSupported, QStringLiteral("this object server keeps no record of writes"));
}

} // namespace lns
