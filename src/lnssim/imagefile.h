// Application image files (*.apb) loaded into a controller.
//
// A small text format of this server's own:
//
//   [Application]
//   Number=3
//   Family=ceiling
//   Version=2.30
//   Name=...                 (optional, free text)
//   Size=<payload bytes>
//   Checksum=<sum of the payload bytes modulo 65536>
//   [Image]
//   <hex digits, any number of lines, 2 digits per payload byte>
//
// The payload is what travels over the channel; its size sets the modelled
// download time. A file whose payload does not match Size or Checksum is
// refused, as a real loader refuses a damaged image.
#pragma once

#include <QByteArray>
#include <QString>

namespace lnssim {

struct ApplicationImage
{
    int number = -1;
    QString family;
    QString version; // as written, e.g. "2.30"
    QString name;
    QByteArray payload;

    // Returns false and sets *why when the file is missing or not a valid image.
    static bool load(const QString &path, ApplicationImage *image, QString *why);
    // The text of an image file (used to make the shipped images and test images).
    static QString compose(int number, const QString &family, const QString &version, const QString &name,
                           const QByteArray &payload);
    static quint16 checksum(const QByteArray &payload);
};

} // namespace lnssim
