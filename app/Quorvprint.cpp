#include "app/Quorvprint.h"

#include <QPrinter>

TfrmQuorvPrint* frmQuorvPrint = nullptr;

TfrmQuorvPrint::TfrmQuorvPrint(QWidget* parent) : QWidget(parent, Qt::Window), Image1(1080, 716)
{
    setObjectName(QStringLiteral("frmQuorvPrint"));
    setWindowTitle(QStringLiteral("frmPrint"));
    setGeometry(192, 114, 1088, 750);
    frmQuorvPrint = this;
}

TfrmQuorvPrint::~TfrmQuorvPrint()
{
    if (frmQuorvPrint == this) frmQuorvPrint = nullptr;
}

void TfrmQuorvPrint::SetPageSize(int width, int height) { Image1.SetSize(width, height); }

bool TfrmQuorvPrint::PrintDrawing(const QString& path, QPrinter& printer)
{
    return PrintImage(printer, path, Image1).has_value();
}
