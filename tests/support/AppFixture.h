#pragma once
// Shared fixtures: a fresh settings file in a temporary folder, scripted
// dialogs, and a main window started with a given command line.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "FreshSettings.h"
#include "Q01Builder.h"
#include "ScriptedDialogs.h"
#include "app/Tracerywin.h"
#include "settings/Inifile.h"

// A fresh settings file plus scripted dialogs, and helpers for drawing files.
class TempSettings : public TFreshSettings {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Write(const QString& name, const q01::Bytes& bytes) const
    {
        const QString path = Path(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return path;
    }
    static QByteArray ReadAll(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
        return f.readAll();
    }

    TScriptedDialogs dialogs;
};

class MainWindowTest : public TempSettings {
protected:
    void TearDown() override
    {
        form.reset();
        TempSettings::TearDown();
    }
    // Creates the main window with a command line and works through it, as
    // start-up does (without showing the window).
    TForm1& Start(const QStringList& arguments)
    {
        QStringList args{QStringLiteral("tracery")};
        args << arguments;
        form = std::make_unique<TForm1>(args);
        form->FormShow();
        return *form;
    }
    std::unique_ptr<TForm1> form;
};

inline q01::Bytes Cat(std::initializer_list<q01::Bytes> parts)
{
    q01::Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}
