#include "nvtypechanger.h"

#include <platform/tracelog.h>

namespace monitoring {

bool ObjectServerTypeChanger::changeType(const lns::NetworkVariablePtr &nv, qint16 nvTypeId,
                                         const QString &programId, quint8 scope)
{
    if (!nv)
        return false;
    try {
        nv->changeType(nvTypeId, programId, scope);
        return nv->typeIndex() == nvTypeId;
    } catch (const lns::LnsError &e) {
        platform::TraceLog::instance().write(
            QStringLiteral("NV type change to %1 refused: %2 %3").arg(nvTypeId).arg(e.number()).arg(e.description()));
        return false;
    }
}

} // namespace monitoring
