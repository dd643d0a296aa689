// Outside design mode the selection follows the visited segments
// incrementally instead of walking every main at every call. On random trees,
// calls of both kinds must choose the same mains, leave the same branch starts
// in every main and write the same text, in both passes, also when the pass
// stops in the middle of a main (an error) and when some mains were done before.
#include "hydraulics/CalculationText.h"
#include "hydraulics/DesignMainSelection.h"

#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <numeric>
#include <random>

using namespace zurm;

namespace {

struct RandomNetwork {
    std::vector<MainWalk> walks; // parallel to mains, in shuffled id order
    std::vector<MainSelectionState> mains;
};

RandomNetwork randomNetwork(std::mt19937& random)
{
    const int nodes = std::uniform_int_distribution<int>(2, 400)(random);
    const int reach = std::uniform_int_distribution<int>(1, 40)(random);
    std::vector<int> parent(size_t(nodes), -1);
    std::vector<char> hasChild(size_t(nodes), 0);
    for (int i = 1; i < nodes; ++i) {
        parent[size_t(i)] = std::uniform_int_distribution<int>(std::max(0, i - reach), i - 1)(random);
        hasChild[size_t(parent[size_t(i)])] = 1;
    }
    std::vector<qint16> label(static_cast<size_t>(nodes));
    std::iota(label.begin(), label.end(), qint16(0));
    std::shuffle(label.begin() + 1, label.end(), random);

    RandomNetwork n;
    std::vector<int> leaves;
    for (int i = 1; i < nodes; ++i)
        if (!hasChild[size_t(i)])
            leaves.push_back(i);
    std::vector<int> ids(leaves.size());
    std::iota(ids.begin(), ids.end(), 1);
    std::shuffle(ids.begin(), ids.end(), random);
    for (size_t k = 0; k < leaves.size(); ++k) {
        MainWalk walk{ids[k], {}};
        for (int at = leaves[k]; at > 0; at = parent[size_t(at)])
            walk.rows.push_back({label[size_t(parent[size_t(at)])], label[size_t(at)], at - 1});
        std::reverse(walk.rows.begin(), walk.rows.end());
        MainSelectionState state;
        state.endNode = label[size_t(leaves[k])];
        state.supplyDone = std::uniform_int_distribution<int>(0, 9)(random) == 0;
        state.returnDone = std::uniform_int_distribution<int>(0, 9)(random) == 0;
        n.walks.push_back(std::move(walk));
        n.mains.push_back(state);
    }
    return n;
}

struct Pass {
    std::vector<MainSelectionState> mains;
    QSet<quint32> visited;
    std::vector<std::pair<qint16, qint16>> order;
    std::vector<std::size_t> chosen;
    QByteArray text;
};

quint32 key(qint16 a, qint16 b) { return (quint32(quint16(a)) << 16) | quint16(b); }

// One pass as the run makes it; the pass stops after `stopAfter` segments
// (the run's error), or when every main is done.
Pass runPass(const RandomNetwork& n, PipePass pipe, bool incremental, int stopAfter, bool withText)
{
    Pass p;
    p.mains = n.mains;
    DesignMainSelectionSetup setup;
    setup.pass = pipe;
    setup.startNode = 0;
    if (incremental)
        setup.visitedInOrder = &p.order;
    DesignMainSelection select(setup, n.walks);
    CalculationText text(withText, 3, QLatin1Char('.'));
    const VisitedSegment visited = [&p](const MainWalkRow& row) { return p.visited.contains(key(row.startNode, row.endNode)); };
    int segments = 0;
    while (segments < stopAfter) {
        const std::optional<std::size_t> d = select(p.mains, visited, {}, text);
        if (!d)
            break;
        p.chosen.push_back(*d);
        for (const MainWalkRow& row : n.walks[*d].rows) {
            if (p.visited.contains(key(row.startNode, row.endNode)))
                continue;
            if (++segments > stopAfter)
                break;
            p.visited.insert(key(row.startNode, row.endNode));
            p.order.emplace_back(row.startNode, row.endNode);
        }
        if (segments <= stopAfter)
            (pipe == PipePass::Supply ? p.mains[*d].supplyDone : p.mains[*d].returnDone) = true;
    }
    p.text = text.bytes();
    return p;
}

TEST(DesignMainSelectionIncremental, SameChoicesBranchStartsAndTextAsTheFullWalk)
{
    std::mt19937 random(20261209);
    for (int round = 0; round < 300; ++round) {
        const RandomNetwork n = randomNetwork(random);
        for (const PipePass pipe : {PipePass::Supply, PipePass::Return}) {
            const int stopAfter =
                round % 3 == 0 ? std::uniform_int_distribution<int>(0, 400)(random) : std::numeric_limits<int>::max();
            const bool withText = round % 2 == 1;
            const Pass full = runPass(n, pipe, false, stopAfter, withText);
            const Pass fast = runPass(n, pipe, true, stopAfter, withText);
            SCOPED_TRACE("round " + std::to_string(round));
            ASSERT_EQ(fast.chosen, full.chosen);
            ASSERT_EQ(fast.text, full.text);
            for (size_t i = 0; i < n.mains.size(); ++i) {
                EXPECT_EQ(fast.mains[i].supplyBranchStart, full.mains[i].supplyBranchStart) << "main " << i;
                EXPECT_EQ(fast.mains[i].returnBranchStart, full.mains[i].returnBranchStart) << "main " << i;
                EXPECT_EQ(fast.mains[i].supplyDone, full.mains[i].supplyDone);
                EXPECT_EQ(fast.mains[i].returnDone, full.mains[i].returnDone);
            }
        }
    }
}

} // namespace
