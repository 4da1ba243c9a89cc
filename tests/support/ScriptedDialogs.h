#pragma once
// A TDialogs for tests: never blocks. Every text shown is recorded; every
// dialog takes the next answer from its own queue, and an empty queue
// answers as cancelled (No, nothing chosen, Rejected). Presets handed to the
// font and colour dialogs are recorded too.
//
//     TScriptedDialogs dialogs;            // installed until it goes out of scope
//     dialogs.Fonts.push_back(someFont);   // the next font dialog confirms someFont
//     ... act ...
//     EXPECT_EQ(dialogs.Messages, QStringList{"File 'x' not found"});

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "ui/Dialogs.h"

class TScriptedDialogs : public TDialogs {
public:
    TScriptedDialogs() { SetDialogs(this); }
    ~TScriptedDialogs() override { SetDialogs(nullptr); }
    TScriptedDialogs(const TScriptedDialogs&) = delete;
    TScriptedDialogs& operator=(const TScriptedDialogs&) = delete;

    // What was shown, by kind, and every text in order of showing.
    QStringList Messages;
    QStringList Errors;
    QStringList Questions;
    QStringList AllTexts;

    // Answers, taken from the front.
    std::deque<bool> YesNo;
    std::deque<std::optional<QString>> OpenFiles;
    std::deque<std::optional<QString>> SaveFiles;
    std::deque<std::optional<TFont>> Fonts;
    std::deque<std::optional<TColor>> Colours;
    std::deque<bool> PrintAnswers;
    std::deque<int> ModalResults;

    // What the dialogs were opened with.
    std::vector<TFont> FontPresets;
    std::vector<TColor> ColourPresets;
    QStringList OpenFilters;
    QStringList OpenDirs;
    // Runs while a window is shown modally; it may work the window's controls.
    std::function<void(QDialog&)> OnModal;
    int PrinterSetups = 0;
    int ModalRuns = 0;

    void ShowMessage(const QString& text) override
    {
        Messages << text;
        AllTexts << text;
    }
    void ShowError(const QString& text) override
    {
        Errors << text;
        AllTexts << text;
    }
    bool AskYesNo(const QString& text) override
    {
        Questions << text;
        AllTexts << text;
        return Take(YesNo, false);
    }
    std::optional<QString> OpenFile(const QString& filter, const QString& initialDir) override
    {
        OpenFilters << filter;
        OpenDirs << initialDir;
        return Take(OpenFiles, std::optional<QString>());
    }
    std::optional<QString> SaveFile(const QString&) override { return Take(SaveFiles, std::optional<QString>()); }
    std::optional<TFont> ChooseFont(const TFont& preset) override
    {
        FontPresets.push_back(preset);
        return Take(Fonts, std::optional<TFont>());
    }
    std::optional<TColor> ChooseColour(TColor preset) override
    {
        ColourPresets.push_back(preset);
        return Take(Colours, std::optional<TColor>());
    }
    bool Print(QPrinter&) override { return Take(PrintAnswers, false); }
    void PrinterSetup(QPrinter&) override { ++PrinterSetups; }
    int ExecModal(QDialog& dialog) override
    {
        ++ModalRuns;
        if (OnModal) OnModal(dialog);
        return Take(ModalResults, int(QDialog::Rejected));
    }

private:
    template <typename T>
    static T Take(std::deque<T>& queue, T cancelled)
    {
        if (!queue.empty()) {
            cancelled = std::move(queue.front());
            queue.pop_front();
        }
        return cancelled;
    }
};
