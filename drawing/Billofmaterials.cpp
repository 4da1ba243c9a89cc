#include "drawing/Billofmaterials.h"

#include <QString>
#include <algorithm>

#include "drawing/Bitmap.h"
#include "drawing/Header.h"
#include "drawing/Naturalorder.h"

namespace {

constexpr char header[] = "Designation,Part,Parts,Value,Package,X,Y,Zone,Angle,Mirrored";
constexpr int flipBit = 0x04;
constexpr int rotationBits = 0x03;

// One field: UTF-8 of the Latin-1 text, quoted when it has to be.
QByteArray Field(const QByteArray& latin1)
{
    const QByteArray text = QString::fromLatin1(latin1).toUtf8();
    if (!text.contains(',') && !text.contains('"') && !text.contains('\r') && !text.contains('\n')) return text;
    QByteArray quoted = text;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QByteArray Row(const Bitmap& component, QSize page)
{
    const QPoint anchor = component.GetAnchor();
    const int orientation = component.GetOrientation();
    const QByteArrayList fields{Field(component.GetDesignation()),
                                QByteArray::number(component.GetPartNumber()),
                                QByteArray::number(component.GetPartCount()),
                                Field(component.GetValue()),
                                Field(component.GetPackage()),
                                QByteArray::number(anchor.x()),
                                QByteArray::number(anchor.y()),
                                SheetZone(anchor, page).toLatin1(),
                                QByteArray::number(90 * (orientation & rotationBits)),
                                (orientation & flipBit) ? QByteArray("yes") : QByteArray()};
    return fields.join(',') + "\r\n";
}

}  // namespace

QByteArray BillOfMaterials(const std::vector<const Bitmap*>& components, QSize page)
{
    struct Entry {
        QByteArray designation;
        int part;
        const Bitmap* component;
    };
    std::vector<Entry> entries;
    entries.reserve(components.size());
    for (const Bitmap* c : components)
        if (c != nullptr) entries.push_back({c->GetDesignation(), c->GetPartNumber(), c});
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int order = NaturalCompare(a.designation, b.designation);
        return order != 0 ? order < 0 : a.part < b.part;
    });

    QByteArray csv = QByteArray(header) + "\r\n";
    for (const Entry& e : entries) csv += Row(*e.component, page);
    return csv;
}
