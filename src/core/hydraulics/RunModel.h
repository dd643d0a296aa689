#pragma once

// Everything one calculation run reads, held in memory as plain structures
// with index maps, and written back to the calculation file in one
// transaction (RunModelWrite.cpp). Look-ups pick the same row as walking the
// tables in their stored order would: the first segment in table order for a
// pair of nodes or an end node, the first head-change row per node and pipe.

#include "document/NetworkKinds.h"
#include "hydraulics/DesignMainSelection.h"
#include "indicators/IndicatorEvaluation.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zurm {

class ReferenceTables;
struct WrittenMains;

namespace run {

using Value = std::optional<double>;

// One КонМаг row.
struct EndNodeRow {
    qint64 rowid = 0;
    int idM = 0;
    qint16 endNode = 0;
    bool doneSupply = false; // РВПод
    bool doneReturn = false; // РВОбр
    std::optional<qint16> branchStartSupply; // РНачСУзПод
    std::optional<qint16> branchStartReturn; // РНачСУзОбр
    Value lengthSupply;        // ДлМагПод
    Value lossSupply;          // ПотНОтИПод
    Value headSupply;          // ПНапПод
    Value givenHeadSupply;     // ПНапЗПод
    Value givenHeadSupplyBare; // ПНапЗБИПод
    Value allowedLossSupply;   // УПНВМагПод
    Value lengthReturn;        // ДлМагОбр
    Value lengthTotal;         // ДлМагСум
    Value lossReturn;          // ПотНОтИОбр
    Value headReturn;          // ПНапОбр
    Value availableHead;       // РНап
    Value givenAvailableHead;  // РНапЗ
    Value givenHeadReturn;     // ПНапЗОбр
    Value givenHeadReturnBare; // ПНапЗБИОбр
    Value allowedLossReturn;   // УПНВМагОбр
    Value deltaT;              // ДельтаТ
};

// A КонМаг column and the EndNodeRow member it maps onto: a flag (0 or 1), a
// node number or a number.
struct EndNodeField {
    enum class Kind { Flag, Node, Number };
    QString name;
    Kind kind = Kind::Number;
    Value EndNodeRow::*number = nullptr;              // the member of a number column
    bool EndNodeRow::*flag = nullptr;                 // of a flag column
    std::optional<qint16> EndNodeRow::*node = nullptr; // of a node column
};
// Every КонМаг column the run reads or writes; a table holds those of its
// network type and mode.
const std::vector<EndNodeField>& endNodeFields();

// One МагистралиТС row. Its flows are the run's (RunModel::rowFlow).
struct MainRow {
    qint64 rowid = 0;
    int idM = 0;
    int npp = 0; // NппУчВМ, 1 at the end segment
    qint16 startNode = 0;
    qint16 endNode = 0;
    int stored = 0; // position in the stored (rowid) order
};

// An indicator of an order table, looked up and (when evaluated) compiled once.
struct OrderedIndicator {
    QString shortName;
    int position = 0; // Nприоритета; an empty position is not evaluated either
    QString fullName;
    std::optional<CompiledIndicator> compiled; // set when position > 0
    int column = -1; // column of the value in the header or segment record
};

// A stored row the run cannot use, found while loading: the node as stored,
// the field and what is wrong with the value (its message text, or the value
// as it reads when it is no finite number).
struct BadInputRow {
    QString node;
    QString field;
    QString problem;
};

// A user indicator row of Формулы as the clearing phase reads it.
struct UserIndicatorRow {
    QString shortName;
    bool header = false; // ТипПок upper-cased is "З"
    bool enteredByUser = false;
};

// Fixed column positions in the segment record.
struct SegmentColumns {
    int startHeight, endHeight, lengthSupply, lengthReturn, flowSupply, flowReturn;
    int lengthStartSupply, lengthEndSupply, lengthStartReturn, lengthEndReturn;
    int tempStartSupply, tempEndSupply, tempStartReturn, tempEndReturn;
    int lossStartSupply, lossEndSupply, lossStartReturn, lossEndReturn;
    int headStartSupply, headEndSupply, headStartReturn, headEndReturn;
    int availableStart, availableEnd;
    int branchLossSupply, branchLossReturn; // УПНВВПод, УПНВВОбр; -1 when the table has none
};

struct HeaderColumns {
    int supplyHead, availableHead, minHeight, maxHeight, maxLengthSupply, maxLengthReturn, maxLengthTotal;
    int minTemperature, maxTemperature;
};

inline quint32 nodePairKey(qint16 a, qint16 b) { return (quint32(quint16(a)) << 16) | quint16(b); }

class RunModel {
public:
    // Reads НазвРасч, the header and segment records, КонМаг (ascending id_m),
    // МагистралиТС (walk order), УзлыТС, ИзмПНапВУзлахТС, Формулы and the
    // predefined rows needed by the run. Throws Failure.
    // Given the rows of МагистралиТС just written by the topology check, takes
    // them instead (and empties the list) when the table holds as many rows.
    static RunModel load(const QSqlDatabase& calculation, WrittenMains* writtenMains = nullptr);
    // Reads the order tables and compiles the indicators they evaluate.
    void loadOrder(const QSqlDatabase& calculation);

    // Writes the header and every segment, КонМаг and МагистралиТС row and the
    // visited set in one transaction.
    void writeBack(const QSqlDatabase& calculation) const;

    // НазвРасч
    int networkType = 0;
    bool twoPipe() const { return networkType == kTwoPipe; }
    bool designMode = false;
    bool distributeFlows = false;
    qint16 startNode = 0;
    qint16 supplyHeadNode = 0;    // NузПНапПод as stored by the run
    qint16 availableHeadNode = 0; // NузРНап
    std::optional<bool> returnLengthEntered; // ВводПольз of ДлНаУчОбр; nullopt: row missing
    std::optional<bool> returnFlowEntered;   // ВводПольз of РасхОбр

    RecordColumns headerColumns;
    RecordColumns segmentColumns;
    HeaderRecord header;
    std::vector<SegmentRecord> segments; // table order
    SegmentColumns col{};
    HeaderColumns hcol{};

    std::vector<EndNodeRow> endNodes; // ascending id_m
    std::vector<MainRow> mains;       // walk order: id_m ASC, NппУчВМ DESC (ties by rowid)
    // Walk positions of the МагистралиТС rows in stored (rowid) order.
    const std::vector<int>& mainsInStoredOrder() const { return walkOfStored_; }

    // The flows of МагистралиТС rows (РасхПод, РасхОбр). The flow
    // distribution gives every row of a main the flow of its end segment;
    // a row of a main without one keeps the flow it started the run with.
    void setMainFlow(int idM, bool returnPipe, Value flow);
    Value rowFlow(const MainRow& row, bool returnPipe) const;
    std::vector<UserIndicatorRow> userIndicators;

    std::vector<OrderedIndicator> headerOrder, supplyOrder, returnOrder;

    // Record columns of the indicators the user enters (ВводПольз of the
    // Формулы row, else of the predefined row): the run's inputs.
    std::vector<int> headerInputColumns, segmentInputColumns;
    // The first УзлыТС row whose height is no finite number, and the first
    // ИзмПНапВУзлахТС row whose node is no node number or whose change is no
    // finite number (such a row takes no part in the look-ups).
    std::optional<BadInputRow> badHeight, badHeadChange;
    // A header (record -1) or segment value as stored: the text of a value
    // that is no number (read as NaN), else the number.
    QString valueAsStored(int record, int column) const;

    // The visited-segments set of the running walk, in the order of adding.
    std::vector<std::pair<qint16, qint16>> visitedList;
    void clearVisited();
    void visit(qint16 a, qint16 b);
    bool isVisited(qint16 a, qint16 b) const
    {
        const int segment = segmentByNodes(a, b);
        return segment >= 0 ? visitedSegment_[size_t(segment)] != 0 : visitedElsewhere_.contains(nodePairKey(a, b));
    }

    // Look-ups; -1 when there is none.
    int segmentByNodes(qint16 a, qint16 b) const
    {
        // The first segment ending at b is the one, unless the network has
        // several ending there.
        const int ending = segmentEndingAt(b);
        if (ending >= 0 && segments[size_t(ending)].startNode == a)
            return ending;
        return bySegmentNodes_.value(nodePairKey(a, b), -1);
    }
    int segmentEndingAt(qint16 node) const { return byEndNode_.empty() ? -1 : byEndNode_[quint16(node)]; }
    int segmentStartingAt(qint16 node) const { return byStartNode_.empty() ? -1 : byStartNode_[quint16(node)]; }
    // Walk-order rows of main idM: [first, last).
    std::pair<int, int> mainRows(int idM) const;
    // The first head-change of the node in the pipe (0 when there is none) and the sum of all of them.
    double firstHeadChange(qint16 node, bool returnPipe) const;
    double headChangeSum(qint16 node, bool returnPipe) const;
    // УзлыТС: nullopt when the node is not listed; the inner optional is the height.
    std::optional<Value> nodeHeight(qint16 node) const;
    // Every row of ИзмПНапВУзлахТС in stored order.
    const std::vector<HeadChangeRow>& headChangeRows() const { return headChanges_; }

    Value& seg(int segment, int column) { return segments[size_t(segment)].values[size_t(column)]; }
    Value seg(int segment, int column) const { return segments[size_t(segment)].values[size_t(column)]; }
    Value& head(int column) { return header.values[size_t(column)]; }

    // Segment record column of a name; throws Failure when the table has none.
    int segmentColumn(const QString& name) const;
    int headerColumn(const QString& name) const;

private:
    void buildIndexes();
    void writeMainFlows(const QSqlDatabase& calculation) const;

    QHash<quint32, int> bySegmentNodes_;
    // The visited set: a flag at the first segment of a pair of nodes, and the
    // pairs of no segment.
    std::vector<char> visitedSegment_;
    QSet<quint32> visitedElsewhere_;
    // Per node (indexed by the node number as unsigned 16 bits).
    std::vector<int> byEndNode_;
    std::vector<int> byStartNode_;
    std::unordered_map<int, std::pair<int, int>> mainRange_;
    std::vector<int> walkOfStored_;
    // The flows set per main by id_m (index id_m - 1; nullopt: not set).
    std::vector<std::optional<Value>> mainFlows_[2];
    std::vector<double> firstChange_[2];
    std::vector<char> hasFirstChange_[2];
    std::vector<double> changeSum_[2];
    std::vector<char> hasHeight_;
    std::vector<Value> heights_;
    std::vector<HeadChangeRow> headChanges_;
    QHash<QPair<int, int>, QString> storedTexts_; // record and column -> text that is no number
    std::vector<const EndNodeField*> endNodeColumns_;
    // What the file holds of the header, the segments, КонМаг and the flows
    // of МагистралиТС (as loaded, then as last written): writeBack writes only
    // what differs, since a large network has over a million МагистралиТС rows
    // and the run writes back four times, and a run stopped by a bad input
    // leaves that input as the user entered it.
    mutable RecordValues headerInFile_;
    mutable std::vector<quint64> segmentsInFile_; // row after row, segmentColumns.size() values each (keptBits)
    void keepSegmentsInFile() const;
    mutable std::vector<EndNodeRow> endNodesInFile_;
    // The flows of МагистралиТС as the file holds them, in stored order
    // (empty: none), and whether the run starts with them: it does not when
    // the topology check has just rewritten the rows (see WrittenMains).
    mutable std::vector<std::pair<Value, Value>> flowsInFile_;
    bool runStartsWithFileFlows_ = true;
    Value startFlow(const MainRow& row, bool returnPipe) const;
    // СписокРасчУчастков as last written; nullopt until known.
    mutable std::optional<std::vector<std::pair<qint16, qint16>>> visitedInFile_;
};

} // namespace run
} // namespace zurm
