#include "app/Comparepanel.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "drawing/Comparison.h"

namespace {
QString Swatch(QRgb colour, const QString& text)
{
    return QStringLiteral("<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;</span> %2")
        .arg(QColor::fromRgb(colour).name(), text.toHtmlEscaped());
}
}  // namespace

TComparePanel::TComparePanel(QWidget* parent) : QDockWidget(QStringLiteral("Changes"), parent)
{
    setObjectName(QStringLiteral("ComparePanel1"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    toggleViewAction()->setVisible(false);

    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    auto* top = new QHBoxLayout;
    lblFiles = new QLabel;
    lblFiles->setObjectName(QStringLiteral("lblFiles"));
    lblFiles->setTextFormat(Qt::RichText);
    lblFiles->setWordWrap(true);
    top->addWidget(lblFiles, 1);
    btnClose = new QToolButton;
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setText(QStringLiteral("Close"));
    btnClose->setToolTip(QStringLiteral("End the comparison (Esc)"));
    top->addWidget(btnClose, 0, Qt::AlignTop);
    layout->addLayout(top);
    lvChanges = new QListWidget;
    lvChanges->setObjectName(QStringLiteral("lvChanges"));
    lvChanges->setMinimumWidth(320);
    lvChanges->setWordWrap(true);  // long lines wrap instead of scrolling sideways
    lvChanges->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lvChanges->setResizeMode(QListView::Adjust);
    layout->addWidget(lvChanges, 1);
    setWidget(body);
    connect(btnClose, &QToolButton::clicked, this, &TComparePanel::close);
    const auto choose = [this](QListWidgetItem* item) {
        const QRect place = item ? item->data(Qt::UserRole).toRect() : QRect();
        if (!place.isEmpty()) emit PlaceChosen(place);
    };
    connect(lvChanges, &QListWidget::itemClicked, this, choose);
    connect(lvChanges, &QListWidget::itemActivated, this, choose);
    hide();
}

void TComparePanel::ShowReport(const QString& older, const QString& newer, const QStringList& report,
                               const std::vector<QRect>& places)
{
    lblFiles->setText(Swatch(TComparison::oldInkColour, QStringLiteral("only in ") + older) + QStringLiteral("<br>") +
                      Swatch(TComparison::newInkColour, QStringLiteral("only in ") + newer) + QStringLiteral("<br>") +
                      Swatch(TComparison::bothInkColour, QStringLiteral("in both")));
    lvChanges->clear();
    if (report.isEmpty()) lvChanges->addItem(QStringLiteral("No differences"));
    for (int i = 0; i < report.size(); ++i) {
        auto* item = new QListWidgetItem(report[i], lvChanges);
        if (std::size_t(i) < places.size() && !places[std::size_t(i)].isEmpty()) {
            item->setData(Qt::UserRole, places[std::size_t(i)]);
            item->setToolTip(QStringLiteral("Click to show it on the page"));
        }
    }
    show();
    raise();
}

QStringList TComparePanel::Lines() const
{
    QStringList lines;
    for (int i = 0; i < lvChanges->count(); ++i) lines << lvChanges->item(i)->text();
    return lines;
}

void TComparePanel::closeEvent(QCloseEvent* event)
{
    QDockWidget::closeEvent(event);
    emit Closed();
}

void TComparePanel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDockWidget::keyPressEvent(event);
}
