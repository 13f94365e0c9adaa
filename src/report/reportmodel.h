// What a commissioning report holds: per controller its identity and every
// parameter with the value the window shows, the page its control sits on and
// the device template's default for it.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>

namespace report {

struct ParameterRow
{
    int page = -1;      // page number of the window (tab key); -1: no control on a page
    QString pageTitle;
    QString name;
    QString label;      // the caption beside its control, with its frame ("Heating / Comfort temperature")
    int order = 0;      // place of its control on the page: top to bottom, left to right
    bool shown = false; // its control is visible on a page the controller kind shows
    bool locked = false; // its control is disabled or read-only: the page shows no value to edit
    QString kind;       // as the tool's --json names it ("text-box", "combo-box", ...)
    QString value;      // the text the window shows
    QString unit;
    QString stored;     // the value in the parameter file's form
    bool available = true;
    bool read = true;   // the value came from the device (or the user), not the initial 0
    bool defaultKnown = false;
    QString defaultText;   // the default as the window would show it
    QString defaultStored; // in the parameter file's form
    bool differs = false;

    // What the record calls it: the label, or the name where nothing stands
    // beside the control.
    QString title() const { return label.isEmpty() ? name : label; }
};

struct ControllerReport
{
    QString object;     // the object name as given on the command line
    QString device;
    QString subsystem;  // dotted path
    QString deviceTemplate;
    QString programId;
    QString application; // what the window shows of the running application
    bool commissioned = false;
    bool identityKnown = false;

    bool failed = false;
    bool communicationFailure = false;
    QString failure;    // one line

    QVector<ParameterRow> parameters;

    int differing() const;
};

struct Report
{
    QVector<ControllerReport> controllers;
    QDateTime created;
    QString site;        // the building or network the record is for
    QString technician;  // who commissioned
    QString version;     // the plug-in's version
};

// A report created now by this plug-in version, with the site and the
// technician the environment names (AEROLIS_SITE, AEROLIS_TECHNICIAN; the
// technician defaults to the login name).
Report newReport();

// The rows a technician sees, ordered by page (pages in ascending order) and
// within a page as the page shows them.
QVector<ParameterRow> groupedByPage(const QVector<ParameterRow> &rows);

} // namespace report
