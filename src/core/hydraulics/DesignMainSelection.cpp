#include "hydraulics/DesignMainSelection.h"

#include "base/Failure.h"
#include "hydraulics/CalculationText.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <numeric>
#include <string_view>

namespace zurm {

namespace {

void writeValueLine(CalculationText& text, const QString& start, double value)
{
    text.write(start);
    text.writeNumber(value);
    text.writeLine();
}

// Empty values first, then ascending; the storage sorts Null first.
bool lossBefore(const std::optional<double>& a, const std::optional<double>& b)
{
    if (!a || !b)
        return !a && b;
    return *a < *b;
}

// "Магистраль (ветвь) x - e" and an empty line, each with its CR LF, in
// Windows-1251 (at most 19 + 6 + 3 + 6 + 4 bytes).
template <typename Line>
Line mainLine(qint16 x, qint16 endNode)
{
    static const QByteArray start = encodeCp1251(u"Магистраль (ветвь) ");
    char made[64];
    char* out = std::copy(start.cbegin(), start.cend(), made);
    out = std::to_chars(out, made + 40, x).ptr;
    out = std::copy_n(" - ", 3, out);
    out = std::to_chars(out, made + 50, endNode).ptr;
    out = std::copy_n("\r\n\r\n", 4, out);
    Line line;
    line.size = quint8(std::min(std::size_t(out - made), sizeof line.bytes));
    std::memcpy(line.bytes, made, line.size);
    return line;
}

} // namespace

DesignMainSelection::DesignMainSelection(DesignMainSelectionSetup setup, const std::vector<MainWalk>& walks)
    : setup_(std::move(setup)), walks_(walks), reach_(walks.size())
{
    idOrder_.resize(walks_.size());
    std::iota(idOrder_.begin(), idOrder_.end(), std::size_t(0));
    std::stable_sort(idOrder_.begin(), idOrder_.end(),
                     [this](std::size_t a, std::size_t b) { return walks_[a].id < walks_[b].id; });
    const bool returnPipe = setup_.pass == PipePass::Return;
    for (const HeadChangeRow& row : setup_.headChanges) {
        if (row.returnPipe == returnPipe)
            headChangeSums_[row.node] += row.change;
    }
}

double DesignMainSelection::headChangeSum(qint16 node) const
{
    const auto found = headChangeSums_.find(node);
    return found == headChangeSums_.end() ? 0.0 : found->second;
}

const DesignMainSelection::Reach& DesignMainSelection::advance(std::size_t main, const VisitedSegment& visited)
{
    Reach& reach = reach_[main];
    const std::vector<MainWalkRow>& rows = walks_[main].rows;
    while (reach.firstUnvisited < rows.size() && visited(rows[reach.firstUnvisited])) {
        reach.headChanges += headChangeSum(rows[reach.firstUnvisited].startNode);
        ++reach.firstUnvisited;
    }
    return reach;
}

std::pair<double, double> DesignMainSelection::branchHeadAndLength(const MainSelectionState& state, qint16 x,
                                                                   double s,
                                                                   const SegmentEndingAt& segmentEndingAt) const
{
    const bool supply = setup_.pass == PipePass::Supply;
    double head = supply ? setup_.supplyHeadAtNode : setup_.supplyHeadAtNode - setup_.availableHeadAtNode;
    double length = supply ? state.supplyLength : state.returnLength;
    if (x == setup_.startNode)
        return {head, length};
    const std::optional<SegmentAtBranchStart> before = segmentEndingAt ? segmentEndingAt(x) : std::nullopt;
    if (!before)
        throw Failure(QStringLiteral("InvalidArgument"), QStringLiteral("No segment ends at node %1.").arg(x));
    const double loss = before->lossAtEnd.value_or(0.0);
    if (supply)
        head = head - loss - s;
    else
        head = head + loss + s;
    length = length - before->lengthAtEnd;
    return {head, length};
}

double DesignMainSelection::allowedLoss(const MainSelectionState& state, double head, double length) const
{
    if (length == 0)
        throw Failure(QStringLiteral("ArithmeticError"), QStringLiteral("Деление на ноль: длина ветви равна нулю."));
    if (setup_.pass == PipePass::Supply)
        return (head - state.supplyGivenHead.value_or(0.0)) / length;
    return (state.returnGivenHead.value_or(0.0) - head) / length;
}

namespace {
quint32 pairKey(qint16 a, qint16 b) { return (quint32(quint16(a)) << 16) | quint16(b); }
} // namespace

std::pair<quint32, bool> DesignMainSelection::PairNumbers::add(qint16 a, qint16 b)
{
    if (byEnd_.empty())
        byEnd_.resize(std::size_t(1) << 16);
    Slot& slot = byEnd_[quint16(b)];
    if (slot.number == kNone) {
        slot = {a, count_};
        return {count_++, true};
    }
    if (slot.start == a)
        return {slot.number, false};
    const auto [at, added] = others_.try_emplace(pairKey(a, b), count_);
    if (added)
        ++count_;
    return {at->second, added};
}

std::optional<quint32> DesignMainSelection::PairNumbers::find(qint16 a, qint16 b) const
{
    if (byEnd_.empty())
        return std::nullopt;
    const Slot& slot = byEnd_[quint16(b)];
    if (slot.number == kNone)
        return std::nullopt;
    if (slot.start == a)
        return slot.number;
    const auto found = others_.find(pairKey(a, b));
    return found == others_.end() ? std::nullopt : std::optional<quint32>(found->second);
}

std::optional<std::size_t> DesignMainSelection::selectIncrementally(std::vector<MainSelectionState>& mains,
                                                                    const VisitedSegment& visited,
                                                                    CalculationText& text)
{
    const bool supply = setup_.pass == PipePass::Supply;
    auto done = [supply](const MainSelectionState& state) { return supply ? state.supplyDone : state.returnDone; };
    if (text.enabled() && lines_.size() != walks_.size()) {
        lines_.assign(walks_.size(), {});
        lineStale_.assign(walks_.size(), 1);
        for (const std::size_t index : idOrder_)
            if (!done(mains[index])) {
                open_.push_back(quint32(index));
                staleLines_.push_back(quint32(index));
            }
    }
    auto settle = [&](std::size_t index) {
        MainSelectionState& state = mains[index];
        if (done(state))
            return;
        const std::vector<MainWalkRow>& rows = walks_[index].rows;
        const Reach& reach = advance(index, visited);
        if (reach.firstUnvisited >= rows.size())
            throw Failure(QStringLiteral("InvalidArgument"),
                          QStringLiteral("Main %1 is not done but all its segments are.").arg(walks_[index].id));
        const qint16 x = rows[reach.firstUnvisited].startNode;
        (supply ? state.supplyBranchStart : state.returnBranchStart) = x;
        if (!lineStale_.empty() && !lineStale_[index]) {
            lineStale_[index] = 1;
            staleLines_.push_back(quint32(index));
        }
    };
    const std::vector<std::pair<qint16, qint16>>& order = *setup_.visitedInOrder;
    if (!started_) {
        started_ = true;
        // Two rounds over the rows: count the mains of each segment, then place them.
        for (const MainWalk& walk : walks_)
            for (const MainWalkRow& row : walk.rows) {
                const auto [number, added] = segmentOf_.add(row.startNode, row.endNode);
                if (added)
                    mainsFrom_.push_back(0);
                ++mainsFrom_[number];
            }
        mainsFrom_.push_back(0);
        std::exclusive_scan(mainsFrom_.begin(), mainsFrom_.end(), mainsFrom_.begin(), quint32(0));
        mainsOfSegment_.resize(mainsFrom_.back());
        std::vector<quint32> placed(mainsFrom_.begin(), mainsFrom_.end() - 1);
        for (std::size_t index = 0; index < walks_.size(); ++index)
            for (const MainWalkRow& row : walks_[index].rows)
                mainsOfSegment_[placed[*segmentOf_.find(row.startNode, row.endNode)]++] = quint32(index);
        for (const std::size_t index : idOrder_)
            settle(index);
        visitedSeen_ = order.size();
    }
    // A main's branch start moves only when one of its own segments is visited.
    for (; visitedSeen_ < order.size(); ++visitedSeen_) {
        if (const std::optional<quint32> found = segmentOf_.find(order[visitedSeen_].first, order[visitedSeen_].second))
            for (quint32 k = mainsFrom_[*found]; k < mainsFrom_[*found + 1]; ++k)
                settle(mainsOfSegment_[k]);
    }
    if (text.enabled())
        return writeOpenMains(mains, text);
    // Outside design mode every key is empty: the first main not done by id_m wins.
    while (firstOpen_ < idOrder_.size() && done(mains[idOrder_[firstOpen_]]))
        ++firstOpen_;
    if (firstOpen_ == idOrder_.size())
        return std::nullopt;
    return idOrder_[firstOpen_];
}

// The text of an incremental call and its choice, as the full walk makes them.
std::optional<std::size_t> DesignMainSelection::writeOpenMains(const std::vector<MainSelectionState>& mains,
                                                               CalculationText& text)
{
    const bool supply = setup_.pass == PipePass::Supply;
    auto done = [supply](const MainSelectionState& state) { return supply ? state.supplyDone : state.returnDone; };
    auto key = [supply](const MainSelectionState& state) -> const std::optional<double>& {
        return supply ? state.supplyAllowedLoss : state.returnAllowedLoss;
    };
    // Only the main chosen last may have become done since (see operator()).
    if (lastChosen_ && done(mains[*lastChosen_])) {
        if (openFirst_ < open_.size() && open_[openFirst_] == *lastChosen_)
            ++openFirst_;
        else
            open_.erase(std::remove(open_.begin() + std::ptrdiff_t(openFirst_), open_.end(), quint32(*lastChosen_)),
                        open_.end());
    }
    lastChosen_.reset();
    for (const quint32 index : staleLines_) {
        lineStale_[index] = 0;
        const MainSelectionState& state = mains[index];
        lines_[index] = mainLine<Line>((supply ? state.supplyBranchStart : state.returnBranchStart).value_or(0),
                                       state.endNode);
    }
    staleLines_.clear();
    if (openFirst_ == open_.size())
        return std::nullopt;
    text.writeLine(QStringLiteral("Выбор расчетной магистрали (ветви) теплосети:"));
    text.writeLine();
    std::size_t chosen = open_[openFirst_];
    const std::optional<double>* chosenKey = &key(mains[chosen]);
    text.writeEncodedLines((open_.size() - openFirst_) * sizeof(Line::bytes), [&](char* out) {
        for (std::size_t k = openFirst_; k < open_.size(); ++k) {
            const quint32 index = open_[k];
            const Line& line = lines_[index];
            std::memcpy(out, line.bytes, sizeof line.bytes); // whole, faster than its size
            out += line.size;
            // As in the full walk; once the chosen key is empty none is smaller.
            if (chosenKey->has_value() && lossBefore(key(mains[index]), *chosenKey)) {
                chosen = index;
                chosenKey = &key(mains[index]);
            }
        }
        return out - 2; // the last line end is the text's, pending
    });
    lastChosen_ = chosen;
    static const QByteArray kChosen = encodeCp1251(u"Расчетная магистраль (ветвь): ");
    const MainSelectionState& state = mains[chosen];
    text.writeEncoded(kChosen);
    text.writeInteger((supply ? state.supplyBranchStart : state.returnBranchStart).value_or(0));
    text.writeAscii(" - ");
    text.writeInteger(state.endNode);
    text.writeLine();
    return chosen;
}

std::optional<std::size_t> DesignMainSelection::operator()(std::vector<MainSelectionState>& mains,
                                                           const VisitedSegment& visited,
                                                           const SegmentEndingAt& segmentEndingAt,
                                                           CalculationText& text)
{
    if (mains.size() != walks_.size())
        throw Failure(QStringLiteral("InvalidArgument"), QStringLiteral("Mains and walks differ in number."));
    if (setup_.visitedInOrder && !setup_.designMode)
        return selectIncrementally(mains, visited, text);
    const bool supply = setup_.pass == PipePass::Supply;
    bool headingWritten = false;
    std::optional<std::size_t> chosen;

    for (const std::size_t index : idOrder_) {
        MainSelectionState& state = mains[index];
        if (supply ? state.supplyDone : state.returnDone)
            continue;
        if (!headingWritten) {
            text.writeLine(QStringLiteral("Выбор расчетной магистрали (ветви) теплосети:"));
            text.writeLine();
            headingWritten = true;
        }
        const std::vector<MainWalkRow>& rows = walks_[index].rows;
        const Reach& reach = advance(index, visited);
        if (reach.firstUnvisited >= rows.size())
            throw Failure(QStringLiteral("InvalidArgument"),
                          QStringLiteral("Main %1 is not done but all its segments are.").arg(walks_[index].id));
        const qint16 x = rows[reach.firstUnvisited].startNode;
        (supply ? state.supplyBranchStart : state.returnBranchStart) = x;
        if (!setup_.designMode) {
            if (text.enabled()) {
                const Line line = mainLine<Line>(x, state.endNode);
                text.writeEncodedLines(std::string_view(line.bytes, line.size - 2u));
            }
        } else {
            static const QByteArray kMainLine = encodeCp1251(u"Магистраль (ветвь) ");
            text.writeEncoded(kMainLine);
            text.writeInteger(x);
            text.writeAscii(" - ");
            text.writeInteger(state.endNode);
            text.writeLine();

            const auto [head, length] = branchHeadAndLength(state, x, reach.headChanges, segmentEndingAt);
            const double loss = allowedLoss(state, head, length);
            if (supply) {
                state.supplyAllowedLoss = loss;
                writeValueLine(text,
                               QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в "
                                              "начале магистрали (ветви), м. (ПНапНачПод) = "),
                               head);
                writeValueLine(text,
                               QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в "
                                              "конце магистрали (ветви), м. (ПНапКонПод) = "),
                               state.supplyGivenHead.value_or(0.0));
                writeValueLine(text, QStringLiteral("Длина под. трубопровода магистрали (ветви), м. (ДлПод) = "),
                               length);
                writeValueLine(text,
                               QStringLiteral("Удельные потери напора в под. трубопроводе магистрали (ветви), м./м. "
                                              "(УПНВМагПод) = (<ПНапНачПод> - <ПНапКонПод>) / <ДлПод> = "),
                               loss);
            } else {
                state.returnAllowedLoss = loss;
                writeValueLine(text,
                               QStringLiteral("Полный напор (для расчета удельных потерь) в обр. трубопроводе в "
                                              "конце магистрали (ветви), м. (ПНапКонОбр) = "),
                               state.returnGivenHead.value_or(0.0));
                writeValueLine(text,
                               QStringLiteral("Полный напор (для расчета удельных потерь) в обр. трубопроводе в "
                                              "начале магистрали (ветви), м. (ПНапНачОбр) = "),
                               head);
                writeValueLine(text, QStringLiteral("Длина обр. трубопровода магистрали (ветви), м. (ДлОбр) = "),
                               length);
                writeValueLine(text,
                               QStringLiteral("Удельные потери напора в обр. трубопроводе магистрали (ветви), м./м. "
                                              "(УПНВМагОбр) = (<ПНапКонОбр> - <ПНапНачОбр>) / <ДлОбр> = "),
                               loss);
            }
            text.writeLine();
        }

        // The storage's order "РВ… ASC, УПНВМаг… ASC" with ties by id_m: the
        // first main not done wins unless a later one has a smaller key, and
        // idOrder_ already runs by ascending id_m.
        const auto& key = supply ? state.supplyAllowedLoss : state.returnAllowedLoss;
        if (!chosen || lossBefore(key, supply ? mains[*chosen].supplyAllowedLoss : mains[*chosen].returnAllowedLoss))
            chosen = index;
    }

    if (chosen) {
        const MainSelectionState& state = mains[*chosen];
        const std::optional<qint16>& start = supply ? state.supplyBranchStart : state.returnBranchStart;
        text.writeLine((setup_.designMode ? QStringLiteral("Магистраль (ветвь) с минимальными удельными потерями "
                                                           "напора в трубопроводе (она и будет расчетной): ")
                                          : QStringLiteral("Расчетная магистраль (ветвь): "))
                       + QString::number(start.value_or(0)) + QStringLiteral(" - ")
                       + QString::number(state.endNode));
    }
    return chosen;
}

std::optional<double> DesignMainSelection::branchSpecificLoss(std::size_t main, std::size_t row,
                                                              const std::vector<MainSelectionState>& mains,
                                                              const VisitedSegment& visited,
                                                              const SegmentEndingAt& segmentEndingAt,
                                                              CalculationText& text)
{
    if (main >= walks_.size() || main >= mains.size() || row >= walks_[main].rows.size())
        throw Failure(QStringLiteral("InvalidArgument"), QStringLiteral("No such row of a main."));
    const bool supply = setup_.pass == PipePass::Supply;
    const MainSelectionState& state = mains[main];
    const qint16 a = walks_[main].rows[row].startNode;
    text.writeLine(QStringLiteral("Удельные потери напора в ") + (supply ? QStringLiteral("подающем") : QStringLiteral("обратном"))
                   + QStringLiteral(" трубопроводе ветви ") + QString::number(a) + QStringLiteral(" - ")
                   + QString::number(state.endNode)
                   + (supply ? QStringLiteral(", м./м. (УПНВВПод)") : QStringLiteral(", м./м. (УПНВВОбр)")));
    const QString name = supply ? QStringLiteral("УПНВВПод") : QStringLiteral("УПНВВОбр");

    std::optional<double> value;
    const std::optional<qint16>& branchStart = supply ? state.supplyBranchStart : state.returnBranchStart;
    if (branchStart && *branchStart == a) {
        value = supply ? state.supplyAllowedLoss : state.returnAllowedLoss;
        text.write(name + QStringLiteral(" = "));
        if (value)
            text.writeNumber(*value);
        text.writeLine();
    } else {
        // S runs to the first row not yet visited, which is this segment.
        const double s = advance(main, visited).headChanges;
        const auto [head, length] = branchHeadAndLength(state, a, s, segmentEndingAt);
        value = allowedLoss(state, head, length);
        if (supply) {
            writeValueLine(text,
                           QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в начале "
                                          "ветви, м. (ПНапНачПод) = "),
                           head);
            writeValueLine(text,
                           QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в конце "
                                          "ветви, м. (ПНапКонПод) = "),
                           state.supplyGivenHead.value_or(0.0));
            writeValueLine(text, QStringLiteral("Длина под. трубопровода ветви, м. (ДлПод) = "), length);
            writeValueLine(text, QStringLiteral("УПНВВПод = (<ПНапНачПод> - <ПНапКонПод>) / <ДлПод> = "), *value);
        } else {
            writeValueLine(text,
                           QStringLiteral("Полный напор (для расчета удельных потерь) в обр. трубопроводе в начале "
                                          "ветви, м. (ПНапНачОбр) = "),
                           head);
            writeValueLine(text,
                           QStringLiteral("Полный напор (для расчета удельных потерь) в обр. трубопроводе в конце "
                                          "ветви, м. (ПНапКонОбр) = "),
                           state.returnGivenHead.value_or(0.0));
            writeValueLine(text, QStringLiteral("Длина обр. трубопровода ветви, м. (ДлОбр) = "), length);
            writeValueLine(text, QStringLiteral("УПНВВОбр = (<ПНапКонОбр> - <ПНапНачОбр>) / <ДлОбр> = "), *value);
        }
    }
    text.writeLine();
    return value;
}

} // namespace zurm
