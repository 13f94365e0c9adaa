// Plug-in registrations of a network project: which plug-in commands a
// network tool offers on the objects made from which device template. A
// plug-in records them (CommandId 50, one per template and command); a
// network tool reads them to offer the commands.
//
// They live in the network database, in a table of their own with its own
// schema component ("aerolis-lnssim-projects", version 1) that is created on
// the first registration, so network files made before it stay valid and
// are upgraded only when something is registered in them.
#pragma once

#include "networkdb.h"

#include <lns/lnsobjects.h>

#include <QString>
#include <QVector>

namespace lnssim {

inline const QString kProjectsComponent = QStringLiteral("aerolis-lnssim-projects");
constexpr int kProjectsSchemaVersion = 1;

struct PlugInRegistration
{
    QString templateName;
    QString programId;
    int registrationNumber = 0;
    QString name;
    qint32 commandId = 0;
    int classId = 0;
    QString description;
    QString manufacturerId;
    QString progIdPrefix;
    QString className;
    QString version;

    // ProgID of the plug-in the command starts ("nordaQRT.Application").
    QString progId() const { return progIdPrefix + QLatin1Char('.') + className; }
    bool operator==(const PlugInRegistration &o) const;
};

class ProjectRegistrations
{
public:
    explicit ProjectRegistrations(NetworkDb &db);

    // Records one command for one template in one transaction; a second
    // registration of the same plug-in, template, CommandId and ClassId
    // replaces the first. Throws ErrBadValue for a registration without
    // template, name or ProgID, ErrDatabase when it cannot be written.
    void add(const PlugInRegistration &r);
    // Ordered by template, CommandId, ClassId, ProgID.
    QVector<PlugInRegistration> all();
    // The commands offered on an object of ClassId classId (-1: any) made
    // from the template.
    QVector<PlugInRegistration> forTemplate(const QString &templateName, int classId = -1);
    // Removes every registration of the ProgID prefix; returns how many.
    int removePlugIn(const QString &progIdPrefix);

    // Rows this connection has changed in the database so far (SQLite's
    // total_changes), for counting the writes of a registration.
    qint64 totalChanges();

    // Creates the table (and its version row) where it is missing, inside
    // the caller's transaction.
    void ensureTable();

private:
    bool tableExists();
    NetworkDb &m_db;
};

// The database of an open network of the simulated object server, nullptr
// for any other network object.
NetworkDb *networkDatabase(const lns::NetworkPtr &network);

} // namespace lnssim
