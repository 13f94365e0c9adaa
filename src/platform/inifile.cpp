#include "inifile.h"

#include "tracelog.h"

#include <QFile>
#include <QStringDecoder>

namespace platform {

const QString IniFile::kTemplatesSection = QStringLiteral("norda AerolisController Templates");

bool IniFile::setFileName(const QString &fileName)
{
    m_fileName = fileName;
    reload();
    return m_loaded;
}

void IniFile::reload()
{
    m_sections.clear();
    m_sectionOrder.clear();
    m_loaded = false;
    QFile f(m_fileName);
    if (m_fileName.isEmpty() || !f.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = f.readAll();
    // The template is written in UTF-8; an 8-bit file that is not valid UTF-8
    // is read as Latin-1 so that no byte is lost.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (utf8.hasError())
        text = QString::fromLatin1(data);
    parse(text);
    m_loaded = true;
}

int IniFile::parse(const QString &text)
{
    int bad = 0;
    QString current;
    const QStringList lines = text.split(QLatin1Char('\n'));
    int lineNo = 0;
    for (QString line : lines) {
        ++lineNo;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const int close = line.lastIndexOf(QLatin1Char(']'));
            if (close > 0) {
                current = line.mid(1, close - 1);
                if (!m_sections.contains(current))
                    m_sectionOrder << current;
                m_sections[current];
                continue;
            }
        } else {
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq > 0 && !current.isNull()) {
                const QString key = line.left(eq);
                Section &s = m_sections[current];
                if (!s.values.contains(key))
                    s.order << key;
                s.values.insert(key, line.mid(eq + 1));
                continue;
            }
        }
        ++bad;
        TraceLog::instance().write(QStringLiteral("[QX_IniFile] skipped line %1 of %2: %3")
                                       .arg(lineNo)
                                       .arg(m_fileName.isEmpty() ? QStringLiteral("<text>") : m_fileName, line));
    }
    return bad;
}

QString IniFile::value(const QString &section, const QString &key, const QString &templateName) const
{
    if (!templateName.isEmpty()) {
        const auto it = m_sections.constFind(templateName + QLatin1Char('|') + section);
        if (it != m_sections.constEnd() && it->values.contains(key))
            return it->values.value(key);
    }
    const auto it = m_sections.constFind(section);
    if (it == m_sections.constEnd())
        return QString();
    return it->values.value(key);
}

bool IniFile::contains(const QString &section, const QString &key, const QString &templateName) const
{
    if (!templateName.isEmpty()) {
        const auto it = m_sections.constFind(templateName + QLatin1Char('|') + section);
        if (it != m_sections.constEnd() && it->values.contains(key))
            return true;
    }
    const auto it = m_sections.constFind(section);
    return it != m_sections.constEnd() && it->values.contains(key);
}

QStringList IniFile::sections() const
{
    return m_sectionOrder;
}

QStringList IniFile::keys(const QString &section) const
{
    return m_sections.value(section).order;
}

IniFile::Indexes IniFile::indexes(const QString &section, const QString &key, const QString &templateName) const
{
    Indexes result;
    if (!contains(section, key, templateName))
        return result;
    const QStringList parts = value(section, key, templateName).split(QLatin1Char(','));
    bool ok = false;
    const int index = parts.value(0).trimmed().toInt(&ok);
    if (!ok)
        return result;
    result.index = index;
    if (parts.size() > 1) {
        const int member = parts.value(1).trimmed().toInt(&ok);
        result.member = ok ? member : 0;
    } else {
        result.member = 0;
    }
    return result;
}

QVector<TemplateEntry> IniFile::templates() const
{
    QVector<TemplateEntry> result;
    const Section s = m_sections.value(kTemplatesSection);
    for (const QString &key : s.order) {
        if (!key.startsWith(QLatin1String("Template")))
            continue;
        TemplateEntry e;
        e.name = s.values.value(key).trimmed();
        if (e.name.isEmpty())
            continue;
        e.programId = value(e.name, QStringLiteral("ProgramId")).trimmed();
        const QString compatible = value(e.name, QStringLiteral("CompatibleProgramIds"));
        for (const QString &id : compatible.split(QLatin1Char(','), Qt::SkipEmptyParts))
            e.compatibleProgramIds << id.trimmed();
        result << e;
    }
    return result;
}

QStringList IniFile::compatibleProgramIds(const QString &programId) const
{
    QStringList result;
    for (const TemplateEntry &e : templates()) {
        if (e.programId == programId) {
            result << e.programId;
            result << e.compatibleProgramIds;
        }
    }
    if (result.isEmpty())
        result << programId;
    result.removeDuplicates();
    return result;
}

} // namespace platform
