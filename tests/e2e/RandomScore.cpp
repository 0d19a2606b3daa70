#include "tests/e2e/RandomScore.h"

#include <sstream>

namespace randomscore {
namespace {

struct Token {
    std::string rhythm;  // tuplet prefix and duration
    std::string pitches; // "r" for a rest; notes joined by '+', '~' after a tied note
    std::string details; // "!1!2"
    bool measureBreak = false;

    bool IsNote() const { return pitches != "r"; }
    bool Tied() const { return IsNote() && pitches.find('~') != std::string::npos; }
    std::string Text() const { return measureBreak ? "|" : rhythm + ":" + pitches + details; }
};

std::vector<Token> Parse(const std::string& text) {
    std::vector<Token> tokens;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        Token t;
        if (word == "|") {
            t.measureBreak = true;
        } else {
            const size_t colon = word.find(':');
            const size_t bang = word.find('!', colon);
            t.rhythm = word.substr(0, colon);
            t.pitches = word.substr(colon + 1, bang == std::string::npos ? std::string::npos : bang - colon - 1);
            if (bang != std::string::npos) t.details = word.substr(bang);
        }
        tokens.push_back(t);
    }
    return tokens;
}

std::string Untied(std::string pitches) {
    std::string out;
    for (char c : pitches)
        if (c != '~') out += c;
    return out;
}

std::string Tied(const std::string& pitches) {
    std::string out;
    for (char c : pitches) {
        if (c == '+') out += '~';
        out += c;
    }
    return out + '~';
}

std::string Pick(std::mt19937& rng, const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

std::string RandomPitches(std::mt19937& rng) {
    static const std::vector<std::string> kPitches = {"C4", "D4", "Eb4", "F#4", "G4", "A4", "Bb3", "C5", "E5"};
    const int notes =
        std::uniform_int_distribution<int>(1, 100)(rng) <= 75 ? 1 : std::uniform_int_distribution<int>(2, 4)(rng);
    std::string out;
    for (int i = 0; i < notes; ++i) out += (i > 0 ? "+" : "") + Pick(rng, kPitches);
    return out;
}

bool Chance(std::mt19937& rng, int percent) { return std::uniform_int_distribution<int>(1, 100)(rng) <= percent; }

} // namespace

std::string Layer(std::mt19937& rng, int groups, int measures) {
    static const std::vector<std::string> kDurations = {"q", "e", "h", "q.", "s"};
    std::vector<std::string> entries;
    auto details = [&] {
        std::string d;
        if (Chance(rng, 20)) d += "!" + std::to_string(std::uniform_int_distribution<int>(1, 5)(rng));
        if (!d.empty() && Chance(rng, 30)) d += "!" + std::to_string(std::uniform_int_distribution<int>(1, 5)(rng));
        return d;
    };
    for (int g = 0; g < groups; ++g) {
        if (Chance(rng, 20)) entries.push_back(Pick(rng, kDurations) + ":r");
        const int members = Chance(rng, 25) ? std::uniform_int_distribution<int>(2, 3)(rng) : 1;
        const std::string pitches = RandomPitches(rng);
        const bool triplet = members == 1 && Chance(rng, 15);
        for (int m = 0; m < members; ++m) {
            std::string p = m + 1 < members ? Tied(pitches) : pitches;
            if (m + 1 < members && Chance(rng, 30)) p = pitches + "~"; // only the last note tied
            entries.push_back((triplet ? "3/2e" : Pick(rng, kDurations)) + ":" + p + details());
        }
        // A rest right after a tie chain's last tie breaks it; put one after a tied entry now
        // and then by ending the group with a tied note followed by a rest.
        if (members == 1 && Chance(rng, 10)) {
            entries.back() = entries.back().substr(0, entries.back().find(':')) + ":" + Tied(pitches);
            entries.push_back("e:r");
        }
    }
    if (Chance(rng, 30)) entries.push_back("q:r");
    // Spread over the measures; an empty measure now and then.
    std::string out;
    const size_t perMeasure = entries.size() / static_cast<size_t>(measures) + 1;
    size_t next = 0;
    for (int m = 0; m < measures; ++m) {
        if (m > 0) out += " |";
        for (size_t i = 0; i < perMeasure && next < entries.size(); ++i) out += " " + entries[next++];
    }
    while (next < entries.size()) out += " " + entries[next++];
    return out.substr(1);
}

int CountGroups(const std::string& text) {
    int count = 0;
    bool tied = false;
    for (const Token& t : Parse(text)) {
        if (t.measureBreak) continue;
        if (!t.IsNote()) {
            tied = false;
            continue;
        }
        if (!tied) ++count;
        tied = t.Tied();
    }
    return count;
}

std::string Rebuilt(const std::string& source, const std::string& destination) {
    // The first entry's notes of every destination group.
    std::vector<std::string> pitches;
    bool tied = false;
    for (const Token& t : Parse(destination)) {
        if (t.measureBreak) continue;
        if (!t.IsNote()) {
            tied = false;
            continue;
        }
        if (!tied) pitches.push_back(Untied(t.pitches));
        tied = t.Tied();
    }

    std::string out;
    int group = -1;
    tied = false;
    for (Token t : Parse(source)) {
        if (!t.measureBreak) {
            if (t.IsNote()) {
                if (!tied) ++group;
                const bool tiesOn = t.Tied();
                const std::string& p = pitches.at(static_cast<size_t>(group));
                t.pitches = tiesOn ? Tied(p) : p;
                tied = tiesOn;
            } else {
                tied = false;
            }
        }
        out += (out.empty() ? "" : " ") + t.Text();
    }
    return out;
}

} // namespace randomscore
