// The tool's argument analyser (cli::parseArgs) with the option tables of
// its commands. The first byte chooses the table, the rest is the argument
// list, one argument per line. Besides the sanitizers' judgement the result
// must keep its promises: a usage error is one line and the only outcome
// besides success; on success every flag and option is one the table
// names, every positional argument is an argument given that does not read
// as an option, and nothing is counted twice.
#include "fuzzsupport.h"

#include <cli/commands.h>
#include <cli/selection.h>
#include <cli/session.h>

#include <QStringList>

namespace {

struct OptionTable
{
    QStringList flags;
    QStringList values;
};

// The tables of read, write, diff/set-mode, copy, report and monitor.
QVector<OptionTable> tables()
{
    return {
        {{QStringLiteral("--json")}, {QStringLiteral("-o"), QStringLiteral("--output")}},
        {{QStringLiteral("--dry-run"), QStringLiteral("--strict")}, {}},
        {{}, {}},
        {cli::selectorFlagNames() + QStringList{QStringLiteral("--strict")},
         cli::selectorValueNames() + QStringList{QStringLiteral("--retry-failed"), QStringLiteral("--result")}},
        {cli::selectorFlagNames(),
         cli::selectorValueNames() + QStringList{QStringLiteral("--html"), QStringLiteral("--pdf"), QStringLiteral("--csv")}},
        {{QStringLiteral("--json")}, {QStringLiteral("--seconds")}},
    };
}

bool readsAsOption(const QString &a)
{
    return a.startsWith(QLatin1Char('-')) && a.size() > 1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const QVector<OptionTable> all = tables();
    const OptionTable &table = all.at(data[0] % all.size());
    const QStringList args = QString::fromUtf8(fuzz::bytes(data + 1, size - 1)).split(QLatin1Char('\n'));

    const cli::ParsedArgs r = cli::parseArgs(args, table.flags, table.values);

    fuzz::require(r.status == 0 || r.status == cli::kUsage, "status is success or usage error");
    fuzz::require((r.status == 0) == r.error.isEmpty(), "a usage error has its message, success none");
    if (r.status != 0) {
        fuzz::require(!r.error.contains(QLatin1Char('\n')), "a usage error is one line");
        return 0;
    }
    for (const QString &f : r.flags)
        fuzz::require(table.flags.contains(f), "every flag is one of the table");
    for (auto it = r.values.cbegin(); it != r.values.cend(); ++it)
        fuzz::require(table.values.contains(it.key()), "every option is one of the table");
    for (const QString &p : r.positional) {
        fuzz::require(args.contains(p), "a positional argument is one given");
        fuzz::require(!readsAsOption(p), "an argument that reads as an option is no positional argument");
    }
    fuzz::require(r.positional.size() + r.flags.size() + r.values.size() <= args.size(),
                  "no argument is taken twice");
    return 0;
}
