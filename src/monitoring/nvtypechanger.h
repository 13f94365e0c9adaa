// The NV type changer: changes the type of a network variable at the object
// server and answers whether it worked. The monitor points call it only when
// the NV does not already have the wanted type.
#pragma once

#include <lns/lnsobjects.h>

#include <QString>

namespace monitoring {

class NvTypeChanger
{
public:
    virtual ~NvTypeChanger() = default;
    virtual bool changeType(const lns::NetworkVariablePtr &nv, qint16 nvTypeId, const QString &programId,
                            quint8 scope) = 0;
};

// Changes the type through the NV object and checks that the new type is in
// effect afterwards; an object-server error is traced and answered false.
class ObjectServerTypeChanger : public NvTypeChanger
{
public:
    bool changeType(const lns::NetworkVariablePtr &nv, qint16 nvTypeId, const QString &programId,
                    quint8 scope) override;
};

} // namespace monitoring
