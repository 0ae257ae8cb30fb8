// Writes the largest real data into a data directory: 80 tables all open, the catalogue of
// 500 extras, a table with 200 booked extras, the fee list of 100 fees.
#include "benchdata.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: kelvora_benchdata DATA_DIR\n");
        return 2;
    }
    benchdata::write(kv::Paths(app.arguments().at(1)), benchdata::Options{});
    return 0;
}
