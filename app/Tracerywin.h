#pragma once
// The main window: menu, the page view (app/Pageview) and status bar;
// loading a drawing into the object list, split export, painting, pointer
// tracking, find and compare.

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/Pageview.h"
#include "app/Surface.h"
#include "drawing/Drawing.h"
#include "drawing/Quorvidobject.h"
#include "exports/Drawingoutputs.h"

class QAction;
class QLabel;
class QMenu;
class QMimeData;
class QFile;
class QStatusBar;
class Bitmap;
class TRecentFiles;
class TValWin;
class TfrmHelp;
class TFindBar;
class TComparePanel;
class TConnectivity;
class QPrinter;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // args: the command line, argument 0 being the program itself.
    explicit TForm1(const QStringList& args, QWidget* parent = nullptr);
    ~TForm1() override;

    // Start-up: the first showing of the window works through the command
    // line. In batch mode the window is never shown.
    void FormShow();

    // Loading and the object list.
    void LoadDrawing(const QString& path);
    void CloseDrawing();
    void ClearObjects();
    void ChooseDrawing();
    void PaintObjects(TDrawTarget& canvas);
    // Draws the objects on the print window's page image, sized to the current page.
    void PaintPrintImage();
    void SetPageImageSize(int index);

    // Redraws the page at once / at the next opportunity (once, however
    // often it is asked for before then).
    void RepaintPage();
    void Invalidate();

    // Pointer tracking over the page image, in page pixels. Pointing at a
    // wire or a pin end (or within two pixels of one on the screen) also
    // names its net in the message panel; pointing elsewhere brings back
    // what the panel said before.
    void FormMouseMove(int x, int y);
    // A click on a wire or a pin end marks its net; elsewhere over a
    // component it inspects the component; on the empty page it asks for a
    // component in the message panel and unmarks the net.
    void Image1Click();

    // The nets of the current drawing, made once a load has shown its page,
    // or on first use before then (and in a batch run, which shows no
    // window); none while there are no objects.
    const TConnectivity* Connectivity();
    // Marks net `index` of Connectivity() on the view (its wires and pin
    // ends, at every zoom) and names it in the message panel; ClearNet (and
    // Escape) removes the mark.
    void ShowNet(std::size_t index);
    void ClearNet();
    std::optional<std::size_t> ShownNet() const { return shownNet_; }

    // Menu handlers.
    void miFileOpenClick();
    void miFileExportClick();
    void miFilePrintClick();
    void miFilePrintSetupClick();
    void miFileExitClick();
    void miFontClick();
    void miRepaintClick();
    void miBackgroundClick();
    void miViewPageClick(QAction* entry);
    void miPreviewClick();
    void miBitmapClick();
    void miDocBoxClick();
    void miAnnotateClick();
    void miLineDataClick();
    void miJunctionClick();
    void que1Click();
    void Help2Click();
    // Help ▸ About: the program's name, version and licence, and the Qt it runs on.
    void About1Click();
    void RecentFileClick();

    // Edit ▸ Find (shows the find bar), Find Next and Find Previous: the
    // components matching the find bar's text in natural designation order,
    // then the nets whose names hold it, going round at either end; a
    // component found is outlined on the view, a net found marked as a
    // clicked one, scrolled to the view's middle and named in the status bar.
    void miFindClick();
    void miFindNextClick();
    void miFindPreviousClick();

    // File ▸ Compare With…: the current drawing (the older) against one chosen
    // in the open dialog (the newer). The picture of the comparison is shown
    // over the view and the changes in a side panel, until Escape, the
    // panel's close button or the next load ends it; a repaint draws it anew.
    void miFileCompareClick();
    void CompareWith(const QString& path);
    void EndComparison();
    bool Comparing() const { return compared_ != nullptr; }

    // Drawings dropped on the window: the local *.q01 files among the URLs.
    static QStringList DroppedDrawings(const QMimeData* data);

    // The work of the options "--help" and "--out=DIR" on the command line
    // (app/Options.h); `name` is the option's name as written.
    void HelpOption();
    void OutOption(const QString& name, const QString& dir);

    // State, as the rest of the program sees it.
    QString IniFileName;
    QString IniSection = QStringLiteral("Main");
    QString IniKey = QStringLiteral("File");
    QString DrawingFileName;
    QString ExportDir;
    bool ExportMode = false;
    bool BatchMode = false;
    // Set while the program's event loop runs; closing the window ends it.
    bool InEventLoop = false;
    // The window has been closed (File ▸ Exit, its close box, a stop signal):
    // the run ends, also when that happens during start-up.
    bool Closed() const { return closed_; }
    // The files every drawing loaded from now on is written to ("--png",
    // "--pdf", "--bom", "--out=DIR"), and where its split folder goes.
    TDrawingOutputs Outputs;
    // The current drawing; Objects is its object list.
    TDrawing Drawing;
    TDrawing::TObjectList& Objects = Drawing.Objects();
    TRecentFiles* RecentFiles = nullptr;
    Bitmap* CurrentBitmap = nullptr;
    QString OpenDialogDir;
    // The main window's own canvas state (not the page image's); its pen is
    // the one line types without a choice of their own draw with.
    TPen& CanvasPen;
    TBrush CanvasBrush;
    TFont CanvasFont;

    // Outcome of the command line: whether the program should end after
    // start-up, whether every named drawing was found and walked to its end,
    // and whether every file that was to be written was written.
    bool TerminateRequested = false;
    bool AllDrawingsComplete = true;
    bool AllOutputsWritten = true;
    bool Succeeded() const { return AllDrawingsComplete && AllOutputsWritten; }

    // The page view and the page image it holds.
    TPageView* ScrollBox1 = nullptr;
    TPageImage* Image1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    TfrmHelp* frmHelp = nullptr;
    TValWin* ValWin1 = nullptr;
    TFindBar* FindBar1 = nullptr;
    TComparePanel* ComparePanel1 = nullptr;
    // Status bar panels: 0 to 11 the component under the pointer, then the
    // sheet zone under the pointer and the find messages.
    static constexpr int zonePanel = 12;
    static constexpr int findPanel = 13;
    // The find messages' panel also tells of a click beside every component.
    static constexpr int messagePanel = findPanel;
    QString PanelText(int panel) const;
    int PaintCount() const { return paintCount_; }
    // The menu entry of an object name ("miFileOpen"), for those that look
    // the menu over; none for a name no entry has.
    QAction* MenuAction(const QString& name) const;

    // The menu's entries, in the order of the menus (CreateMenu).
    QAction* miFileOpen = nullptr;
    QAction* miFileCompare = nullptr;
    QAction* miFileExport = nullptr;
    QAction* miFileList = nullptr;  // the "Recent Files" submenu
    QAction* miFilePrint = nullptr;
    QAction* miFilePrintSetup = nullptr;
    QAction* miFileExit = nullptr;
    QAction* miFind = nullptr;
    QAction* miFindNext = nullptr;
    QAction* miFindPrevious = nullptr;
    QAction* miFont = nullptr;
    QAction* miRepaint = nullptr;
    QAction* miBackground = nullptr;
    QAction* miViewPage = nullptr;  // the page size submenu
    QAction* miPreview = nullptr;
    QAction* miZoomIn = nullptr;
    QAction* miZoomOut = nullptr;
    QAction* miActualSize = nullptr;
    QAction* miFitPage = nullptr;
    QAction* miFitWidth = nullptr;
    QAction* miPageStart = nullptr;
    QAction* miPageEnd = nullptr;
    QAction* miBitmap = nullptr;
    QAction* miDocBox = nullptr;
    QAction* miAnnotate = nullptr;
    QAction* miLineData = nullptr;
    QAction* miJunction = nullptr;
    QAction* que1 = nullptr;
    QAction* Help2 = nullptr;
    QAction* About1 = nullptr;
    // The program's printer, as the print and printer set-up dialogs leave it.
    QPrinter& Printer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    // Drag and drop of drawings.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Escape unmarks the net marked, or else ends a comparison.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateMenu();
    void CreateStatusBar();
    void ProcessCommandLine();
    // The load's split folder, created; none when the drawing is not split.
    std::optional<QString> PrepareSplit(const QString& path);
    void WriteOutputs(const QString& path);
    // The window takes the page's size below the menu, within the work area
    // of its screen (frame included), and is moved into it.
    void FitToWorkArea();
    void KeepInWorkArea();
    QRect WorkArea() const;
    // The page image shows nothing: the drawing before a load that failed to
    // read is gone from it as from the object list.
    void ShowEmptyPage();
    // The layout size is the outer size: once the frame is known the client
    // area is made smaller by it (once, and only while nothing else has
    // sized the window).
    void KeepLayoutOuterSize();
    void SetPanel(int panel, const QString& text);
    // The message panel's own text (find results, a click beside every
    // component); `aboutNet` when it tells of the net marked, so that it
    // goes with the mark.
    void SetMessage(const QString& text, bool aboutNet = false);
    // The message panel shows the net under the pointer, else its own text.
    void ShowMessagePanel();
    void MakeConnectivity();
    // The marked net drawn anew on the page image.
    void MarkShownNet();
    void FindStep(bool forward);
    void EndFind();  // the find bar closed
    void UpdateComparison();

    QStringList args_;
    // The full path of the drawing named in the latest load, for the
    // recent-files list.
    QString drawingFullPath_;
    std::vector<QLabel*> panels_;
    // Pointer tracking: the object list as last looked at, and the indices of
    // its components.
    std::vector<const QuorvidObject*> scannedObjects_;
    std::vector<std::size_t> components_;
    bool closed_ = false;
    bool painting_ = false;
    bool repaintPending_ = false;
    bool shown_ = false;
    bool layoutSizeKept_ = false;
    // A load has fitted the window to its page, with this frame.
    bool fitted_ = false;
    QSize fitFrame_;
    int paintCount_ = 0;
    std::unique_ptr<QPrinter> printer_;
    // The drawing compared with the current one, and its path.
    std::unique_ptr<TDrawing> compared_;
    QString comparedPath_;
    Bitmap* found_ = nullptr;              // the component found last
    std::optional<std::size_t> foundNet_;  // or the net found last
    // The nets of the drawing, and whether they have been made for it.
    std::unique_ptr<TConnectivity> connectivity_;
    bool connectivityMade_ = false;
    int drawingGeneration_ = 0;              // counts the object lists cleared
    std::optional<std::size_t> pointedNet_;  // the net under the pointer
    std::optional<std::size_t> shownNet_;    // the net marked on the view
    QString message_;                        // the message panel's own text
    bool messageAboutNet_ = false;
    QString pointedText_;  // the net under the pointer, told
};

extern TForm1* Form1;

// The title the desktop's task list shows for the program.
QString ApplicationTitle();
