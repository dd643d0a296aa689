#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace zurm {

class CalculationText;

// One row of МагистралиТС: the segment's nodes and the index of the Табл row
// with these nodes (table order, the index of the run's segment records).
struct MainWalkRow {
    qint16 startNode = 0; // НачУзел
    qint16 endNode = 0;   // КонУзел
    int segment = -1;
};

// One main in walk order: its rows from the start node outward to its end
// segment ("id_m ASC, NппУчВМ DESC").
struct MainWalk {
    int id = 0; // id_m
    std::vector<MainWalkRow> rows;
};

// What the temperatures need of one Табл row (index = table order).
struct TemperatureSegment {
    qint16 startNode = 0;
    qint16 endNode = 0;
    double supplyStartLength = 0; // ДлНачПод
    double supplyEndLength = 0;   // ДлКонПод
    double returnStartLength = 0; // ДлНачОбр (two-pipe)
    double returnEndLength = 0;   // ДлКонОбр (two-pipe)
};

// What the temperatures need of one КонМаг row; walks[i] and mains[i] of the
// input describe the same main.
struct TemperatureMain {
    double supplyLength = 0;            // ДлМагПод
    double returnLength = 0;            // ДлМагОбр (two-pipe)
    double totalLength = 0;             // ДлМагСум (two-pipe)
    std::optional<double> temperatureDrop; // ДельтаТ (two-pipe); empty counts as 0
    qint16 endNode = 0;                 // КонУзел
};

struct WaterTemperatureInput {
    bool twoPipe = false;          // ТипСети = 1
    qint16 startNode = 0;          // НазвРасч.NНачУз
    double minTemperature = 0;     // Заг.МинТВоды (the run checks that it is filled)
    double maxTemperature = 0;     // Заг.МаксТВоды (likewise)
    double maxSupplyLength = 0;    // Заг.МаксДлПод
    std::vector<TemperatureSegment> segments; // Табл in table order
    std::vector<MainWalk> walks;              // МагистралиТС, any order of mains
    std::vector<TemperatureMain> mains;       // КонМаг, parallel to walks
};

// Results per Табл row (index = table order). Two-pipe values stay empty for a
// one-pipe network; a segment on no main keeps all four empty.
struct SegmentTemperatures {
    std::optional<double> supplyStart; // ТВодыНачПод
    std::optional<double> supplyEnd;   // ТВодыКонПод
    std::optional<double> returnStart; // ТВодыНачОбр
    std::optional<double> returnEnd;   // ТВодыКонОбр
};

// The water temperatures of every segment (the phase after the main lengths),
// with section 4 of the calculation text from its empty line and heading to
// the last segment's empty line. The run shows the status text, checks
// МинТВоды/МаксТВоды beforehand and stores the results in Табл.
//
// The values returned are the computed doubles; the run stores them as every
// segment value (15 significant digits). A branch of a two-pipe network starts
// from the temperatures stored in the segment that ends at its branch start, so
// those are read back here through valueAsStoredInSegment, as the table would
// give them.
//
// Mains are taken longest first (ДлМагПод for one-pipe, ДлМагСум for two-pipe
// networks), equal lengths by ascending id_m. Throws Failure when a segment
// index is out of range or no segment ends at a branch start (a network that
// passed the topology check has neither).
std::vector<SegmentTemperatures> computeWaterTemperatures(const WaterTemperatureInput& input, CalculationText& text);

} // namespace zurm
