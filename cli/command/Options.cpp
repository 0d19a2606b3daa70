#include "cli/command/Options.h"

#include "cli/CliError.h"
#include "cli/command/HelpText.h"

#include <CLI/CLI.hpp>

#include <algorithm>

#ifndef BEATCLONE_VERSION
#define BEATCLONE_VERSION "unknown"
#endif

namespace beatclone::cli {
namespace {

[[noreturn]] void Usage(const std::string& what) { throw CliError(ExitCode::Usage, what + " (see beatclone --help)"); }

// Pairs each --to with the --source before it, and each --voice with its --source, in the
// order the options were given.
std::vector<JobOptions> PairJobs(CLI::App& app, CLI::Option* source, CLI::Option* voice, CLI::Option* to) {
    std::vector<JobOptions> jobs;
    std::vector<std::string> sources = source->as<std::vector<std::string>>();
    std::vector<std::string> voices = voice->as<std::vector<std::string>>();
    std::vector<std::string> destinations = to->as<std::vector<std::string>>();
    size_t s = 0, v = 0, d = 0;
    std::optional<JobOptions> current; // the latest source, with its voice
    bool used = true;                  // whether the latest source has a --to
    for (CLI::Option* option : app.parse_order()) {
        if (option == source) {
            if (!used) Usage("--source \"" + current->source + "\" has no --to after it");
            current = JobOptions{sources.at(s++), "", ""};
            used = false;
        } else if (option == voice) {
            std::string text = voices.at(v++);
            if (!current) Usage("--voice " + text + " comes before any --source; put it after the --source it is for");
            if (used) Usage("--voice " + text + " comes after a --to; put it right after its --source");
            if (!current->voice.empty()) Usage("two --voice options for --source \"" + current->source + "\"");
            current->voice = text;
        } else if (option == to) {
            std::string text = destinations.at(d++);
            if (!current) Usage("--to \"" + text + "\" comes before any --source; give the --source first");
            JobOptions job = *current;
            job.destination = text;
            jobs.push_back(job);
            used = true;
        }
    }
    if (!used) Usage("--source \"" + current->source + "\" has no --to after it");
    return jobs;
}

} // namespace

bool AsksForJson(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--") break;
        if (a == "--json") return true;
    }
    return false;
}

std::optional<int> ParseOptions(const std::vector<std::string>& args, Options& options, std::ostream& out) {
    CLI::App app{"beatclone", "beatclone"};
    app.set_help_flag();
    bool help = false, version = false, json = false, tsv = false, quiet = false;
    app.add_flag("-h,--help", help);
    app.add_flag("-V,--version", version);
    app.add_option("SCORE", options.score);
    app.add_option("-o,--output", options.output);
    CLI::Option* source = app.add_option("--source")->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    CLI::Option* voice = app.add_option("--voice")->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    CLI::Option* to = app.add_option("--to")->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_flag("--list", options.list);
    app.add_flag("--dry-run", options.dryRun);
    app.add_flag("--strict", options.strict);
    app.add_flag("--json", json);
    app.add_flag("--tsv", tsv);
    app.add_flag("--quiet", quiet);
    app.add_flag("--view", options.view);
    app.add_flag("--all-layers", options.allLayers);
    app.add_option("--module", options.modulePath);
    CLI::App* demo = app.add_subcommand("demo");
    demo->fallthrough();

    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them last first
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        Usage(e.what());
    }
    if (help) {
        out << HelpText();
        return 0;
    }
    if (version) {
        out << "beatclone " BEATCLONE_VERSION "\n";
        return 0;
    }
    if (json + tsv + quiet > 1) Usage("--json, --tsv and --quiet exclude each other; choose one");
    options.format = json    ? ReportFormat::Json
                     : tsv   ? ReportFormat::Tsv
                     : quiet ? ReportFormat::Quiet
                             : ReportFormat::Table;
    options.jobs = PairJobs(app, source, voice, to);
    options.demo = demo->parsed();
    if (options.list && !options.jobs.empty()) Usage("--list only shows the score; run the jobs without it");
    if (options.list && (!options.output.empty() || options.dryRun))
        Usage("--list writes nothing; leave out -o and --dry-run");
    return std::nullopt;
}

} // namespace beatclone::cli
