#pragma once

#include "document/NetworkKinds.h"

#include <QString>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace zurm {

class DataModule;
class Progress;

// A row of МагистралиТС as the check writes it (the flows left empty).
struct WrittenMainRow {
    qint64 rowid = 0;
    int idM = 0;
    int npp = 0; // NппУчВМ
    qint16 startNode = 0;
    qint16 endNode = 0;
};

struct TopologyResult {
    int status = kNetworkCorrect;
    QString message; // the first error's text, empty unless status 3
};

// What a run that follows the check may take instead of reading МагистралиТС.
struct WrittenMains {
    std::vector<WrittenMainRow> rows; // in rowid order
    // When the table already held exactly these rows, it is not rewritten and
    // keeps its flows until the run writes its own: those flows by rowid - 1
    // (empty when the table was rewritten or held no flows). A caller that
    // does not run the calculation after all calls clearFlowsLeft.
    std::vector<std::pair<std::optional<double>, std::optional<double>>> flowsLeft;
};
using WrittenMainRows = std::shared_ptr<WrittenMains>;

// Empties the flows of МагистралиТС that a check left in place for a run that
// did not take them (see WrittenMains); nothing when there are none.
void clearFlowsLeft(DataModule& data, const WrittenMainRows& written);

// The longest network message: what survives the single-byte code page, cut
// at 255 characters.
QString networkStatusMessage(const QString& text);

// The network topology check. Reads the start-node text, УзлыТС and Табл (each
// in the order its rows are stored), ТипСети and ОпрД, and stops at the first
// error. Writes NНачУз as soon as the text is an integer; when every check up
// to the walk of the mains passes, replaces МагистралиТС and КонМаг in one
// transaction (mains numbered by ascending end node, end-node values carried
// over by end node for two-pipe networks or with diameter determination on).
// The last two checks (every segment on a main, every main reaching the start
// node) run after that write, so their errors leave the new mains in place.
//
// Clears the calculation-done flag first. The caller posts pending row edits
// before calling and stores the result with storeNetworkStatus. Database
// failures throw zurm::Failure after the window has been unlocked, the busy
// cursor reset and the end-node table's guards re-armed.
// Given `written`, sets it to the rows of МагистралиТС the check wrote, in the
// order written (left null when it wrote none); then a table that already
// holds exactly the planned rows is not rewritten (see WrittenMains).
TopologyResult ParTSCorrF(DataModule& data, Progress& progress, const QString& startNodeText,
                          WrittenMainRows* written = nullptr);

// A correct network whose start node carries a head change (ИзмПНапВУзлахТС)
// gets status 2 with an empty message; other results are left as they are.
void applyHeadChangeRule(DataModule& data, TopologyResult& result);

// Writes ПарТСКорр and ПарТСОш (Null for an empty message).
void storeNetworkStatus(DataModule& data, int status, const QString& message);

} // namespace zurm
