#include "catalogue/Catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <optional>
#include <set>
#include <vector>

#include "base/Errors.h"
#include "base/Parallel.h"
#include "catalogue/Archivestate.h"
#include "catalogue/Archivewalk.h"
#include "catalogue/Conversionworkers.h"
#include "catalogue/Drawingconversion.h"
#include "catalogue/Progressline.h"
#include "catalogue/Siteassets.h"
#include "catalogue/Sitepages.h"
#include "drawing/Fileimage.h"
#include "exports/Drawingoutputs.h"

namespace {
// The message a drawing that is not complete is reported with.
QString Report(const TDrawingFacts& facts)
{
    if (facts.Status == TDrawingFacts::TStatus::Unreadable) return facts.Message;
    return QDir::toNativeSeparators(facts.Path) + QStringLiteral(": ") + facts.Message;
}

// The hashes of the drawings' bytes, read on every core; empty for a file
// that cannot be read.
std::vector<QString> Hashes(const std::vector<TFoundDrawing>& drawings)
{
    std::vector<QString> hashes(drawings.size());
    std::atomic<std::size_t> next{0};
    const int threads = std::min<int>(ThreadsFor(0), int(std::max<std::size_t>(1, drawings.size())));
    RunParts(threads, [&](int) {
        for (std::size_t i; (i = next.fetch_add(1)) < drawings.size();) {
            const TFileImage image = ReadDrawingFile(drawings[i].Path);
            if (image.IsRead()) hashes[i] = TDrawingConversion::HashOf(image.Bytes);
        }
    });
    return hashes;
}
}  // namespace

TCatalogue::TCatalogue(TCatalogueOptions options, const TObjectSettings& settings)
    : options_(std::move(options)),
      settings_(settings)
{
}

bool TCatalogue::ParseShard(const QString& text, int& index, int& count)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,6})/([0-9]{1,6})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) return false;
    const int k = match.captured(1).toInt(), n = match.captured(2).toInt();
    if (n < 1 || k < 1 || k > n) return false;
    index = k - 1;
    count = n;
    return true;
}

TCatalogueRun TCatalogue::Run()
{
    TCatalogueRun run;
    std::optional<TProgressLine> progress;
    if (options_.Progress == TCatalogueOptions::TProgress::Terminal)
        progress.emplace();
    else
        progress.emplace(options_.Progress == TCatalogueOptions::TProgress::Shown);

    const QString out = QDir::cleanPath(options_.Out);
    if (!QDir().mkpath(out) || !QFileInfo(out).isDir()) {
        progress->Message(QStringLiteral("Cannot create the folder '%1'").arg(QDir::toNativeSeparators(out)));
        run.Status = 2;
        return run;
    }

    TArchiveWalk walk;
    walk.Walk(options_.Paths);
    for (const QString& problem : walk.Problems()) progress->Message(problem);
    const bool sharded = options_.ShardCount > 0;
    std::vector<TFoundDrawing> drawings;
    std::set<QString> found;
    for (const TFoundDrawing& d : walk.Drawings()) {
        found.insert(TArchiveWalk::DrawingId(d.Path));
        if (!sharded || TArchiveWalk::InShard(d.Path, options_.ShardIndex, options_.ShardCount)) drawings.push_back(d);
    }
    run.Drawings = int(drawings.size());

    TArchiveState state;
    state.Read(out);
    run.Removed = state.RemoveGone(found, options_.ShardIndex, sharded ? options_.ShardCount : 1);

    // What is up to date is taken from its record; the rest is converted.
    const QString conditions = TDrawingConversion::Conditions(settings_);
    const std::vector<QString> hashes = Hashes(drawings);
    std::vector<std::optional<TDrawingFacts>> facts(drawings.size());
    std::vector<TFoundDrawing> todo;
    std::vector<std::size_t> todoIndex;
    int done = 0;
    for (std::size_t i = 0; i < drawings.size(); ++i) {
        if ((facts[i] = state.TakeUpToDate(drawings[i].Path, hashes[i], conditions))) {
            ++done;
            if (facts[i]->Status != TDrawingFacts::TStatus::Complete) {
                ++run.Damaged;
                progress->Message(Report(*facts[i]));
            }
        } else {
            todo.push_back(drawings[i]);
            todoIndex.push_back(i);
        }
    }
    progress->Show(done, run.Drawings, run.Damaged);

    bool writeFailed = false;
    const auto finish = [&](std::size_t k, const TDrawingFacts& converted, const QStringList& failures) {
        facts[todoIndex[k]] = converted;
        for (const QString& failure : failures) progress->Message(failure);
        writeFailed = writeFailed || !failures.isEmpty();
        ++run.Converted;
        ++done;
        if (converted.Status != TDrawingFacts::TStatus::Complete) {
            ++run.Damaged;
            progress->Message(Report(converted));
        }
        progress->Show(done, run.Drawings, run.Damaged);
    };
    const int workers = ThreadsFor(options_.Workers);
    bool converted = false;
    if (!options_.WorkerProgram.isEmpty() && workers > 1 && todo.size() > 1)
        converted = TConversionWorkers(options_.WorkerProgram, out, workers).Convert(todo, finish);
    if (!converted) {
        TDrawingConversion conversion(out, settings_);
        for (std::size_t k = 0; k < todo.size(); ++k) {
            QStringList failures;
            const TDrawingFacts result = conversion.Convert(todo[k], failures);
            finish(k, result, failures);
        }
    }

    if (!sharded) {
        std::vector<TSiteEntry> entries;
        entries.reserve(drawings.size());
        for (std::size_t i = 0; i < drawings.size(); ++i)
            if (facts[i]) entries.push_back({std::move(*facts[i]), drawings[i].Modified});
        facts.clear();
        TSitePages::Sort(entries);
        QStringList failures;
        if (!WriteSiteFiles(TSitePages::IndexPage(entries), TSitePages::SearchData(entries), failures)) {
            for (const QString& failure : failures) progress->Message(failure);
            writeFailed = true;
        }
    }
    progress->Finish();
    run.Status = writeFailed ? 2 : (run.Damaged > 0 || !walk.Problems().isEmpty()) ? 1 : 0;
    return run;
}

bool TCatalogue::WriteSiteFiles(const QByteArray& index, const QByteArray& search, QStringList& failures)
{
    const QString out = QDir::cleanPath(options_.Out) + QLatin1Char('/');
    try {
        for (const auto& [name, bytes] : TSiteAssets::Files()) TDrawingConversion::SaveIfChanged(out + name, bytes);
        // The search index before the page that loads it.
        TDrawingOutputs::SaveWhole(out + QStringLiteral("search.js"), search);
        TDrawingOutputs::SaveWhole(out + QStringLiteral("index.html"), index);
    } catch (const EFileError& e) {
        failures << e.Message();
        return false;
    }
    return true;
}
