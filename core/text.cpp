#include "text.h"

namespace vp {

namespace {

constexpr QChar LoneLfMark(0x25AF); // white vertical rectangle
constexpr QChar LoneCrMark(0x25AE); // black vertical rectangle

} // namespace

QString displayLines(const QString& text)
{
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QStringList wrapAtBlanks(const QString& line, const QFontMetricsF& metrics, qreal width)
{
    QStringList lines;
    const auto fits = [&](const QString& s) { return metrics.horizontalAdvance(s) <= width; };
    QString rest = line;
    while (!rest.isEmpty() && !fits(rest)) {
        // The last blank at which the start of the rest still fits.
        qsizetype cut = -1;
        for (qsizetype i = rest.indexOf(QLatin1Char(' '), 1); i > 0; i = rest.indexOf(QLatin1Char(' '), i + 1)) {
            if (!fits(rest.left(i)))
                break;
            cut = i;
        }
        if (cut > 0) {
            lines << rest.left(cut);
            rest = rest.mid(cut + 1);
            continue;
        }
        // No blank to break at: the first word alone is wider than the label,
        // so it is broken where it must (one character at least per line).
        qsizetype n = 1;
        while (n < rest.size() && fits(rest.left(n + 1)))
            ++n;
        lines << rest.left(n);
        rest = rest.mid(n);
    }
    if (!rest.isEmpty() || lines.isEmpty())
        lines << rest;
    return lines;
}

QString labelLines(const QString& caption, const QFontMetricsF& metrics, qreal width)
{
    QStringList out;
    for (const QString& line : displayLines(caption).split(QLatin1Char('\n')))
        out << wrapAtBlanks(line, metrics, width);
    return out.join(QLatin1Char('\n'));
}

QString textToDisplay(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            out += QLatin1Char('\n');
            ++i;
        } else if (c == QLatin1Char('\n')) {
            out += LoneLfMark;
        } else if (c == QLatin1Char('\r')) {
            out += LoneCrMark;
        } else {
            out += c;
        }
    }
    return out;
}

QString textFromDisplay(const QString& shown)
{
    QString out;
    out.reserve(shown.size() + 16);
    for (const QChar c : shown) {
        if (c == QLatin1Char('\n') || c == QChar::ParagraphSeparator)
            out += QLatin1String("\r\n");
        else if (c == LoneLfMark)
            out += QLatin1Char('\n');
        else if (c == LoneCrMark)
            out += QLatin1Char('\r');
        else
            out += c;
    }
    return out;
}

} // namespace vp
