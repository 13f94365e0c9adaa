// Reader of the plug-in's INI device template (and of any other INI-style
// file the program reads).
//
// Section and key texts are matched exactly, blanks included: the template's
// CP and NV sections end with a blank, and "[Foo ]" is a different section
// from "[Foo]". A line that is neither a comment, a section header nor a
// "key=value" pair is skipped and reported to the trace log.
//
// Device templates: the file may carry per-template sections named
// "<template name>|<section>". A lookup made for a device template looks in
// that section first and falls back to the common section, so one file serves
// every controller type while each type overrides only what differs.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace platform {

struct TemplateEntry
{
    QString name;        // device template name
    QString programId;   // program id of devices made from the template
    QStringList compatibleProgramIds; // ids whose parameter files this template may load
};

class IniFile
{
public:
    IniFile() = default;

    // Sets the file and reads it. Returns false when it does not exist or
    // cannot be read; the reader is then empty.
    bool setFileName(const QString &fileName);
    QString fileName() const { return m_fileName; }
    bool exists() const { return m_loaded; }
    void reload();

    // Reads a value; empty when the section or key is missing. With a
    // template name, "<template>|<section>" is looked at first.
    QString value(const QString &section, const QString &key, const QString &templateName = QString()) const;
    bool contains(const QString &section, const QString &key, const QString &templateName = QString()) const;
    QStringList sections() const;
    QStringList keys(const QString &section) const;

    // Indexes of an INI name: for CPs the CP index and the member index, for
    // NVs the NV index and the LonMark object index. -1 when the name is not
    // in the template (or its value carries no number).
    struct Indexes
    {
        int index = -1;
        int member = -1;
    };
    Indexes indexes(const QString &section, const QString &key, const QString &templateName = QString()) const;

    // Device templates the plug-in serves, in file order.
    QVector<TemplateEntry> templates() const;
    // Program ids that may load parameter data written for programId
    // (programId itself included).
    QStringList compatibleProgramIds(const QString &programId) const;

    // Parses INI text (used by setFileName, and by tests and tools that hold
    // the text in memory). Returns the number of skipped bad lines.
    int parse(const QString &text);

    static const QString kTemplatesSection;

private:
    struct Section
    {
        QStringList order;
        QHash<QString, QString> values;
    };
    QString m_fileName;
    bool m_loaded = false;
    QStringList m_sectionOrder;
    QHash<QString, Section> m_sections;
};

} // namespace platform
