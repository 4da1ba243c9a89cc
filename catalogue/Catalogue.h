#pragma once
// An archive of drawings turned into a web site that needs no server
// ("tracery --catalogue=OUT PATH..."): every drawing below the named folders
// and every named file gets its page and files in OUT (catalogue/
// Drawingconversion), and the index lists them all (catalogue/Sitepages).
//
// A run converts only what changed: a drawing whose record in OUT has the
// same bytes (by their hash) and conditions, and whose files are all there,
// is taken from its record; a drawing gone from the archive leaves the site;
// the index, the search index and the shared style and script are written
// again (the last two only when they differ). With a shard (K of N), a run
// converts only the drawings whose path hashes to that shard and writes no
// index; a later run without one finds them converted and writes the index.
//
// The exit status: 0 when every drawing was read to its end, 1 when the site
// was written but some drawings are damaged or unreadable (or a folder could
// not be read), 2 when the site could not be written.

#include <QString>
#include <QStringList>
#include <functional>

struct TObjectSettings;

struct TCatalogueOptions {
    QString Out;        // the site's folder
    QStringList Paths;  // folders and files, as named
    // The part of the archive converted, 0-based, of ShardCount; a count of
    // 0 converts every drawing and writes the index.
    int ShardIndex = 0;
    int ShardCount = 0;
    // The program whose workers convert on every core (catalogue/
    // Conversionworkers); empty to convert in this process, one drawing
    // after another.
    QString WorkerProgram;
    int Workers = 0;  // 0: one per core
    // The progress line: shown when standard error is a terminal, unless
    // told otherwise.
    enum class TProgress { Terminal, Shown, Hidden } Progress = TProgress::Terminal;
};

// What a run did, for the caller and the tests.
struct TCatalogueRun {
    int Status = 0;
    int Drawings = 0;   // in the run's part of the archive
    int Converted = 0;  // of them, converted in this run
    int Damaged = 0;    // damaged or unreadable
    int Removed = 0;    // gone from the archive, removed from the site
};

class TCatalogue {
public:
    TCatalogue(TCatalogueOptions options, const TObjectSettings& settings);
    TCatalogueRun Run();

    // "--shard=K/N": K from 1 to N; false for anything else.
    static bool ParseShard(const QString& text, int& index, int& count);

private:
    bool WriteSiteFiles(const QByteArray& index, const QByteArray& search, QStringList& failures);
    TCatalogueOptions options_;
    const TObjectSettings& settings_;
};
