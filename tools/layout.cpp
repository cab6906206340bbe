// Layout: where the definitions put every screen and control, in pixels of the
// client area at 96 dots per inch, as JSON. The desktop tests click and look
// where the screens really put things, so a moved button moves the tests too.
// Usage: layout (prints to standard output)
#include "core/theme.h"
#include "screens/screens.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {

QString key(const vp::ControlDef& c)
{
    const QString name = QString::fromUtf8(c.name.data(), static_cast<qsizetype>(c.name.size()));
    return c.index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(c.index);
}

QJsonObject screen(const vp::ScreenDef& def)
{
    QJsonObject controls;
    for (const vp::ControlDef& c : def.controls) {
        // Each control sits in its container's client area, placed in whole pixels.
        int x = vp::toPixels(c.left), y = vp::toPixels(c.top);
        for (std::string_view in = c.container; !in.empty();) {
            const vp::ControlDef* frame = nullptr;
            for (const vp::ControlDef& f : def.controls)
                if (f.name == in)
                    frame = &f;
            if (!frame)
                break;
            x += vp::toPixels(frame->left);
            y += vp::toPixels(frame->top);
            in = frame->container;
        }
        controls[key(c)] = QJsonArray{x, y, vp::toPixels(c.width), vp::toPixels(c.height)};
    }
    return QJsonObject{
        {"title", QString::fromUtf8(def.title.data(), static_cast<qsizetype>(def.title.size()))},
        {"borderless", def.border == vp::Border::None},
        {"client", QJsonArray{vp::toPixels(def.clientWidth), vp::toPixels(def.clientHeight)}},
        {"controls", controls},
    };
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QJsonObject all;
    for (const vp::ScreenDef* def : {&vp::PreStartDef(), &vp::StartDef(), &vp::BackgroundDef(), &vp::Form1Def(),
                                     &vp::InstDef(), &vp::Form2Def(), &vp::RstDef(), &vp::Form3Def()})
        all[QString::fromUtf8(def->name.data(), static_cast<qsizetype>(def->name.size()))] = screen(*def);
    std::fputs(QJsonDocument(all).toJson(QJsonDocument::Indented).constData(), stdout);
    return 0;
}
