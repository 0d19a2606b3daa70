#include "SpannerCheck.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace beatclone::cli::test {
namespace {

bool Named(pugi::xml_node n, const char* name) { return std::strcmp(n.name(), name) == 0; }

std::string Text(pugi::xml_node n) { return n.child_value(); }

std::string PitchOf(pugi::xml_node note) {
    pugi::xml_node p = note.child("pitch");
    if (!p) p = note.child("unpitched");
    return Text(p.child("step")) + Text(p.child("display-step")) + Text(p.child("alter")) + "/" +
           Text(p.child("octave")) + Text(p.child("display-octave"));
}

bool HasTie(pugi::xml_node note, std::string_view type) {
    for (pugi::xml_node tie : note.children("tie"))
        if (tie.attribute("type").as_string() == type) return true;
    for (pugi::xml_node notations : note.children("notations"))
        for (pugi::xml_node tied : notations.children("tied")) {
            std::string_view t = tied.attribute("type").as_string();
            if (t == type || t == "continue") return true;
        }
    return false;
}

class Walk {
public:
    explicit Walk(std::vector<std::string>& problems) : problems_(problems) {}

    void Part(pugi::xml_node part) {
        part_ = part.attribute("id").as_string();
        for (pugi::xml_node measure : part.children("measure")) {
            measure_ = measure.attribute("number").as_string();
            for (pugi::xml_node e : measure.children()) {
                if (Named(e, "note")) Note(e);
                if (Named(e, "direction"))
                    for (pugi::xml_node type : e.children("direction-type"))
                        for (pugi::xml_node s : type.children()) DirectionSpanner(s);
            }
        }
        for (auto& [voice, chord] : chords_) CloseChord(voice, chord, nullptr);
        for (const auto& [key, where] : open_) Report(key + " starts in measure " + where + " and never stops");
        chords_.clear();
        open_.clear();
    }

private:
    struct Chord {
        std::map<std::string, bool> started; // pitch -> tied on
    };

    void Report(const std::string& what) { problems_.push_back("part " + part_ + ": " + what); }

    void Start(const std::string& key, bool twiceIsWrong) {
        if (open_.count(key) && twiceIsWrong) Report(key + " started twice (measure " + measure_ + ")");
        open_[key] = measure_;
    }
    void Stop(const std::string& key) {
        if (open_.erase(key) == 0) Report(key + " stops in measure " + measure_ + " without a start");
    }

    // A voice's next chord must continue every tie the one before started, on the same pitch.
    void CloseChord(const std::string& voice, Chord& previous, const std::set<std::string>* stops) {
        for (const auto& [pitch, tied] : previous.started)
            if (tied && (stops == nullptr || !stops->count(pitch)))
                Report("tie on " + pitch + " in voice " + voice + " is not continued on that pitch (before measure " +
                       measure_ + ")");
        previous.started.clear();
    }

    void Note(pugi::xml_node note) {
        // A voice may cross between the staves: its ties are the voice's, on whichever staff.
        std::string voice = Text(note.child("voice"));
        if (note.child("grace")) voice += " grace";
        bool chord = static_cast<bool>(note.child("chord"));
        std::string pitch = note.child("rest") ? "" : PitchOf(note);
        if (!chord) {
            // The stops of this chord, its notes following, against the chord before's starts.
            std::set<std::string> stops;
            for (pugi::xml_node n = note; n; n = n.next_sibling("note")) {
                if (n != note && !n.child("chord")) break;
                if (HasTie(n, "stop")) stops.insert(PitchOf(n));
            }
            Chord& previous = chords_[voice];
            for (const std::string& s : stops)
                if (!previous.started.count(s) || !previous.started[s])
                    Report("tie stop on " + s + " in voice " + voice + ", measure " + measure_ + ", without a start");
            CloseChord(voice, previous, &stops);
        }
        if (!pitch.empty() && HasTie(note, "start")) chords_[voice].started[pitch] = true;
        for (pugi::xml_node notations : note.children("notations"))
            for (pugi::xml_node n : notations.children()) {
                std::string_view type = n.attribute("type").as_string();
                bool slur = Named(n, "slur");
                if (!slur && !Named(n, "glissando") && !Named(n, "slide")) continue;
                std::string key = std::string(n.name()) + " " + n.attribute("number").as_string("1");
                if (type == "start") Start(key, slur);
                if (type == "stop") Stop(key);
            }
    }

    void DirectionSpanner(pugi::xml_node s) {
        std::string_view type = s.attribute("type").as_string();
        std::string key = std::string(s.name()) + " " + s.attribute("number").as_string("1");
        if (Named(s, "wedge") || Named(s, "dashes") || Named(s, "bracket") || Named(s, "octave-shift")) {
            if (type == "stop")
                Stop(key);
            else if (type != "continue")
                Start(key, true);
        } else if (Named(s, "pedal")) {
            if (type == "start") Start(key, true);
            if (type == "stop") Stop(key);
        }
    }

    std::vector<std::string>& problems_;
    std::string part_, measure_;
    std::map<std::string, Chord> chords_;
    std::map<std::string, std::string> open_;
};

} // namespace

std::vector<std::string> BrokenSpanners(const pugi::xml_document& score) {
    std::vector<std::string> problems;
    Walk walk(problems);
    for (pugi::xml_node part : score.document_element().children("part")) walk.Part(part);
    return problems;
}

std::string NewBrokenSpanners(const pugi::xml_document& before, const pugi::xml_document& after) {
    std::multiset<std::string> had;
    for (const std::string& p : BrokenSpanners(before)) had.insert(p);
    std::string out;
    for (const std::string& p : BrokenSpanners(after)) {
        auto found = had.find(p);
        if (found != had.end())
            had.erase(found);
        else
            out += p + "\n";
    }
    return out;
}

} // namespace beatclone::cli::test
