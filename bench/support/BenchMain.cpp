// The main of every benchmark program: Qt's SQL drivers want an application
// object before the first connection.
#include "support/RunBenchmarks.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return zurm::bench::runBenchmarks(argc, argv);
}
