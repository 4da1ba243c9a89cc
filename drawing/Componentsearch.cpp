#include "drawing/Componentsearch.h"

#include <algorithm>

#include "drawing/Bitmap.h"
#include "drawing/Naturalorder.h"
#include "drawing/Quorvidobject.h"

std::vector<Bitmap*> FindComponents(const std::vector<std::unique_ptr<QuorvidObject>>& objects, const QString& text)
{
    std::vector<Bitmap*> found;
    if (text.isEmpty()) return found;
    const QString bitmapClass = QStringLiteral("Bitmap");
    const auto holds = [&text](const QByteArray& field) {
        return QString::fromLatin1(field).contains(text, Qt::CaseInsensitive);
    };
    for (const auto& object : objects) {
        if (!object || !object->IsClass(bitmapClass)) continue;
        auto* component = static_cast<Bitmap*>(object.get());
        if (holds(component->GetName()) || holds(component->GetValue()) || holds(component->GetPackage()))
            found.push_back(component);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Bitmap* a, const Bitmap* b) { return NaturalLess(a->GetName(), b->GetName()); });
    return found;
}

std::size_t NextMatch(const std::vector<Bitmap*>& matches, const Bitmap* current, bool forward)
{
    const std::size_t n = matches.size();
    const auto at = std::find(matches.begin(), matches.end(), current);
    if (at == matches.end()) return forward ? 0 : n - 1;
    return (std::size_t(at - matches.begin()) + (forward ? 1 : n - 1)) % n;
}
