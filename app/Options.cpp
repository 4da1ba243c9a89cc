#include "app/Options.h"

#include "app/Cataloguecommand.h"
#include "app/Checkcommand.h"
#include "app/Comparecommand.h"
#include "app/Startup.h"
#include "app/Tracerywin.h"

namespace {
// The options' work as the main window works through the command line (the
// runs of their own are in app/Startup and app/Comparecommand).
void Help(TForm1& form, const QString&, const QString&) { form.HelpOption(); }
void Export(TForm1& form, const QString&, const QString&) { form.ExportMode = true; }
void Png(TForm1& form, const QString&, const QString&) { form.Outputs.Png = true; }
void Svg(TForm1& form, const QString&, const QString&) { form.Outputs.Svg = true; }
void Pdf(TForm1& form, const QString&, const QString&) { form.Outputs.Pdf = true; }
void Bom(TForm1& form, const QString&, const QString&) { form.Outputs.Bom = true; }
void Netlist(TForm1& form, const QString&, const QString&) { form.Outputs.Netlist = true; }
void Kicad(TForm1& form, const QString&, const QString&) { form.Outputs.Kicad = true; }
void Lepton(TForm1& form, const QString&, const QString&) { form.Outputs.Lepton = true; }
void Out(TForm1& form, const QString& name, const QString& dir) { form.OutOption(name, dir); }
}  // namespace

const std::vector<TOption>& CommandLineOptions()
{
    // Name, value, how it starts the program, its work in turn or its run of
    // its own, the help list's text, the purpose text.
    static const std::vector<TOption> options = {
        {"help", nullptr, 0, Help, nullptr, "This page", "This Page"},
        {"export", nullptr, 0, Export, nullptr,
         "Creates a subdirectory with several files containing the objects in any quorvid file seperated by "
         "their type",
         "Creates a subdirectory with several files containing the objects in any quorvid file seperated by "
         "their type."},
        {"png", nullptr, kRendersFiles, Png, nullptr,
         "Writes the page of every drawing loaded after it as a PNG file beside the drawing",
         "Writes the page of every drawing loaded after it as a PNG picture beside the drawing, named after "
         "it (amp.q01 gives amp.png)."},
        {"svg", nullptr, kRendersFiles, Svg, nullptr,
         "Writes the page of every drawing loaded after it as an SVG drawing beside the drawing",
         "Writes the page of every drawing loaded after it as a vector SVG drawing beside the drawing, named "
         "after it (amp.q01 gives amp.svg): sharp at any size, one SVG pixel per page pixel, every text as "
         "text."},
        {"pdf", nullptr, kRendersFiles, Pdf, nullptr,
         "Writes every drawing loaded after it as a vector PDF page beside the drawing",
         "Writes every drawing loaded after it, without a dialog, as a vector PDF file beside the drawing, "
         "named after it (amp.q01 gives amp.pdf): one landscape page on the paper the drawing's page size is "
         "named after (A4 to A0, B to E; the other sizes on a paper of their own size), drawn at 0.254 mm a "
         "page pixel and centred, sharp at any size, with text that can be searched and copied. File > Print "
         "fits the page to the printer's paper instead."},
        {"bom", nullptr, kRendersFiles, Bom, nullptr,
         "Writes the bill of materials of every drawing loaded after it beside the drawing",
         "Writes the bill of materials of every drawing loaded after it beside the drawing, named after it "
         "(amp.q01 gives amp-bom.csv): one CSV row per placed part, in designation order."},
        {"netlist", nullptr, 0, Netlist, nullptr,
         "Writes the netlist of every drawing loaded after it beside the drawing",
         "Writes the netlist of every drawing loaded after it beside the drawing, named after it (amp.q01 gives "
         "amp.net), in the netlist format KiCad's PCB editor imports: every part with its value and package, "
         "every net with the pins it joins, read from the wires, junctions, labels and markers of the drawing."},
        {"kicad", nullptr, kRendersFiles, Kicad, nullptr,
         "Writes the circuit of every drawing loaded after it as a KiCad schematic beside the drawing",
         "Writes the circuit of every drawing loaded after it as a KiCad schematic beside the drawing, named after "
         "it (amp.q01 gives amp.kicad_sch), which KiCad 6 and later open: every component a symbol embedded in the "
         "file, placed so that its pins meet the wires as in the drawing, with the wires, junctions, net labels, "
         "texts, no-connect flags and document boxes; one page pixel is 0.254 mm."},
        {"lepton", nullptr, kRendersFiles, Lepton, nullptr,
         "Writes the circuit of every drawing loaded after it as a lepton-eda schematic beside the drawing",
         "Writes the circuit of every drawing loaded after it as a lepton-eda (gEDA) schematic beside the drawing, "
         "named after it (amp.q01 gives amp.sch), with every symbol embedded in the file, the wires as nets and "
         "every net named as Tracery names it; one page pixel is 10 mil."},
        {"out", "DIR", 0, Out, nullptr, "Writes the files of the options above into DIR instead",
         "Every file that --png, --svg, --pdf, --bom, --netlist, --kicad, --lepton and --export write for the drawings "
         "loaded after it goes into "
         "the folder DIR instead of beside the drawing, with the same names; DIR is created if it is missing."},
        // Taken before start-up: no window, no waiting dialogs.
        {"batch", nullptr, kBatch | kHeadless | kRendersFiles, nullptr, nullptr,
         "Runs without windows and ends after the command line",
         "Runs without showing a window and without waiting for any dialog: messages go to standard error, "
         "nothing is written to the settings file, and the program ends after the command line, with exit "
         "status 0 when every named drawing was found and read to its end and every file was written, 1 "
         "otherwise. Put it first."},
        {"diff", nullptr, kBatch | kHeadless | kRendersFiles, nullptr, RunDiff,
         "--diff OLD.q01 NEW.q01 OUT.png: pictures and lists the changes between two drawings",
         "--diff OLD.q01 NEW.q01 OUT.png draws both drawings and writes OUT.png: ink only in OLD red, only in "
         "NEW green, in both grey. The changes go to standard output, one per line; the exit status is 0 when "
         "both hold the same objects, 1 when they differ, 2 when either cannot be read. No window is shown."},
        {"check", nullptr, kBatch | kHeadless, nullptr, RunCheck,
         "--check DRAWING...: lists what looks wrong in the wiring of drawings",
         "--check DRAWING... reads the nets of each drawing and prints one line per finding on standard output, "
         "PATH:ZONE: warning: MESSAGE [KIND], for pins and wire ends that connect nothing, ends that miss a wire "
         "or a pin by a few pixels, labels beside their wire, nets without a driver or with two, nets with two "
         "names and designations used twice. With --batch and --out=DIR the lines also go to DIR/NAME-check.txt. "
         "The exit status is 0 when nothing was found, 1 when something was, 2 when a drawing cannot be read. No "
         "window is shown."},
        {"thumbnail", "SIZE", kBatch | kHeadless, nullptr, RunThumbnail,
         "--thumbnail=SIZE IN.q01 OUT.png: writes a small picture of a drawing's whole page",
         "--thumbnail=SIZE IN.q01 OUT.png writes OUT.png, a PNG picture of the whole page of IN.q01 whose longer "
         "side is SIZE pixels, each pixel the mean of the page pixels it covers, so that every one-pixel line "
         "stays visible. No window is shown; the exit status is 0 when the picture was written, 1 otherwise."},
        {"catalogue", "OUT", kBatch | kHeadless | kRendersFiles, nullptr, RunCatalogue,
         "--catalogue=OUT PATH...: makes a web site of the drawings below the folders named",
         "--catalogue=OUT PATH... turns every *.q01 drawing below the named folders, and every named file, into a "
         "web site in the folder OUT that opens from file:// with no server: index.html shows every drawing as a "
         "card, grouped by folder, with a search over parts, values, packages, nets and texts; each drawing has a "
         "page to zoom and pan, its parts, nets and the check's findings, and its PNG, SVG, PDF, netlist and KiCad "
         "files. A second run converts only the drawings "
         "that changed. No window is shown; the exit status is 0 when every drawing was read to its end, 1 when "
         "some are damaged or unreadable, 2 when the site could not be written."},
        {"shard", "K/N", 0, ShardOption, nullptr, "With --catalogue: converts only the K-th of N parts of the archive",
         "With --catalogue=OUT, converts only the K-th of N parts of the archive (K from 1 to N, each drawing's "
         "part fixed by its path) into OUT and writes no index, so that N machines can share the work; a last "
         "run without --shard writes the index without converting again."},
        {"version", nullptr, kBatch | kHeadless, nullptr, RunVersion, "Prints the version of the program and ends",
         "Prints the program's version and the version of Qt it runs with on standard output and ends with "
         "exit status 0; the rest of the command line is not looked at, and no window is shown."},
    };
    return options;
}

const TOption* FindOption(const QString& argument, QString* value, QString* name)
{
    if (!argument.startsWith(QLatin1String("--"))) return nullptr;
    const QString written = argument.mid(2);
    const qsizetype equals = written.indexOf(QLatin1Char('='));
    const QString key = equals < 0 ? written : written.left(equals);
    for (const TOption& option : CommandLineOptions()) {
        // An option without a value is named only by its whole name.
        const QString& named = option.Value ? key : written;
        if (named.compare(QLatin1String(option.Name), Qt::CaseInsensitive) != 0) continue;
        if (value) *value = option.Value && equals >= 0 ? written.mid(equals + 1) : QString();
        if (name) *name = named;
        return &option;
    }
    return nullptr;
}

QString OptionCaption(const TOption& option)
{
    QString caption = QStringLiteral("--") + QLatin1String(option.Name);
    if (option.Value) caption += QLatin1Char('=') + QLatin1String(option.Value);
    return caption;
}
