#pragma once
// The find bar: a small bar along the bottom of the main window where the
// user types what to look for among the components and nets (the searches
// themselves: drawing/Componentsearch.h, drawing/Netsearch.h).

#include <QString>
#include <QToolBar>

class QKeyEvent;
class QLineEdit;
class QToolButton;

class TFindBar : public QToolBar {
    Q_OBJECT
public:
    explicit TFindBar(QWidget* parent = nullptr);

    QLineEdit* edFind = nullptr;
    QToolButton* btnNext = nullptr;
    QToolButton* btnPrevious = nullptr;
    QToolButton* btnClose = nullptr;

    QString Text() const;
    // Shows the bar with its text selected, ready to type over.
    void Open();
    // Marks the text as finding nothing (or clears the mark).
    void SetNotFound(bool notFound);

signals:
    void FindNext();      // Enter or the Next button
    void FindPrevious();  // Shift + Enter or the Previous button
    void Closed();        // Escape or the close button

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Close();
};
