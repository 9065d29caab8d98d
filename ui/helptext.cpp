#include "ui/helptext.h"

namespace kvt::ui {

namespace {

// Each line in Czech as written and in English, translating the Czech line of the same number.
// Lines 1 to 12: the title, the inactivity note and the head of the switch table.
constexpr TLangText HelpHead[] = {
    {"Nápověda k programu", "Program help"},
    {"*******************", "************"},
    {"", ""},
    {"- po 10 minutách nečinnosti dojde k ", "- after 10 minutes of inactivity the"},
    {"přerušení spojení a převodník kvt27 bude ", "connection ends and the kvt27 converter"},
    {"pokračovat v měřícím cyklu.", "continues its measuring cycle."},
    {"", ""},
    {"DIP přepínač", "DIP switch"},
    {"============", "=========="},
    {"", ""},
    {" 1    2    3    4   význam", " 1    2    3    4   meaning"},
    {"----------------------------------------", "----------------------------------------"},
};

// Lines 29 to 89: the instructions for the tabs.
constexpr TLangText HelpTail[] = {
    {"", ""},
    {"", ""},
    {"ZÁLOŽKA - NASTAVENÍ SIGNÁLŮ", "TAB - SIGNAL CONFIGURATION"},
    {"***************************", "**************************"},
    {"", ""},
    {"A) Nastavení analogového vstupu", "A) Setting the analogue input"},
    {"-------------------------------", "-----------------------------"},
    {"", ""},
    {"1) Vybereme typ vstupního signálu", "1) Choose the kind of input signal"},
    {"", ""},
    {"2) Na vstupní svorky připojíme zdroj ", "2) Connect a signal source matching the"},
    {"signálu, který odpovídá počátku rozsahu", "range begin to the input terminals"},
    {"a klikneme na tlačítko \"změř a ulož po-", "and click the button \"measure and save"},
    {"čátek signálu.", "the signal begin\"."},
    {"", ""},
    {"3) Na vstupní svorky připojíme zdroj ", "3) Connect a signal source matching the"},
    {"signálu, který odpovídá konci rozsahu", "range end to the input terminals"},
    {"a klikneme na tlačítko \"změř a ulož ", "and click the button \"measure and save"},
    {"konec ", "the end "},
    {"signálu.", "of the signal\"."},
    {"", ""},
    {"B) Nastavení analogového výstupu", "B) Setting the analogue output"},
    {"--------------------------------", "------------------------------"},
    {"", ""},
    {"1) Vybereme typ výstupního signálu", "1) Choose the kind of output signal"},
    {"", ""},
    {"2) Na výstupní svorky převodníku ", "2) Connect a measuring instrument"},
    {"připojíme měřící přístroj (multimetr)", "(multimeter) to the output terminals"},
    {"", ""},
    {"3) Zadáním hodnoty nastavíme počátek", "3) Enter a value to set the range begin"},
    {"rozsahu a během nastavování sledujeme ", "and while setting it watch the value"},
    {"hodnotu výstupního signálu na ", "of the output signal on the"},
    {"multimetru.", "multimeter."},
    {"Jakmile dosáhneme požadované hodnoty, ", "Once the wanted value is reached,"},
    {"zmáčkneme tlačítko \"Ulož\"", "press the button \"Save\""},
    {"", ""},
    {"4) Pro nastavení konce rozsahu opakujeme", "4) To set the range end, repeat the"},
    {"postup z bodu 3, nyní však zadáváme ", "procedure of step 3, now entering"},
    {"hodnotu konce rozsahu.", "the value of the range end."},
    {"", ""},
    {"", ""},
    {"ZÁLOŽKA - ROZŠÍŘENÉ NASTAVENÍ", "TAB - ADVANCED SETTINGS"},
    {"*****************************", "***********************"},
    {"", ""},
    {"B) Chybové hlášení", "B) Error reporting"},
    {"------------------", "------------------"},
    {"", ""},
    {"Nastavení funguje pouze v případě volby", "The setting works only when the input"},
    {"vstupního signálu za pomocí DIP ", "signal is chosen with the DIP"},
    {"přepínače", "switch"},
    {"v poloze (více v tabulce)", "in the position (more in the table)"},
    {"4-20 mA => 0-20 mA", "4-20 mA => 0-20 mA"},
    {"4-20 mA => 0-10 V", "4-20 mA => 0-10 V"},
    {"", ""},
    {"Nastavovací program při navázání spojení", "On connecting, the program reports how"},
    {" nahlásí jak je převodník nastaven a ", " the converter is set and which"},
    {"dále omezení funkcí programu.", "functions of the program are limited."},
    {"", ""},
    {"Jakmile je vstupní signál mimo rozsah ", "Once the input signal is outside the"},
    {"3.8 mA a 20.2 mA, dojde k hlášení tohoto", "range 3.8 mA to 20.2 mA, this state is"},
    {"stavu dle nastavení.", "reported as set."},
};

} // namespace

const std::array<TLangText, 16> DipMeanings = {{
    {"0/4-20mA .. 0/4-20mA", "0/4-20mA .. 0/4-20mA"},
    {"0-20mA .. 4-20mA", "0-20mA .. 4-20mA"},
    {"0-20mA .. 0-10V", "0-20mA .. 0-10V"},
    {"4-20mA .. 0-20mA", "4-20mA .. 0-20mA"},
    {"4-20mA .. 0-10V", "4-20mA .. 0-10V"},
    {"0-10V .. 0-20mA", "0-10V .. 0-20mA"},
    {"0-10V .. 4-20mA", "0-10V .. 4-20mA"},
    {"0-10V .. 0-10V", "0-10V .. 0-10V"},
    {"OV(0-100%) .. 0-20mA", "OV(0-100%) .. 0-20mA"},
    {"OV(0-100%) .. 4-20mA", "OV(0-100%) .. 4-20mA"},
    {"OV(0-100%) .. 0-10V", "OV(0-100%) .. 0-10V"},
    {"nevyužito", "not used"},
    {"nevyužito", "not used"},
    {"nevyužito", "not used"},
    {"rychlá odezva - NOVĚ", "fast response - NEW"},
    {"nastavení z PC", "settings from PC"},
}};

QString DipSwitchLine(int ConfigType, int Lang)
{
    QString line;
    for (int bit = 3; bit >= 0; --bit)
        line += QStringLiteral("%1  ").arg(((ConfigType >> bit) & 1) != 0 ? QStringLiteral("OFF") : QStringLiteral("ON"), 3);
    return line + DipMeanings.at(static_cast<std::size_t>(ConfigType)).In(Lang);
}

QStringList HelpLines(int Lang)
{
    QStringList lines;
    for (const TLangText& line : HelpHead)
        lines << line.In(Lang);
    for (int code = 0; code < static_cast<int>(DipMeanings.size()); ++code)
        lines << DipSwitchLine(code, Lang);
    for (const TLangText& line : HelpTail)
        lines << line.In(Lang);
    return lines;
}

} // namespace kvt::ui
