#pragma once
// TfrmBmpDebug: the component inspector. A modal window that shows one
// component symbol's stored data (texts, Strange byte, flips, rotation) and
// its rendered body, and lets the user add a comment. An inspection ended
// with "Next" (the typed comment) or "OK" (the comment "OK") adds one row to
// the inspection table kept in memory; any other close adds nothing.
//
// "Export" writes the inspected body and its pins as a part export file:
//   'name' / 'package' / "W10 H10 1" / PARTS / "1 W10 H10" / one line per pin /
//   an empty line / BITMAP / one "{%3d}" line per body row, "." for a pixel of
//   the body background colour and "#" for any other;
// every line ended by CR LF, texts written byte for byte.
//
// The table is written once, at program end, and only when the run ended at
// least one inspection (WriteTable). Its file is named after the main
// window's caption with the extension ".csv", in the current directory; lines
// end with CR LF and hold the fields as an item list. An existing file that
// starts with the inspector header gets the new rows appended; an existing
// file with anything else is left untouched and the table goes to the first
// name of the form name-2.csv, name-3.csv, ... that does not exist yet, of
// which the user is told. Texts are written as single-byte characters
// (Latin-1); a typed character outside it is written as "?".

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include "drawing/Quorvidobject.h"

class Bitmap;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QResizeEvent;
class TSurface;

class TfrmBmpDebug : public QDialog {
    Q_OBJECT

public:
    explicit TfrmBmpDebug(QWidget* parent = nullptr);
    ~TfrmBmpDebug() override;

    // Controls. The labelled edits are line edits with a label beside them.
    QGroupBox* gbData = nullptr;
    QLineEdit* leDesig = nullptr;
    QLineEdit* leValue = nullptr;
    QLineEdit* lePackage = nullptr;
    QLineEdit* leStrange = nullptr;
    QCheckBox* cbVflip = nullptr;
    QCheckBox* cbHflip = nullptr;
    QGroupBox* rgAngle = nullptr;          // radio group "Angle"
    QButtonGroup* rgAngleItems = nullptr;  // its items "None", "90 anticlock", "180", "90 clock", ids 0..3
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Image1 = nullptr;  // the body image, at its own size from the top-left corner
    QLineEdit* leComment = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnClose = nullptr;  // "Next"

    // The selected item of rgAngle, -1 when none.
    int AngleIndex() const;

    // Fills the window from a component and shows it modally; returns when
    // the window closes.
    void Inspect(Bitmap& component);

    // Handlers.
    void btnCloseClick();
    void btnOkClick();
    void btnExportClick();  // throws EFileError

    // The lines of the part export file for the component being inspected
    // (without line ends); empty before the first inspection.
    QList<QByteArray> ExportLines() const;
    // Writes the part export file (throws EFileError).
    void WriteExport(const QString& path) const;

    // The inspection table: the header line, then one line per ended inspection.
    const QStringList& CsvLines() const { return csvLines; }
    // True once this run has ended at least one inspection.
    bool HasRows() const { return csvLines.size() > 1; }
    // The header line: Name,Value,Package,Strange,"H Flip","V Flip",Angle,Rows,Columns,Comments
    static QString CsvHeader();
    // The table's file name for a main window caption: its extension replaced
    // by ".csv" ("Form1" gives "Form1.csv").
    static QString TableFileName(const QString& caption);
    // Writes the rows of the ended inspections (see above) and returns the
    // absolute path they went to; the rows written leave the table, so a
    // second call writes only what was added since. Without rows it writes
    // nothing and returns an empty text. Throws EFileError
    // "Cannot create file %s" / "Unable to write to %s".
    QString WriteTable(const QString& caption);
    // Program end: WriteTable, a failure shown in the standard error box.
    void SaveTableAtExit(const QString& caption);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void EndInspection(const QString& comment);
    QString WriteRows(const QString& caption);

    QStringList csvLines;
    QStringList currentRow;
    Bitmap* inspectedSymbol = nullptr;    // not owned
    const TSurface* bodyImage = nullptr;  // the inspected body image, not owned
    int margin = 0;
    TRect bodyRect;
    QLabel* commentLabel = nullptr;
    bool inspecting = false;  // between filling the window and the end of its modal showing
};

// The one instance, set when it is constructed.
extern TfrmBmpDebug* frmBmpDebug;
