#include "drawing/Debugbmp.h"

#include <algorithm>
#include <optional>

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>

#include "app/Surface.h"
#include "drawing/Bitmap.h"
#include "settings/Inifile.h"
#include "settings/Quorvfont.h"
#include "ui/Dialogs.h"

TfrmBmpDebug* frmBmpDebug = nullptr;

namespace {

// Designed client size; GroupBox1 takes whatever the window grows by.
constexpr int DesignWidth = 368;
constexpr int DesignHeight = 456;
constexpr QRect GroupBox1Design(8, 216, 352, 150);
constexpr QRect Image1Design(6, 22, 340, 122);
constexpr int CommentTop = 374;
constexpr int ButtonTop = 414;

const QByteArray LineEnd = QByteArrayLiteral("\r\n");

QString Native(const QString& path) { return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()); }

[[noreturn]] void CannotCreate(const QString& path)
{
    throw EFileError(QStringLiteral("Cannot create file %1").arg(Native(path)));
}

[[noreturn]] void CannotWrite(const QString& path)
{
    throw EFileError(QStringLiteral("Unable to write to %1").arg(Native(path)));
}

// A labelled edit: a read-only looking line edit with its caption on the left.
QLineEdit* LabelledEdit(const QString& name, const QString& caption, QWidget* parent, int left, int top, int labelWidth,
                        int editWidth)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(left + labelWidth, top, editWidth, 26);
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name + QStringLiteral("Label"));
    label->setGeometry(left, top, labelWidth - 4, 26);
    label->setBuddy(edit);
    return edit;
}

QPushButton* Button(const QString& name, const QString& caption, QWidget* parent, const QRect& geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QStringList ColumnNames()
{
    return {QStringLiteral("Name"),    QStringLiteral("Value"),   QStringLiteral("Package"), QStringLiteral("Strange"),
            QStringLiteral("H Flip"),  QStringLiteral("V Flip"),  QStringLiteral("Angle"),   QStringLiteral("Rows"),
            QStringLiteral("Columns"), QStringLiteral("Comments")};
}

QByteArray Quoted(const QByteArray& text) { return '\'' + text + '\''; }

void WriteAll(QFile& file, const QByteArray& data)
{
    if (file.write(data) != data.size() || !file.flush()) CannotWrite(file.fileName());
}

// The first line of a file without its line end; empty when it cannot be read.
QByteArray FirstLine(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return QByteArray();
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    return line;
}

// True when a non-empty file does not end with a line feed.
bool LacksFinalLineEnd(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0) return false;
    file.seek(file.size() - 1);
    return file.read(1) != "\n";
}

void WriteNewFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) CannotCreate(path);
    WriteAll(file, data);
}

}  // namespace

TfrmBmpDebug::TfrmBmpDebug(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBmpDebug"));
    setWindowTitle(QStringLiteral("frmBmpDebug"));
    resize(DesignWidth, DesignHeight);
    TFont windowFont;
    windowFont.Bold = true;
    windowFont.Colour = clBlue;
    windowFont.SetHeight(-16);
    ShowFontOn(this, windowFont);

    gbData = new QGroupBox(QStringLiteral("Data"), this);
    gbData->setObjectName(QStringLiteral("gbData"));
    gbData->setGeometry(8, 4, 352, 208);
    leDesig = LabelledEdit(QStringLiteral("leDesig"), QStringLiteral("Desig"), gbData, 8, 24, 86, 98);
    leValue = LabelledEdit(QStringLiteral("leValue"), QStringLiteral("Value"), gbData, 8, 54, 86, 98);
    lePackage = LabelledEdit(QStringLiteral("lePackage"), QStringLiteral("Package"), gbData, 8, 84, 86, 98);
    leStrange = LabelledEdit(QStringLiteral("leStrange"), QStringLiteral("Strange"), gbData, 8, 114, 86, 98);
    cbVflip = new QCheckBox(QStringLiteral("V Flip"), gbData);
    cbVflip->setObjectName(QStringLiteral("cbVflip"));
    cbVflip->setGeometry(10, 148, 100, 24);
    cbHflip = new QCheckBox(QStringLiteral("H Flip"), gbData);
    cbHflip->setObjectName(QStringLiteral("cbHflip"));
    cbHflip->setGeometry(10, 176, 100, 24);

    rgAngle = new QGroupBox(QStringLiteral("Angle"), gbData);
    rgAngle->setObjectName(QStringLiteral("rgAngle"));
    rgAngle->setGeometry(198, 18, 148, 150);
    rgAngleItems = new QButtonGroup(rgAngle);
    const QStringList angles{QStringLiteral("None"), QStringLiteral("90 anticlock"), QStringLiteral("180"),
                             QStringLiteral("90 clock")};
    for (int i = 0; i < angles.size(); ++i) {
        auto* item = new QRadioButton(angles[i], rgAngle);
        item->setObjectName(QStringLiteral("rgAngle%1").arg(i));
        item->setGeometry(8, 24 + 30 * i, 136, 26);
        rgAngleItems->addButton(item, i);
    }

    GroupBox1 = new QGroupBox(QStringLiteral("GroupBox1"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(GroupBox1Design);
    Image1 = new QLabel(GroupBox1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(Image1Design);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    leComment = LabelledEdit(QStringLiteral("leComment"), QStringLiteral("Comment"), this, 8, CommentTop, 92, 260);
    commentLabel = findChild<QLabel*>(QStringLiteral("leCommentLabel"));

    btnExport = Button(QStringLiteral("btnExport"), QStringLiteral("Export"), this, QRect(8, ButtonTop, 110, 32));
    btnOk = Button(QStringLiteral("btnOk"), QStringLiteral("OK"), this, QRect(129, ButtonTop, 110, 32));
    btnClose = Button(QStringLiteral("btnClose"), QStringLiteral("Next"), this, QRect(250, ButtonTop, 110, 32));
    btnClose->setDefault(true);

    connect(btnClose, &QPushButton::clicked, this, &TfrmBmpDebug::btnCloseClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmBmpDebug::btnOkClick);
    connect(btnExport, &QPushButton::clicked, this, [this] { Guarded([this] { btnExportClick(); }); });

    currentRow = ColumnNames();
    csvLines << JoinItemList(currentRow);

    frmBmpDebug = this;
}

TfrmBmpDebug::~TfrmBmpDebug()
{
    if (frmBmpDebug == this) frmBmpDebug = nullptr;
}

void TfrmBmpDebug::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!GroupBox1 || !commentLabel) return;
    const int dw = width() - DesignWidth;
    const int dh = height() - DesignHeight;
    GroupBox1->resize(std::max(0, GroupBox1Design.width() + dw), std::max(0, GroupBox1Design.height() + dh));
    Image1->resize(std::max(0, Image1Design.width() + dw), std::max(0, Image1Design.height() + dh));
    leComment->move(leComment->x(), CommentTop + dh);
    commentLabel->move(commentLabel->x(), CommentTop + dh);
    for (QWidget* w : {btnExport, btnOk, btnClose}) w->move(w->x(), ButtonTop + dh);
}

int TfrmBmpDebug::AngleIndex() const { return rgAngleItems->checkedId(); }

void TfrmBmpDebug::Inspect(Bitmap& component)
{
    margin = component.GetMargin();
    currentRow.clear();
    inspectedSymbol = &component;

    const auto show = [this](QLineEdit* edit, const QString& text) {
        edit->setText(text);
        currentRow << text;
    };
    show(leDesig, QString::fromLatin1(component.GetName()));
    show(leValue, QString::fromLatin1(component.GetValue()));
    show(lePackage, QString::fromLatin1(component.GetPackage()));
    show(leStrange, QString::number(component.GetStrange()));

    cbHflip->setChecked(component.GetHFlip());
    currentRow << (component.GetHFlip() ? QStringLiteral("X") : QString());
    cbVflip->setChecked(component.GetVFlip());
    currentRow << (component.GetVFlip() ? QStringLiteral("X") : QString());

    if (QAbstractButton* item = rgAngleItems->button(component.GetRotation())) {
        item->setChecked(true);
    } else {
        rgAngleItems->setExclusive(false);
        for (QAbstractButton* b : rgAngleItems->buttons()) b->setChecked(false);
        rgAngleItems->setExclusive(true);
    }
    currentRow << QString::number(AngleIndex());

    const TSurface& image = component.GetBodyImage();
    bodyImage = &image;
    // The size the body raster has, or would have had for a component too
    // large for the memory budget (which has none).
    bodyRect = TRect{margin, margin, component.GetImageWidth() - margin, component.GetImageHeight() - margin};
    currentRow << QString::number(bodyRect.Right - bodyRect.Left) << QString::number(bodyRect.Bottom - bodyRect.Top);

    Image1->setPixmap(QPixmap::fromImage(image.Image()));

    inspecting = true;
    Dialogs().ExecModal(*this);
    inspecting = false;
}

void TfrmBmpDebug::EndInspection(const QString& comment)
{
    if (!inspecting) return;
    inspecting = false;
    currentRow << comment;
    csvLines << JoinItemList(currentRow);
    accept();
}

void TfrmBmpDebug::btnCloseClick() { EndInspection(leComment->text()); }

void TfrmBmpDebug::btnOkClick() { EndInspection(QStringLiteral("OK")); }

void TfrmBmpDebug::btnExportClick()
{
    if (!inspectedSymbol) return;
    const std::optional<QString> path = Dialogs().SaveFile(QString());
    if (!path || path->isEmpty()) return;
    if (QFileInfo::exists(*path) &&
        !Dialogs().AskYesNo(QStringLiteral("Overwrite existing file '%1' ?").arg(QDir::toNativeSeparators(*path))))
        return;
    WriteExport(*path);
}

QList<QByteArray> TfrmBmpDebug::ExportLines() const
{
    QList<QByteArray> lines;
    if (!inspectedSymbol || !bodyImage) return lines;
    const int width = bodyRect.Right - bodyRect.Left;
    const int height = bodyRect.Bottom - bodyRect.Top;
    const int w10 = (width - 1) / 10;
    const int h10 = (height - 1) / 10;

    lines << Quoted(inspectedSymbol->GetName()) << Quoted(inspectedSymbol->GetPackage());
    lines << QString::asprintf("%d %d 1", w10, h10).toLatin1() << QByteArrayLiteral("PARTS")
          << QString::asprintf("1 %d %d", w10, h10).toLatin1();
    QStringList pins;
    inspectedSymbol->ListPins(pins);
    for (const QString& pin : pins) lines << pin.toLatin1();
    lines << QByteArray() << QByteArrayLiteral("BITMAP");

    if (inspectedSymbol->IsSimplified()) {
        // No raster: the rows show the outline the page shows.
        for (int y = 0; y < height; ++y) {
            QByteArray line = QString::asprintf("{%3d}", y).toLatin1();
            for (int x = 0; x < width; ++x) line += (y == 0 || y == height - 1 || x == 0 || x == width - 1) ? '#' : '.';
            lines << line;
        }
        return lines;
    }

    // One line per body row; the body lies inside the image, so the loops
    // stay inside it however small the image is.
    QImage image = bodyImage->Image();
    if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
    const QRgb background = ColourToRgb(Bitmap::bodyBackground) & 0xFFFFFF;
    const int rows = std::max(0, std::min(height, image.height() - margin));
    const int columns = std::max(0, std::min(width, image.width() - margin));
    for (int y = 0; y < rows; ++y) {
        QByteArray line = QString::asprintf("{%3d}", y).toLatin1();
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y + margin)) + margin;
        for (int x = 0; x < columns; ++x) line += (pixels[x] & 0xFFFFFF) == background ? '.' : '#';
        lines << line;
    }
    return lines;
}

void TfrmBmpDebug::WriteExport(const QString& path) const
{
    QByteArray text;
    for (const QByteArray& line : ExportLines()) text += line + LineEnd;
    WriteNewFile(path, text);
}

QString TfrmBmpDebug::CsvHeader() { return JoinItemList(ColumnNames()); }

QString TfrmBmpDebug::TableFileName(const QString& caption)
{
    const int dot = caption.lastIndexOf(QLatin1Char('.'));
    const int slash = caption.lastIndexOf(QLatin1Char('/'));
    return (dot > slash ? caption.left(dot) : caption) + QStringLiteral(".csv");
}

QString TfrmBmpDebug::WriteTable(const QString& caption)
{
    if (!HasRows()) return QString();
    const QString written = WriteRows(caption);
    csvLines = csvLines.mid(0, 1);
    return written;
}

QString TfrmBmpDebug::WriteRows(const QString& caption)
{
    const QString header = csvLines.first();
    QByteArray rows;
    for (qsizetype i = 1; i < csvLines.size(); ++i) rows += csvLines[i].toLatin1() + LineEnd;

    const QString name = TableFileName(caption);
    if (!QFileInfo::exists(name)) {
        WriteNewFile(name, header.toLatin1() + LineEnd + rows);
        return QFileInfo(name).absoluteFilePath();
    }

    if (FirstLine(name) == header.toLatin1()) {
        const bool separate = LacksFinalLineEnd(name);
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) CannotCreate(name);
        WriteAll(file, (separate ? LineEnd : QByteArray()) + rows);
        return QFileInfo(name).absoluteFilePath();
    }

    // Somebody else's file: keep it, and use the first free numbered name.
    const QString stem = name.left(name.size() - 4);
    QString target;
    for (int n = 2; n < 10000 && target.isEmpty(); ++n) {
        const QString candidate = QStringLiteral("%1-%2.csv").arg(stem).arg(n);
        if (!QFileInfo::exists(candidate)) target = candidate;
    }
    if (target.isEmpty()) CannotCreate(stem + QStringLiteral("-10000.csv"));
    WriteNewFile(target, header.toLatin1() + LineEnd + rows);
    Dialogs().ShowMessage(QStringLiteral("'%1' holds other data and was left unchanged.\n"
                                         "The inspection table was written to '%2'.")
                              .arg(Native(name), Native(target)));
    return QFileInfo(target).absoluteFilePath();
}

void TfrmBmpDebug::SaveTableAtExit(const QString& caption)
{
    Guarded([&] { WriteTable(caption); });
}
