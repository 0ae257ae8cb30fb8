// Writes the largest real data into a data directory: 80 tables all open, the catalogue of
// 500 extras, a table with 200 booked extras, the fee list of 100 fees and, with a count,
// a ledger of that many settled bills.
#include "benchdata.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: kelvora_benchdata DATA_DIR [LEDGER_BILLS]\n");
        return 2;
    }
    benchdata::Options options;
    options.ledgerBills = args.value(2).toInt();
    const kv::Paths paths(args.at(1));
    benchdata::write(paths, options);
    return options.ledgerBills > 0 && !QFile::exists(paths.ledgerFile()) ? 1 : 0;
}
