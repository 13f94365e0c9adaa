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
};

// Rows ordered by page (pages in ascending order, rows without a page last),
// keeping the collection's order within a page.
QVector<ParameterRow> groupedByPage(const QVector<ParameterRow> &rows);

} // namespace report
