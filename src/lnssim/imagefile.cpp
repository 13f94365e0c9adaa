#include "imagefile.h"

#include <QFile>
#include <QStringList>

#include <cctype>

namespace lnssim {

quint16 ApplicationImage::checksum(const QByteArray &payload)
{
    quint32 sum = 0;
    for (char c : payload)
        sum += static_cast<unsigned char>(c);
    return static_cast<quint16>(sum & 0xFFFF);
}

QString ApplicationImage::compose(int number, const QString &family, const QString &version, const QString &name,
                                  const QByteArray &payload)
{
    QString text;
    text += QStringLiteral("[Application]\n");
    text += QStringLiteral("Number=%1\n").arg(number);
    text += QStringLiteral("Family=%1\n").arg(family);
    text += QStringLiteral("Version=%1\n").arg(version);
    if (!name.isEmpty())
        text += QStringLiteral("Name=%1\n").arg(name);
    text += QStringLiteral("Size=%1\n").arg(payload.size());
    text += QStringLiteral("Checksum=%1\n").arg(checksum(payload));
    text += QStringLiteral("[Image]\n");
    const QByteArray hex = payload.toHex().toUpper();
    for (int i = 0; i < hex.size(); i += 64)
        text += QString::fromLatin1(hex.mid(i, 64)) + QLatin1Char('\n');
    return text;
}

bool ApplicationImage::load(const QString &path, ApplicationImage *image, QString *why)
{
    auto fail = [&](const QString &reason) {
        if (why)
            *why = QStringLiteral("application image %1: %2").arg(path, reason);
        return false;
    };
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot be read (%1)").arg(f.errorString()));
    const QString text = QString::fromLatin1(f.readAll());
    const QStringList lines = text.split(QLatin1Char('\n'));

    ApplicationImage img;
    QString section;
    bool haveSize = false, haveChecksum = false, haveNumber = false;
    int size = 0;
    uint sum = 0;
    QByteArray hex;
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        if (section == QLatin1String("Application")) {
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq <= 0)
                return fail(QStringLiteral("bad header line \"%1\"").arg(line));
            const QString key = line.left(eq).trimmed();
            const QString value = line.mid(eq + 1).trimmed();
            bool ok = true;
            if (key == QLatin1String("Number")) {
                img.number = value.toInt(&ok);
                haveNumber = ok;
            } else if (key == QLatin1String("Family")) {
                img.family = value;
            } else if (key == QLatin1String("Version")) {
                value.toDouble(&ok);
                img.version = value;
            } else if (key == QLatin1String("Name")) {
                img.name = value;
            } else if (key == QLatin1String("Size")) {
                size = value.toInt(&ok);
                haveSize = ok;
            } else if (key == QLatin1String("Checksum")) {
                sum = value.toUInt(&ok);
                haveChecksum = ok;
            }
            if (!ok)
                return fail(QStringLiteral("bad value in \"%1\"").arg(line));
        } else if (section == QLatin1String("Image")) {
            hex += line.toLatin1();
        } else {
            return fail(QStringLiteral("line outside a section: \"%1\"").arg(line));
        }
    }
    if (!haveNumber || img.family.isEmpty() || img.version.isEmpty() || !haveSize || !haveChecksum)
        return fail(QStringLiteral("header incomplete (Number, Family, Version, Size and Checksum are needed)"));
    for (char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return fail(QStringLiteral("payload is not hexadecimal"));
    }
    if (hex.size() % 2 != 0)
        return fail(QStringLiteral("payload has an odd number of hex digits"));
    img.payload = QByteArray::fromHex(hex);
    if (img.payload.size() != size)
        return fail(QStringLiteral("payload has %1 bytes, header says %2").arg(img.payload.size()).arg(size));
    if (checksum(img.payload) != sum)
        return fail(QStringLiteral("checksum mismatch (damaged image)"));
    *image = img;
    return true;
}

} // namespace lnssim
