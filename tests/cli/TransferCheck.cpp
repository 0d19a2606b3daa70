#include "TransferCheck.h"

#include "VoiceDigest.h"

#include "cli/musicxml/Articulations.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <set>
#include <sstream>

namespace beatclone::cli::test {
namespace {

bool TiesOn(const Event& e) {
    return e.kind == EventKind::Note &&
           std::any_of(e.notes.begin(), e.notes.end(), [](const NoteHead& n) { return n.tieStart; });
}

// The rhythm of one voice in one measure, without pitches.
std::vector<std::string> Rhythm(const VoiceMeasure* voice) {
    std::vector<std::string> lines;
    if (voice == nullptr) return lines;
    for (const Event& e : voice->events) {
        if (e.kind == EventKind::Gap) continue;
        std::ostringstream line;
        int g = std::gcd(e.tmActual, e.tmNormal);
        line << "@" << e.onset.ToString() << " len " << e.duration.ToString() << " value " << e.notated
             << (e.kind == EventKind::Rest ? " rest" : " note") << (e.grace ? " grace" : "") << (e.cue ? " cue" : "")
             << (e.measureRest ? " measure-rest" : "") << " ratio " << e.tmActual / g << ":" << e.tmNormal / g
             << (TiesOn(e) ? " tied" : "");
        std::vector<std::string> marks;
        // A fermata is the destination's own as well as the source's: it travels with its note.
        for (const ArticulationMark& a : e.articulations)
            if (a.kind != ArticulationKind::Fermata) marks.push_back(std::to_string(static_cast<unsigned>(a.kind)));
        std::sort(marks.begin(), marks.end());
        for (const std::string& m : marks) line << " art" << m;
        lines.push_back(line.str());
    }
    return lines;
}

std::vector<std::string> Pitches(const Event& e) {
    std::vector<std::string> pitches;
    for (const NoteHead& n : e.notes)
        pitches.push_back(std::string(1, "CDEFGAB"[n.pitch.step % 7]) + std::to_string(n.pitch.alter) + "/" +
                          std::to_string(n.pitch.octave));
    std::sort(pitches.begin(), pitches.end());
    return pitches;
}

// Note entries of a voice over measures, in order.
std::vector<const Event*> Entries(const Part& part, int staff, const std::string& voice, size_t first, size_t last) {
    std::vector<const Event*> entries;
    for (size_t m = first; m <= last; ++m)
        if (const VoiceMeasure* v = part.measures[m].Find(staff, voice))
            for (const Event& e : v->events) entries.push_back(&e);
    return entries;
}

// The pitches of each attack group: the first note entry of every run of tied entries.
std::vector<std::vector<std::string>> GroupPitches(const std::vector<const Event*>& entries) {
    std::vector<std::vector<std::string>> groups;
    bool tied = false;
    for (const Event* e : entries) {
        if (e->kind != EventKind::Note) {
            tied = false;
            continue;
        }
        if (!tied) groups.push_back(Pitches(*e));
        tied = TiesOn(*e);
    }
    return groups;
}

// The pitches each note entry of a rebuilt voice should have: its group's.
std::vector<std::vector<std::string>> PitchesPerNoteEntry(const std::vector<const Event*>& entries,
                                                          const std::vector<std::vector<std::string>>& groups) {
    std::vector<std::vector<std::string>> expected;
    bool tied = false;
    size_t group = 0;
    for (const Event* e : entries) {
        if (e->kind != EventKind::Note) {
            tied = false;
            continue;
        }
        if (!tied && !expected.empty()) ++group;
        expected.push_back(group < groups.size() ? groups[group] : std::vector<std::string>{"?"});
        tied = TiesOn(*e);
    }
    return expected;
}

// The lines without their ties, for the measures beside a rebuilt layer, whose ties at the
// edge the transfer closes or removes.
void WithoutTies(std::vector<std::string>& lines) {
    for (std::string& line : lines)
        for (const char* mark : {" <tie", " tie>", " tied"})
            for (size_t at; (at = line.find(mark)) != std::string::npos;) line.erase(at, std::strlen(mark));
}

// What each attack of a voice carries beside its rhythm and pitches: lyrics, notations but
// ties, tuplets and the articulations the host carries, noteheads and the like, and the
// attributes of its notes.
std::vector<std::multiset<std::string>> MarksPerAttack(const std::vector<const Event*>& entries) {
    std::vector<std::multiset<std::string>> attacks;
    bool tied = false;
    for (const Event* e : entries) {
        if (e->kind != EventKind::Note) {
            tied = false;
            continue;
        }
        if (!tied) attacks.emplace_back();
        std::multiset<std::string>& marks = attacks.back();
        for (pugi::xml_node_struct* element : e->elements) {
            pugi::xml_node note(element);
            for (pugi::xml_attribute a : note.attributes())
                if (std::strstr("color id dynamics print-object", a.name()))
                    marks.insert(std::string(a.name()) + "=" + a.value());
            for (pugi::xml_node child : note.children()) {
                std::string name = child.name();
                if (name == "lyric")
                    marks.insert("lyric " + std::string(child.attribute("number").as_string("1")) + " " +
                                 child.child_value("text"));
                if (name == "notehead" || name == "instrument" || name == "accidental")
                    marks.insert(name + " " + child.child_value() + child.attribute("id").as_string());
                if (name != "notations") continue;
                for (pugi::xml_node n : child.children()) {
                    std::string kind = n.name();
                    if (kind == "tied" || kind == "tuplet") continue;
                    if (kind == "articulations") {
                        for (pugi::xml_node a : n.children())
                            if (ArticulationKindOf(a.name()) == ArticulationKind::None) marks.insert(a.name());
                        continue;
                    }
                    // One fermata a note: the source's, where it has one, else the note's own.
                    if (kind == "fermata")
                        marks.insert(kind);
                    else
                        marks.insert(kind + " " + n.attribute("type").as_string() + n.first_child().name());
                }
            }
        }
        tied = TiesOn(*e);
    }
    return attacks;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += "    " + l + "\n";
    return out;
}

} // namespace

std::string CheckTransfer(const Score& before, const Score& after, const TransferReport& report,
                          const std::string& sourceText, const std::string& destinationText) {
    std::ostringstream problems;
    Selection source = ParseSelection(before, sourceText);
    Selection destination = ParseSelection(before, destinationText);
    const Part& sourcePart = before.parts[source.staves.front().part];
    int sourceStaff = source.staves.front().staff;
    const std::string& sourceVoice = sourcePart.voicesByStaff[static_cast<size_t>(sourceStaff - 1)].front();

    // Rebuilt (part, staff, voice) and the measures that changed with them.
    std::set<std::string> rebuiltKeys, edgeKeys;
    for (const LayerOutcome& layer : report.layers) {
        if (layer.result != LayerResult::Rebuilt) continue;
        size_t p = 0;
        while (before.parts[p].id != layer.partId) ++p;
        const Part& was = before.parts[p];
        const Part& now = after.parts[p];
        std::string voiceKey = was.id + " staff " + std::to_string(layer.staffNumber) + " voice " + layer.voice;
        if (!layer.tiesRemoved.empty() || !layer.tiesClosed.empty())
            for (size_t m : {destination.firstMeasure - 1, destination.lastMeasure + 1})
                edgeKeys.insert(voiceKey + " measure #" + std::to_string(m));
        for (size_t i = 0; i < destination.MeasureCount(); ++i) {
            size_t m = destination.firstMeasure + i;
            rebuiltKeys.insert(was.id + " staff " + std::to_string(layer.staffNumber) + " voice " + layer.voice +
                               " measure #" + std::to_string(m));
            auto expected = Rhythm(sourcePart.measures[source.firstMeasure + i].Find(sourceStaff, sourceVoice));
            auto actual = Rhythm(now.measures[m].Find(layer.staffNumber, layer.voice));
            // Where the source is shorter than the measure, rests fill the rest of it.
            if (layer.restsFilled > 0)
                while (actual.size() > expected.size() && actual.back().find(" rest ") != std::string::npos)
                    actual.pop_back();
            if (m == destination.lastMeasure && !layer.tiesRemoved.empty() && !expected.empty() && !actual.empty()) {
                WithoutTies(expected);
                WithoutTies(actual);
            }
            if (expected != actual)
                problems << layer.staff << " layer " << layer.layer << " measure " << was.measures[m].number
                         << ": rhythm is not the source's\n  source:\n"
                         << Join(expected) << "  rebuilt:\n"
                         << Join(actual);
        }
        // Attack by attack, the same markings (a fermata may come from the source as well).
        auto marksWere = MarksPerAttack(
            Entries(was, layer.staffNumber, layer.voice, destination.firstMeasure, destination.lastMeasure));
        auto marksNow = MarksPerAttack(
            Entries(now, layer.staffNumber, layer.voice, destination.firstMeasure, destination.lastMeasure));
        for (size_t a = 0; a < marksWere.size() && a < marksNow.size() && layer.dropped.empty(); ++a) {
            std::multiset<std::string>& marks = marksNow[a];
            for (auto it = marks.begin(); it != marks.end();)
                it = *it == "fermata" && !marksWere[a].count(*it) ? marks.erase(it) : std::next(it);
            if (marks != marksWere[a]) {
                problems << layer.staff << " layer " << layer.layer << ": attack " << a
                         << " does not carry what it carried:";
                for (const std::string& m : marksWere[a]) problems << " [" << m << "]";
                problems << " ->";
                for (const std::string& m : marks) problems << " [" << m << "]";
                problems << "\n";
            }
        }
        auto groups = GroupPitches(
            Entries(was, layer.staffNumber, layer.voice, destination.firstMeasure, destination.lastMeasure));
        auto rebuilt = Entries(now, layer.staffNumber, layer.voice, destination.firstMeasure, destination.lastMeasure);
        auto expected = PitchesPerNoteEntry(rebuilt, groups);
        size_t k = 0;
        for (const Event* e : rebuilt) {
            if (e->kind != EventKind::Note) continue;
            if (Pitches(*e) != expected[k])
                problems << layer.staff << " layer " << layer.layer << ": note entry " << k
                         << " has other pitches than attack group's\n";
            ++k;
        }
    }

    VoiceDigest was = DigestOf(before), now = DigestOf(after);
    for (const std::string& key : rebuiltKeys) {
        was.erase(key);
        now.erase(key);
    }
    for (const std::string& key : edgeKeys) {
        if (was.count(key)) WithoutTies(was[key]);
        if (now.count(key)) WithoutTies(now[key]);
    }
    if (was != now) problems << "voices the transfer did not rebuild changed:\n" << DescribeDifferences(was, now);
    return problems.str();
}

} // namespace beatclone::cli::test
