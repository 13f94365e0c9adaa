// Finding CPs and NVs of the controller by their INI name through the device
// template, never by a hard-coded index.
#pragma once

#include "lnsobjects.h"

#include <platform/inifile.h>

namespace lns {

inline const QString kCpSection = QStringLiteral("norda AerolisController CPs 1.0 ");
inline const QString kNvSection = QStringLiteral("norda AerolisController NVs 1.0 ");
inline const QString kAppsSection = QStringLiteral("norda AerolisController Apps 1.0 ");
inline const QString kHelpSection = QStringLiteral("norda AerolisController Help 1.0");
// Sections that describe the devices made from a template:
// "<CP name>=<scope obj|dev>,<type>,<element bytes>,<dimension>,<factory bytes>"
// and "<NV name>=<direction in|out>,<type>,<bytes>,<initial bytes>".
inline const QString kDeviceCpSection = QStringLiteral("norda AerolisController Device 1.0");
inline const QString kDeviceNvSection = QStringLiteral("norda AerolisController NV Device 1.0");

constexpr int kErrIniFile = 10000;
inline const QString kIniFileErrorText = QStringLiteral("INI - File Error : ");

// The INI reader and the device template of the current device; the name of
// the template selects the per-template overrides of the file.
struct TemplateContext
{
    const platform::IniFile *ini = nullptr;
    DeviceTemplatePtr deviceTemplate;

    QString templateName() const;
    QString value(const QString &section, const QString &key) const;
};

// Each lookup writes its entry line, asks the template for the indexes and
// takes the CP or NV from the right collection. A name the template does not
// have sets *found to false when found is given and throws error 10000
// ("INI - File Error : " + name) otherwise. Errors of the object server are
// traced and passed on.
ConfigPropertyPtr FetchCp(const QString &iniName, const QString &section, const TemplateContext &ctx,
                          const LonMarkObjectPtr &object, bool *found = nullptr);
ConfigPropertyPtr FetchDevCp(const QString &iniName, const QString &section, const TemplateContext &ctx,
                             const AppDevicePtr &device, bool *found = nullptr);
NetworkVariablePtr FetchDevNv(const QString &iniName, const QString &section, const TemplateContext &ctx,
                              const AppDevicePtr &device, bool *found = nullptr);
NetworkVariablePtr FetchNv(const QString &iniName, const QString &section, const TemplateContext &ctx,
                           const LonMarkObjectPtr &object, bool *found = nullptr);

} // namespace lns
