#include "catalogue/Drawingfacts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr char recordKind[] = "tracery-drawing-record";
constexpr int recordVersion = 1;

QJsonArray Box(const QRect& r) { return {r.left(), r.top(), r.right() + 1, r.bottom() + 1}; }
QRect BoxOf(const QJsonValue& value)
{
    const QJsonArray a = value.toArray();
    if (a.size() != 4) return QRect();
    return QRect(QPoint(a[0].toInt(), a[1].toInt()), QPoint(a[2].toInt() - 1, a[3].toInt() - 1));
}
QJsonArray Point(const QPoint& p) { return {p.x(), p.y()}; }
QPoint PointOf(const QJsonValue& value)
{
    const QJsonArray a = value.toArray();
    return a.size() == 2 ? QPoint(a[0].toInt(), a[1].toInt()) : QPoint();
}
QStringList Strings(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& v : value.toArray()) list << v.toString();
    return list;
}
}  // namespace

QString TDrawingFacts::File(const QString& kind) const
{
    for (const auto& [k, name] : Files)
        if (k == kind) return name;
    return QString();
}

QString TDrawingFacts::StatusName(TStatus status)
{
    switch (status) {
    case TStatus::Complete: return QStringLiteral("complete");
    case TStatus::Damaged: return QStringLiteral("damaged");
    case TStatus::Unreadable: return QStringLiteral("unreadable");
    }
    return QString();
}

QByteArray TDrawingFacts::ToJson() const
{
    QJsonObject o;
    o["kind"] = QLatin1String(recordKind);
    o["version"] = recordVersion;
    o["id"] = Id;
    o["path"] = Path;
    o["folder"] = Folder;
    o["name"] = Name;
    o["hash"] = Hash;
    o["conditions"] = Conditions;
    o["status"] = StatusName(Status);
    o["message"] = Message;
    o["pageName"] = PageName;
    o["page"] = QJsonArray{PageSize.width(), PageSize.height()};
    QJsonArray parts;
    for (const TPartFacts& p : Parts)
        parts.append(QJsonObject{
            {"name", p.Name}, {"value", p.Value}, {"package", p.Package}, {"zone", p.Zone}, {"box", Box(p.Box)}});
    o["parts"] = parts;
    o["connectivity"] = ConnectivityKnown;
    // (A net's wires and pin ends are drawn on the page; the record keeps
    // what the index and the search need.)
    QJsonArray nets;
    for (const TNetFacts& n : Nets)
        nets.append(QJsonObject{{"name", n.Name}, {"named", n.Named}, {"pins", QJsonArray::fromStringList(n.Pins)}});
    o["nets"] = nets;
    QJsonArray findings;
    for (const TFindingFacts& f : Findings)
        findings.append(QJsonObject{{"zone", f.Zone}, {"kind", f.Kind}, {"message", f.Message}, {"at", Point(f.At)}});
    o["checked"] = Checked;
    o["findings"] = findings;
    o["texts"] = QJsonArray::fromStringList(Texts);
    QJsonObject files;
    for (const auto& [kind, name] : Files) files[kind] = name;
    o["files"] = files;
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<TDrawingFacts> TDrawingFacts::FromJson(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject o = document.object();
    if (o["kind"].toString() != QLatin1String(recordKind) || o["version"].toInt() != recordVersion) return std::nullopt;
    TDrawingFacts f;
    f.Id = o["id"].toString();
    f.Path = o["path"].toString();
    f.Folder = o["folder"].toString();
    f.Name = o["name"].toString();
    f.Hash = o["hash"].toString();
    f.Conditions = o["conditions"].toString();
    const QString status = o["status"].toString();
    if (status == StatusName(TStatus::Complete))
        f.Status = TStatus::Complete;
    else if (status == StatusName(TStatus::Damaged))
        f.Status = TStatus::Damaged;
    else if (status == StatusName(TStatus::Unreadable))
        f.Status = TStatus::Unreadable;
    else
        return std::nullopt;
    f.Message = o["message"].toString();
    f.PageName = o["pageName"].toString();
    const QJsonArray page = o["page"].toArray();
    f.PageSize = QSize(page.at(0).toInt(), page.at(1).toInt());
    for (const QJsonValue& v : o["parts"].toArray()) {
        const QJsonObject p = v.toObject();
        f.Parts.push_back({p["name"].toString(), p["value"].toString(), p["package"].toString(), p["zone"].toString(),
                           BoxOf(p["box"])});
    }
    f.ConnectivityKnown = o["connectivity"].toBool();
    for (const QJsonValue& v : o["nets"].toArray()) {
        const QJsonObject n = v.toObject();
        TNetFacts net;
        net.Name = n["name"].toString();
        net.Named = n["named"].toBool();
        net.Pins = Strings(n["pins"]);
        f.Nets.push_back(net);
    }
    f.Checked = o["checked"].toBool();
    for (const QJsonValue& v : o["findings"].toArray()) {
        const QJsonObject x = v.toObject();
        f.Findings.push_back({x["zone"].toString(), x["kind"].toString(), x["message"].toString(), PointOf(x["at"])});
    }
    f.Texts = Strings(o["texts"]);
    const QJsonObject files = o["files"].toObject();
    for (auto it = files.begin(); it != files.end(); ++it) f.Files.emplace_back(it.key(), it.value().toString());
    return f;
}
