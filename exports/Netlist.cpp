#include "exports/Netlist.h"

#include <QUuid>
#include <algorithm>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "drawing/Bitmap.h"
#include "drawing/Connectivity.h"
#include "drawing/Drawing.h"
#include "drawing/Naturalorder.h"
#include "exports/Textbuffer.h"

#ifndef TRACERY_VERSION
#define TRACERY_VERSION "0"
#endif

namespace {

// A quoted s-expression string: UTF-8, a quote or a backslash escaped with
// a backslash.
struct Quoted {
    const QString& Text;
};
TTextBuffer& operator<<(TTextBuffer& out, Quoted quoted)
{
    // Nearly every text is short and ASCII: its characters are gathered
    // here and go in at once.
    const QString& text = quoted.Text;
    char gathered[96];
    std::size_t used = 0;
    gathered[used++] = '"';
    for (qsizetype k = 0; k < text.size(); ++k) {
        if (used > sizeof gathered - 4) {
            out << QByteArrayView(gathered, qsizetype(used));
            used = 0;
        }
        const char16_t c = text[k].unicode();
        if (c >= 0x80) {
            out << QByteArrayView(gathered, qsizetype(used));
            out << text.mid(k).toUtf8().replace('\\', "\\\\").replace('"', "\\\"");
            return out << '"';
        }
        if (c == '"' || c == '\\') gathered[used++] = '\\';
        gathered[used++] = char(c);
    }
    gathered[used++] = '"';
    return out << QByteArrayView(gathered, qsizetype(used));
}

// The name space of the parts' time stamps.
const QUuid partStamps(QStringLiteral("{6b1d9a52-3f0e-4c27-9a43-2f7c1e8d5b10}"));

}  // namespace

QByteArray KicadPinType(int electricalType)
{
    static const char* const types[] = {"input",          "output",   "bidirectional", "tri_state",
                                        "open_collector", "power_in", "passive"};
    // (Views of the names, made for every pin of a dense sheet.)
    const char* const type = electricalType >= 0 && electricalType < 7 ? types[electricalType] : "unspecified";
    return QByteArray::fromRawData(type, qsizetype(std::strlen(type)));
}

TResult WriteKicadNetlist(const TDrawing& drawing, const TConnectivity& connectivity, const QString& source,
                          QIODevice& device)
{
    TTextBuffer out(device);
    out << "(export (version \"E\")\n";
    out << "  (design\n";
    out << "    (source " << Quoted{source} << ")\n";
    out << "    (tool \"Tracery " TRACERY_VERSION "\")\n";
    out << "    (sheet (number \"1\") (name \"/\") (tstamps \"/\")))\n";

    // The parts: the record of each reference's lowest part number.
    std::map<QByteArray, const Bitmap*> parts;
    for (const Bitmap* c : drawing.Components()) {
        const auto [at, added] = parts.emplace(c->GetDesignation(), c);
        if (!added && c->GetPartNumber() < at->second->GetPartNumber()) at->second = c;
    }
    std::vector<std::pair<QByteArray, const Bitmap*>> ordered(parts.begin(), parts.end());
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
    out << "  (components";
    for (const auto& [reference, c] : ordered) {
        const QString ref = QString::fromLatin1(reference);
        out << "\n    (comp (ref " << Quoted{ref} << ")\n";
        // The text on the sheet beside the body is the value; the one never
        // drawn names the footprint.
        out << "      (value " << Quoted{QString::fromLatin1(c->GetPackage())} << ")\n";
        out << "      (footprint " << Quoted{QString::fromLatin1(c->GetValue())} << ")\n";
        out << "      (sheetpath (names \"/\") (tstamps \"/\"))\n";
        out << "      (tstamps " << Quoted{QUuid::createUuidV5(partStamps, ref).toString(QUuid::WithoutBraces)} << "))";
    }
    out << ")\n";

    out << "  (nets";
    int code = 0;
    for (const TNet& net : connectivity.Nets()) {
        if (net.Pins.empty()) continue;
        out << "\n    (net (code \"" << ++code << "\") (name " << Quoted{net.Name} << ')';
        const TNetPin* previous = nullptr;
        for (const TNetPin& pin : net.Pins) {
            // The copies of a pin drawn on several units come one after another.
            if (previous && previous->Designation == pin.Designation && previous->PinNumber == pin.PinNumber) continue;
            previous = &pin;
            out << "\n      (node (ref " << Quoted{pin.Designation} << ") (pin " << Quoted{pin.PinNumber} << ')';
            if (!pin.PinName.isEmpty()) out << " (pinfunction " << Quoted{pin.PinName} << ')';
            out << " (pintype \"" << KicadPinType(pin.ElectricalType);
            if (net.Unconnected) out << "+no_connect";
            out << "\"))";
        }
        out << ')';
    }
    out << "))\n";
    return out.Flush() ? TResult() : TResult::Failure(QStringLiteral("the file could not be written"));
}

QByteArray KicadNetlist(const TDrawing& drawing, const TConnectivity& connectivity, const QString& source)
{
    return WrittenText([&](QIODevice& device) { (void)WriteKicadNetlist(drawing, connectivity, source, device); });
}
