#include "catalogue/Siteassets.h"

#include <QFile>

namespace {
QByteArray Resource(const QString& name)
{
    QFile file(QStringLiteral(":/site/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

const std::vector<std::pair<QString, QByteArray>>& TSiteAssets::Files()
{
    static const std::vector<std::pair<QString, QByteArray>> files = {
        {QStringLiteral("site.css"), Resource(QStringLiteral("site.css"))},
        {QStringLiteral("site.js"), Resource(QStringLiteral("site.js"))},
    };
    return files;
}
