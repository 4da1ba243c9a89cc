// The one writer of files: a target is replaced only by a complete file, and
// nothing of a write that did not end in Commit() is left behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/Savefile.h"

namespace {

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

TEST(SaveFile, TargetIsReplacedOnlyByACommittedFileAndNothingElseStays)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("amp.csv");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old\n");
    }
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));

    // Written but not committed: the target as it was, no temporary file.
    {
        TSaveFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write("half"), 4);
        EXPECT_EQ(Entries(dir.path()).size(), 2) << "the temporary file beside it";
    }
    EXPECT_EQ(ReadAll(path), "old\n");
    EXPECT_EQ(Entries(dir.path()), QStringList{"amp.csv"});

    // Its temporary file removed, as a stop signal does: Commit() fails.
    {
        TSaveFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("new\n");
        TSaveFile::RemoveUnfinished();
        EXPECT_EQ(Entries(dir.path()), QStringList{"amp.csv"});
        EXPECT_FALSE(file.Commit());
        EXPECT_EQ(file.Reason(), "No such file or directory");
    }
    EXPECT_EQ(ReadAll(path), "old\n");

    // Committed: the whole new file, with the old one's permissions.
    EXPECT_EQ(SaveFile(path, [](QIODevice& f) { return f.write(QByteArray(300000, 'x')) == 300000; }), "");
    EXPECT_EQ(ReadAll(path), QByteArray(300000, 'x'));
    EXPECT_EQ(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    EXPECT_EQ(Entries(dir.path()), QStringList{"amp.csv"});

    // A writer that gives up without an error of the file's own.
    EXPECT_EQ(SaveFile(
                  path, [](QIODevice& f) { return f.write("x") < 0; }, "the picture is empty"),
              "the picture is empty");
    EXPECT_EQ(ReadAll(path).size(), 300000);
    EXPECT_EQ(Entries(dir.path()), QStringList{"amp.csv"});
}
