// How much a whole beatclone run costs on a large score against the floor: a program that
// only parses and saves the same file with pugixml, with the command's options
// (beatclone_pugixml_floor). The score is a corpus chorale made to reach 16 staves and 2000
// measures by repeating its parts and measures. Each case runs the floor and the command in
// turn, as processes of their own; it prints medians of CPU time (user and system), of each
// pair's ratio, and the ratio of peak memory (resident set); and the ratio to the floor given
// the command's allocator for pugixml (--tree-arena), which shows what the transfer costs.
//
//   beatclone_cli_bench [CORPUS_SCORE] [MEASURES] [--runs N] [--keep FILE]
//
// --keep leaves the large score at FILE, for profiling the tool on it.
#include "cli/musicxml/ScoreFile.h"

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStaves = 16;

int StavesOf(pugi::xml_node part) {
    int staves = part.child("measure").child("attributes").child("staves").text().as_int(1);
    return staves < 1 ? 1 : staves;
}

// Parts repeated to 16 staves, measures repeated to at least `measures`, renumbered from 1 (0
// for a pickup); the measures after the pickup repeat every `period`.
bool MakeLargeScore(const std::string& from, const std::string& to, size_t measures, size_t& notes, int& staves,
                    size_t& period) {
    pugi::xml_document doc;
    if (!doc.load_file(from.c_str(), beatclone::cli::kParseOptions)) return false;
    pugi::xml_node root = doc.document_element();
    pugi::xml_node partList = root.child("part-list");
    std::vector<pugi::xml_node> parts(root.children("part").begin(), root.children("part").end());
    std::vector<pugi::xml_node> scoreParts(partList.children("score-part").begin(),
                                           partList.children("score-part").end());
    if (parts.empty() || parts.size() != scoreParts.size()) return false;
    // Measures first, so that copied parts carry them.
    for (pugi::xml_node part : parts) {
        std::vector<pugi::xml_node> original(part.children("measure").begin(), part.children("measure").end());
        // The pickup stays at the very start only.
        size_t body = original.front().attribute("implicit") ? 1 : 0;
        period = original.size() - body;
        while (static_cast<size_t>(std::distance(part.children("measure").begin(), part.children("measure").end())) <
               measures)
            for (size_t i = body; i < original.size(); ++i) part.append_copy(original[i]);
        int number = original.front().attribute("implicit") ? 0 : 1;
        for (pugi::xml_node m : part.children("measure")) m.attribute("number").set_value(number++);
    }
    staves = 0;
    for (pugi::xml_node part : parts) staves += StavesOf(part);
    for (int copy = 1; staves < kStaves; ++copy)
        for (size_t p = 0; p < parts.size() && staves < kStaves; ++p) {
            staves += StavesOf(parts[p]);
            std::string id = std::to_string(copy);
            id.insert(id.begin(), 'C');
            id += parts[p].attribute("id").value();
            pugi::xml_node sp = partList.append_copy(scoreParts[p]);
            sp.attribute("id").set_value(id.c_str());
            pugi::xml_node name = sp.child("part-name");
            name.text().set((std::string(name.child_value()) + " " + std::to_string(copy + 1)).c_str());
            root.append_copy(parts[p]).attribute("id").set_value(id.c_str());
        }
    notes = 0;
    for (pugi::xml_node part : root.children("part"))
        for (pugi::xml_node m : part.children("measure"))
            for (pugi::xml_node n = m.child("note"); n; n = n.next_sibling("note")) ++notes;
    return doc.save_file(to.c_str(), "  ", pugi::format_indent, pugi::encoding_utf8);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// What one process took.
struct Run {
    double wall = 0;
    double cpu = 0;    // user and system
    double peakMb = 0; // highest resident set
    bool failed = false;
    bool nothingRebuilt = false; // exit 1: the run was whole, no destination layer matched
};

Run RunProcess(const std::vector<std::string>& args) {
    std::fflush(stdout);
    Run run;
    auto start = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!::freopen("/dev/null", "w", stdout)) ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.wall = Seconds(Clock::now() - start);
    run.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.failed = code != 0 && code != 1;
    run.nothingRebuilt = code == 1;
    return run;
}

// How many layers a dry run of the transfer would rebuild.
int LayersRebuilt(const std::string& tool, const std::string& score, const std::string& source, const std::string& to) {
    const std::string command =
        "'" + tool + "' '" + score + "' --source '" + source + "' --to '" + to + "' --dry-run 2>/dev/null";
    FILE* out = ::popen(command.c_str(), "r");
    if (out == nullptr) return 0;
    std::string text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, got);
    ::pclose(out);
    const size_t at = text.rfind("rebuild ");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 8);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    fs::path exeDir = fs::read_symlink("/proc/self/exe").parent_path();
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string keep;
    int runs = 11;
    for (size_t i = 0; i + 1 < args.size();) {
        if (args[i] == "--keep" || args[i] == "--runs") {
            if (args[i] == "--keep") keep = args[i + 1];
            if (args[i] == "--runs") runs = std::max(1, std::stoi(args[i + 1]));
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        } else {
            ++i;
        }
    }
    std::string corpus = args.size() > 0 ? args[0] : BEATCLONE_BENCH_CORPUS_SCORE;
    size_t measures = args.size() > 1 ? std::stoul(args[1]) : 2000;
    std::string tool = (exeDir / "beatclone").string();
    std::string floor = (exeDir / "beatclone_pugixml_floor").string();

    fs::path dir = fs::temp_directory_path() / ("beatclone-cli-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string large = (dir / "large.musicxml").string();
    size_t notes = 0;
    int staves = 0;
    size_t period = 1; // at least
    if (!MakeLargeScore(corpus, large, measures, notes, staves, period)) {
        std::fprintf(stderr, "cannot build the large score from %s\n", corpus.c_str());
        return 1;
    }
    if (!keep.empty()) fs::copy_file(large, keep, fs::copy_options::overwrite_existing);
    std::printf("score: %s repeated to %d staves, %zu+ measures, %zu notes, %.1f MB\n",
                fs::path(corpus).filename().c_str(), staves, measures, notes, fs::file_size(large) / 1e6);

    // Transfers of growing reach: one bar onto one staff, four bars onto every other staff (a
    // dry run first finds where they rebuild the most layers),
    // and a quarter of the score onto every other staff.
    std::string others;
    pugi::xml_document doc;
    doc.load_file(large.c_str());
    for (pugi::xml_node p : doc.document_element().children("part"))
        if (p != doc.document_element().child("part"))
            others += (others.empty() ? "" : ",") + std::string(p.attribute("id").value());
    if (others.empty()) others = doc.document_element().child("part").attribute("id").value();
    pugi::xml_node firstPart = doc.document_element().child("part");
    std::string first = std::string(firstPart.attribute("id").value()) + (StavesOf(firstPart) > 1 ? "/1" : "");
    std::string quarter = std::to_string(measures / 4);
    // Four measures near the end onto which measures 5-8 rebuild the most layers: the copies of
    // the first part already have their rhythm, the other parts have it only in places.
    const size_t count =
        static_cast<size_t>(std::distance(firstPart.children("measure").begin(), firstPart.children("measure").end()));
    size_t late = count - 4, rebuilt = 0;
    for (size_t start = count - 4; start + period + 4 > count && start > 8; --start) {
        const int layers = LayersRebuilt(tool, large, first + ":5-8",
                                         others + ":" + std::to_string(start) + "-" + std::to_string(start + 3));
        if (layers > static_cast<int>(rebuilt)) late = start, rebuilt = static_cast<size_t>(layers);
    }
    struct Case {
        std::string name;
        std::vector<std::string> extra;
    };
    std::vector<Case> cases = {
        {"round trip (no transfer)", {}},
        {"1 measure onto 1 part", {"--source", first + ":5", "--to", others.substr(0, others.find(',')) + ":9"}},
        {"measures 5-8 onto " + std::to_string(late) + "-" + std::to_string(late + 3) + " (" + std::to_string(rebuilt) +
             " layers)",
         {"--source", first + ":5-8", "--to", others + ":" + std::to_string(late) + "-" + std::to_string(late + 3)}},
        {"measures 1-" + quarter + " onto the other parts",
         {"--source", first + ":1-" + quarter, "--to", others + ":1-" + quarter}},
    };

    // The floor and the command run in turn, so that a machine whose load changes during the
    // benchmark skews both alike.
    std::printf("%-40s %9s %9s %8s %8s %9s %10s\n", "beatclone run (CPU seconds)", "command", "floor", "x floor",
                "wall x", "memory x", "x floor+TA");
    const std::vector<std::string> floorArgs{floor, large, (dir / "floor.musicxml").string()};
    const std::vector<std::string> arenaFloorArgs{floor, "--tree-arena", large, (dir / "floor.musicxml").string()};
    // One pair unmeasured first, so that the first case does not pay for a cold file cache.
    RunProcess(floorArgs);
    RunProcess({tool, large, "-o", (dir / "out.musicxml").string(), "--quiet"});
    for (const Case& c : cases) {
        std::vector<std::string> args{tool, large, "-o", (dir / "out.musicxml").string(), "--quiet"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        std::vector<double> cpu, floorCpu, ratios, wallRatios, memory, arenaRatios;
        bool failed = false, nothingRebuilt = false;
        for (int i = 0; i < runs; ++i) {
            const Run base = RunProcess(floorArgs);
            const Run run = RunProcess(args);
            const Run arenaBase = RunProcess(arenaFloorArgs);
            failed = failed || base.failed || run.failed || arenaBase.failed;
            nothingRebuilt = nothingRebuilt || run.nothingRebuilt;
            cpu.push_back(run.cpu);
            floorCpu.push_back(base.cpu);
            ratios.push_back(run.cpu / base.cpu);
            wallRatios.push_back(run.wall / base.wall);
            memory.push_back(run.peakMb / base.peakMb);
            arenaRatios.push_back(run.cpu / arenaBase.cpu);
        }
        std::printf("%-40s %9.3f %9.3f %7.2fx %7.2fx %8.2fx %9.2fx%s\n", c.name.c_str(), Median(cpu), Median(floorCpu),
                    Median(ratios), Median(wallRatios), Median(memory), Median(arenaRatios),
                    failed           ? "  (failed)"
                    : nothingRebuilt ? "  (nothing rebuilt)"
                                     : "");
    }
    std::printf(
        "(medians of %d runs in turn; floor: pugixml parsing and saving the same file, in a process of its "
        "own; CPU time is user and system; memory is the peak resident set; x floor+TA: CPU time against the floor "
        "given the command's allocator for pugixml, the tree arena, so that what the transfer itself costs shows)\n",
        runs);
    std::printf(
        "\ngoals: round trip at most 1.05x, %s measures onto the other parts at most 1.25x, memory at most "
        "1.2x\n",
        quarter.c_str());
    fs::remove_all(dir);
    return 0;
}
