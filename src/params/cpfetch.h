// Finding a CP of any LonMark object or device through the device template:
// the collection's own lookups, used when its parameter set is written into
// another device and when a CP object is looked up again.
#pragma once

#include <lns/lnsobjects.h>
#include <lns/templatelookup.h>

namespace params {

inline const QString kCpFetchErrorCp = QStringLiteral("INI-File Error (CP, CP-Fetch): ");
inline const QString kCpFetchErrorObject = QStringLiteral("INI-File Error (CP, Object-Fetch): ");
inline const QString kCpFetchErrorNv = QStringLiteral("INI-File Error (CP, NV-Fetch): ");

// The CP `cpName` of a LonMark object: the template gives its CP index and,
// when above 0, the index of the object's NV it belongs to. A CP index of -1
// sets *succeed false when succeed is given and otherwise throws
// lns::LnsError 10000 "INI - File Error : " + name.
lns::ConfigPropertyPtr FetchLmoCp(const QString &cpName, const QString &section, const lns::TemplateContext &ctx,
                                  const lns::LonMarkObjectPtr &lonMarkObject, bool *succeed = nullptr);

// The CP `cpName` of a device: the template value "<CP index>,<LonMark object
// index>[,<NV index>]" names a CP of an NV of a LonMark object, of a LonMark
// object, or (object index 0 or less) of the device itself. A step that fails
// sets *succeed false when given; otherwise it throws lns::LnsError 10000
// with "INI-File Error (CP, Object-Fetch): ", "INI-File Error (CP, NV-Fetch): "
// or "INI-File Error (CP, CP-Fetch): " + name + " / Object-Index=", "NV-Index="
// or "CP-Index=" + the index.
lns::ConfigPropertyPtr FetchDevCp(const QString &cpName, const QString &section, const lns::TemplateContext &ctx,
                                  const lns::AppDevicePtr &device, bool *succeed = nullptr);

// Looks a CP up again from the object that owns it: FetchDevCp for a device
// (class id 7), FetchLmoCp for a LonMark object (class id 28); any other
// owner gives false. Never throws.
bool fetchCpFromOwner(const lns::ObjectPtr &owner, const QString &cpIniName, const lns::TemplateContext &ctx,
                      lns::ConfigPropertyPtr *cp);

} // namespace params
