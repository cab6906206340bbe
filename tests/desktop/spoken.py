"""What the program says, written out as the user sees and hears it: the texts
the desktop tests that read the screen and the screen reader both expect."""

PROMPT, WIZARD, INSTALLING = "Vítá vás aplikace Valdrynix Plim", "Instalace", "Probíhá instalace. Nerušit."
BIN_QUESTION, BIN_REFUSAL = "Upozornění", "Požadavek nelze splnit"
QUESTION = ("Chcete na váš počítač nainstalovat aplikaci Valdrynix Plim 1.0.? (Varování: Při případných potížích se "
            "obraťte na vašeho distributora softwaru, ale ten vám s tím nejspíš neporadí, takže máte smůlu)")
PAGES = [
    "Gratulujeme vám! Rozhodli jste se nainstalovat na svůj počítač aplikaci Valdrynix Plim 1.0. Pro pokračování "
    "stiskněte tlačítko 'Další'.",
    "Specifikujte, do jaké složky chcete aplikaci nainstalovat.",
    "Souhlasíte s podmínkami?",
    "Vyberte v jaké konfiguraci chcete aplikaci Valdrynix Plim 1.0. nainstalovat.",
    "Stisknutím tlačítka 'Další' začněte s instalací. Přejeme vám hodně trpělivosti.",
]
NEXT = "Další  >>"
