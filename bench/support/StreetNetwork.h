#pragma once

#include <QString>
#include <cstdint>

namespace zurm::bench {

// A district network shaped like streets: a trunk leaves the source, streets
// branch off the trunk, lanes off the streets, and along every street short
// service pipes lead to the buildings (end nodes). About 40 % of the nodes are
// end nodes; the longest mains run to about 200 segments.
struct StreetNetworkOptions {
    int nodes = 1000;        // 2 .. 32 701 (node numbers run 0 .. nodes - 1, 0 is the source)
    std::uint32_t seed = 1;  // the same seed gives the same file
    // true: flows only on the end segments and РасчРасх = 1 (the run
    // distributes them); false: every segment carries the sum of the flows
    // below it and РасчРасх = 0.
    bool flowsOnEndSegmentsOnly = true;
    // Shuffle the node numbers, so that main numbers (ascending end node) do
    // not follow the shape of the network.
    bool shuffleNodeNumbers = true;
};

// What the generator made, for the counters of the benchmarks.
struct StreetNetworkSummary {
    int nodes = 0;
    int segments = 0;
    int endNodes = 0;      // = mains
    int longestMain = 0;   // segments
    qint64 mainRows = 0;   // rows of МагистралиТС (sum of the main lengths)
    double totalLength = 0; // m, supply pipe
};

// Writes a ready-to-calculate two-pipe calculation file at `path` (replaced if
// present) from the template: nodes with positions and geodetic heights,
// segments of 20 .. 200 m with nominal diameters (ДуПод) that suit their flow,
// flows as the options say, the header's entered values (heads, temperatures,
// roughness), then runs the topology check from node 0 and stores its status
// (ПарТСКорр = 0), so МагистралиТС and КонМаг are built. `programFolder` holds
// the delivered files (Spr.mdb). Throws zurm::Failure on a database error or
// when the check does not pass.
StreetNetworkSummary generateStreetCalculation(const QString& path, const QString& templatePath,
                                               const QString& programFolder, const StreetNetworkOptions& options);

// The street calculation of `nodes` nodes with the default options, generated
// on first use from the delivered template into a temporary folder that lives
// as long as the process; later calls return the same file. Throws like
// generateStreetCalculation.
const QString& streetCalculation(int nodes);
// What the generator made for streetCalculation(nodes) (generating it if needed).
const StreetNetworkSummary& streetCalculationSummary(int nodes);

} // namespace zurm::bench
