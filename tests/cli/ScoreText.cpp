#include "ScoreText.h"

#include <map>
#include <sstream>
#include <stdexcept>

namespace beatclone::cli::test {
namespace {

struct Value {
    const char* type;
    int quarterTwelfths; // length at 12 divisions per quarter
};

const std::map<char, Value> kValues = {
    {'w', {"whole", 48}}, {'h', {"half", 24}}, {'q', {"quarter", 12}}, {'e', {"eighth", 6}}, {'s', {"16th", 3}}};

std::vector<std::string> Split(const std::string& text, char by) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == by) {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(current);
    return parts;
}

std::string PitchXml(const std::string& p) {
    std::string step(1, p.at(0));
    size_t i = 1;
    int alter = 0;
    while (i < p.size() && (p[i] == '#' || p[i] == 'b')) alter += p[i++] == '#' ? 1 : -1;
    std::string octave = p.substr(i);
    return "<pitch><step>" + step + "</step>" + (alter ? "<alter>" + std::to_string(alter) + "</alter>" : "") +
           "<octave>" + octave + "</octave></pitch>";
}

class Writer {
public:
    Writer(int divisions, bool multiStaff) : divisions_(divisions), multiStaff_(multiStaff) {}

    // Writes one voice; answers its length in divisions.
    int Voice(std::ostringstream& out, const VoiceText& v) {
        int at = 0;
        int tripletCount = 0;
        std::istringstream tokens(v.notes);
        std::string token;
        while (tokens >> token) {
            std::vector<std::string> fields = Split(token, ':');
            bool grace = fields[0] == "g";
            if (grace) fields.erase(fields.begin());
            std::string what = fields.at(0);
            std::string value = fields.at(1);
            bool tie = !value.empty() && value.back() == '~';
            if (tie) value.pop_back();
            bool triplet = !value.empty() && value.back() == '3';
            if (triplet) value.pop_back();
            int dots = 0;
            while (!value.empty() && value.back() == '.') {
                value.pop_back();
                ++dots;
            }
            const Value& base = kValues.at(value.at(0));
            int length = base.quarterTwelfths, part = base.quarterTwelfths;
            for (int d = 0; d < dots; ++d) length += (part /= 2);
            if (triplet) length = length * 2 / 3;
            int duration = length * divisions_ / 12;
            if (what == "_") {
                out << "<forward><duration>" << duration << "</duration><voice>" << v.voice << "</voice>" << Staff(v)
                    << "</forward>";
                at += duration;
                continue;
            }
            std::vector<std::string> chord = Split(what, '+');
            for (size_t k = 0; k < chord.size(); ++k) {
                out << "<note>" << (grace ? "<grace/>" : "") << (k ? "<chord/>" : "")
                    << (chord[k] == "r" ? "<rest/>" : PitchXml(chord[k]));
                if (!grace) out << "<duration>" << duration << "</duration>";
                if (tie) out << "<tie type=\"start\"/>";
                out << "<voice>" << v.voice << "</voice><type>" << base.type << "</type>";
                for (int d = 0; d < dots; ++d) out << "<dot/>";
                if (triplet)
                    out << "<time-modification><actual-notes>3</actual-notes><normal-notes>2</normal-notes></"
                           "time-modification>";
                out << Staff(v);
                std::string notations, articulations, lyric;
                if (tie) notations += "<tied type=\"start\"/>";
                if (triplet && k == 0 && tripletCount % 3 == 0) notations += "<tuplet type=\"start\" bracket=\"yes\"/>";
                if (triplet && k == 0 && tripletCount % 3 == 2) notations += "<tuplet type=\"stop\"/>";
                for (size_t f = 2; f < fields.size(); ++f) {
                    const std::string& mark = fields[f];
                    if (mark == "acc") articulations += "<accent/>";
                    if (mark == "stacc") articulations += "<staccato/>";
                    if (mark == "ten") articulations += "<tenuto/>";
                    if (mark == "ferm") notations += "<fermata/>";
                    if (mark == "slur(") notations += "<slur type=\"start\" number=\"1\"/>";
                    if (mark == "slur)") notations += "<slur type=\"stop\" number=\"1\"/>";
                    if (mark == "fing") notations += "<technical><fingering>1</fingering></technical>";
                    if (mark == "lyr")
                        lyric = "<lyric><syllabic>single</syllabic><text>" + chord[k] + "</text></lyric>";
                }
                if (!articulations.empty()) notations += "<articulations>" + articulations + "</articulations>";
                if (!notations.empty()) out << "<notations>" << notations << "</notations>";
                out << lyric << "</note>";
            }
            if (triplet) ++tripletCount;
            if (!grace) at += duration;
        }
        return at;
    }

private:
    std::string Staff(const VoiceText& v) const {
        return multiStaff_ ? "<staff>" + std::to_string(v.staff) + "</staff>" : "";
    }

    int divisions_;
    bool multiStaff_;
};

} // namespace

std::string ScoreXml(const std::vector<PartText>& parts) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<score-partwise version=\"4.0\"><part-list>";
    for (const PartText& p : parts)
        out << "<score-part id=\"" << p.id << "\"><part-name>" << p.name << "</part-name></score-part>";
    out << "</part-list>";
    for (const PartText& p : parts) {
        out << "<part id=\"" << p.id << "\">";
        Writer writer(p.divisions, p.staves > 1);
        for (size_t m = 0; m < p.measures.size(); ++m) {
            const MeasureText& measure = p.measures[m];
            out << "<measure number=\"" << (measure.number.empty() ? std::to_string(m + 1) : measure.number) << "\">";
            if (m == 0) {
                out << "<attributes><divisions>" << p.divisions
                    << "</divisions><time><beats>4</beats><beat-type>4</beat-type></time>";
                if (p.staves > 1) out << "<staves>" << p.staves << "</staves>";
                out << "</attributes>";
            }
            int at = 0;
            for (const VoiceText& v : measure.voices) {
                if (at > 0) out << "<backup><duration>" << at << "</duration></backup>";
                at = writer.Voice(out, v);
            }
            out << "</measure>";
        }
        out << "</part>";
    }
    out << "</score-partwise>\n";
    return out.str();
}

PartText OneVoicePart(const std::string& id, const std::string& name, const std::vector<std::string>& measures) {
    PartText part{id, name, 1, {}, 12};
    for (const std::string& m : measures) part.measures.push_back({{{1, 1, m}}, ""});
    return part;
}

} // namespace beatclone::cli::test
