#include "resstrings.h"

#include <QFile>
#include <QHash>

#include <limits>

static void initStringResource()
{
    Q_INIT_RESOURCE(strings);
}

namespace platform {
namespace {

int g_languageOffset = 0;

const QHash<int, QString> &table()
{
    static const QHash<int, QString> t = [] {
        initStringResource();
        QHash<int, QString> result;
        QFile f(QStringLiteral(":/aerolis/strings.tsv"));
        if (!f.open(QIODevice::ReadOnly))
            return result;
        const QString text = QString::fromUtf8(f.readAll());
        for (QString line : text.split(QLatin1Char('\n'))) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const int tab = line.indexOf(QLatin1Char('\t'));
            if (tab <= 0)
                continue;
            bool ok = false;
            const int id = line.left(tab).toInt(&ok);
            if (ok)
                result.insert(id, line.mid(tab + 1));
        }
        return result;
    }();
    return t;
}

} // namespace

void setLanguageOffset(int offset)
{
    g_languageOffset = offset;
}

int languageOffset()
{
    return g_languageOffset;
}

QString rawString(int id)
{
    return table().value(id);
}

int stringCount()
{
    return table().size();
}

} // namespace platform

QString gLoadResString(int id, int &itemIndex)
{
    if (itemIndex == 0)
        itemIndex = 1;
    const int key = id + platform::languageOffset();
    // The ids are 16-bit: a sum past that range is an overflow, which the
    // loader swallows like every other error.
    if (key > std::numeric_limits<qint16>::max() || key < std::numeric_limits<qint16>::min())
        return QString();
    const QString entry = platform::rawString(key);
    if (entry.isEmpty() || itemIndex < 1)
        return QString();
    const QStringList items = entry.split(platform::kItemSeparator);
    if (itemIndex > items.size())
        return QString();
    QString text = items.at(itemIndex - 1);
    text.replace(platform::kLineBreakMark, QLatin1Char('\n'));
    return text;
}

QString gLoadResString(int id, const int &itemIndex)
{
    int index = itemIndex;
    return gLoadResString(id, index);
}
