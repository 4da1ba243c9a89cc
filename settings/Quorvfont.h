#pragma once
// TfraFont: the font size chooser. Five radio buttons "Size 1" .. "Size 5",
// each drawn in the font it stands for. A click chooses that size; a
// double-click edits its font in the font dialog, and the edit reaches the
// same-numbered button of every live chooser at once. All choosers keep the
// five fonts under the same keys of one section of the settings file.

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "app/Drawstyle.h"

class QGroupBox;
class QRadioButton;
class TIniFile;

// The item list form of a font as the settings file keeps it: face, point
// size ("%d"), colour ("0x%08x"), then "Bold" if bold, then "Italic" if italic.
// Underline and strike-out are not stored.
QString FontItemList(const TFont& font);

// Reads a font's item list onto font. An empty or missing face leaves the
// face; a missing or unusable point size gives defaultSize; the colour is
// read from the third item only when the text holds "0x" (an item that is not
// a number gives black, a missing item leaves the colour); bold and italic
// are always set from the "Bold" and "Italic" items (any letter case);
// underline and strike-out are cleared.
void ReadFontItemList(TFont& font, const QString& value, int defaultSize);

// Shows a widget's text in a font: the Qt font and the text colour.
void ShowFontOn(QWidget* widget, const TFont& font);

class TfraFont : public QWidget {
    Q_OBJECT

public:
    explicit TfraFont(QWidget* parent = nullptr);
    ~TfraFont() override;

    // Controls.
    QGroupBox* gbFont;
    QRadioButton* rb0;
    QRadioButton* rb1;
    QRadioButton* rb2;
    QRadioButton* rb3;
    QRadioButton* rb4;

    // Writing the section name loads the five fonts from it.
    QString SectionName() const { return sectionName_; }
    void SetSectionName(const QString& name);

    // The last value written (-1 if never); writing checks size choice n.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int n);

    // Called after a size was clicked and after a size font was edited.
    std::function<void(TfraFont* sender)> OnSelect;

    // The chosen font: a copy of the font of the size last clicked; until
    // then the frame's designed font.
    const TFont& ChosenFont() const { return chosenFont_; }

    // The font of size choice n (0 .. 4), owned by the chooser; nullptr for
    // any other n.
    const TFont* GetSizeFont(int n) const;

    // The button of size choice n ("rb%d" inside gbFont), nullptr if none.
    QRadioButton* SizeButton(int n) const;
    // The button last clicked, double-clicked or chosen by ItemIndex.
    QRadioButton* CurrentButton() const { return current_; }

    void LoadSettings();
    void ReadSettings(TIniFile& ini);
    // Throws EFileError when the settings file cannot be written.
    void SaveSettings();
    void WriteSettings(TIniFile& ini);

    // Every live chooser, in order of construction.
    static std::vector<TfraFont*> Choosers();

    // Handlers of every size button.
    void rbClick(QRadioButton* button);
    void rbDblClick(QRadioButton* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TSizeButton {
        QRadioButton* Button = nullptr;
        TFont Font;
    };

    TSizeButton* Entry(QRadioButton* button);
    const TSizeButton* Entry(QRadioButton* button) const;
    void SetButtonFont(TSizeButton& entry, const TFont& font);

    std::array<TSizeButton, 5> sizes_;
    QString sectionName_;
    int itemIndex_ = -1;
    QRadioButton* current_ = nullptr;
    TFont chosenFont_;
};
