#pragma once

#include "hydraulics/WaterTemperatures.h"

#include <QtGlobal>
#include <cstddef>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zurm {

class CalculationText;

enum class PipePass { Supply, Return };

// One row of ИзмПНапВУзлахТС (a Null ИзмПНап is passed as 0).
struct HeadChangeRow {
    qint16 node = 0;         // Nуз
    bool returnPipe = false; // ТрПр
    double change = 0;       // ИзмПНап
};

// What the selection reads and writes of one КонМаг row. The run keeps one per
// main, parallel to the walks, and stores the outputs into КонМаг.
struct MainSelectionState {
    qint16 endNode = 0;      // КонУзел
    bool supplyDone = false; // РВПод
    bool returnDone = false; // РВОбр
    double supplyLength = 0; // ДлМагПод
    double returnLength = 0; // ДлМагОбр
    std::optional<double> supplyGivenHead; // ПНапЗБИПод (design mode; Null counts as 0)
    std::optional<double> returnGivenHead; // ПНапЗБИОбр (design mode; Null counts as 0)
    // Written by every selection call for every main not yet done in its pass.
    std::optional<qint16> supplyBranchStart; // РНачСУзПод
    std::optional<qint16> returnBranchStart; // РНачСУзОбр
    // Written in design mode only; outside it they keep what they hold (empty
    // after the clearing phase).
    std::optional<double> supplyAllowedLoss; // УПНВМагПод
    std::optional<double> returnAllowedLoss; // УПНВМагОбр
};

// The segment that ends at a node (the first Табл row in table order), with the
// values of the running pass: ПотНОтИКонПод and ДлКонПод for the supply pass,
// ПотНОтИКонОбр and ДлКонОбр for the return pass. A Null loss counts as 0.
struct SegmentAtBranchStart {
    std::optional<double> lossAtEnd;
    double lengthAtEnd = 0;
};
// Returns nullopt when no segment ends at the node.
using SegmentEndingAt = std::function<std::optional<SegmentAtBranchStart>(qint16 node)>;
// Whether a row's segment is in the visited-segments set of the running pass.
using VisitedSegment = std::function<bool(const MainWalkRow& row)>;

struct DesignMainSelectionSetup {
    PipePass pass = PipePass::Supply;
    bool designMode = false;     // НазвРасч.ОпрД
    qint16 startNode = 0;        // НазвРасч.NНачУз
    double supplyHeadAtNode = 0; // Заг.ПНапНаУзПод (design mode)
    double availableHeadAtNode = 0; // Заг.РНапНаУз (design mode, return pass)
    std::vector<HeadChangeRow> headChanges; // every row of ИзмПНапВУзлахТС
    // The visited-segments set of the pass in the order of adding (it only
    // grows while the pass runs). With it, a call outside design mode
    // touches only the mains whose segments were visited since the last call,
    // instead of walking every main not yet done: the same branch starts, the
    // same choice and the same text; without the text in time linear in the
    // mains' rows, with it one copied line per main not done.
    const std::vector<std::pair<qint16, qint16>>* visitedInOrder = nullptr;
};

// The design main selection of one pass (supply or return). Create it after the
// pass has emptied its visited set and use it for that pass only: it remembers,
// per main, how far the visited part of the main reaches, which stays true only
// while the set grows. `walks` must outlive the object and is parallel to the
// `mains` passed to every call.
//
// The caller stops calling once the run has an error.
class DesignMainSelection {
public:
    DesignMainSelection(DesignMainSelectionSetup setup, const std::vector<MainWalk>& walks);
    DesignMainSelection(DesignMainSelectionSetup, std::vector<MainWalk>&&) = delete; // keeps a reference

    // One selection call: for every main not yet done in this pass (ascending
    // id_m) it finds the branch start, writes РНачСУз…, in design mode УПНВМаг…,
    // and the text lines; then returns the index of the main to calculate next:
    // among those not done, the smallest УПНВМаг… (empty first), equal values
    // by ascending id_m. nullopt when every main is done (nothing is written).
    // The order uses the УПНВМаг… values held in `mains`, as the stored column
    // would give them: full doubles as computed here.
    // Cost: one step per main not yet done plus the rows newly visited since
    // the last call.
    // Outside design mode with visitedInOrder the calls follow the run: between
    // two calls only the main the earlier call returned may become done.
    // Throws Failure when a branch start has no segment ending at it or a
    // branch length is 0 (neither happens on a checked network).
    std::optional<std::size_t> operator()(std::vector<MainSelectionState>& mains, const VisitedSegment& visited,
                                          const SegmentEndingAt& segmentEndingAt, CalculationText& text);

    // Design mode: the branch specific loss (УПНВВПод / УПНВВОбр) of the row
    // `row` of main `main`, called after the segment's start loss is stored and
    // before the segment is added to the visited set. Writes its text lines
    // including the closing empty line and returns the value for the segment
    // (empty only if the main's УПНВМаг… is empty at its branch start). The run
    // stores it like every segment value (15 digits, valueAsStoredInSegment)
    // before the segment's indicators read it; nothing here reads it back.
    std::optional<double> branchSpecificLoss(std::size_t main, std::size_t row,
                                             const std::vector<MainSelectionState>& mains,
                                             const VisitedSegment& visited, const SegmentEndingAt& segmentEndingAt,
                                             CalculationText& text);

    // The head changes of this pass's pipe at a node: the sum over every row.
    double headChangeSum(qint16 node) const;

private:
    struct Reach {
        std::size_t firstUnvisited = 0; // first row of the main not in the visited set
        double headChanges = 0;         // S: head changes at the НачУзел of the rows before it
    };
    // Walks the main onward from where it was last seen while rows are visited.
    const Reach& advance(std::size_t main, const VisitedSegment& visited);
    // H and L of a branch leaving the calculated part at node x with sum s.
    std::pair<double, double> branchHeadAndLength(const MainSelectionState& state, qint16 x, double s,
                                                  const SegmentEndingAt& segmentEndingAt) const;
    double allowedLoss(const MainSelectionState& state, double head, double length) const;

    // The call outside design mode (see visitedInOrder), with its text.
    std::optional<std::size_t> selectIncrementally(std::vector<MainSelectionState>& mains, const VisitedSegment& visited,
                                                   CalculationText& text);
    std::optional<std::size_t> writeOpenMains(const std::vector<MainSelectionState>& mains, CalculationText& text);

    DesignMainSelectionSetup setup_;
    const std::vector<MainWalk>& walks_;
    std::vector<std::size_t> idOrder_;
    std::vector<Reach> reach_;
    // The text of an incremental call: each main's line, "Магистраль (ветвь)
    // x - e" and an empty line with their line ends, made again once its
    // branch start has moved (it is stale until then); and the mains not
    // done, by id_m, from openFirst_ on. Each call copies their lines in one run.
    struct Line {
        char bytes[39] = {};
        quint8 size = 0;
    };
    std::vector<Line> lines_;
    std::vector<char> lineStale_;
    std::vector<quint32> staleLines_;
    std::vector<quint32> open_;
    std::size_t openFirst_ = 0;
    std::optional<std::size_t> lastChosen_;
    std::unordered_map<qint16, double> headChangeSums_;
    // Incremental calls: the mains holding each segment (segment k, numbered
    // by node pair in segmentOf_, has mainsOfSegment_[mainsFrom_[k] ..
    // mainsFrom_[k + 1]), ascending), how much of visitedInOrder has been
    // seen, and the first main by id_m that may still be not done.
    // Numbers of node pairs, looked up by the end node first: nearly every
    // node ends one segment only, so the map holds just the rare others.
    class PairNumbers {
    public:
        // The pair's number, and whether it is new (numbered size() - 1).
        std::pair<quint32, bool> add(qint16 a, qint16 b);
        std::optional<quint32> find(qint16 a, qint16 b) const;

    private:
        static constexpr quint32 kNone = ~quint32(0);
        struct Slot {
            qint16 start = 0;
            quint32 number = kNone;
        };
        std::vector<Slot> byEnd_;
        std::unordered_map<quint32, quint32> others_;
        quint32 count_ = 0;
    };
    PairNumbers segmentOf_;
    std::vector<quint32> mainsFrom_;
    std::vector<quint32> mainsOfSegment_;
    std::size_t visitedSeen_ = 0;
    std::size_t firstOpen_ = 0;
    bool started_ = false;
};

} // namespace zurm
