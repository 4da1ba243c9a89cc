#include "app/Tracerywin.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>

#include "app/Comparecommand.h"
#include "app/Comparepanel.h"
#include "app/Findbar.h"
#include "app/Help.h"
#include "app/Options.h"
#include "app/Preview.h"
#include "app/Quorvprint.h"
#include "app/Recentfiles.h"
#include "drawing/Bitmap.h"
#include "drawing/Componentsearch.h"
#include "drawing/Connectivity.h"
#include "drawing/Debugbmp.h"
#include "drawing/Fileimage.h"
#include "drawing/Header.h"
#include "drawing/Netsearch.h"
#include "drawing/Netshape.h"
#include "drawing/Objectsettings.h"
#include "exports/Schematicsheet.h"
#include "settings/Annotatewin.h"
#include "settings/Bitmapwin.h"
#include "settings/Docboxwin.h"
#include "settings/Inifile.h"
#include "settings/Junctionwin.h"
#include "settings/Linedatawin.h"
#include "settings/Quorvfont.h"
#include "settings/Settingsmodel.h"
#include "settings/Valwin.h"
#include "ui/Dialogs.h"

TForm1* Form1 = nullptr;

namespace {
QString applicationTitle;

// The window's font: "MS Sans Serif", 16 pixels high, bold, blue.
TFont WindowFont()
{
    TFont f;
    f.SetHeight(-16);
    f.Bold = true;
    f.Colour = clBlue;
    return f;
}

// The window's size in its layout: the outer size, frame included.
constexpr QSize kLayoutOuterSize(1117, 813);

struct PanelLayout {
    const char* text;
    int width;
};
const PanelLayout kPanels[12] = {
    {"Name", 55},  {"", 100}, {"Value", 55},  {"", 100}, {"Package", 80}, {"", 100},
    {"Angle", 55}, {"", 50},  {"H Flip", 55}, {"", 50},  {"V Flip", 55},  {"", 50},
};

// The platform's keys for a standard action, then the common ones it lacks
// (the menus show the first key of each entry).
QList<QKeySequence> Keys(QKeySequence::StandardKey standard, const QList<QKeySequence>& common)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
    for (const QKeySequence& key : common)
        if (!keys.contains(key)) keys << key;
    return keys;
}

// How near the pointer, in widget pixels, a wire or pin end must be to be
// pointed at, and at most how many page pixels that may be.
constexpr int netPointerReach = 2;
constexpr int netPointerReachMax = 8;

// Why a drawing file, looked at before the drawing shown is closed, is not read.
QString RefusalText(const QString& path, const TFileImage& look)
{
    switch (look.Status) {
    case TFileImage::TStatus::Missing: return QStringLiteral("File '%1' not found").arg(path);
    case TFileImage::TStatus::CannotRead: return CannotReadText(path, look);
    default: return NotADrawingFileText(path, look);
    }
}

}  // namespace

QString ApplicationTitle() { return applicationTitle; }

// -------------------------------------------------------------------- TForm1

TForm1::TForm1(const QStringList& args, QWidget* parent) : QMainWindow(parent), CanvasPen(MainCanvasPen()), args_(args)
{
    CanvasPen = TPen();
    Form1 = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    // Until the window is shown its frame is unknown: the client area takes
    // the whole layout size, and loses the frame's share once it is shown.
    setGeometry(QRect(QPoint(692, 227), kLayoutOuterSize));
    setFont(WindowFont().ToQFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    ScrollBox1 = new TPageView(this);
    Image1 = ScrollBox1->Image();
    setAcceptDrops(true);
    setCentralWidget(ScrollBox1);
    ScrollBox1->setFocus();  // arrow keys and Page Up / Page Down scroll the page
    connect(Image1, &TPageImage::PointerMoved, this, &TForm1::FormMouseMove);
    connect(Image1, &TPageImage::Clicked, this, &TForm1::Image1Click);
    // A settings window changed how the drawing looks: the page is redrawn at once.
    connect(&SettingsModel(), &TSettingsModel::Changed, this, &TForm1::RepaintPage);

    CreateMenu();
    CreateStatusBar();
    FindBar1 = new TFindBar(this);
    addToolBar(Qt::BottomToolBarArea, FindBar1);
    connect(FindBar1, &TFindBar::FindNext, this, &TForm1::miFindNextClick);
    connect(FindBar1, &TFindBar::FindPrevious, this, &TForm1::miFindPreviousClick);
    connect(FindBar1, &TFindBar::Closed, this, &TForm1::EndFind);
    ComparePanel1 = new TComparePanel(this);
    addDockWidget(Qt::RightDockWidgetArea, ComparePanel1);
    ComparePanel1->hide();
    connect(ComparePanel1, &TComparePanel::Closed, this, &TForm1::EndComparison);
    connect(ComparePanel1, &TComparePanel::PlaceChosen, this, [this](const QRect& place) {
        Image1->SetHighlight(place);
        ScrollBox1->ShowInMiddle(place);
    });

    IniFileName = SettingsFileName();
    OpenDialogDir = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
    {
        TIniFile ini(IniFileName);
        if (ini.SectionExists(IniSection)) {
            const QString last = ini.ReadString(IniSection, IniKey, QString());
            OpenDialogDir = last.isEmpty() ? QString() : QFileInfo(last).absolutePath();
        }
    }
    CanvasFont = WindowFont();
    CurrentBitmap = nullptr;

    ValWin1 = new TValWin(this);
    ValWin1->setObjectName(QStringLiteral("ValWin1"));
    ValWin1->SetOnScreen(false);
    ValWin1->SetTimeout(0);
}

TForm1::~TForm1()
{
    if (!closed_) {
        // Destroyed without closing (tests, batch runs): nothing is saved,
        // but the objects still go.
        ClearObjects();
    }
    delete RecentFiles;
    RecentFiles = nullptr;
    if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateMenu()
{
    // An entry with its object name, its handler and its keys.
    const auto entry = [this](QMenu* menu, const char* name, const QString& caption, auto handler,
                              const QList<QKeySequence>& keys = {}) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setShortcuts(keys);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    const auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QLatin1String(name));
    };
    const auto submenu = [](QMenu* menu, const char* name, const QString& caption) {
        QMenu* sub = menu->addMenu(caption);
        sub->menuAction()->setObjectName(QLatin1String(name));
        return sub;
    };
    const auto ctrl = [](int key) { return QKeySequence(Qt::CTRL | key); };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    miFileOpen = entry(file, "miFileOpen", QStringLiteral("&Open"), &TForm1::miFileOpenClick,
                       Keys(QKeySequence::Open, {ctrl(Qt::Key_O)}));
    miFileCompare = entry(file, "miFileCompare", QStringLiteral("Compare &With…"), &TForm1::miFileCompareClick);
    miFileExport =
        entry(file, "miFileExport", QStringLiteral("&Export…"), &TForm1::miFileExportClick, {ctrl(Qt::Key_E)});
    QMenu* recent = submenu(file, "miFileList", QStringLiteral("Recent Files"));
    miFileList = recent->menuAction();
    separator(file, "N2");
    miFilePrint = entry(file, "miFilePrint", QStringLiteral("&Print"), &TForm1::miFilePrintClick,
                        Keys(QKeySequence::Print, {ctrl(Qt::Key_P)}));
    miFilePrintSetup = entry(file, "miFilePrintSetup", QStringLiteral("Print &Setup"), &TForm1::miFilePrintSetupClick);
    separator(file, "N1");
    miFileExit = entry(file, "miFileExit", QStringLiteral("E&xit"), &TForm1::miFileExitClick,
                       Keys(QKeySequence::Quit, {ctrl(Qt::Key_Q)}));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    miFind = entry(edit, "miFind", QStringLiteral("&Find…"), &TForm1::miFindClick,
                   Keys(QKeySequence::Find, {ctrl(Qt::Key_F)}));
    miFindNext =
        entry(edit, "miFindNext", QStringLiteral("Find &Next"), &TForm1::miFindNextClick, {QKeySequence(Qt::Key_F3)});
    miFindPrevious = entry(edit, "miFindPrevious", QStringLiteral("Find &Previous"), &TForm1::miFindPreviousClick,
                           {QKeySequence(Qt::SHIFT | Qt::Key_F3)});

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    miFont = entry(view, "miFont", QStringLiteral("&Font"), &TForm1::miFontClick);
    miRepaint = entry(view, "miRepaint", QStringLiteral("&Repaint"), &TForm1::miRepaintClick,
                      Keys(QKeySequence::Refresh, {QKeySequence(Qt::Key_F5)}));
    miBackground = entry(view, "miBackground", QStringLiteral("&Background"), &TForm1::miBackgroundClick);
    QMenu* page = submenu(view, "miViewPage", QStringLiteral("&Page"));
    miViewPage = page->menuAction();
    for (const char* name : {"A0", "A1", "A2", "A3", "A4", "-", "A", "B", "C", "D", "E"}) {
        if (name[0] == '-') {
            page->addSeparator();
            continue;
        }
        QAction* a = page->addAction(QLatin1String(name));
        a->setObjectName(QStringLiteral("miPage") + QLatin1String(name));
        connect(a, &QAction::triggered, this, [this, a] { miViewPageClick(a); });
    }
    miPreview = entry(view, "miPreview", QStringLiteral("Preview"), &TForm1::miPreviewClick,
                      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)});
    // Zoom and moving over the page: the page view's own.
    separator(view, "N4");
    miZoomIn = entry(
        view, "miZoomIn", QStringLiteral("Zoom &In"), [this] { ScrollBox1->ZoomIn(); },
        Keys(QKeySequence::ZoomIn, {ctrl(Qt::Key_Plus), ctrl(Qt::Key_Equal)}));
    miZoomOut = entry(
        view, "miZoomOut", QStringLiteral("Zoom &Out"), [this] { ScrollBox1->ZoomOut(); },
        Keys(QKeySequence::ZoomOut, {ctrl(Qt::Key_Minus)}));
    miActualSize = entry(view, "miActualSize", QStringLiteral("&Actual Size"), [this] { ScrollBox1->ActualSize(); },
                         {ctrl(Qt::Key_0)});
    miFitPage = entry(view, "miFitPage", QStringLiteral("Fit Pa&ge"), [this] { ScrollBox1->FitPage(); },
                      {QKeySequence(Qt::Key_Home)});
    miFitWidth = entry(view, "miFitWidth", QStringLiteral("Fit &Width"), [this] { ScrollBox1->FitWidth(); },
                       {QKeySequence(Qt::SHIFT | Qt::Key_Home)});
    separator(view, "N5");
    miPageStart = entry(view, "miPageStart", QStringLiteral("Page &Start"), [this] { ScrollBox1->ShowStart(); },
                        {ctrl(Qt::Key_Home)});
    miPageEnd =
        entry(view, "miPageEnd", QStringLiteral("Page &End"), [this] { ScrollBox1->ShowEnd(); }, {ctrl(Qt::Key_End)});

    QMenu* objects = menuBar()->addMenu(QStringLiteral("&Objects"));
    miBitmap = entry(objects, "miBitmap", QStringLiteral("&Bitmap"), &TForm1::miBitmapClick);
    miDocBox = entry(objects, "miDocBox", QStringLiteral("DocBox"), &TForm1::miDocBoxClick);
    miAnnotate = entry(objects, "miAnnotate", QStringLiteral("Annotate"), &TForm1::miAnnotateClick);
    miLineData = entry(objects, "miLineData", QStringLiteral("Line Data"), &TForm1::miLineDataClick);
    miJunction = entry(objects, "miJunction", QStringLiteral("Junction"), &TForm1::miJunctionClick);
    que1 = entry(objects, "que1", QStringLiteral("que"), &TForm1::que1Click);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    Help2 = entry(help, "Help2", QStringLiteral("&Help"), &TForm1::Help2Click);
    About1 = entry(help, "About1", QStringLiteral("&About"), &TForm1::About1Click);

    RecentFiles = new TRecentFiles(recent);
    RecentFiles->OnClick = [this](TRecentFiles*) { RecentFileClick(); };
}

void TForm1::CreateStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(24);
    StatusBar1->setSizeGripEnabled(false);
    // The panels do not keep the window wider than a small screen's work
    // area: the last of them are cut off there instead.
    StatusBar1->setMinimumWidth(1);
    // The panels write in the window's font and its colour.
    ShowFontOn(StatusBar1, WindowFont());
    for (const PanelLayout& panel : kPanels) {
        auto* label = new QLabel(QLatin1String(panel.text));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(label);
        // The layout's width, or as much more as the label's text needs in
        // the font it is shown in (the face put in place of the named one
        // may be wider).
        label->setFixedWidth(std::max(panel.width, label->sizeHint().width()));
        panels_.push_back(label);
    }
    // After them: the sheet zone under the pointer, and the find messages.
    for (int width : {45, 0}) {
        auto* label = new QLabel;
        if (width > 0) label->setFixedWidth(width);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(label, width > 0 ? 0 : 1);
        panels_.push_back(label);
    }
    setStatusBar(StatusBar1);
}

QAction* TForm1::MenuAction(const QString& name) const
{
    const auto actions = findChildren<QAction*>(name);
    return actions.isEmpty() ? nullptr : actions.first();
}

QString TForm1::PanelText(int panel) const
{
    return panel >= 0 && panel < int(panels_.size()) ? panels_[panel]->text() : QString();
}

void TForm1::SetPanel(int panel, const QString& text) { panels_[panel]->setText(text); }

// ------------------------------------------------------------ start and stop

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    KeepLayoutOuterSize();
    RepaintPage();
}

void TForm1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    KeepLayoutOuterSize();
    // A window fitted before the window manager framed it is fitted again,
    // once, with the frame.
    if (fitted_ && fitFrame_.isNull() && isVisible() && !isMaximized() && !isFullScreen() &&
        !(frameGeometry().size() - size()).isNull())
        FitToWorkArea();
}

void TForm1::KeepLayoutOuterSize()
{
    // A window manager's frame becomes known once the window is shown, and
    // sometimes only when the manager has framed it (which moves the client
    // area). As long as nothing else has sized the window, the client area
    // gives the frame its share of the layout size.
    if (layoutSizeKept_ || !isVisible()) return;
    if (size() != kLayoutOuterSize) {
        layoutSizeKept_ = true;
        return;
    }
    const QSize frame = frameGeometry().size() - size();
    if (frame.width() <= 0 && frame.height() <= 0) return;  // no frame (yet)
    layoutSizeKept_ = true;
    resize(kLayoutOuterSize - frame);
}

void TForm1::FormShow()
{
    frmHelp = new TfrmHelp(this, args_);
    ClearObjects();
    ExportMode = false;
    ProcessCommandLine();
    if (BatchMode || closed_) return;
    Guarded([&] { ValWin1->open(); });
    // A window fitted to a large page stays in the work area where it is placed.
    if (fitted_) KeepInWorkArea();
}

void TForm1::ProcessCommandLine()
{
    // Left to right, each option's work as the table gives it; in a batch
    // run a request to end (--help) ends the command line there.
    bool namedDrawing = false;
    for (int i = 1; i < args_.size() && !(BatchMode && TerminateRequested) && !closed_; ++i) {
        const QString& arg = args_[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            namedDrawing = true;
            Guarded([&] { LoadDrawing(arg); });
            continue;
        }
        QString name, value;
        const TOption* option = FindOption(arg, &value, &name);
        if (!option)
            Dialogs().ShowMessage(QStringLiteral("Parameter '") + arg.mid(2) + QStringLiteral("' not recognised"));
        else if (option->InTurn)
            option->InTurn(*this, name, value);
    }
    // A help window that was shown ends the program instead of the open dialog.
    if (!namedDrawing && !BatchMode && !TerminateRequested && !closed_) Guarded([&] { ChooseDrawing(); });
}

void TForm1::HelpOption()
{
    TerminateRequested = true;
    if (!BatchMode) {
        Dialogs().ExecModal(*frmHelp);
        return;
    }
    // No window to show: the help page goes to standard output.
    std::fputs(TfrmHelp::TerminalText(args_).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void TForm1::OutOption(const QString& name, const QString& dir)
{
    if (dir.isEmpty()) {
        // Writing beside the drawings instead is not what was asked for.
        Dialogs().ShowMessage(QStringLiteral("Parameter '%1' needs a folder, as in --out=DIR").arg(name));
        Outputs.HoldBack();
        AllOutputsWritten = false;
        return;
    }
    try {
        Outputs.SetFolder(dir);
    } catch (const EFileError& e) {
        Dialogs().ShowError(e.Message());
        AllOutputsWritten = false;
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (!closed_) {
        closed_ = true;
        Guarded([&] {
            CloseDrawing();
            Objects.clear();
            delete RecentFiles;  // writes the list if it changed
            RecentFiles = nullptr;
        });
        Guarded([&] { ValWin1->close(); });
        // The inspector's table of this run's inspections.
        if (frmBmpDebug && !BatchMode) frmBmpDebug->SaveTableAtExit(windowTitle());
    }
    event->accept();
    // Closing the main window ends the event loop, whatever else is open. The
    // other windows are destroyed afterwards without being closed, so their
    // close handlers (and what those store) do not run: quit() would close
    // every visible window first. Outside the event loop there is none to end
    // (and ending it then would end the next modal loop at once).
    if (InEventLoop) QCoreApplication::exit(0);
}

// ------------------------------------------------------------------ loading

void TForm1::ChooseDrawing()
{
    const auto chosen = Dialogs().OpenFile(QStringLiteral("Quorvid File (*.q01)"), OpenDialogDir);
    if (!chosen) return;
    {
        TIniFile ini(IniFileName);
        ini.WriteString(IniSection, IniKey, *chosen);
    }
    LoadDrawing(*chosen);
}

void TForm1::CloseDrawing()
{
    // The full path, so that the entry opens from any working directory.
    if (!Objects.empty() && RecentFiles) RecentFiles->AddFile(drawingFullPath_);
    ClearObjects();
}

void TForm1::ClearObjects()
{
    // The nets refer to the objects: they go first.
    ClearNet();
    connectivity_.reset();
    connectivityMade_ = false;
    ++drawingGeneration_;
    pointedNet_.reset();
    foundNet_.reset();
    pointedText_.clear();
    if (!panels_.empty()) ShowMessagePanel();
    Drawing.Clear();
    CurrentBitmap = nullptr;
    found_ = nullptr;
    if (Image1) Image1->SetHighlight(std::nullopt);
    EndComparison();
    scannedObjects_.clear();  // new objects may take the old ones' addresses
    components_.clear();
}

void TForm1::LoadDrawing(const QString& path)
{
    // A path that is no drawing file is refused before the drawing shown is closed.
    const TFileImage look = LookAtDrawingFile(path);
    if (!look.IsRead()) {
        Dialogs().ShowMessage(RefusalText(path, look));
        AllDrawingsComplete = false;
        return;
    }
    CloseDrawing();
    const QFileInfo info(path);
    DrawingFileName = path;
    drawingFullPath_ = info.absoluteFilePath();

    // Read as it is now: it may have changed since it was looked at.
    TFileImage image = ReadDrawingFile(path);
    if (!image.IsRead()) {
        AllDrawingsComplete = false;
        ShowEmptyPage();
        switch (image.Status) {
        case TFileImage::TStatus::CannotRead:
            throw EFileError(QStringLiteral("Cannot open file ") + QDir::toNativeSeparators(path));
        case TFileImage::TStatus::OutOfMemory:
            Dialogs().ShowMessage(QStringLiteral("There is not enough memory to read '%1'.").arg(path));
            return;
        case TFileImage::TStatus::Missing:
            Dialogs().ShowMessage(QStringLiteral("File '%1' not found").arg(path));
            return;
        default: Dialogs().ShowMessage(NotADrawingFileText(path, image)); return;
        }
    }
    setWindowTitle(info.fileName());

    const std::optional<QString> splitDir = PrepareSplit(path);
    TLoadResult result;
    try {
        result = Drawing.Load(image.Bytes, splitDir);
    } catch (const EFileError&) {
        AllDrawingsComplete = false;  // a split file could not be opened
        ShowEmptyPage();
        throw;
    }
    image = TFileImage();
    // The nets are found once the page is shown (at once when they are
    // needed before then).
    if (!BatchMode)
        QTimer::singleShot(0, this, [this, generation = drawingGeneration_] {
            if (generation == drawingGeneration_ && !connectivityMade_) MakeConnectivity();
        });
    // One box per record that asks for one. Once the window has been closed
    // while they are shown (or a stop signal has closed it) no box follows
    // and the load goes no further: the run ends.
    const auto tell = [this](const QString& text) {
        if (!closed_) Dialogs().ShowMessage(text);
    };
    for (const TLoadEvent& event : result.Events) tell(LoadEventText(event));
    if (result.Simplified > 0) tell(SimplifiedComponentsMessage(result.Simplified));
    if (result.OutOfMemory)
        tell(QStringLiteral("There is not enough memory for all of '%1'; the drawing is shown up to "
                            "where memory ran out.")
                 .arg(QDir::toNativeSeparators(path)));
    if (closed_) return;
    if (result.SplitError) {
        AllDrawingsComplete = false;
        RepaintPage();
        throw EFileError(*result.SplitError);
    }
    // A drawing cut short after its header is shown as far as it goes, on
    // the page of the last header read, as a complete one.
    const bool cutShort =
        !result.Events.empty() && result.Events.back().Kind == TLoadEvent::TKind::CutShort && !result.OutOfMemory;
    if (result.Complete || cutShort) {
        if (result.PageIndex)
            SetPageImageSize(*result.PageIndex);
        else
            RepaintPage();  // no header: the page keeps its current size
        FitToWorkArea();
        applicationTitle = windowTitle();
    } else {
        RepaintPage();
    }
    if (!result.Complete) AllDrawingsComplete = false;
    WriteOutputs(path);
}

std::optional<QString> TForm1::PrepareSplit(const QString& path)
{
    if (!ExportMode || Outputs.HeldBack()) return std::nullopt;
    const std::optional<QString> dir = Outputs.SplitDir(path);
    if (!dir) {
        // Its split files would land beside the drawing, or above it, over
        // files of those names.
        Dialogs().ShowMessage(
            QStringLiteral("'%1' has no name to make a split folder from; the drawing is not split.").arg(path));
        AllOutputsWritten = false;
        return std::nullopt;
    }
    if (const QString taken = Outputs.ClaimSplitDir(path); !taken.isEmpty()) {
        Dialogs().ShowError(taken);
        AllOutputsWritten = false;
        return std::nullopt;
    }
    ExportDir = QDir::toNativeSeparators(*dir);
    // One level; that it exists already, or cannot be made, shows when the
    // split files are opened.
    QDir().mkdir(*dir);
    return *dir;
}

void TForm1::WriteOutputs(const QString& path)
{
    for (const QString& failure : Outputs.Write(path, Drawing, ObjectSettings(), Image1->Surface())) {
        Dialogs().ShowError(failure);
        AllOutputsWritten = false;
    }
}

void TForm1::ShowEmptyPage()
{
    Image1->Surface().Clear(clWhite);
    Image1->PageChanged();
}

QRect TForm1::WorkArea() const
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
}

void TForm1::FitToWorkArea()
{
    const QRect work = WorkArea();
    // The window manager's frame, once it is known (none before).
    const QSize frame = frameGeometry().size() - size();
    // The page at actual size, whatever the zoom (a drawing opened while
    // zoomed out does not shrink the window to the zoomed page), below the
    // menu; a larger page takes the work area, frame included, and scrolls.
    const int width = std::min(Image1->Surface().Width(), work.width() - frame.width());
    const int height =
        std::min(Image1->Surface().Height() + menuBar()->sizeHint().height(), work.height() - frame.height());
    resize(width, height);
    fitFrame_ = frame;
    fitted_ = true;
    KeepInWorkArea();
}

void TForm1::KeepInWorkArea()
{
    // The least move that brings the whole window, frame and status bar
    // included, into the work area (its top-left corner first, for a window
    // larger than it).
    const QRect work = WorkArea();
    const QRect outer = frameGeometry();
    const int x = std::max(std::min(outer.left(), work.right() + 1 - outer.width()), work.left());
    const int y = std::max(std::min(outer.top(), work.bottom() + 1 - outer.height()), work.top());
    if (x != outer.left() || y != outer.top()) move(x, y);
}

// ----------------------------------------------------------------- painting

void TForm1::PaintObjects(TDrawTarget& canvas) { Drawing.Paint(canvas, ObjectSettings()); }

void TForm1::RepaintPage()
{
    if (painting_) return;  // painting never asks for another paint
    painting_ = true;
    repaintPending_ = false;
    ++paintCount_;
    PaintObjects(Image1->Surface());
    Image1->PageChanged();
    if (compared_) UpdateComparison();
    painting_ = false;
}

void TForm1::Invalidate()
{
    if (repaintPending_) return;
    repaintPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (repaintPending_) RepaintPage();
    });
}

void TForm1::SetPageImageSize(int index)
{
    // An index outside the table keeps the current page size; while no page
    // size is known, the page image keeps its size.
    QSize size = GetPageSize(index);
    if (size.isEmpty()) size = Drawing.Page().Size;
    if (!size.isEmpty()) {
        // The texts' glyphs are made on other threads while the page is made.
        TDrawingPaint paint(Drawing, ObjectSettings());
        Image1->Surface().PrepareGlyphs(paint, size.width(), size.height());
        Image1->SetPageSize(size.width(), size.height());
    }
    RepaintPage();
}

// ---------------------------------------------------------- pointer tracking

void TForm1::FormMouseMove(int x, int y)
{
    CanvasBrush.Style = bsClear;
    CanvasPen.Style = psSolid;
    CanvasPen.Colour = clRed;
    const QSize page = Drawing.Page().Size;
    const QString zone = page.isEmpty() ? QString() : SheetZone(QPoint(x, y), page);
    if (panels_[zonePanel]->text() != zone) SetPanel(zonePanel, zone);
    pointedNet_.reset();
    if (const TConnectivity* nets = Connectivity()) {
        const int reach = std::min(netPointerReachMax, netPointerReach * TPageImage::ActualSize / Image1->Zoom());
        pointedNet_ = NetNear(*nets, QPoint(x, y), reach);
    }
    pointedText_ = pointedNet_ ? NetText(connectivity_->Nets()[*pointedNet_]) : QString();
    ShowMessagePanel();
    // The components among the objects, in list order; an object's class
    // never changes, so they are looked up again only when the list has.
    const bool same = Objects.size() == scannedObjects_.size() &&
                      std::equal(Objects.begin(), Objects.end(), scannedObjects_.begin(),
                                 [](const auto& object, const QuorvidObject* seen) { return object.get() == seen; });
    if (!same) {
        scannedObjects_.clear();
        components_.clear();
        const QString bitmapClass = QStringLiteral("Bitmap");
        for (std::size_t i = 0; i < Objects.size(); ++i) {
            scannedObjects_.push_back(Objects[i].get());
            if (Objects[i]->IsClass(bitmapClass)) components_.push_back(i);
        }
    }
    for (std::size_t i : components_) {
        QuorvidObject* object = Objects[i].get();
        bool valid = false;
        const TRect r = object->GetRect(valid);
        if (r.Left <= x && x <= r.Right && r.Top <= y && y <= r.Bottom) {
            auto* bitmap = static_cast<Bitmap*>(object);
            CurrentBitmap = bitmap;
            SetPanel(1, QString::fromLatin1(bitmap->GetName()));
            SetPanel(3, QString::fromLatin1(bitmap->GetValue()));
            SetPanel(5, QString::fromLatin1(bitmap->GetPackage()));
            SetPanel(7, QString::number(bitmap->GetRotation() * 90));
            SetPanel(9, bitmap->GetHFlip() ? QStringLiteral("yes") : QStringLiteral("no"));
            SetPanel(11, bitmap->GetVFlip() ? QStringLiteral("yes") : QStringLiteral("no"));
            return;
        }
    }
    CurrentBitmap = nullptr;
    for (int panel : {1, 3, 5, 7, 9, 11})
        if (!panels_[panel]->text().isEmpty()) SetPanel(panel, QString());
}

void TForm1::Image1Click()
{
    if (pointedNet_) {
        ShowNet(*pointedNet_);
        return;
    }
    // A click beside every component (or the end of a drag) is told in the
    // status bar, without a box to dismiss.
    const QString ask = QStringLiteral("Please click over a bitmap");
    if (!CurrentBitmap) {
        ClearNet();
        SetMessage(ask);
        return;
    }
    if (message_ == ask) SetMessage(QString());
    if (frmBmpDebug) frmBmpDebug->Inspect(*CurrentBitmap);
}

// --------------------------------------------------------------------- nets

void TForm1::MakeConnectivity()
{
    connectivityMade_ = true;
    connectivity_.reset();
    if (Objects.empty()) return;
    try {
        connectivity_ = std::make_unique<TConnectivity>(Drawing);
    } catch (const std::bad_alloc&) {
        // Too large to hold its nets as well: the drawing is shown without them.
        connectivity_.reset();
    }
}

const TConnectivity* TForm1::Connectivity()
{
    if (!connectivityMade_) MakeConnectivity();
    return connectivity_.get();
}

void TForm1::ShowNet(std::size_t index)
{
    const TConnectivity* nets = Connectivity();
    if (!nets || index >= nets->Nets().size()) return;
    // One thing marked at a time: the component found last is no longer outlined.
    Image1->SetHighlight(std::nullopt);
    shownNet_ = index;
    MarkShownNet();
    SetMessage(NetText(nets->Nets()[index]), true);
}

void TForm1::MarkShownNet()
{
    if (!shownNet_ || !connectivity_) return;
    const TNetShape shape(connectivity_->Nets()[*shownNet_]);
    Image1->SetNetHighlight(shape.Runs(), shape.Ends(), ColourToRgb(Drawing.Page().Background));
}

void TForm1::ClearNet()
{
    if (!shownNet_) return;
    shownNet_.reset();
    if (Image1) Image1->ClearNetHighlight();
    if (messageAboutNet_) SetMessage(QString());
}

void TForm1::SetMessage(const QString& text, bool aboutNet)
{
    message_ = text;
    messageAboutNet_ = aboutNet;
    ShowMessagePanel();
}

void TForm1::ShowMessagePanel()
{
    if (panels_.size() <= std::size_t(messagePanel)) return;
    const QString& text = pointedText_.isEmpty() ? message_ : pointedText_;
    if (panels_[messagePanel]->text() != text) SetPanel(messagePanel, text);
}

// -------------------------------------------------------------------- find

void TForm1::miFindClick() { FindBar1->Open(); }
void TForm1::miFindNextClick() { FindStep(true); }
void TForm1::miFindPreviousClick() { FindStep(false); }

void TForm1::FindStep(bool forward)
{
    const QString text = FindBar1->Text();
    if (text.isEmpty()) {
        FindBar1->Open();  // nothing to look for yet: ask for it
        return;
    }
    // The components first, then the nets.
    const std::vector<Bitmap*> components = FindComponents(Objects, text);
    const TConnectivity* connectivity = Connectivity();
    const std::vector<std::size_t> nets = connectivity ? FindNets(*connectivity, text) : std::vector<std::size_t>();
    const std::size_t count = components.size() + nets.size();
    if (count == 0) {
        found_ = nullptr;
        foundNet_.reset();
        Image1->SetHighlight(std::nullopt);
        ClearNet();
        FindBar1->SetNotFound(true);
        SetMessage(QStringLiteral("No component or net matches '%1'").arg(text));
        return;
    }
    // On from the match found last, when it matches still; else from the first (last).
    std::optional<std::size_t> last;
    if (const auto at = std::find(components.begin(), components.end(), found_); found_ && at != components.end())
        last = std::size_t(at - components.begin());
    else if (const auto net = std::find(nets.begin(), nets.end(), foundNet_.value_or(std::size_t(-1)));
             foundNet_ && net != nets.end())
        last = components.size() + std::size_t(net - nets.begin());
    const std::size_t index = !last ? (forward ? 0 : count - 1) : (*last + (forward ? 1 : count - 1)) % count;
    FindBar1->SetNotFound(false);
    const QString place = QStringLiteral("%1 of %2: ").arg(index + 1).arg(count);
    if (index >= components.size()) {
        found_ = nullptr;
        foundNet_ = nets[index - components.size()];
        ShowNet(*foundNet_);
        const TNet& net = connectivity->Nets()[*foundNet_];
        const QRect bounds = TNetShape(net).Bounds();
        if (!bounds.isEmpty()) ScrollBox1->ShowInMiddle(bounds);
        SetMessage(place + NetText(net), true);
        return;
    }
    found_ = components[index];
    foundNet_.reset();
    ClearNet();
    bool valid = false;
    const TRect r = found_->GetRect(valid);
    const QRect page(QPoint(r.Left, r.Top), QPoint(r.Right, r.Bottom));
    Image1->SetHighlight(page);
    ScrollBox1->ShowInMiddle(page);
    SetMessage(place + QString::fromLatin1(found_->GetName()));
}

void TForm1::EndFind()
{
    found_ = nullptr;
    // A net found goes with the find bar; one clicked stays marked.
    if (foundNet_ && foundNet_ == shownNet_) ClearNet();
    foundNet_.reset();
    Image1->SetHighlight(std::nullopt);
    SetMessage(QString());
    ScrollBox1->setFocus();
}

// -------------------------------------------------------------- comparison

void TForm1::miFileCompareClick()
{
    Guarded([&] {
        if (const auto chosen = Dialogs().OpenFile(QStringLiteral("Quorvid File (*.q01)"), OpenDialogDir))
            CompareWith(*chosen);
    });
}

void TForm1::CompareWith(const QString& path)
{
    auto drawing = std::make_unique<TDrawing>();
    // Read as loading it would: a drawing without a header keeps the page it is shown on.
    drawing->Page().SetSize(Drawing.Page().Size);
    if (const auto message = ReadComparedDrawing(path, *drawing)) {
        Dialogs().ShowMessage(*message);
        return;
    }
    compared_ = std::move(drawing);
    comparedPath_ = path;
    UpdateComparison();
    ScrollBox1->setFocus();
}

void TForm1::UpdateComparison()
{
    const TComparison comparison(Drawing, *compared_, ObjectSettings());
    Image1->SetOverlay(comparison.Picture());
    ComparePanel1->ShowReport(QFileInfo(DrawingFileName).fileName(), QFileInfo(comparedPath_).fileName(),
                              comparison.Report(), comparison.Places());
}

void TForm1::EndComparison()
{
    if (!compared_) return;
    compared_.reset();
    comparedPath_.clear();
    found_ = nullptr;
    if (Image1) Image1->SetHighlight(std::nullopt);
    if (Image1) Image1->SetOverlay(QImage());
    if (ComparePanel1) ComparePanel1->hide();
    if (ScrollBox1) ScrollBox1->setFocus();
}

void TForm1::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && shownNet_) {
        ClearNet();
        return;
    }
    if (event->key() == Qt::Key_Escape && compared_) {
        EndComparison();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

// -------------------------------------------------------------- menu actions

void TForm1::miFileOpenClick()
{
    Guarded([&] { ChooseDrawing(); });
    RepaintPage();
}

QPrinter& TForm1::Printer()
{
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void TForm1::PaintPrintImage()
{
    // The print window's page image takes the current page size.
    const QSize page = Drawing.Page().Size.isEmpty() ? Image1->Surface().Image().size() : Drawing.Page().Size;
    frmQuorvPrint->SetPageSize(page.width(), page.height());
    PaintObjects(frmQuorvPrint->Canvas());
}

void TForm1::miFilePrintClick()
{
    if (!frmQuorvPrint || !Dialogs().Print(Printer())) return;
    PaintPrintImage();
    if (!frmQuorvPrint->PrintDrawing(DrawingFileName, Printer()))
        Dialogs().ShowError(PrintNotStartedText(DrawingFileName, Printer()));
}

void TForm1::miFileExportClick()
{
    Guarded([&] {
        const QString suggested = Outputs.OutputPath(
            DrawingFileName.isEmpty() ? QStringLiteral("drawing.q01") : drawingFullPath_, QStringLiteral(".png"));
        const std::optional<QString> chosen =
            Dialogs().SaveFileAs(QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg);;PDF document (*.pdf);;"
                                                "KiCad schematic (*.kicad_sch);;lepton-eda schematic (*.sch)"),
                                 suggested);
        if (!chosen) return;
        const QString type = QFileInfo(*chosen).suffix().toLower();
        static const QStringList types = {"png", "svg", "pdf", "kicad_sch", "sch"};
        if (!types.contains(type)) {
            Dialogs().ShowMessage(
                QStringLiteral("'%1' is not the name of a .png, .svg, .pdf, .kicad_sch or .sch file; nothing was "
                               "exported.")
                    .arg(*chosen));
            return;
        }
        if (QFileInfo::exists(*chosen) &&
            !Dialogs().AskYesNo(QStringLiteral("Overwrite existing file '%1' ?").arg(*chosen)))
            return;
        const TSurface& page = Image1->Surface();
        if (type == QLatin1String("png")) {
            TDrawingOutputs::WritePng(*chosen, page.Image());
            return;
        }
        if (type == QLatin1String("kicad_sch") || type == QLatin1String("sch")) {
            const TConnectivity connectivity(Drawing);
            const QSize size = Drawing.Page().Size.isEmpty() ? page.Image().size() : Drawing.Page().Size;
            const TSchematicSheet sheet(Drawing, connectivity, ObjectSettings(), size);
            if (type == QLatin1String("sch"))
                TDrawingOutputs::WriteLepton(*chosen, sheet);
            else
                TDrawingOutputs::WriteKicad(
                    *chosen, DrawingFileName.isEmpty() ? QStringLiteral("drawing.q01") : DrawingFileName, sheet);
            return;
        }
        const TVectorTarget vector = TDrawingOutputs::VectorPage(Drawing, ObjectSettings(), page.Image().size());
        if (type == QLatin1String("svg"))
            TDrawingOutputs::WriteSvg(*chosen, vector);
        else
            TDrawingOutputs::WritePdf(*chosen, DrawingFileName, vector);
    });
}

void TForm1::miFilePrintSetupClick() { Dialogs().PrinterSetup(Printer()); }

void TForm1::miFileExitClick() { close(); }

void TForm1::miFontClick()
{
    if (auto font = Dialogs().ChooseFont(CanvasFont)) CanvasFont = *font;
    Invalidate();
}

void TForm1::miRepaintClick() { Invalidate(); }

void TForm1::miBackgroundClick()
{
    if (auto colour = Dialogs().ChooseColour(Drawing.Page().Background)) {
        Drawing.Page().Background = *colour;
        RepaintPage();
        MarkShownNet();  // its marks go over the new background
    }
}

void TForm1::miViewPageClick(QAction* entry)
{
    QString caption = entry->text();
    const int amp = caption.indexOf(QLatin1Char('&'));
    if (amp >= 0) caption.remove(amp, 1);
    const QSize size = SelectPageSize(Drawing.Page(), caption);
    if (!size.isEmpty())
        Image1->SetPageSize(size.width(), size.height());  // no page size yet: the image keeps its size
    RepaintPage();
}

void TForm1::miPreviewClick() { ShowPreview(this, Image1->Surface()); }
namespace {
// Objects menu: show the existing window instance, without waiting for it.
void ShowWindow(QWidget* window)
{
    if (!window) return;
    window->show();
    window->raise();
}
}  // namespace

void TForm1::miBitmapClick() { ShowWindow(frmBitmap); }
void TForm1::miDocBoxClick() { ShowWindow(frmDocBox); }
void TForm1::miAnnotateClick() { ShowWindow(frmAnnotate); }
void TForm1::miLineDataClick() { ShowWindow(frmLineData); }
void TForm1::miJunctionClick() { ShowWindow(frmJunction); }

void TForm1::que1Click()
{
    const QRect outer = frameGeometry();
    Dialogs().ShowMessage(QStringLiteral("%1, %2").arg(outer.width()).arg(outer.height()));
}

void TForm1::Help2Click()
{
    if (frmHelp) frmHelp->ShowHelpWindow();
}

void TForm1::About1Click() { Dialogs().ShowMessage(TfrmHelp::AboutText()); }

void TForm1::RecentFileClick()
{
    if (!RecentFiles) return;
    const QString path = RecentFiles->ClickedFileName();
    Guarded([&] { LoadDrawing(path); });
}

// ------------------------------------------------------------ drag and drop

QStringList TForm1::DroppedDrawings(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).suffix().compare(QLatin1String("q01"), Qt::CaseInsensitive) == 0) paths << path;
    }
    return paths;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedDrawings(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QStringList paths = DroppedDrawings(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    // Loaded once the drop has ended, so that no message box of the load runs
    // while the dragging program waits. Each drawing as File ▸ Open loads a
    // chosen one; the last is shown, the others enter the recent-files list.
    QMetaObject::invokeMethod(
        this,
        [this, paths] {
            if (closed_) return;
            for (const QString& path : paths) Guarded([&] { LoadDrawing(path); });
            RepaintPage();
        },
        Qt::QueuedConnection);
}
