#pragma once
// The command-line options, one row each: the option's name and the form of
// its value, what it does (the texts of the help window and of
// `tracery --batch --help`), how it makes the program start, and its work.
// The scan before start-up, the main window working through the command
// line, both help pages and the check of the manual page and README all read
// this table, so adding an option is adding its row and writing its work.

#include <QString>
#include <QStringList>
#include <vector>

class TForm1;

// How an option makes the program start, wherever it stands on the command line.
enum TStartFlag : unsigned {
    kBatch = 1u << 0,         // no window, no waiting dialog; the settings file is only read
    kHeadless = 1u << 1,      // no display is needed: the toolkit runs on its offscreen platform
    kRendersFiles = 1u << 2,  // drawings are drawn to files: the settings windows exist before the first load
};

struct TOption {
    // The name after "--", matched whole and in any letter case: "out".
    const char* Name;
    // The name of the value in "--out=DIR" ("DIR"); nullptr when the option
    // takes none. An option with a value is also named by "--out" alone,
    // with an empty value.
    const char* Value;
    // TStartFlag bits.
    unsigned Implies;
    // The option's work as the main window works through the command line
    // from left to right, given its name as written ("OUT") and its value;
    // nullptr for none.
    void (*InTurn)(TForm1& form, const QString& name, const QString& value);
    // Or: a run of its own instead of the main window, given the whole
    // command line and the value; returns the exit status.
    int (*Alone)(const QStringList& args, const QString& value);
    // The help window's list text (the list item's sub-item) and the purpose
    // text shown for the selected option.
    const char* Summary;
    const char* Purpose;
};

// Every option, in the order the help pages list them.
const std::vector<TOption>& CommandLineOptions();

// The option an argument names ("--PNG", "--out=x"), with its value and its
// name as written, or nullptr: for an argument that does not start with
// "--", and for a name that is no option's ("--pngs", "--png=x", "-batch").
const TOption* FindOption(const QString& argument, QString* value = nullptr, QString* name = nullptr);

// An option that only says how the program starts ("--batch"): it has no
// work of its own.
inline bool StartsOnly(const TOption& option) { return !option.InTurn && !option.Alone; }

// The option as the help pages show it: "--png", "--out=DIR".
QString OptionCaption(const TOption& option);
