#pragma once
// Drawings converted on every core: one process of the program for each
// core, each converting one drawing at a time as it is handed them, so that
// a large sheet keeps one core busy while the others go on with the rest.
// Each process has its own caches and settings windows, and nothing is
// shared between them but the site's folder, where each drawing has a
// folder of its own.
//
// A worker is the program run with "--catalogue=SITE" and the environment
// variable TRACERY_CATALOGUE_WORKER set to 1. It reads one drawing a line
// from standard input, as a JSON object {"path", "folder", "name",
// "modified"}, converts it (TDrawingConversion) and answers with one line,
// {"facts": <the record>, "failures": [<message>, ...]}, on standard
// output; it ends at the end of its input.

#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>
#include <vector>

#include "catalogue/Archivewalk.h"
#include "catalogue/Drawingfacts.h"

struct TObjectSettings;

class TConversionWorkers {
public:
    static constexpr char WorkerVariable[] = "TRACERY_CATALOGUE_WORKER";

    // Workers of `program` converting into the site at `site`, `count` at
    // most.
    TConversionWorkers(const QString& program, const QString& site, int count);

    using TDone = std::function<void(std::size_t index, const TDrawingFacts& facts, const QStringList& failures)>;
    // Converts the drawings and calls done for each (by its index) as it is
    // done, in the order they are done. A drawing whose worker ends without
    // an answer is unreadable ("the conversion ended unexpectedly"), and a
    // new worker goes on with the rest. False, with nothing done, when no
    // worker could be started.
    bool Convert(const std::vector<TFoundDrawing>& drawings, const TDone& done);

    // The worker's side: serves the requests on standard input until it
    // ends; returns the exit status.
    static int Serve(const QString& site, const TObjectSettings& settings);
    // Whether this run of the program is a worker.
    static bool IsWorker();

private:
    QString program_;
    QString site_;
    int count_;
};
