// The application loader: asks a device for the version of the application
// it runs and downloads an application image file into it. Stands in for the
// maker's closed loader component; the transfer itself is the object
// server's (the simulated one charges it by payload size and can be told to
// fail it).
#pragma once

#include <lns/lnsobjects.h>
#include <lns/templatelookup.h>

#include <QString>

#include <functional>

namespace configuration {

struct ImageInfo
{
    bool valid = false;
    int number = 0;
    QString family;
    double version = 0;
    qint64 size = 0;
};

class AppLoader
{
public:
    // Progress of a download: bytes sent of the image's payload.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    // Version of the application in the device; 0 when the loader cannot
    // tell (device not answering, not commissioned).
    double applicationVersion(const lns::AppDevicePtr &device) const;

    // Loads the image file into the device. On success the new application
    // starts with the HVAC application mode and valve count of its number
    // (written into the functional block's "HvacAppMode" and "NumValves"
    // CPs when `object` and `ctx` are given), as a freshly started
    // controller application reports its own mode. False with the reason in
    // *error when the image is unreadable or the device refused it.
    bool load(const lns::AppDevicePtr &device, const QString &imageFile, QString *error,
              const lns::LonMarkObjectPtr &object = nullptr, const lns::TemplateContext &ctx = {});

    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // The [Application] header of an image file.
    static ImageInfo readImageInfo(const QString &imageFile);
    // Modelled transfer time of a payload on the 78 kbit/s channel, in ms.
    static double modelledMilliseconds(qint64 payloadBytes);

private:
    Progress m_progress;
};

} // namespace configuration
