#include "cli/command/Selection.h"

#include "cli/CliError.h"
#include "cli/command/NameMatch.h"
#include "cli/musicxml/ScoreReader.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <optional>

namespace beatclone::cli {
namespace {

[[noreturn]] void Fail(const std::string& selection, const std::string& what) {
    throw CliError(ExitCode::BadSelection, "selection \"" + selection + "\": " + what);
}

std::string Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return std::string(s);
}

bool AllDigits(const std::string& s) {
    return !s.empty() && s.size() < 6 &&
           std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::string PartLabel(const Part& p) { return p.name.empty() ? p.id : "\"" + p.name + "\" (" + p.id + ")"; }

std::string KnownParts(const Score& score) {
    std::string list;
    for (const Part& p : score.parts) {
        list += list.empty() ? "" : ", ";
        list += p.id + (p.name.empty() ? "" : " (\"" + p.name + "\")");
    }
    return list;
}

// Reads the outline of one part (its staves and voices) before a selection looks at them.
using OutlineFn = std::function<void(size_t)>;

// The part a word names, or why it names none: see Selection.h for the rules.
class PartFinder {
public:
    PartFinder(const Score& score, const std::string& selection, std::vector<std::string>& warnings,
               const OutlineFn& outline)
        : score_(score), selection_(selection), warnings_(warnings), outline_(outline) {}

    // Answers the part, outlined, or nothing when no part is called so; refuses a word that
    // fits several.
    std::optional<size_t> Find(const std::string& word) const {
        std::optional<size_t> found = Named(word);
        if (found) outline_(*found);
        return found;
    }

    [[noreturn]] void Unknown(const std::string& word) const {
        // The guesses look at every part's staves; a part that cannot be read is only not guessed.
        for (size_t i = 0; i < score_.parts.size(); ++i) {
            try {
                outline_(i);
            } catch (const CliError&) {
            }
        }
        Guess(word);
    }

private:
    std::optional<size_t> Named(const std::string& word) const {
        if (!word.empty() && word.front() == '@') return ById(word.substr(1));
        std::string key = FoldedName(word);
        std::vector<size_t> exact, folded;
        for (size_t i = 0; i < score_.parts.size(); ++i) {
            const Part& p = score_.parts[i];
            if (p.name == word || (!p.abbreviation.empty() && p.abbreviation == word)) exact.push_back(i);
            if (!key.empty() && (FoldedName(p.name) == key || FoldedName(p.abbreviation) == key)) folded.push_back(i);
        }
        const std::vector<size_t>& named = exact.size() == 1 ? exact : folded;
        if (named.size() > 1) {
            std::string ids;
            for (size_t i : named) ids += (ids.empty() ? "" : ", ") + PartLabel(score_.parts[i]);
            std::string hint;
            for (size_t i : named) hint += (hint.empty() ? "\"@" : "\" or \"@") + score_.parts[i].id;
            Fail(selection_, "\"" + word + "\" names several parts (" + ids + "); name one by its id: " + hint + "\"");
        }
        std::optional<size_t> id = IdInAnyCase(word);
        if (named.size() == 1) {
            if (id && *id != named.front())
                AddWarning("\"" + word + "\" in \"" + selection_ + "\" is taken as the name of part " +
                           score_.parts[named.front()].id + "; write \"@" + score_.parts[*id].id +
                           "\" for the part with that id");
            return named.front();
        }
        return id;
    }

    [[noreturn]] void Guess(const std::string& word) const {
        std::string key = FoldedName(word.front() == '@' ? word.substr(1) : word);
        std::string guesses;
        for (const Part& p : score_.parts) {
            // "Piano 2" for the piano's second staff.
            std::string name = FoldedName(p.name);
            std::string rest = key.size() > name.size() && !name.empty() && key.compare(0, name.size(), name) == 0
                                   ? key.substr(name.size())
                                   : "";
            if (p.staffCount > 1 && AllDigits(rest) && std::stoi(rest) >= 1 && std::stoi(rest) <= p.staffCount) {
                guesses += (guesses.empty() ? "\"" : " or \"") + p.name + "/" + rest + "\"";
                continue;
            }
            bool near = NearMiss(key, FoldedName(p.name)) || NearMiss(key, FoldedName(p.abbreviation)) ||
                        NearMiss(key, FoldedName(p.id));
            if (near) guesses += (guesses.empty() ? "" : " or ") + Quoted(p);
        }
        std::string what = word.front() == '@' ? "no part has the id \"" + word.substr(1) + "\""
                                               : "no part is called \"" + word + "\"";
        if (!guesses.empty()) Fail(selection_, what + "; did you mean " + guesses + "?");
        Fail(selection_, what + "; the parts are " + KnownParts(score_) + " (beatclone SCORE --list shows them all)");
    }

    void AddWarning(const std::string& text) const {
        if (std::find(warnings_.begin(), warnings_.end(), text) == warnings_.end()) warnings_.push_back(text);
    }

    static std::string Quoted(const Part& p) { return "\"" + (p.name.empty() ? "@" + p.id : p.name) + "\""; }

    std::optional<size_t> ById(const std::string& id) const {
        for (size_t i = 0; i < score_.parts.size(); ++i)
            if (score_.parts[i].id == id) return i;
        return std::nullopt;
    }

    std::optional<size_t> IdInAnyCase(const std::string& word) const {
        if (std::optional<size_t> exact = ById(word)) return exact;
        std::optional<size_t> found;
        for (size_t i = 0; i < score_.parts.size(); ++i) {
            const std::string& id = score_.parts[i].id;
            bool same =
                id.size() == word.size() && std::equal(id.begin(), id.end(), word.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                });
            if (same) {
                if (found) return std::nullopt; // "p1" for both "P1" and "p1": only @ tells them apart
                found = i;
            }
        }
        return found;
    }

    const Score& score_;
    const std::string& selection_;
    std::vector<std::string>& warnings_;
    const OutlineFn& outline_;
};

void AddStaff(std::vector<StaffRef>& out, StaffRef ref) {
    if (std::find(out.begin(), out.end(), ref) == out.end()) out.push_back(ref);
}

void AddStaves(const Score& score, const PartFinder& parts, const std::string& item, const std::string& selection,
               std::vector<StaffRef>& out) {
    // The whole item may be a part name that happens to contain '/'.
    if (std::optional<size_t> part = parts.Find(item)) {
        for (int s = 1; s <= score.parts[*part].staffCount; ++s) AddStaff(out, {*part, s});
        return;
    }
    size_t slash = item.rfind('/');
    if (slash != std::string::npos) {
        std::string name = Trim(item.substr(0, slash));
        std::string number = Trim(item.substr(slash + 1));
        if (std::optional<size_t> part = parts.Find(name)) {
            const Part& p = score.parts[*part];
            int staff = AllDigits(number) ? std::stoi(number) : 0;
            if (staff < 1 || staff > p.staffCount) {
                std::string choices;
                for (int s = 1; s <= p.staffCount; ++s) choices += (s > 1 ? ", " : "") + name + "/" + std::to_string(s);
                Fail(selection, "part " + p.id + " has " + std::to_string(p.staffCount) +
                                    (p.staffCount == 1 ? " staff" : " staves") + "; there is no staff \"" + number +
                                    "\"" + (p.staffCount == 1 ? "; write \"" + name + "\"" : " (use " + choices + ")"));
            }
            AddStaff(out, {*part, staff});
            return;
        }
        parts.Unknown(name);
    }
    parts.Unknown(item);
}

// The measures of `part` printed `number`, in score order.
std::vector<size_t> MeasuresNumbered(const Part& part, const std::string& number) {
    std::vector<size_t> found;
    for (size_t i = 0; i < part.measures.size(); ++i)
        if (part.measures[i].number == number) found.push_back(i);
    return found;
}

struct NumberAndOccurrence {
    std::string number;
    size_t occurrence = 0; // 0: not given
};

NumberAndOccurrence SplitOccurrence(const std::string& text) {
    size_t hash = text.rfind('#');
    if (hash == std::string::npos || !AllDigits(text.substr(hash + 1))) return {text, 0};
    return {Trim(text.substr(0, hash)), static_cast<size_t>(std::stoul(text.substr(hash + 1)))};
}

std::string Ordinal(size_t n) {
    static const char* kWords[] = {"first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth"};
    return n >= 1 && n <= 8 ? kWords[n - 1] : std::to_string(n) + "th";
}

std::string MeasureRange(const Part& part) {
    if (part.measures.empty()) return "none";
    if (part.measures.size() == 1) return part.measures.front().number;
    return part.measures.front().number + " to " + MeasureName(part, part.measures.size() - 1);
}

// Measure index of `text`, a whole measure number as printed (no range); `from`: the range's
// start, for its end, which needs no "#K". Answers nothing when no measure has that number.
std::optional<size_t> ResolveMeasure(const Part& part, const std::string& text, std::optional<size_t> from,
                                     const std::string& selection) {
    std::vector<size_t> found = MeasuresNumbered(part, text);
    NumberAndOccurrence wanted{text, 0};
    if (found.empty()) {
        wanted = SplitOccurrence(text);
        if (wanted.occurrence == 0) return std::nullopt;
        found = MeasuresNumbered(part, wanted.number);
        if (found.empty()) return std::nullopt;
        if (wanted.occurrence > found.size())
            Fail(selection, "measure " + wanted.number + " is printed " + std::to_string(found.size()) +
                                (found.size() == 1 ? " time" : " times") + " in part " + part.id + "; there is no \"" +
                                text + "\"");
        return found[wanted.occurrence - 1];
    }
    if (found.size() == 1) return found.front();
    if (from) {
        for (size_t i : found)
            if (i >= *from) return i;
        return found.front(); // before the start: reported as such
    }
    std::string each;
    for (size_t k = 0; k < found.size() && k < 4; ++k) each += (k ? ", " : "") + MeasureName(part, found[k]);
    Fail(selection, "measure " + text + " is printed " + std::to_string(found.size()) + " times in part " + part.id +
                        " (" + each + (found.size() > 4 ? ", ..." : "") + "); write \"" + text + "#2\" for the " +
                        Ordinal(2) + ", \"" + text + "#1\" for the first");
}

void ParseRange(const Part& part, const std::string& range, const std::string& selection, Selection& out) {
    if (range.empty())
        Fail(selection, "no measures given after ':'; add a measure or a range, as in \"" +
                            selection.substr(0, selection.rfind(':')) + ":1-4\"");
    if (std::optional<size_t> only = ResolveMeasure(part, range, std::nullopt, selection)) {
        out.firstMeasure = out.lastMeasure = *only;
        return;
    }
    // Split at the first '-' that leaves a measure number on both sides.
    bool sawDash = false;
    for (size_t dash = range.find('-'); dash != std::string::npos; dash = range.find('-', dash + 1)) {
        sawDash = true;
        std::string first = Trim(range.substr(0, dash)), last = Trim(range.substr(dash + 1));
        std::optional<size_t> a = ResolveMeasure(part, first, std::nullopt, selection);
        if (!a) continue;
        std::optional<size_t> b = ResolveMeasure(part, last, *a, selection);
        if (!b) continue;
        if (*b < *a)
            Fail(selection, "the range ends (measure " + last + ") before it starts (measure " + first +
                                "); write the earlier measure first");
        out.firstMeasure = *a;
        out.lastMeasure = *b;
        return;
    }
    Fail(selection, (sawDash ? "no measure range \"" : "no measure \"") + range + "\" in part " + part.id +
                        " (its measures are numbered " + MeasureRange(part) +
                        "; beatclone SCORE --list shows them all)");
}

} // namespace

Occurrence OccurrenceOf(const Part& part, size_t m) {
    Occurrence o{0, 0};
    for (size_t i = 0; i < part.measures.size(); ++i)
        if (part.measures[i].number == part.measures[m].number) {
            ++o.count;
            if (i <= m) ++o.index;
        }
    return o;
}

std::string MeasureName(const Part& part, size_t m) {
    Occurrence o = OccurrenceOf(part, m);
    return o.count > 1 ? part.measures[m].number + "#" + std::to_string(o.index) : part.measures[m].number;
}

namespace {

Selection Parse(const Score& score, const std::string& text, const OutlineFn& outline) {
    Selection selection;
    selection.text = text;
    size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        Fail(text, "expected STAVES:MEASURES, for example \"Trumpet 1:5-8\" or \"Piano/2,Trombone:13-16\"");
    PartFinder parts(score, text, selection.warnings, outline);
    std::string staves = Trim(text.substr(0, colon));
    if (FoldedName(staves) == "all" && !parts.Find(staves)) {
        for (size_t p = 0; p < score.parts.size(); ++p) outline(p);
        for (size_t p = 0; p < score.parts.size(); ++p)
            for (int s = 1; s <= score.parts[p].staffCount; ++s) AddStaff(selection.staves, {p, s});
    } else if (std::optional<size_t> whole = parts.Find(staves); whole && staves.find(',') != std::string::npos) {
        // A part whose name holds a comma.
        for (int s = 1; s <= score.parts[*whole].staffCount; ++s) AddStaff(selection.staves, {*whole, s});
    } else {
        size_t start = 0;
        while (start <= staves.size()) {
            size_t comma = staves.find(',', start);
            std::string item =
                Trim(staves.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (item.empty()) Fail(text, "an empty staff name; name a staff between each two commas");
            AddStaves(score, parts, item, text, selection.staves);
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    ParseRange(score.parts[selection.staves.front().part], Trim(text.substr(colon + 1)), text, selection);
    return selection;
}

} // namespace

Selection ParseSelection(MusicXmlScore& xml, const std::string& text) {
    return Parse(xml.score, text, [&xml](size_t p) { OutlinePart(xml, p); });
}

Selection ParseSelection(const Score& score, const std::string& text) {
    return Parse(score, text, [](size_t) {});
}

std::string DescribeMeasures(const Score& score, const Selection& selection) {
    const Part& part = score.parts[selection.staves.front().part];
    std::string first = MeasureName(part, selection.firstMeasure);
    if (selection.firstMeasure == selection.lastMeasure) return "measure " + first;
    return "measures " + first + "-" + MeasureName(part, selection.lastMeasure);
}

} // namespace beatclone::cli
