// Lazy SMP: the helpers search the main search's root to ever greater
// depths until it stops them; what they find reaches it through the table.
#include <algorithm>
#include <climits>
#include <iterator>

#include "search/search.h"

bool HelperThreads::SetThreadCount(int count) {
    Stop();
    const bool complete = Pool.SetThreadCount(count);
    Workers.resize(Pool.ThreadCount() - 1);
    for (auto& worker : Workers) {
        if (worker) continue;
        worker = std::make_unique<SearchWorker>(Owner, true);
    }
    return complete;
}

void HelperThreads::Run(int index, void* helpers) {
    HelperThreads& all = *static_cast<HelperThreads*>(helpers);
    SearchWorker& worker = *all.Workers[index - 1];
    ChessBoard board = all.Root;
    // Every other helper starts one iteration deeper, so that the threads'
    // iterations interleave instead of repeating each other.
    for (int depth = 1 + index % 2; depth <= MaxIterationDepth && !worker.StopSearch; ++depth) {
        worker.BestChanges = -1;
        worker.FailingLow = 0;
        worker.MaxPly = depth <= 6 ? 2 * depth : 4 * depth;
        worker.LastScore = worker.SearchTreeRoot(board, depth).Score;
    }
}

void HelperThreads::Start(const ChessBoard& root, const SearchWorker& main) {
    if (Workers.empty()) return;
    Root = root;
    for (auto& worker : Workers) {
        SearchWorker& w = *worker;
        w.Abort = w.StopSearch = w.TimeUp = 0;
        w.InteriorNodes = w.LeafInteriorNodes = w.QuiesceNodes = w.TableHits = 0;
        // A helper never polls: the input and the clock are the main thread's.
        w.NodesToPoll = INT64_MAX;
        w.Repetitions = main.Repetitions;
        for (auto& row : w.PV) std::fill(std::begin(row), std::end(row), PVEntry{0, 0});
        std::fill(std::begin(w.PVLength), std::end(w.PVLength), 0);
        w.RootPVLength = 0;
        w.LastScore = 0;
    }
    Running = true;
    Pool.StartHelpers(Run, this);
}

void HelperThreads::Stop() {
    if (!Running) return;
    for (auto& worker : Workers) worker->Abort = worker->StopSearch = worker->TimeUp = 1;
    Pool.WaitForHelpers();
    Running = false;
}

int64_t SearchWorker::ReportedNodes() const {
    return Helper ? NodeCount() : NodeCount() + Owner.Helpers.NodeCount();
}

int64_t HelperThreads::NodeCount() const {
    int64_t nodes = 0;
    for (const auto& worker : Workers) nodes += worker->NodeCount();
    return nodes;
}

int64_t SearchWorker::ReportedTableHits() const {
    return Helper ? int64_t(TableHits) : TableHits + Owner.Helpers.TableHits();
}

int64_t HelperThreads::TableHits() const {
    int64_t hits = 0;
    for (const auto& worker : Workers) hits += worker->TableHits;
    return hits;
}
