// Small value helpers that every screen leans on: number-to-text, whole parts,
// rounding to 16-bit integers, and the random generator.
#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace vp {

// Raised where the runtime would refuse an operation (an overflow, a missing
// control). With the values the screens use it never happens.
struct RuntimeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Number-to-text: a non-negative number gets one leading blank, a negative one
// its minus sign; no leading zero before a decimal point (" .5").
QString Str(double value);

// The whole part: the largest whole number not above x.
double Int(double x);

// Conversion to a 16-bit integer, rounding half to even; out of range raises.
std::int16_t CInt(double x);

// A 24-bit linear congruential generator giving single-precision numbers in
// [0, 1). Reseeding keeps the low byte of the state, so two reseeds from the
// same clock value in different states still give different sequences.
class Random {
public:
    float Rnd();
    void Randomize(double seed);
    std::uint32_t state() const { return m_state; }
    void setState(std::uint32_t s) { m_state = s & 0xFFFFFFU; }

private:
    std::uint32_t m_state = 0x50000U;
};

} // namespace vp
