#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace zurm {

class DataModule;

// The graphs of a finished calculation along one main: the lists the graph
// window offers and the series of one graph, computed from the result tables.
// Painting lives in render/GraphPainter.

// Shown when the graph is asked for while the calculation-done flag is clear.
inline const QString kGraphNeedsCalculation =
    QStringLiteral("Перед формированием графика необходимо выполнить расчет (Команда: Данные / Выполнить расчет).");

// One row of МагистралиТС: a segment of a main.
struct GraphMainSegment {
    int start = 0; // НачУзел
    int end = 0;   // КонУзел
    int order = 0; // NппУчВМ, 1 at the end segment
};

// A main, its segments from the source towards its end node.
struct GraphMain {
    int id = 0;   // id_m
    QString text; // "1.   0 - 12": the list item and the chart's title
    std::vector<GraphMainSegment> segments;
};

// Everything the graph window lists, read once when it opens.
struct GraphCatalogue {
    bool twoPipe = false;
    std::vector<GraphMain> mains;
    // The graph types: the fixed ones, then every user indicator of the segments.
    QStringList types;
    QString supplyFlowName; // НаимПок of РасхПод
    QString returnFlowName; // НаимПок of РасхОбр
    // Full names of the user indicators whose types are listed, by short name.
    QStringList userShortNames;
    QStringList userFullNames;
    int precision = 3; // ТочностьЧиселВОтч: decimals of the value marks

    // Node numbers of the start list of a main (the НачУзел of its segments)
    // and of the end list from the segment that starts at `startNode` on.
    std::vector<int> startNodes(int mainIndex) const;
    std::vector<int> endNodes(int mainIndex, int startNode) const;
};

// Reads the mains, the types and the names. The report precision comes from
// the settings when they are open. Throws Failure.
GraphCatalogue readGraphCatalogue(const DataModule& data);

// The graph types of a network, before the user indicators.
QStringList fixedGraphTypes(bool twoPipe);

struct GraphRequest {
    int mainIndex = 0;              // item of the main list
    int typeIndex = 0;              // item of the type list
    std::optional<int> startNode;   // none: the main's first node
    std::optional<int> endNode;     // none: the main's end node
    bool useSupplyLength = true;    // cbUDPT: nodes placed by the supply-pipe length
    bool showSupplyLength = true;   // cbPDPT: labels carry the supply-pipe length
};

// The three series of every graph.
enum GraphSeriesRole { kGroundSeries = 0, kReturnSeries = 1, kSupplySeries = 2 };
inline constexpr int kGraphSeriesCount = 3;

// What a series has at one step of the walk.
struct GraphValue {
    enum Kind : unsigned char { None, Gap, Point };
    Kind kind = None;
    double value = 0;
};

// One step of the walk: the points put at one abscissa together, with the
// label the labelled ones carry (empty for unlabelled heads). Two steps may
// share an abscissa: a segment's end and the next segment's start.
struct GraphStep {
    double x = 0;
    QString label;
    std::array<GraphValue, kGraphSeriesCount> values;
};

// A point of a pressure-regime line, in the graph's units.
struct GraphPoint {
    double x = 0;
    double y = 0;
};

// A building on the ground profile: its consumer's height above the ground.
struct GraphBuilding {
    int node = 0;
    double x = 0;
    double ground = 0; // m
    double height = 0; // ВысЗд, m
};

// The pressure regime drawn over the piezometric graph, beside its three
// series (which stay as they are). The lines do not widen the axes: whatever
// lies outside the series' range is cut off.
struct GraphPressureLines {
    bool shown = false;                    // the piezometric graph only
    std::optional<double> staticHead;      // СтатНапор: a horizontal line
    double allowedPressure = 60;           // ДопДавлМС above the ground
    std::vector<GraphPoint> allowed;       // ground + ДопДавлМС along the profile
    // Ground + the boiling head of the supply water, in runs over the nodes
    // whose supply water is above 100 °C.
    std::vector<std::vector<GraphPoint>> boiling;
    std::vector<GraphBuilding> buildings;  // at the end nodes of the stretch
};

struct Graph {
    QString title;
    QString bottomTitle;
    QString leftTitle;
    std::array<QString, kGraphSeriesCount> seriesTitles{
        QStringLiteral("ГеодВыс"), QStringLiteral("Обр"), QStringLiteral("Под")};
    std::vector<GraphStep> steps;
    double xFrom = 0, xTo = 100;
    double yFrom = 0, yTo = 100;
    int precision = 0; // decimals of the value marks
    bool twoPipe = false;
    GraphPressureLines pressure;
};

// The graph the request asks for. Throws Failure on a database error;
// refuses (returns the message in `refusal`) while the calculation-done flag
// is clear.
struct GraphOutcome {
    QString refusal;
    Graph graph;
};
GraphOutcome computeGraph(const DataModule& data, const GraphCatalogue& catalogue, const GraphRequest& request);

// A number in the marks' format "#,##0.##" with `precision` places: at most
// that many decimals, trailing zeros dropped, thousands grouped by a space,
// "." as decimal point.
QString graphNumberText(double value, int precision);

// The graph's points as CSV: position, label and one column per series,
// empty where a series has no point or a gap; numbers with "." and all
// their digits. One line per step, CR LF line ends, the series titles in the
// header.
QString graphCsv(const Graph& graph);

} // namespace zurm
