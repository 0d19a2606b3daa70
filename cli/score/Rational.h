// Exact time values. Tuplets make note lengths that no fixed grid holds (a triplet eighth is
// a third of a quarter), so positions and lengths inside a measure are kept as fractions of a
// quarter note and only rounded when they are written out in a part's divisions.
#pragma once

#include <cstdint>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>

namespace beatclone::cli {

// A time value too large to compute exactly: every operation below checks for it, and readers
// turn it into a refusal that names the measure.
class TimeOverflow : public std::overflow_error {
public:
    TimeOverflow() : std::overflow_error("durations, divisions or tuplet ratios too large to work with exactly") {}
};

class Rational {
public:
    constexpr Rational() = default;
    Rational(int64_t numerator, int64_t denominator = 1) : num_(numerator), den_(denominator) {
        if (den_ == 0) throw std::domain_error("zero denominator");
        // The one value without a negation: kept out, so that signs can always be flipped.
        if (num_ == kMin || den_ == kMin) throw TimeOverflow();
        Normalize();
    }

    int64_t Num() const { return num_; }
    int64_t Den() const { return den_; }
    bool IsZero() const { return num_ == 0; }
    bool IsInteger() const { return den_ == 1; }

    // Rounds to the nearest integer, halves away from zero.
    int64_t Round() const {
        __int128 twice = static_cast<__int128>(num_) * 2 + (num_ >= 0 ? den_ : -den_);
        return static_cast<int64_t>(twice / (static_cast<__int128>(den_) * 2));
    }
    double ToDouble() const { return static_cast<double>(num_) / static_cast<double>(den_); }
    std::string ToString() const {
        return den_ == 1 ? std::to_string(num_) : std::to_string(num_) + "/" + std::to_string(den_);
    }

    friend Rational operator+(const Rational& a, const Rational& b) {
        int64_t sum;
        // Equal denominators (the common case) need no common multiple, nor any division.
        if (a.den_ == b.den_) {
            if (__builtin_add_overflow(a.num_, b.num_, &sum)) throw TimeOverflow();
            return Rational(sum, a.den_);
        }
        int64_t g = std::gcd(a.den_, b.den_);
        if (__builtin_add_overflow(Checked(a.num_, b.den_ / g), Checked(b.num_, a.den_ / g), &sum))
            throw TimeOverflow();
        return Rational(sum, Checked(a.den_ / g, b.den_));
    }
    friend Rational operator-(const Rational& a, const Rational& b) { return a + Rational(-b.num_, b.den_); }
    friend Rational operator*(const Rational& a, const Rational& b) {
        if (a.den_ == 1 && b.den_ == 1) return Rational(Checked(a.num_, b.num_));
        // gcd(x, 1) is 1 for every x, 0 included.
        int64_t g1 = b.den_ == 1 ? 1 : std::gcd(a.num_, b.den_);
        int64_t g2 = a.den_ == 1 ? 1 : std::gcd(b.num_, a.den_);
        if (g1 == 0) g1 = 1;
        if (g2 == 0) g2 = 1;
        return Rational(Checked(a.num_ / g1, b.num_ / g2), Checked(a.den_ / g2, b.den_ / g1));
    }
    friend Rational operator/(const Rational& a, const Rational& b) {
        if (b.num_ == 0) throw std::domain_error("division by zero");
        return a * Rational(b.den_, b.num_);
    }
    Rational& operator+=(const Rational& o) { return *this = *this + o; }
    Rational& operator-=(const Rational& o) { return *this = *this - o; }

    friend bool operator==(const Rational& a, const Rational& b) = default;
    friend auto operator<=>(const Rational& a, const Rational& b) {
        // Both denominators are positive, so cross-multiplying keeps the order.
        __int128 l = static_cast<__int128>(a.num_) * b.den_;
        __int128 r = static_cast<__int128>(b.num_) * a.den_;
        return l <=> r;
    }

private:
    static constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

    static int64_t Checked(int64_t a, int64_t b) {
        int64_t r;
        if (__builtin_mul_overflow(a, b, &r)) throw TimeOverflow();
        return r;
    }
    void Normalize() {
        if (den_ < 0) {
            num_ = -num_;
            den_ = -den_;
        }
        if (den_ == 1) return;
        int64_t g = std::gcd(num_, den_);
        if (g > 1) {
            num_ /= g;
            den_ /= g;
        }
    }

    int64_t num_ = 0;
    int64_t den_ = 1;
};

} // namespace beatclone::cli
