#include "cli/hostmap/Tuplets.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace beatclone::cli {
namespace {

struct OpenTuplet {
    int number = 0; // the <tuplet> number; 0 for an inferred tuplet
    bool ratioKnown = false;
    int actual = 1;
    int normal = 1;
    int showNumber = 1;
    bool bracket = true;
    size_t first = 0;
    size_t last = 0;
    Rational contribution; // notated EDUs so far, inner tuplets' notes scaled by them
    Rational target;       // an inferred tuplet closes when its contribution reaches this
    Rational Ratio() const { return Rational(actual, normal); }
};

// Bounds the numbers stored in 16-bit fields of a definition.
int Clamp16(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, 1, 0xFFFF)); }

class Planner {
public:
    explicit Planner(const std::vector<Event>& events) : events_(events) {}

    std::vector<PlannedTuplet> Plan() {
        for (size_t i = 0; i < events_.size(); ++i) {
            const Event& e = events_[i];
            if (e.kind == EventKind::Gap) {
                CloseFrom(0);
                continue;
            }
            if (e.grace) continue;
            OpenMarked(e, i);
            Rational wanted(e.tmActual, e.tmNormal);
            ResolveUnknown(wanted, e);
            MatchInferred(wanted, e, i);
            Contribute(e, i);
            CloseMarked(e);
            CloseCompletedInferred();
        }
        CloseFrom(0);
        std::stable_sort(planned_.begin(), planned_.end(), [](const PlannedTuplet& a, const PlannedTuplet& b) {
            return a.first != b.first ? a.first < b.first : a.depth < b.depth;
        });
        return planned_;
    }

private:
    Rational KnownProduct() const {
        Rational product(1);
        for (const OpenTuplet& t : open_)
            if (t.ratioKnown) product = product * t.Ratio();
        return product;
    }

    void OpenMarked(const Event& e, size_t i) {
        std::vector<TupletMark> starts;
        for (const TupletMark& m : e.tupletMarks)
            if (m.start) starts.push_back(m);
        std::sort(starts.begin(), starts.end(),
                  [](const TupletMark& a, const TupletMark& b) { return a.number < b.number; });
        for (const TupletMark& m : starts) {
            // A start for a number still open restarts it.
            for (size_t d = 0; d < open_.size(); ++d)
                if (open_[d].number == m.number) {
                    CloseFrom(d);
                    break;
                }
            // Inferred tuplets never enclose marked ones.
            CloseInferred();
            OpenTuplet t;
            t.number = m.number;
            t.first = t.last = i;
            t.showNumber = m.showNumber;
            t.bracket = m.bracket;
            if (m.actual > 0 && m.normal > 0) {
                t.ratioKnown = true;
                t.actual = m.actual;
                t.normal = m.normal;
            }
            open_.push_back(t);
        }
    }

    // A marked tuplet that does not state its numbers takes the part of this note's
    // time-modification that the known tuplets do not explain.
    void ResolveUnknown(Rational wanted, const Event& e) {
        auto innermost = std::find_if(open_.rbegin(), open_.rend(), [](const OpenTuplet& t) { return !t.ratioKnown; });
        if (innermost == open_.rend()) return;
        for (OpenTuplet& t : open_)
            if (!t.ratioKnown && &t != &*innermost) t.ratioKnown = true; // outer unknowns count as 1:1
        Rational residual = wanted / KnownProduct();
        innermost->ratioKnown = true;
        if (open_.size() == 1 && residual == wanted) {
            innermost->actual = e.tmActual; // keeps 6:4 as written
            innermost->normal = e.tmNormal;
        } else {
            innermost->actual = Clamp16(residual.Num());
            innermost->normal = Clamp16(residual.Den());
        }
    }

    // Where the open tuplets do not give this note its time-modification, inferred tuplets
    // close and open until they do.
    void MatchInferred(Rational wanted, const Event& e, size_t i) {
        if (KnownProduct() == wanted) return;
        CloseInferred();
        Rational residual = wanted / KnownProduct();
        if (residual == Rational(1)) return;
        OpenTuplet t;
        t.ratioKnown = true;
        t.first = t.last = i;
        t.showNumber = 0;
        t.bracket = false;
        if (open_.empty()) {
            t.actual = e.tmActual;
            t.normal = e.tmNormal;
        } else {
            t.actual = Clamp16(residual.Num());
            t.normal = Clamp16(residual.Den());
        }
        t.target = Rational(t.actual) * Rational(e.notated);
        open_.push_back(t);
    }

    void Contribute(const Event& e, size_t i) {
        Rational value(e.notated);
        for (size_t d = open_.size(); d-- > 0;) {
            open_[d].contribution += value;
            open_[d].last = i;
            value = value / open_[d].Ratio();
        }
    }

    void CloseMarked(const Event& e) {
        for (const TupletMark& m : e.tupletMarks) {
            if (m.start) continue;
            for (size_t d = 0; d < open_.size(); ++d)
                if (open_[d].number == m.number) {
                    CloseFrom(d);
                    break;
                }
        }
    }

    void CloseCompletedInferred() {
        while (!open_.empty() && open_.back().number == 0 && open_.back().contribution >= open_.back().target)
            CloseFrom(open_.size() - 1);
    }

    void CloseInferred() {
        for (size_t d = 0; d < open_.size(); ++d)
            if (open_[d].number == 0) {
                CloseFrom(d);
                return;
            }
    }

    // Closes the tuplet at depth `d` and everything inside it.
    void CloseFrom(size_t d) {
        while (open_.size() > d) {
            const OpenTuplet& t = open_.back();
            if (t.contribution > Rational(0) && !(t.actual == 1 && t.normal == 1)) {
                PlannedTuplet p;
                p.first = t.first;
                p.depth = open_.size() - 1;
                p.definition.actual = static_cast<uint16_t>(t.actual);
                p.definition.normal = static_cast<uint16_t>(t.normal);
                int64_t span = std::max<int64_t>(1, t.contribution.Round());
                p.definition.unit = static_cast<uint32_t>(std::max<int64_t>(1, span / t.actual));
                p.definition.showNumber = static_cast<uint16_t>(t.showNumber);
                p.definition.bracket = t.bracket ? 1 : 0;
                simhost::SetTupletSpan(p.definition, static_cast<uint32_t>(std::min<int64_t>(span, 0x7FFFFFFF)));
                planned_.push_back(p);
            }
            open_.pop_back();
        }
    }

    const std::vector<Event>& events_;
    std::vector<OpenTuplet> open_;
    std::vector<PlannedTuplet> planned_;
};

struct LaidTuplet {
    int actual;
    int normal;
    Rational remaining;
    size_t lastMember;
};

// Lays the tuplets stored on host entries out over the events, one event at a time.
class Layout {
public:
    explicit Layout(std::vector<Event>& events) : events_(events) {}

    void Run(const std::vector<EntryTuplets>& tuplets) {
        for (size_t i = 0; i < events_.size(); ++i) {
            Event& e = events_[i];
            if (e.kind == EventKind::Gap) {
                CloseFrom(0);
                continue;
            }
            if (e.grace) continue;
            if (i < tuplets.size()) OpenStored(tuplets[i], i);
            SetTimeModification(e);
            Contribute(e, i);
            CloseCompleted();
        }
        CloseFrom(0);
    }

private:
    // Closes the tuplet at depth `d` and everything inside it, marking each on its last member.
    void CloseFrom(size_t d) {
        while (open_.size() > d) {
            TupletMark stop;
            stop.start = false;
            stop.number = static_cast<int>(open_.size());
            events_[open_.back().lastMember].tupletMarks.push_back(stop);
            open_.pop_back();
        }
    }

    void OpenStored(const EntryTuplets& definitions, size_t i) {
        for (const simhost::TupletDefinition& d : definitions) {
            if (d.actual == 0 || d.normal == 0) continue;
            TupletMark start;
            start.number = static_cast<int>(open_.size()) + 1;
            start.actual = d.actual;
            start.normal = d.normal;
            start.showNumber = d.showNumber;
            start.bracket = d.bracket != 0;
            events_[i].tupletMarks.push_back(start);
            open_.push_back({d.actual, d.normal, Rational(simhost::GetTupletSpan(d)), i});
        }
    }

    // The product of the open tuplets' ratios.
    void SetTimeModification(Event& e) const {
        int64_t actual = 1, normal = 1;
        bool overflow = false;
        for (const LaidTuplet& t : open_) {
            overflow |= __builtin_mul_overflow(actual, t.actual, &actual);
            overflow |= __builtin_mul_overflow(normal, t.normal, &normal);
        }
        if (overflow) {
            // Reduced as it goes, the product may still fit; else TimeOverflow.
            Rational product(1);
            for (const LaidTuplet& t : open_) product = product * Rational(t.actual, t.normal);
            actual = product.Num();
            normal = product.Den();
        }
        int64_t g = std::gcd(actual, normal);
        // Deep nesting could overflow the written numbers; the ratio itself is what matters.
        if (actual > 100000 || normal > 100000) {
            actual /= g;
            normal /= g;
        }
        if (actual > std::numeric_limits<int>::max() || normal > std::numeric_limits<int>::max()) throw TimeOverflow();
        e.tmActual = static_cast<int>(actual);
        e.tmNormal = static_cast<int>(normal);
    }

    void Contribute(const Event& e, size_t i) {
        Rational value(e.notated);
        for (size_t d = open_.size(); d-- > 0;) {
            open_[d].remaining -= value;
            open_[d].lastMember = i;
            value = value / Rational(open_[d].actual, open_[d].normal);
        }
    }

    // A tuplet is complete once its span is used up; those inside it end with it.
    void CloseCompleted() {
        for (size_t d = 0; d < open_.size(); ++d)
            if (open_[d].remaining <= Rational(0)) {
                CloseFrom(d);
                break;
            }
    }

    std::vector<Event>& events_;
    std::vector<LaidTuplet> open_;
};

} // namespace

std::vector<PlannedTuplet> PlanTuplets(const std::vector<Event>& events) { return Planner(events).Plan(); }

void LayOutTuplets(std::vector<Event>& events, const std::vector<EntryTuplets>& tuplets) {
    Layout(events).Run(tuplets);
}

} // namespace beatclone::cli
