#include "catalogue/Conversionworkers.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>

#include "app/Surface.h"
#include "catalogue/Drawingconversion.h"
#include "drawing/Drawing.h"
#include "render/Pngwriter.h"
#include "render/Vectortarget.h"

namespace {
QByteArray Request(const TFoundDrawing& d)
{
    const QJsonObject o{{"path", d.Path}, {"folder", d.Folder}, {"name", d.Name}, {"modified", qint64(d.Modified)}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

// Workers are started again after an unexpected end, but not for ever.
constexpr int maxRestarts = 16;
}  // namespace

TConversionWorkers::TConversionWorkers(const QString& program, const QString& site, int count)
    : program_(program),
      site_(site),
      count_(std::max(1, count))
{
}

bool TConversionWorkers::IsWorker() { return qEnvironmentVariable(WorkerVariable) == QLatin1String("1"); }

bool TConversionWorkers::Convert(const std::vector<TFoundDrawing>& drawings, const TDone& done)
{
    struct Worker {
        std::unique_ptr<QProcess> Process;
        std::optional<std::size_t> Job;  // the drawing it converts now
        QByteArray Pending;              // output not yet a whole line
    };
    std::deque<std::size_t> queue;
    for (std::size_t i = 0; i < drawings.size(); ++i) queue.push_back(i);
    std::vector<std::unique_ptr<Worker>> workers;
    QEventLoop loop;
    int running = 0, restarts = 0;

    const auto unexpected = [&](std::size_t job) {
        TDrawingFacts facts;
        const TFoundDrawing& d = drawings[job];
        facts.Id = TArchiveWalk::DrawingId(d.Path);
        facts.Path = d.Path;
        facts.Folder = d.Folder;
        facts.Name = d.Name;
        facts.Status = TDrawingFacts::TStatus::Unreadable;
        facts.Message = QStringLiteral("The conversion of '%1' ended unexpectedly").arg(d.Path);
        done(job, facts, {});
    };
    // Hands the worker the next drawing, or ends its input when there is none.
    const auto next = [&](Worker& w) {
        if (queue.empty()) {
            w.Job.reset();
            w.Process->closeWriteChannel();
            return;
        }
        w.Job = queue.front();
        queue.pop_front();
        w.Process->write(Request(drawings[*w.Job]));
    };
    // Takes the worker's answers: each ends a drawing and asks for the next.
    const auto drain = [&](Worker& w) {
        w.Pending += w.Process->readAllStandardOutput();
        for (qsizetype end; (end = w.Pending.indexOf('\n')) >= 0;) {
            const QByteArray line = w.Pending.left(end);
            w.Pending.remove(0, end + 1);
            if (!w.Job) continue;
            const QJsonObject answer = QJsonDocument::fromJson(line).object();
            const std::size_t job = *w.Job;
            const std::optional<TDrawingFacts> facts =
                TDrawingFacts::FromJson(QJsonDocument(answer["facts"].toObject()).toJson());
            QStringList failures;
            for (const QJsonValue& v : answer["failures"].toArray()) failures << v.toString();
            next(w);
            if (facts)
                done(job, *facts, failures);
            else
                unexpected(job);
        }
    };
    std::function<bool()> start = [&] {
        auto worker = std::make_unique<Worker>();
        Worker& w = *worker;
        w.Process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(WorkerVariable), QStringLiteral("1"));
        w.Process->setProcessEnvironment(environment);
        w.Process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        w.Process->start(program_, {QStringLiteral("--catalogue=") + site_});
        if (!w.Process->waitForStarted()) return false;
        QObject::connect(w.Process.get(), &QProcess::readyReadStandardOutput, [&] { drain(w); });
        QObject::connect(w.Process.get(), &QProcess::finished, [&] {
            drain(w);
            --running;
            if (w.Job) {
                const std::size_t job = *w.Job;
                w.Job.reset();
                unexpected(job);
                if (!queue.empty() && restarts < maxRestarts) {
                    ++restarts;
                    start();
                }
            }
            if (running == 0) loop.quit();
        });
        ++running;
        workers.push_back(std::move(worker));
        next(w);
        return true;
    };
    const int count = std::min<int>(count_, int(drawings.size()));
    for (int k = 0; k < count; ++k)
        if (!start()) break;
    if (running == 0 && !drawings.empty()) return false;
    loop.exec();
    // What no worker could take.
    while (!queue.empty()) {
        unexpected(queue.front());
        queue.pop_front();
    }
    return true;
}

int TConversionWorkers::Serve(const QString& site, const TObjectSettings& settings)
{
    // The other workers have the other cores.
    TDrawing::SetRenderThreads(1);
    TSurface::SetPaintThreads(1);
    TPngWriter::SetThreads(1);
    TVectorTarget::SetWriteThreads(1);
    TDrawingConversion conversion(site, settings);
    QByteArray line;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        line += buffer;
        if (!line.endsWith('\n')) continue;
        const QJsonObject request = QJsonDocument::fromJson(line).object();
        line.clear();
        TFoundDrawing drawing;
        drawing.Path = request["path"].toString();
        drawing.Folder = request["folder"].toString();
        drawing.Name = request["name"].toString();
        drawing.Modified = request["modified"].toInteger();
        QStringList failures;
        const TDrawingFacts facts = conversion.Convert(drawing, failures);
        const QJsonObject answer{{"facts", QJsonDocument::fromJson(facts.ToJson()).object()},
                                 {"failures", QJsonArray::fromStringList(failures)}};
        const QByteArray out = QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(out.constData(), 1, std::size_t(out.size()), stdout);
        std::fflush(stdout);
    }
    return 0;
}
