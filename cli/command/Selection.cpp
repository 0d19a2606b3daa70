#include "cli/command/Selection.h"

#include "cli/CliError.h"

#include <algorithm>
#include <cctype>
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

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string KnownParts(const Score& score) {
    std::string list;
    for (const Part& p : score.parts) {
        list += list.empty() ? "" : ", ";
        list += p.id + (p.name.empty() ? "" : " (\"" + p.name + "\")");
    }
    return list;
}

// Parts whose id, name or abbreviation is `name`; an exact id wins over names.
std::vector<size_t> PartsNamed(const Score& score, const std::string& name) {
    std::vector<size_t> found;
    for (size_t i = 0; i < score.parts.size(); ++i)
        if (score.parts[i].id == name) return {i};
    for (size_t i = 0; i < score.parts.size(); ++i) {
        const Part& p = score.parts[i];
        if (SameName(p.id, name) || SameName(p.name, name) ||
            (!p.abbreviation.empty() && SameName(p.abbreviation, name)))
            found.push_back(i);
    }
    return found;
}

std::optional<size_t> PartNamed(const Score& score, const std::string& name, const std::string& selection) {
    std::vector<size_t> parts = PartsNamed(score, name);
    if (parts.size() > 1) {
        std::string ids;
        for (size_t i : parts) ids += (ids.empty() ? "" : ", ") + score.parts[i].id;
        Fail(selection, "\"" + name + "\" names several parts (" + ids + "); use a part id");
    }
    if (parts.empty()) return std::nullopt;
    return parts.front();
}

void AddStaves(const Score& score, const std::string& item, const std::string& selection, std::vector<StaffRef>& out) {
    auto add = [&](StaffRef ref) {
        if (std::find(out.begin(), out.end(), ref) == out.end()) out.push_back(ref);
    };
    // The whole item may be a part name that happens to contain '/'.
    if (std::optional<size_t> part = PartNamed(score, item, selection)) {
        for (int s = 1; s <= score.parts[*part].staffCount; ++s) add({*part, s});
        return;
    }
    size_t slash = item.rfind('/');
    if (slash != std::string::npos) {
        std::string name = Trim(item.substr(0, slash));
        std::string number = Trim(item.substr(slash + 1));
        if (std::optional<size_t> part = PartNamed(score, name, selection)) {
            int staffCount = score.parts[*part].staffCount;
            bool digits = !number.empty() && number.size() < 4 && std::all_of(number.begin(), number.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c));
            });
            int staff = digits ? std::stoi(number) : 0;
            if (staff < 1 || staff > staffCount)
                Fail(selection, "part " + score.parts[*part].id + " has " + std::to_string(staffCount) +
                                    (staffCount == 1 ? " staff" : " staves") + "; there is no staff \"" + number +
                                    "\"");
            add({*part, staff});
            return;
        }
    }
    Fail(selection, "no part is called \"" + item + "\"; the parts are " + KnownParts(score));
}

std::optional<size_t> FindMeasure(const Part& part, const std::string& number, size_t from) {
    for (size_t i = from; i < part.measures.size(); ++i)
        if (part.measures[i].number == number) return i;
    return std::nullopt;
}

void ParseRange(const Part& part, const std::string& range, const std::string& selection, Selection& out) {
    if (range.empty()) Fail(selection, "no measures given after ':'");
    if (std::optional<size_t> only = FindMeasure(part, range, 0)) {
        out.firstMeasure = out.lastMeasure = *only;
        return;
    }
    // Split at the first '-' that leaves a measure number on both sides.
    bool sawDash = false;
    for (size_t dash = range.find('-'); dash != std::string::npos; dash = range.find('-', dash + 1)) {
        sawDash = true;
        std::string first = Trim(range.substr(0, dash)), last = Trim(range.substr(dash + 1));
        std::optional<size_t> a = FindMeasure(part, first, 0);
        if (!a) continue;
        std::optional<size_t> b = FindMeasure(part, last, *a);
        if (!b) {
            if (FindMeasure(part, last, 0))
                Fail(selection, "the range ends (measure " + last + ") before it starts (measure " + first + ")");
            continue;
        }
        out.firstMeasure = *a;
        out.lastMeasure = *b;
        return;
    }
    std::string known =
        part.measures.empty() ? "none" : part.measures.front().number + " to " + part.measures.back().number;
    Fail(selection, (sawDash ? "no measure range \"" : "no measure \"") + range + "\" in part " + part.id +
                        " (its measures are numbered " + known + ")");
}

} // namespace

Selection ParseSelection(const Score& score, const std::string& text) {
    Selection selection;
    selection.text = text;
    size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        Fail(text, "expected STAVES:MEASURES, for example \"Trumpet 1:5-8\" or \"Piano/2,Trombone:13-16\"");
    std::string staves = text.substr(0, colon);
    size_t start = 0;
    while (start <= staves.size()) {
        size_t comma = staves.find(',', start);
        std::string item = Trim(staves.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (item.empty()) Fail(text, "an empty staff name");
        AddStaves(score, item, text, selection.staves);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    ParseRange(score.parts[selection.staves.front().part], Trim(text.substr(colon + 1)), text, selection);
    return selection;
}

std::string DescribeMeasures(const Score& score, const Selection& selection) {
    const Part& part = score.parts[selection.staves.front().part];
    const std::string& first = part.measures[selection.firstMeasure].number;
    const std::string& last = part.measures[selection.lastMeasure].number;
    return first == last && selection.firstMeasure == selection.lastMeasure ? "measure " + first
                                                                            : "measures " + first + "-" + last;
}

} // namespace beatclone::cli
