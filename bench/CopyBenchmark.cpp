// COPY through the seven exports on generated scores, up to a destination of 64 staves by
// 1000 measures by 4 layers. Prints destination entries per second, the share of time spent
// in the host's functions, the module's peak heap against the frames it holds at once, and how
// COPY's wall and CPU time grow when the work grows 4x and 16x: every size is run in turn, each
// run in a process of its own, round after round, and the growth is taken from the medians.
//
//   copy_benchmark [--rounds=N] [google benchmark options]
#include "bench/HeapCounter.h"
#include "plugin/ExportTypes.h"
#include "simhost/SimFormat.h"
#include "simhost/SimHost.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
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

// One COPY.
struct Sample {
    double wall = 0; // seconds
    double cpu = 0;  // seconds of this thread
    double hostShare = 0;
    double heapToFrames = 0;
};

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Builds the score, runs SET SOURCE, and measures COPY alone; false when COPY failed. Timing
// the host's calls (for the host's share) costs two clock readings a call.
bool CopyOnce(int staves, int measures, Sample& sample, bool timeHost) {
    const FinaleExtensionInvokeFn invoke = LoadModule();
    simhost::Host& host = simhost::Host::Instance();
    BuildScore(staves, measures);
    const RegionRecord source = simhost::Host::WholeMeasures(1, 1, 1, static_cast<int16_t>(measures));
    host.SetSelection(source);
    invoke(nullptr, kSetSourceCommand, &source);
    const RegionRecord destination = simhost::Host::WholeMeasures(
        2, static_cast<int16_t>(staves + 1), static_cast<int16_t>(measures + 1), static_cast<int16_t>(2 * measures));
    host.SetSelection(destination);
    host.SetTiming(timeHost);
    heapcounter::ResetPeaks();
    const size_t moduleBefore = heapcounter::ModuleInUse();

    const double cpuStart = ThreadSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int16_t result = invoke(nullptr, kCopyCommand, &destination);
    const auto end = std::chrono::steady_clock::now();
    sample.cpu = ThreadSeconds() - cpuStart;

    sample.wall = std::chrono::duration<double>(end - start).count();
    sample.hostShare = timeHost ? static_cast<double>(host.NanosecondsInHost()) / 1e9 / sample.wall : 0;
    const double frames = static_cast<double>(host.FrameBytesPeak());
    // What the module holds besides the frames: its wrappers and arrays.
    sample.heapToFrames = frames > 0 ? static_cast<double>(heapcounter::ModulePeak() - moduleBefore) / frames : 0;
    host.SetTiming(false);
    return result == 1 && host.CheckNoLiveFrames();
}

void BM_Copy(benchmark::State& state) {
    const int staves = static_cast<int>(state.range(0));
    const int measures = static_cast<int>(state.range(1));
    Sample sample;
    for (auto _ : state) {
        if (!CopyOnce(staves, measures, sample, true)) state.SkipWithError("COPY failed");
        state.SetIterationTime(sample.wall);
    }
    const double entries = static_cast<double>(staves) * measures * kLayers * 5; // rebuilt entries
    state.counters["dest_entries_per_s"] = entries / sample.wall;
    state.counters["host_share"] = sample.hostShare;
    state.counters["module_heap_per_frame_byte"] = sample.heapToFrames;
}

BENCHMARK(BM_Copy)
    ->Args({4, 250})
    ->Args({16, 250})
    ->Args({64, 250})
    ->Args({4, 1000})
    ->Args({16, 1000})
    ->Args({64, 1000})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(2);

constexpr std::pair<int, int> kSizes[] = {{4, 250}, {16, 250}, {64, 250}, {4, 1000}, {16, 1000}, {64, 1000}};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Medians per size over rounds in which every size runs once, in turn.
struct Medians {
    double wall = 0;
    double cpu = 0;
    double heapToFrames = 0;
};

// One COPY in a child process of its own, so that each starts from a fresh heap as the
// command does, and no run inherits the memory another left behind.
bool CopyInChild(int staves, int measures, Sample& sample) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return false;
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeEnds[0]);
        Sample measured;
        const bool ok = CopyOnce(staves, measures, measured, false);
        const ssize_t written = ok ? ::write(pipeEnds[1], &measured, sizeof measured) : 0;
        ::_exit(written == static_cast<ssize_t>(sizeof measured) ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    const ssize_t got = pid > 0 ? ::read(pipeEnds[0], &sample, sizeof sample) : 0;
    ::close(pipeEnds[0]);
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    return got == static_cast<ssize_t>(sizeof sample) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::map<std::pair<int, int>, Medians> MeasureInTurn(int rounds) {
    std::map<std::pair<int, int>, std::vector<Sample>> samples;
    for (int round = 0; round < rounds; ++round) {
        for (const auto& size : kSizes) {
            Sample sample;
            if (!CopyInChild(size.first, size.second, sample)) {
                std::fprintf(stderr, "COPY failed at %d staves x %d measures\n", size.first, size.second);
                std::exit(1);
            }
            samples[size].push_back(sample);
        }
    }
    std::map<std::pair<int, int>, Medians> medians;
    for (const auto& [size, list] : samples) {
        const auto median = [&list](double Sample::*field) {
            std::vector<double> values;
            for (const Sample& s : list) values.push_back(s.*field);
            return Median(values);
        };
        medians[size] = Medians{median(&Sample::wall), median(&Sample::cpu), median(&Sample::heapToFrames)};
    }
    return medians;
}

void PrintGrowth(const char* what, int fromStaves, int fromMeasures, int toStaves, int toMeasures,
                 const std::map<std::pair<int, int>, Medians>& m) {
    const Medians& a = m.at({fromStaves, fromMeasures});
    const Medians& b = m.at({toStaves, toMeasures});
    const double work = static_cast<double>(toStaves) * toMeasures / (static_cast<double>(fromStaves) * fromMeasures);
    std::printf("  %-34s work x%-3.0f wall x%6.2f (%3.0f%% of linear)   CPU x%6.2f (%3.0f%% of linear)\n", what, work,
                b.wall / a.wall, 100 * b.wall / a.wall / work, b.cpu / a.cpu, 100 * b.cpu / a.cpu / work);
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rounds=", 9) == 0) {
            rounds = std::max(0, std::atoi(argv[i] + 9)); // 0: the per-size runs alone
        } else {
            rest.push_back(argv[i]);
        }
    }
    // First, before this process has built any score: each sample runs in a fresh child.
    const std::map<std::pair<int, int>, Medians> m = MeasureInTurn(rounds);
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (rounds == 0) return 0;

    std::printf("\nGrowth of COPY's time against the work (staves x measures x %d layers), medians of %d rounds:\n",
                kLayers, rounds);
    PrintGrowth("4 -> 16 staves, 1000 measures:", 4, 1000, 16, 1000, m);
    PrintGrowth("16 -> 64 staves, 1000 measures:", 16, 1000, 64, 1000, m);
    PrintGrowth("4 -> 64 staves, 1000 measures:", 4, 1000, 64, 1000, m);
    PrintGrowth("4 -> 64 staves, 250 measures:", 4, 250, 64, 250, m);
    PrintGrowth("64 staves, 250 -> 1000 measures:", 64, 250, 64, 1000, m);
    PrintGrowth("16 x 250 -> 64 x 1000:", 16, 250, 64, 1000, m);
    std::printf("  goal: wall time within 10%% of linear\n");
    std::printf(
        "\nPer size (medians, host calls untimed; the host's share is in host_share above): wall and CPU "
        "seconds, destination entries per second, peak heap of the module's own per byte of frames held at once\n");
    for (const auto& [size, f] : m) {
        const double entries = static_cast<double>(size.first) * size.second * kLayers * 5;
        std::printf("  %2d staves x %4d measures: %.3f s wall, %.3f s CPU, %.0f entries/s, module heap/frames %.2f\n",
                    size.first, size.second, f.wall, f.cpu, entries / f.wall, f.heapToFrames);
    }
    return 0;
}
