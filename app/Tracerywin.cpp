#include "app/Tracerywin.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPrinter>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Comparecommand.h"
#include "app/Comparepanel.h"
#include "ui/Dialogs.h"
#include "app/Findbar.h"
#include "app/Help.h"
#include "app/Preview.h"
#include "app/Quorvprint.h"
#include "app/Recentfiles.h"
#include "drawing/Bitmap.h"
#include "drawing/Debugbmp.h"
#include "drawing/Header.h"
#include "drawing/Objectsettings.h"
#include "settings/Annotatewin.h"
#include "settings/Bitmapwin.h"
#include "settings/Docboxwin.h"
#include "settings/Junctionwin.h"
#include "settings/Linedatawin.h"
#include "settings/Inifile.h"
#include "settings/Quorvfont.h"
#include "settings/Settingsmodel.h"
#include "settings/Valwin.h"

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
    {"Name", 55},  {"", 100},   {"Value", 55}, {"", 100},   {"Package", 80}, {"", 100},
    {"Angle", 55}, {"", 50},    {"H Flip", 55}, {"", 50},   {"V Flip", 55},  {"", 50},
};

// The largest file read as a drawing; the densest sheets hold a few megabytes.
constexpr qint64 kMaxDrawingBytes = qint64(64) << 20;

QString TooLargeText(const QString& path, qint64 size)
{
    return QStringLiteral("'%1' is not a drawing file: it is %2 bytes, more than the limit of %3 bytes (64 MiB)")
        .arg(path)
        .arg(size)
        .arg(kMaxDrawingBytes);
}

// Why the file at path is not read as a drawing (a directory, a pipe, a
// device, a file too large to be one); empty when it is read.
QString NotADrawingFile(const QString& path, const QFileInfo& info)
{
    if (!info.isFile()) return QStringLiteral("'%1' is not a drawing file").arg(path);
    if (info.size() > kMaxDrawingBytes) return TooLargeText(path, info.size());
    return QString();
}

// Reads the whole file into image. The file is opened without waiting (a
// pipe put in its place since it was looked at must not block) and read only
// if it is still a regular file within the limit; otherwise the refusal comes
// back. A file that cannot be opened throws EFileError "Cannot open file %s".
QString ReadDrawingFile(const QString& path, QByteArray& image)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw EFileError(QStringLiteral("Cannot open file ") + QDir::toNativeSeparators(path));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw EFileError(QStringLiteral("Cannot open file ") + QDir::toNativeSeparators(path));
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return QStringLiteral("'%1' is not a drawing file").arg(path);
    if (status.st_size > kMaxDrawingBytes) return TooLargeText(path, status.st_size);
    image = file.read(status.st_size);
    return QString();
}

}  // namespace

QString ApplicationTitle() { return applicationTitle; }



// -------------------------------------------------------------------- TForm1

TForm1::TForm1(const QStringList& args, QWidget* parent)
    : QMainWindow(parent), CanvasPen(MainCanvasPen()), args_(args)
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

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setAlignment(Qt::AlignCenter);  // a page smaller than the view sits in its middle
    auto* content = new QWidget;
    Image1 = new TPageImage(content);
    Image1->move(-1, 0);  // the page image's left column sits one pixel outside the scroll area
    content->setFixedSize(Image1->width() - 1, Image1->height());
    ScrollBox1->setWidget(content);
    ScrollBox1->viewport()->installEventFilter(this);
    setAcceptDrops(true);
    setCentralWidget(ScrollBox1);
    ScrollBox1->setFocus();  // arrow keys and Page Up / Page Down scroll the page
    connect(Image1, &TPageImage::PointerMoved, this, &TForm1::FormMouseMove);
    connect(Image1, &TPageImage::Clicked, this, &TForm1::Image1Click);
    // A settings window changed how the drawing looks: the page is redrawn at once.
    connect(&SettingsModel(), &TSettingsModel::Changed, this, &TForm1::RepaintPage);

    CreateMenu();
    AssignShortcuts();
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
        ShowInMiddle(place);
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
    auto action = [this](QMenu* menu, const char* name, const QString& caption, auto handler) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    auto separator = [](QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(QLatin1String(name)); };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    action(file, "miFileOpen", QStringLiteral("&Open"), &TForm1::miFileOpenClick);
    action(file, "miFileCompare", QStringLiteral("Compare &With…"), &TForm1::miFileCompareClick);
    action(file, "miFileExport", QStringLiteral("&Export…"), &TForm1::miFileExportClick);
    QMenu* recent = file->addMenu(QStringLiteral("Recent Files"));
    recent->menuAction()->setObjectName(QStringLiteral("miFileList"));
    separator(file, "N2");
    action(file, "miFilePrint", QStringLiteral("&Print"), &TForm1::miFilePrintClick);
    action(file, "miFilePrintSetup", QStringLiteral("Print &Setup"), &TForm1::miFilePrintSetupClick);
    separator(file, "N1");
    action(file, "miFileExit", QStringLiteral("E&xit"), &TForm1::miFileExitClick);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    action(edit, "miFind", QStringLiteral("&Find…"), &TForm1::miFindClick);
    action(edit, "miFindNext", QStringLiteral("Find &Next"), &TForm1::miFindNextClick);
    action(edit, "miFindPrevious", QStringLiteral("Find &Previous"), &TForm1::miFindPreviousClick);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    action(view, "miFont", QStringLiteral("&Font"), &TForm1::miFontClick);
    action(view, "miRepaint", QStringLiteral("&Repaint"), &TForm1::miRepaintClick);
    action(view, "miBackground", QStringLiteral("&Background"), &TForm1::miBackgroundClick);
    QMenu* page = view->addMenu(QStringLiteral("&Page"));
    page->menuAction()->setObjectName(QStringLiteral("miViewPage"));
    for (const char* name : {"A0", "A1", "A2", "A3", "A4", "-", "A", "B", "C", "D", "E"}) {
        if (name[0] == '-') {
            page->addSeparator();
            continue;
        }
        QAction* a = page->addAction(QLatin1String(name));
        a->setObjectName(QStringLiteral("miPage") + QLatin1String(name));
        connect(a, &QAction::triggered, this, [this, a] { miViewPageClick(a); });
    }
    action(view, "miPreview", QStringLiteral("Preview"), &TForm1::miPreviewClick);
    CreateZoomActions(view);

    QMenu* objects = menuBar()->addMenu(QStringLiteral("&Objects"));
    action(objects, "miBitmap", QStringLiteral("&Bitmap"), &TForm1::miBitmapClick);
    action(objects, "miDocBox", QStringLiteral("DocBox"), &TForm1::miDocBoxClick);
    action(objects, "miAnnotate", QStringLiteral("Annotate"), &TForm1::miAnnotateClick);
    action(objects, "miLineData", QStringLiteral("Line Data"), &TForm1::miLineDataClick);
    action(objects, "miJunction", QStringLiteral("Junction"), &TForm1::miJunctionClick);
    action(objects, "que1", QStringLiteral("que"), &TForm1::que1Click);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    action(help, "Help2", QStringLiteral("&Help"), &TForm1::Help2Click);
    QAction* about = help->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("About1"));

    RecentFiles = new TRecentFiles(recent);
    RecentFiles->OnClick = [this](TRecentFiles*) { RecentFileClick(); };
}

void TForm1::CreateStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(24);
    StatusBar1->setSizeGripEnabled(false);
    // The panels write in the window's font and its colour.
    ShowFontOn(StatusBar1, WindowFont());
    for (const PanelLayout& panel : kPanels) {
        auto* label = new QLabel(QLatin1String(panel.text));
        label->setFixedWidth(panel.width);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(label);
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
    frmHelp = new TfrmHelp(this);
    ClearObjects();
    ExportMode = false;
    ProcessCommandLine();
    if (!BatchMode) Guarded([&] { ValWin1->open(); });
}

void TForm1::ProcessCommandLine()
{
    bool namedDrawing = false;
    for (int i = 1; i < args_.size(); ++i) {
        const QString& arg = args_[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            namedDrawing = true;
            Guarded([&] { LoadDrawing(arg); });
            continue;
        }
        const QString name = arg.mid(2);
        if (name.compare(QLatin1String("Export"), Qt::CaseInsensitive) == 0) {
            ExportMode = true;
        } else if (name.compare(QLatin1String("Png"), Qt::CaseInsensitive) == 0) {
            Outputs.Png = true;
        } else if (name.compare(QLatin1String("Svg"), Qt::CaseInsensitive) == 0) {
            Outputs.Svg = true;
        } else if (name.compare(QLatin1String("Pdf"), Qt::CaseInsensitive) == 0) {
            Outputs.Pdf = true;
        } else if (name.compare(QLatin1String("Bom"), Qt::CaseInsensitive) == 0) {
            Outputs.Bom = true;
        } else if (const QString key = name.section(QLatin1Char('='), 0, 0);
                   key.compare(QLatin1String("Out"), Qt::CaseInsensitive) == 0) {
            OutOption(key, name.section(QLatin1Char('='), 1));
        } else if (name.compare(QLatin1String("Batch"), Qt::CaseInsensitive) == 0) {
            // Taken before start-up (no window, no waiting dialogs).
        } else if (name.compare(QLatin1String("Help"), Qt::CaseInsensitive) == 0 && BatchMode) {
            // No window to show: the help page goes to standard output, and
            // the run ends here.
            std::fputs(TfrmHelp::TerminalText(args_).toLocal8Bit().constData(), stdout);
            std::fflush(stdout);
            TerminateRequested = true;
            return;
        } else if (name.compare(QLatin1String("Help"), Qt::CaseInsensitive) == 0) {
            Dialogs().ExecModal(*frmHelp);
            TerminateRequested = true;
            namedDrawing = true;
        } else {
            Dialogs().ShowMessage(QStringLiteral("Parameter '") + name + QStringLiteral("' not recognised"));
        }
    }
    if (!namedDrawing && !BatchMode) Guarded([&] { ChooseDrawing(); });
}

void TForm1::OutOption(const QString& option, const QString& dir)
{
    if (dir.isEmpty()) {
        // Writing beside the drawings instead is not what was asked for.
        Dialogs().ShowMessage(QStringLiteral("Parameter '%1' needs a folder, as in --out=DIR").arg(option));
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
    const QFileInfo info(path);
    if (!info.exists()) {
        Dialogs().ShowMessage(QStringLiteral("File '%1' not found").arg(path));
        AllDrawingsComplete = false;
        return;
    }
    if (const QString refusal = NotADrawingFile(path, info); !refusal.isEmpty()) {
        Dialogs().ShowMessage(refusal);
        AllDrawingsComplete = false;
        return;
    }
    CloseDrawing();
    DrawingFileName = path;
    drawingFullPath_ = info.absoluteFilePath();

    QByteArray image;
    try {
        if (const QString refusal = ReadDrawingFile(path, image); !refusal.isEmpty()) {
            Dialogs().ShowMessage(refusal);
            AllDrawingsComplete = false;
            return;
        }
    } catch (const std::bad_alloc&) {
        Dialogs().ShowMessage(QStringLiteral("There is not enough memory to read '%1'.").arg(path));
        AllDrawingsComplete = false;
        return;
    } catch (const EFileError&) {
        AllDrawingsComplete = false;
        throw;
    }
    setWindowTitle(info.fileName());

    const std::optional<QString> splitDir = PrepareSplit(path);
    TLoadResult result;
    try {
        result = Drawing.Load(image, splitDir);
    } catch (const EFileError&) {
        AllDrawingsComplete = false;  // a split file could not be opened
        throw;
    }
    image = QByteArray();
    for (const TLoadEvent& event : result.Events) Dialogs().ShowMessage(LoadEventText(event));
    if (result.Simplified > 0) Dialogs().ShowMessage(SimplifiedComponentsMessage(result.Simplified));
    if (result.OutOfMemory)
        Dialogs().ShowMessage(QStringLiteral("There is not enough memory for all of '%1'; the drawing is shown up to "
                                             "where memory ran out.")
                                  .arg(QDir::toNativeSeparators(path)));
    if (result.SplitError) {
        AllDrawingsComplete = false;
        RepaintPage();
        throw EFileError(*result.SplitError);
    }
    if (result.Complete) {
        if (result.PageIndex)
            SetPageImageSize(*result.PageIndex);
        else
            RepaintPage();  // no header: the page keeps its current size
        FitToWorkArea();
        applicationTitle = windowTitle();
    } else {
        AllDrawingsComplete = false;
        RepaintPage();
    }
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

void TForm1::FitToWorkArea()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const int chromeHeight = menuBar()->sizeHint().height();
    // The page at actual size, whatever the zoom: a drawing opened while
    // zoomed out does not shrink the window to the zoomed page.
    int width = std::min(Image1->Surface().Width(), work.width());
    int height = std::min(Image1->Surface().Height(), work.height());
    resize(width, height + chromeHeight);
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
    if (CurrentBitmap && frmBmpDebug)
        frmBmpDebug->Inspect(*CurrentBitmap);
    else if (!CurrentBitmap)
        Dialogs().ShowMessage(QStringLiteral("Please click over a bitmap"));
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
    const std::vector<Bitmap*> matches = FindComponents(Objects, text);
    if (matches.empty()) {
        found_ = nullptr;
        Image1->SetHighlight(std::nullopt);
        FindBar1->SetNotFound(true);
        SetPanel(findPanel, QStringLiteral("No component matches '%1'").arg(text));
        return;
    }
    // On from the component found last, when it matches still; else from the first (last).
    const std::size_t n = matches.size();
    const auto at = std::find(matches.begin(), matches.end(), found_);
    std::size_t index = forward ? 0 : n - 1;
    if (at != matches.end()) index = (std::size_t(at - matches.begin()) + (forward ? 1 : n - 1)) % n;
    found_ = matches[index];
    FindBar1->SetNotFound(false);
    bool valid = false;
    const TRect r = found_->GetRect(valid);
    const QRect page(QPoint(r.Left, r.Top), QPoint(r.Right, r.Bottom));
    Image1->SetHighlight(page);
    ShowInMiddle(page);
    SetPanel(findPanel, QStringLiteral("%1 of %2: %3").arg(index + 1).arg(n).arg(QString::fromLatin1(found_->GetName())));
}

void TForm1::EndFind()
{
    found_ = nullptr;
    Image1->SetHighlight(std::nullopt);
    SetPanel(findPanel, QString());
    ScrollBox1->setFocus();
}

void TForm1::ShowInMiddle(const QRect& pageRect)
{
    if (layout()) layout()->activate();  // the view as large as it is about to be (a find bar just shown)
    const QPoint centre = Image1->mapTo(ScrollBox1->widget(), Image1->ShownRect(pageRect).center());
    QWidget* viewport = ScrollBox1->viewport();
    ScrollBox1->horizontalScrollBar()->setValue(centre.x() - viewport->width() / 2);
    ScrollBox1->verticalScrollBar()->setValue(centre.y() - viewport->height() / 2);
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
    if (const auto message = ReadDrawingFile(path, *drawing)) {
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
        const std::optional<QString> chosen = Dialogs().SaveFileAs(
            QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"), suggested);
        if (!chosen) return;
        const QString type = QFileInfo(*chosen).suffix().toLower();
        if (type != QLatin1String("png") && type != QLatin1String("svg") && type != QLatin1String("pdf")) {
            Dialogs().ShowMessage(
                QStringLiteral("'%1' is not the name of a .png, .svg or .pdf file; nothing was exported.").arg(*chosen));
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
    }
}

void TForm1::miViewPageClick(QAction* entry)
{
    QString caption = entry->text();
    const int amp = caption.indexOf(QLatin1Char('&'));
    if (amp >= 0) caption.remove(amp, 1);
    const QSize size = SelectPageSize(Drawing.Page(), caption);
    if (!size.isEmpty()) Image1->SetPageSize(size.width(), size.height());  // no page size yet: the image keeps its size
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

void TForm1::RecentFileClick()
{
    if (!RecentFiles) return;
    const QString path = RecentFiles->ClickedFileName();
    Guarded([&] { LoadDrawing(path); });
}

// ------------------------------------------------------------ zoom and keys

void TForm1::CreateZoomActions(QMenu* view)
{
    view->addSeparator()->setObjectName(QStringLiteral("N4"));
    const struct {
        const char* name;
        const char* caption;
        void (TForm1::*handler)();
    } entries[] = {
        {"miZoomIn", "Zoom &In", &TForm1::miZoomInClick},
        {"miZoomOut", "Zoom &Out", &TForm1::miZoomOutClick},
        {"miActualSize", "&Actual Size", &TForm1::miActualSizeClick},
        {"miFitPage", "Fit Pa&ge", &TForm1::miFitPageClick},
        {"miFitWidth", "Fit &Width", &TForm1::miFitWidthClick},
        {"N5", nullptr, nullptr},
        {"miPageStart", "Page &Start", &TForm1::miPageStartClick},
        {"miPageEnd", "Page &End", &TForm1::miPageEndClick},
    };
    for (const auto& entry : entries) {
        if (!entry.caption) {
            view->addSeparator()->setObjectName(QLatin1String(entry.name));
            continue;
        }
        QAction* a = view->addAction(QString::fromLatin1(entry.caption));
        a->setObjectName(QLatin1String(entry.name));
        connect(a, &QAction::triggered, this, entry.handler);
    }
}

void TForm1::AssignShortcuts()
{
    // The platform's keys for the standard actions; where a platform has none,
    // the common one. The menus show the first key of each entry.
    const struct {
        const char* action;
        std::optional<QKeySequence::StandardKey> standard;
        QList<QKeySequence> common;
    } keys[] = {
        {"miFileOpen", QKeySequence::Open, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {"miFileExport", std::nullopt, {QKeySequence(Qt::CTRL | Qt::Key_E)}},
        {"miFilePrint", QKeySequence::Print, {QKeySequence(Qt::CTRL | Qt::Key_P)}},
        {"miFileExit", QKeySequence::Quit, {QKeySequence(Qt::CTRL | Qt::Key_Q)}},
        {"miRepaint", QKeySequence::Refresh, {QKeySequence(Qt::Key_F5)}},
        {"miPreview", std::nullopt, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)}},
        {"miZoomIn", QKeySequence::ZoomIn, {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)}},
        {"miZoomOut", QKeySequence::ZoomOut, {QKeySequence(Qt::CTRL | Qt::Key_Minus)}},
        {"miActualSize", std::nullopt, {QKeySequence(Qt::CTRL | Qt::Key_0)}},
        {"miFind", QKeySequence::Find, {QKeySequence(Qt::CTRL | Qt::Key_F)}},
        {"miFindNext", std::nullopt, {QKeySequence(Qt::Key_F3)}},
        {"miFindPrevious", std::nullopt, {QKeySequence(Qt::SHIFT | Qt::Key_F3)}},
        {"miFitPage", std::nullopt, {QKeySequence(Qt::Key_Home)}},
        {"miFitWidth", std::nullopt, {QKeySequence(Qt::SHIFT | Qt::Key_Home)}},
        {"miPageStart", std::nullopt, {QKeySequence(Qt::CTRL | Qt::Key_Home)}},
        {"miPageEnd", std::nullopt, {QKeySequence(Qt::CTRL | Qt::Key_End)}},
    };
    for (const auto& entry : keys) {
        QAction* a = MenuAction(QLatin1String(entry.action));
        if (!a) continue;
        QList<QKeySequence> sequences;
        if (entry.standard) sequences = QKeySequence::keyBindings(*entry.standard);
        for (const QKeySequence& k : entry.common)
            if (!sequences.contains(k)) sequences << k;
        a->setShortcuts(sequences);
    }
}

void TForm1::miZoomInClick() { ZoomTo(TPageImage::ZoomStep(Image1->Zoom(), true)); }
void TForm1::miZoomOutClick() { ZoomTo(TPageImage::ZoomStep(Image1->Zoom(), false)); }
void TForm1::miActualSizeClick() { ZoomTo(TPageImage::ActualSize); }
void TForm1::miFitPageClick() { ZoomTo(FitZoom(false)); }
void TForm1::miFitWidthClick() { ZoomTo(FitZoom(true)); }

int TForm1::FitZoom(bool widthOnly) const
{
    const QSize page = Image1->ShownPageSize();
    int scrollBar = ScrollBox1->verticalScrollBar()->sizeHint().width();
    if (ScrollBox1->style()->styleHint(QStyle::SH_ScrollView_FrameOnlyAroundContents, nullptr, ScrollBox1))
        scrollBar += ScrollBox1->style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing, nullptr, ScrollBox1);
    return TPageImage::FitZoom(page, ScrollBox1->maximumViewportSize(), scrollBar, widthOnly);
}

void TForm1::miPageStartClick()
{
    ScrollBox1->horizontalScrollBar()->setValue(ScrollBox1->horizontalScrollBar()->minimum());
    ScrollBox1->verticalScrollBar()->setValue(ScrollBox1->verticalScrollBar()->minimum());
}

void TForm1::miPageEndClick()
{
    ScrollBox1->horizontalScrollBar()->setValue(ScrollBox1->horizontalScrollBar()->maximum());
    ScrollBox1->verticalScrollBar()->setValue(ScrollBox1->verticalScrollBar()->maximum());
}

void TForm1::ZoomTo(int percent, std::optional<QPoint> anchor)
{
    QScrollBar* h = ScrollBox1->horizontalScrollBar();
    QScrollBar* v = ScrollBox1->verticalScrollBar();
    const QPoint at = anchor.value_or(ScrollBox1->viewport()->rect().center());
    const QPoint onImage = Image1->mapFrom(ScrollBox1->viewport(), at);
    const QPoint page = Image1->PagePoint(onImage);
    const int before = Image1->Zoom();
    Image1->SetZoom(percent);
    const int after = Image1->Zoom();
    // Where the anchor goes on the zoomed image: the same spot scaled, held
    // inside the shown pixels of the same page pixel.
    const QRect pixel = Image1->ShownRect(QRect(page, page));
    const auto keep = [&](int shown, int first, int last) {
        return std::clamp(int(std::lround(qreal(shown) * after / before)), first, last);
    };
    h->setValue(keep(onImage.x(), pixel.left(), pixel.right()) + Image1->x() - at.x());
    v->setValue(keep(onImage.y(), pixel.top(), pixel.bottom()) + Image1->y() - at.y());
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (ScrollBox1 && watched == ScrollBox1->viewport() && Pan(event)) return true;
    if (event->type() == QEvent::Wheel && ScrollBox1 && watched == ScrollBox1->viewport()) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            // One zoom step per notch (120); finer wheels add up to notches.
            wheelRemainder_ += wheel->angleDelta().y();
            int zoom = Image1->Zoom();
            for (; wheelRemainder_ >= 120; wheelRemainder_ -= 120) zoom = TPageImage::ZoomStep(zoom, true);
            for (; wheelRemainder_ <= -120; wheelRemainder_ += 120) zoom = TPageImage::ZoomStep(zoom, false);
            if (zoom != Image1->Zoom()) ZoomTo(zoom, wheel->position().toPoint());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::Pan(QEvent* event)
{
    // Dragging with the middle button anywhere over the view moves the page
    // with the pointer (the page image passes these events on to the view).
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    QWidget* viewport = ScrollBox1->viewport();
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::MiddleButton) {
        panFrom_ = mouse->globalPosition().toPoint();
        viewport->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    if (!panFrom_) return false;
    if (type == QEvent::MouseMove) {
        const QPoint at = mouse->globalPosition().toPoint();
        const QPoint moved = at - *panFrom_;
        panFrom_ = at;
        ScrollBox1->horizontalScrollBar()->setValue(ScrollBox1->horizontalScrollBar()->value() - moved.x());
        ScrollBox1->verticalScrollBar()->setValue(ScrollBox1->verticalScrollBar()->value() - moved.y());
        return true;
    }
    if (mouse->button() != Qt::MiddleButton) return false;
    panFrom_.reset();
    viewport->unsetCursor();
    return true;
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
