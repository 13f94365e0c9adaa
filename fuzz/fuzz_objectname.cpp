// The object name analyser: a name it accepts has at least four parts none
// of which contains a dot, and putting the parts together again gives a name
// the analyser splits into the same parts.
#include "fuzzsupport.h"

#include <platform/objectname.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    const platform::ObjectName n = platform::analyseObjectName(text);
    if (!n.valid)
        return 0;
    for (const QString &part : {n.networkName, n.deviceName, n.objectName})
        fuzz::require(!part.contains(QLatin1Char('.')), "a part holds a dot");
    fuzz::require(!n.subsystemPath.isEmpty(), "a valid name without subsystem");
    const platform::ObjectName again = platform::analyseObjectName(n.toString());
    fuzz::require(again.valid, "the joined parts are refused");
    fuzz::require(again.networkName == n.networkName && again.subsystemPath == n.subsystemPath
                      && again.deviceName == n.deviceName && again.objectName == n.objectName,
                  "the joined parts split differently");
    const platform::ObjectName made =
        platform::analyseObjectName(platform::makeObjectName(n.networkName, n.subsystemPath, n.deviceName, n.objectName).toString());
    fuzz::require(made.valid && made.deviceName == n.deviceName, "makeObjectName gives another name");
    return 0;
}
