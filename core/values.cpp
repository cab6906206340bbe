#include "values.h"

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>

namespace vp {

QString Str(double value)
{
    if (std::isnan(value))
        return QStringLiteral(" NaN");
    QString digits = QString::number(std::fabs(value), 'g', 15);
    if (digits.startsWith(QLatin1String("0.")))
        digits.remove(0, 1);
    if (digits.contains(QLatin1Char('e'))) // 1e+20 -> 1E+20, the classic spelling
        digits = digits.toUpper();
    const bool negative = std::signbit(value) && value != 0.0;
    return (negative ? QLatin1Char('-') : QLatin1Char(' ')) + digits;
}

double Int(double x) { return std::floor(x); }

std::int16_t CInt(double x)
{
    // nearbyint rounds half to even in the default rounding mode.
    const double rounded = std::nearbyint(x);
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() && rounded <= std::numeric_limits<std::int16_t>::max()))
        throw RuntimeError("Overflow");
    return static_cast<std::int16_t>(rounded);
}

float Random::Rnd()
{
    m_state = (m_state * 1140671485U + 12820163U) & 0xFFFFFFU;
    return static_cast<float>(m_state) / 16777216.0F;
}

void Random::Randomize(double seed)
{
    std::uint64_t bits = 0;
    static_assert(sizeof bits == sizeof seed);
    std::memcpy(&bits, &seed, sizeof bits);
    const auto high = static_cast<std::uint32_t>(bits >> 32U);
    const std::uint32_t mixed = (high ^ (high >> 16U) ^ static_cast<std::uint32_t>(bits)) & 0xFFFFU;
    m_state = (mixed << 8U) | (m_state & 0xFFU);
}

} // namespace vp
