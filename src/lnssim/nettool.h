// The logic of the aerolis-net command-line tool (app/aerolis-net is only its
// entry point): creating the demo network, listing devices, showing device
// against database values, injecting faults and printing the counters.
#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace lnssim {

class NetTool
{
public:
    enum ExitCode { Ok = 0, Failed = 1, BadUsage = 2 };

    // defaultIni: the device template used when --ini is not given.
    explicit NetTool(const QString &defaultIni);

    // args without the program name.
    int run(const QStringList &args, QTextStream &out, QTextStream &err);

    static QString usage();

private:
    QString m_defaultIni;
};

} // namespace lnssim
