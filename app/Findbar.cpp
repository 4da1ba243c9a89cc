#include "app/Findbar.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

TFindBar::TFindBar(QWidget* parent) : QToolBar(parent)
{
    setObjectName(QStringLiteral("FindBar1"));
    setWindowTitle(QStringLiteral("Find"));
    setMovable(false);
    setFloatable(false);
    toggleViewAction()->setVisible(false);

    addWidget(new QLabel(QStringLiteral("Find: ")));
    edFind = new QLineEdit;
    edFind->setObjectName(QStringLiteral("edFind"));
    edFind->setPlaceholderText(QStringLiteral("designation, value, package or net"));
    edFind->setClearButtonEnabled(true);
    edFind->setMaximumWidth(260);
    edFind->installEventFilter(this);
    addWidget(edFind);

    auto button = [this](const char* name, const QString& caption, const QString& tip) {
        auto* b = new QToolButton;
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setToolTip(tip);
        addWidget(b);
        return b;
    };
    btnNext = button("btnNext", QStringLiteral("Next"), QStringLiteral("Find Next (F3)"));
    btnPrevious = button("btnPrevious", QStringLiteral("Previous"), QStringLiteral("Find Previous (Shift+F3)"));
    btnClose = button("btnClose", QStringLiteral("Close"), QStringLiteral("Close the find bar (Esc)"));
    connect(btnNext, &QToolButton::clicked, this, &TFindBar::FindNext);
    connect(btnPrevious, &QToolButton::clicked, this, &TFindBar::FindPrevious);
    connect(btnClose, &QToolButton::clicked, this, &TFindBar::Close);
    connect(edFind, &QLineEdit::textEdited, this, [this] { SetNotFound(false); });
    hide();
}

QString TFindBar::Text() const { return edFind->text(); }

void TFindBar::Open()
{
    show();
    edFind->setFocus(Qt::ShortcutFocusReason);
    edFind->selectAll();
}

void TFindBar::SetNotFound(bool notFound)
{
    edFind->setStyleSheet(notFound ? QStringLiteral("QLineEdit { background: #ffd0d0; }") : QString());
}

void TFindBar::Close()
{
    hide();
    SetNotFound(false);
    emit Closed();
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edFind && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                emit FindPrevious();
            else
                emit FindNext();
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}

void TFindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        Close();
        return;
    }
    QToolBar::keyPressEvent(event);
}
