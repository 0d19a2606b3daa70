// COPY through the seven exports on generated scores, up to a destination of 64 staves by
// 1000 measures by 4 layers. Prints destination entries per second, the share of time spent
// in the host's functions, the module's peak heap against the frames it holds at once, and how
// the cost grows when the work grows 4x and 16x.
#include "bench/HeapCounter.h"
#include "plugin/ExportTypes.h"
#include "simhost/SimFormat.h"
#include "simhost/SimHost.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr int kEntriesPerMeasure = 4;
constexpr int16_t kLayers = 4;

FinaleExtensionInvokeFn LoadModule() {
    static void* handle = dlopen(BEATCLONE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", BEATCLONE_MODULE_PATH, dlerror());
        std::exit(1);
    }
    return reinterpret_cast<FinaleExtensionInvokeFn>(dlsym(handle, PluginExportName(PluginExport::Invoke)));
}

EntryRecord Note(uint32_t duration, uint8_t step, bool tied) {
    EntryRecord e{};
    e.entryFlags = NoteEntryFlag;
    simhost::SetDuration(e, duration);
    e.noteCount = 1;
    simhost::SetPitch(e.notes[0], simhost::Pitch{step, 0, 4, 0});
    e.notes[0].noteId = 1;
    if (tied) e.notes[0].noteFlags = TieForwardFlag;
    return e;
}

// Staff 1 holds the source in measures 1..measures; staves 2..staves+1 hold the destination
// in the measures after it, every layer with the source's attack count.
void BuildScore(int staves, int measures) {
    simhost::Host& host = simhost::Host::Instance();
    host.Reset();
    host.SetChecks(false); // as the command runs it
    simhost::Document& doc = host.AddDocument(1);
    for (int s = 0; s <= staves; ++s) doc.AddStaff(static_cast<int16_t>(100 + s));
    doc.SetMeasureCount(static_cast<int16_t>(2 * measures));
    for (int m = 1; m <= measures; ++m) {
        doc.SetEntries(100, static_cast<int16_t>(m), 0,
                       {Note(1536, 0, false), Note(512, 1, false), Note(1024, 2, true), Note(1024, 2, false),
                        Note(1024, 3, false)});
    }
    for (int s = 1; s <= staves; ++s) {
        for (int m = measures + 1; m <= 2 * measures; ++m) {
            for (int16_t layer = 0; layer < kLayers; ++layer) {
                std::vector<EntryRecord> entries;
                for (int i = 0; i < kEntriesPerMeasure; ++i)
                    entries.push_back(Note(1024, static_cast<uint8_t>((s + i + layer) % 7), false));
                doc.SetEntries(static_cast<int16_t>(100 + s), static_cast<int16_t>(m), layer, entries);
            }
        }
    }
}

struct Figures {
    double seconds = 0;
    double hostShare = 0;
    double entriesPerSecond = 0;
    double heapToFrames = 0;
};
std::map<std::pair<int, int>, Figures> gFigures;

void BM_Copy(benchmark::State& state) {
    const int staves = static_cast<int>(state.range(0));
    const int measures = static_cast<int>(state.range(1));
    const FinaleExtensionInvokeFn invoke = LoadModule();
    simhost::Host& host = simhost::Host::Instance();
    Figures figures;
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        BuildScore(staves, measures);
        const RegionRecord source = simhost::Host::WholeMeasures(1, 1, 1, static_cast<int16_t>(measures));
        host.SetSelection(source);
        invoke(nullptr, kSetSourceCommand, &source);
        const RegionRecord destination =
            simhost::Host::WholeMeasures(2, static_cast<int16_t>(staves + 1), static_cast<int16_t>(measures + 1),
                                         static_cast<int16_t>(2 * measures));
        host.SetSelection(destination);
        host.SetTiming(true);
        heapcounter::ResetPeaks();
        const size_t moduleBefore = heapcounter::ModuleInUse();
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        const int16_t result = invoke(nullptr, kCopyCommand, &destination);
        const auto end = std::chrono::steady_clock::now();

        state.PauseTiming();
        if (result != 1 || !host.CheckNoLiveFrames()) state.SkipWithError("COPY failed");
        const double seconds = std::chrono::duration<double>(end - start).count();
        total += seconds;
        ++runs;
        figures.hostShare = static_cast<double>(host.NanosecondsInHost()) / 1e9 / seconds;
        const double frames = static_cast<double>(host.FrameBytesPeak());
        // What the module holds besides the frames: its wrappers and arrays.
        figures.heapToFrames = frames > 0 ? static_cast<double>(heapcounter::ModulePeak() - moduleBefore) / frames : 0;
        host.SetTiming(false);
        state.ResumeTiming();
    }
    const double entries = static_cast<double>(staves) * measures * kLayers * 5; // rebuilt entries
    figures.seconds = total / runs;
    figures.entriesPerSecond = entries / figures.seconds;
    gFigures[{staves, measures}] = figures;
    state.counters["dest_entries_per_s"] = figures.entriesPerSecond;
    state.counters["host_share"] = figures.hostShare;
    state.counters["module_heap_per_frame_byte"] = figures.heapToFrames;
}

BENCHMARK(BM_Copy)
    ->Args({4, 250})
    ->Args({16, 250})
    ->Args({64, 250})
    ->Args({4, 1000})
    ->Args({16, 1000})
    ->Args({64, 1000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\nGrowth of COPY's cost against the work (staves x measures x %d layers):\n", kLayers);
    for (int measures : {250, 1000}) {
        const auto base = gFigures.find({4, measures});
        if (base == gFigures.end()) continue;
        for (int staves : {16, 64}) {
            const auto it = gFigures.find({staves, measures});
            if (it == gFigures.end()) continue;
            const double work = static_cast<double>(staves) / 4;
            const double cost = it->second.seconds / base->second.seconds;
            std::printf("  %2d -> %2d staves, %4d measures: work x%.0f, time x%.2f (%.0f%% of linear)\n", 4, staves,
                        measures, work, cost, 100 * cost / work);
        }
    }
    for (int staves : {4, 16, 64}) {
        const auto a = gFigures.find({staves, 250});
        const auto b = gFigures.find({staves, 1000});
        if (a == gFigures.end() || b == gFigures.end()) continue;
        const double cost = b->second.seconds / a->second.seconds;
        std::printf("  %2d staves, 250 -> 1000 measures: work x4, time x%.2f (%.0f%% of linear)\n", staves, cost,
                    100 * cost / 4);
    }
    std::printf(
        "\nPer size: seconds, destination entries per second, share of time in host functions, peak "
        "heap of the module's own per byte of frames held at once\n");
    for (const auto& [size, f] : gFigures) {
        std::printf(
            "  %2d staves x %4d measures: %.3f s, %.0f entries/s, host %.0f%%, module %.0f%%, module heap/frames "
            "%.2f\n",
            size.first, size.second, f.seconds, f.entriesPerSecond, 100 * f.hostShare, 100 * (1 - f.hostShare),
            f.heapToFrames);
    }
    return 0;
}
