#pragma once
// The side panel of a comparison: which two drawings are compared, what the
// colours of the picture over the view mean, and the changes, one per line
// ("No differences" when there are none); clicking a change that has a place
// on the page shows it. Closing the panel (its close button, the Close
// button or Escape) ends the comparison.

#include <QDockWidget>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

class QCloseEvent;
class QKeyEvent;
class QLabel;
class QListWidget;
class QToolButton;

class TComparePanel : public QDockWidget {
    Q_OBJECT
public:
    explicit TComparePanel(QWidget* parent = nullptr);

    QLabel* lblFiles = nullptr;
    QListWidget* lvChanges = nullptr;
    QToolButton* btnClose = nullptr;

    // Shows the changes found comparing the drawing named older with the one
    // named newer, with where on the page each is (empty: nowhere).
    void ShowReport(const QString& older, const QString& newer, const QStringList& report,
                    const std::vector<QRect>& places);
    // The lines the list shows.
    QStringList Lines() const;

signals:
    void Closed();
    // A change with a place on the page was clicked or activated.
    void PlaceChosen(const QRect& pageRect);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
