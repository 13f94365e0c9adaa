// The INI reader on any text: every section and key it lists can be looked
// up (also through a device template's own sections), and the template
// list, the compatible program ids and the CP indexes are read without
// failing.
#include "fuzzsupport.h"

#include <platform/inifile.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    platform::IniFile ini;
    ini.parse(QString::fromLatin1(input));
    const QStringList sections = ini.sections();
    for (const QString &section : sections) {
        for (const QString &key : ini.keys(section)) {
            fuzz::require(ini.contains(section, key), "a listed key is not there");
            (void)ini.value(section, key, QStringLiteral("AerolisCtrl-T2"));
            (void)ini.indexes(section, key, QStringLiteral("AerolisCtrl-T4"));
        }
    }
    for (const platform::TemplateEntry &t : ini.templates()) {
        const QStringList ids = ini.compatibleProgramIds(t.programId);
        fuzz::require(t.programId.isEmpty() || ids.contains(t.programId), "a program id is not compatible with itself");
    }
    // The same text read twice gives the same sections.
    platform::IniFile again;
    again.parse(QString::fromLatin1(input));
    fuzz::require(again.sections() == sections, "the same text gives other sections");
    return 0;
}
