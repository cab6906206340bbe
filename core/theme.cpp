#include "theme.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QStyleFactory>
#include <cmath>

namespace vp {

namespace {

QColor roleColour(Role r)
{
    switch (r) {
    case Role::ButtonFace:
    case Role::InactiveBorder:
        return {192, 192, 192};
    case Role::ActiveTitleBar:
        return {0, 0, 128};
    case Role::WindowBackground:
        return {255, 255, 255};
    case Role::ButtonText:
    case Role::WindowText:
    case Role::Default:
    case Role::Rgb:
        break;
    }
    return {0, 0, 0};
}

} // namespace

QColor toQColor(Colour c, Role fallback)
{
    if (c.role == Role::Rgb)
        return {c.r, c.g, c.b};
    return roleColour(c.role == Role::Default ? fallback : c.role);
}

QFont toQFont(const FontDef& f)
{
    QFont font(QString::fromUtf8(f.face.data(), static_cast<qsizetype>(f.face.size())));
    font.setPointSizeF(f.points);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void installTheme(QApplication& app)
{
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(style);

    QPalette p;
    const QColor face(192, 192, 192);
    p.setColor(QPalette::Window, face);
    p.setColor(QPalette::Button, face);
    p.setColor(QPalette::WindowText, Qt::black);
    p.setColor(QPalette::ButtonText, Qt::black);
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(223, 223, 223));
    p.setColor(QPalette::Mid, QColor(128, 128, 128));
    p.setColor(QPalette::Dark, QColor(128, 128, 128));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0, 0, 128));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 128, 128));
    QApplication::setPalette(p);

    // The faces the screens ask for are rarely installed on a Linux desktop;
    // these substitutes have the Czech letters. The dialog face is narrow on
    // purpose: at 8.25 pt a regular sans needs a fifth line for the welcome
    // question, which its label cuts off.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("DejaVu Sans Condensed"),
                                QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    QFont::insertSubstitutions(QStringLiteral("Courier New"),
                               {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    app.setFont(toQFont(FontDef{}));
}

double twipsPerPixel()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int toPixels(double twips) { return static_cast<int>(std::lround(twips / twipsPerPixel())); }

double toTwips(int pixels) { return pixels * twipsPerPixel(); }

} // namespace vp
