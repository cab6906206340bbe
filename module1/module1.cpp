#include "module1/module1.h"

#include "core/msgbox.h"

namespace vp::Module1 {

namespace {

QString ExitRefusalPrompt()
{
    const QString first = QStringLiteral("Systém nemůže automaticky ukončit tento program. Doporučuje se program "
                                         "ukončit standartním ukončovacím příkazem.");
    const QString second = QStringLiteral(
        "Pokud při běhu programu stále dochází k potížím, klepněte na tlačítko Start, z nabídky vyberte ,,Nápověda'', "
        ",,Co dělat v nesnázích'', a ,,Máte-li potíže při běhu programů pro MS-WINDOWS''.");
    return first + QLatin1Char('\r') + QLatin1Char('\r') + second;
}

} // namespace

void ExitRefusal(MessageBoxes& boxes)
{
    // No title: the box bears the application's own. The answer changes nothing.
    boxes.MsgBox(ExitRefusalPrompt(), mb::OkOnly + mb::Exclamation);
}

} // namespace vp::Module1
