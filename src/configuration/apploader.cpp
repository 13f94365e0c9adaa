#include "apploader.h"

#include "appmodes.h"

#include <platform/tracelog.h>

#include <QFile>
#include <QSettings>
#include <QTextStream>

namespace configuration {

namespace {

// Family name of the image files ("ceiling", "fancoil") as the controller
// kind of the family: the mode mapping only needs the family.
int kindForFamily(const QString &family)
{
    if (family.compare(QLatin1String("ceiling"), Qt::CaseInsensitive) == 0)
        return 1;
    if (family.compare(QLatin1String("fancoil"), Qt::CaseInsensitive) == 0)
        return 2;
    return 0;
}

void writeRaw(const lns::ConfigPropertyPtr &cp, const QString &raw)
{
    const QString format = cp->formatSpecifier();
    cp->setFormatSpecifier(QStringLiteral("RAW"));
    try {
        cp->setValue(raw);
    } catch (...) {
        cp->setFormatSpecifier(format);
        throw;
    }
    cp->setFormatSpecifier(format);
}

} // namespace

double AppLoader::applicationVersion(const lns::AppDevicePtr &device) const
{
    if (!device)
        return 0;
    try {
        return device->applicationVersion();
    } catch (const std::exception &e) {
        platform::TraceLog::instance().write(QStringLiteral("AppLoader: version of %1: %2")
                                                 .arg(device->name(), QString::fromUtf8(e.what())));
        return 0;
    }
}

ImageInfo AppLoader::readImageInfo(const QString &imageFile)
{
    ImageInfo info;
    QFile f(imageFile);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return info;
    QTextStream in(&f);
    bool header = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            header = line == QLatin1String("[Application]");
            if (!header && info.number > 0)
                break;
            continue;
        }
        if (!header)
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Number"))
            info.number = value.toInt();
        else if (key == QLatin1String("Family"))
            info.family = value;
        else if (key == QLatin1String("Version"))
            info.version = value.toDouble();
        else if (key == QLatin1String("Size"))
            info.size = value.toLongLong();
    }
    info.valid = info.number > 0 && !info.family.isEmpty();
    return info;
}

double AppLoader::modelledMilliseconds(qint64 payloadBytes)
{
    // 78 kbit/s, 8 bits per byte, no framing overhead counted here: the
    // object server's channel model gives the exact figure.
    return payloadBytes * 8.0 / 78.0;
}

bool AppLoader::load(const lns::AppDevicePtr &device, const QString &imageFile, QString *error,
                     const lns::LonMarkObjectPtr &object, const lns::TemplateContext &ctx)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (!device)
        return fail(QStringLiteral("AppLoader: no device"));
    const ImageInfo info = readImageInfo(imageFile);
    if (!info.valid)
        return fail(QStringLiteral("AppLoader: cannot read the image file %1").arg(imageFile));
    if (m_progress)
        m_progress(0, info.size);
    try {
        device->loadApplication(imageFile);
    } catch (const std::exception &e) {
        const auto *le = dynamic_cast<const lns::LnsError *>(&e);
        return fail(QStringLiteral("AppLoader: %1: %2")
                        .arg(le ? QString::number(le->number()) : QStringLiteral("-"), QString::fromUtf8(e.what())));
    }
    if (m_progress)
        m_progress(info.size, info.size);

    // The started application reports its own mode.
    if (object && ctx.ini) {
        const ModeAndValves mv = modeForAppNumber(kindForFamily(info.family), info.number);
        try {
            bool found = false;
            lns::ConfigPropertyPtr mode = lns::FetchCp(QStringLiteral("HvacAppMode"), lns::kCpSection, ctx, object, &found);
            if (found && mode)
                writeRaw(mode, QString::number(mv.mode));
            found = false;
            lns::ConfigPropertyPtr valves = lns::FetchCp(QStringLiteral("NumValves"), lns::kCpSection, ctx, object, &found);
            if (found && valves)
                writeRaw(valves, QStringLiteral("0\t%1").arg(mv.valves));
        } catch (const std::exception &e) {
            return fail(QStringLiteral("AppLoader: mode of the new application: %1").arg(QString::fromUtf8(e.what())));
        }
    }
    if (error)
        error->clear();
    return true;
}

} // namespace configuration
