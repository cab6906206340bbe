// The program's texts, written out letter for letter as the screens and
// boxes must show them. Tests compare with these, never with the program's
// own strings.
#pragma once

#include <QString>

namespace vp::test::texts {

inline const QString Application = QStringLiteral("Valdrynix Plim 1.0.");

// The wizard: the licence (heading, 54 blanks, two line feeds, 40 times the
// filler), the three configurations, the busy box of "Procházet".
inline const QString LicenceHeading =
    QStringLiteral("Podmínky využívání aplikace Valdrynix Plim 1.0.") + QString(54, QLatin1Char(' '));
inline const QString Licence =
    LicenceHeading + QStringLiteral("\n\n") + QStringLiteral("Blabla bla bla. Bla blabla.").repeated(40);
inline const QString Configuration[3] = {
    QStringLiteral(
        "Minimální konfigurace - vhodná pro začátečníky. Nejjednodušší ovládání. Obsahuje speciální soubory nápovědy a "
        "z toho důvodu má obzvláště vysoké nároky na volné místo na disku (ze všech konfigurací nejvyšší)."),
    QStringLiteral("Standartní konfigurace - obsahuje oproti Profesionální konfiguraci zvláštní pluginy pro "
                   "pohodlnější ovládání a zároveň proti minimální konfiguraci je rozsáhlejší. Z těchto důvodu zabírá "
                   "ze všech tří možností na disku nejvíce místa."),
    QStringLiteral("Profesionální konfigurace - má maximální nároky na diskové místo a proto zabírá více paměti než "
                   "obě dvě zbylé konfigurace dohromady."),
};
inline const QString BusyTitle = QStringLiteral("Zpráva systému");
inline const QString BusyPrompt = QStringLiteral(
    "Bohužel systém je zaneprázdněn a vzhledem ke kritickému protokolu AH45.2L!!!K_fň47/52.P.L.I.M-82 nedovoluje "
    "otevření požadovaného dialogového okna. Stiskněte 'Storno' nebo počkejte a akci opakujte později.");

// The waste-bin episode of the installation.
inline const QString WarningTitle = QStringLiteral("Upozornění");
inline const QString WarningPrompt =
    QStringLiteral("Na jednotce 'C:' zbývá pouze 000120kB volného místa. Na této jednotce se nachází Odpadkový koš o "
                   "velikosti [?] kB. Chcete tento koš vysypat?");
inline const QString RefusalTitle = QStringLiteral("Požadavek nelze splnit");
inline const QString RefusalPrompt =
    QStringLiteral("Bohužel, tento koš nemůže být vysypán, protože je již využíván jinou aplikací.");

// Every "Konec": two texts with an empty line between them (CR CR).
inline const QString ExitRefusal =
    QStringLiteral("Systém nemůže automaticky ukončit tento program. Doporučuje se program ukončit standartním "
                   "ukončovacím příkazem.\r\r"
                   "Pokud při běhu programu stále dochází k potížím, klepněte na tlačítko Start, z nabídky vyberte "
                   ",,Nápověda'', ,,Co dělat v nesnázích'', a ,,Máte-li potíže při běhu programů pro MS-WINDOWS''.");

// The crash report (texts 1 and 2 share a line; CR only) and the fault text.
inline const QString CrashReport =
    QStringLiteral(" Došlo k zásadní v j mce na adrese '2k45547MHůř8296N54.845BLA / x123456;vALdry0-NX000;H,335978/2'"
                   " Ukončete všechny aplikace, vypněte počítač a hoďte ho do záchoda.\r"
                   " V systému došlo k chybě. Program provedl neplatnou operaci a bude ukončen.\r\r"
                   " Restartujte počítač stiskem 'CTRL + ALT + DEL'\r"
                   " Došlo k přetížení interní paměti. Toto chybové hlášení není platné...\r");
inline const QString FaultText = QStringLiteral("Aplikace Valdrinix Plim 1.0. porušila obecnou ochranu. Instalace není "
                                                "není platná. Ukončete program , nebo začněte instalovat znovu.");

} // namespace vp::test::texts
